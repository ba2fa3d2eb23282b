#include "fakes.h"
#include "testfiles.h"
#include "ui/checkbox.h"
#include "ui/form1.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace {

int Pixels(int twips, double dpi) {
    return int(std::nearbyint(twips * dpi / 1440.0));
}

} // namespace

class UiTest : public QObject {
    Q_OBJECT

    FakeTickCounter ticks;
    FakeClock clock;
    FakeShellIconService shell;
    std::unique_ptr<modSysTray> tray;
    QTemporaryDir dir;
    std::unique_ptr<Form1> form;

    template <typename T> T* Control(const char* name) const {
        T* control = form->findChild<T*>(QLatin1String(name));
        if (control == nullptr)
            qFatal("no control %s", name);
        return control;
    }
    QString Caption() const { return Control<QLabel>("lblUptime")->text(); }
    QString Output() const { return dir.filePath("uptime.txt"); }

    // Ticks until the next refresh, which is seen as a read of the tick counter.
    int TicksToRefresh(int limit = 1000) {
        const int before = ticks.reads;
        for (int tick = 1; tick <= limit; ++tick) {
            form->tmrUpdate_Timer();
            if (ticks.reads != before)
                return tick;
        }
        return -1;
    }

private slots:
    QString Settings() const { return dir.filePath("Settings.ini"); }

    // Starts the window afresh, with the given settings file beside it.
    void Restart(const QByteArray& settings) {
        cleanup();
        QVERIFY(WriteAll(Settings(), settings));
        Start();
    }

    void init() {
        QFile::remove(Settings());
        QDir(Settings()).removeRecursively();
        Start();
    }

    void Start() { StartIn(dir.path()); }

    // A window whose program folder is the given one.
    void StartIn(const QString& folder) {
        ticks = {};
        ticks.ms = 90'061'000;
        QFile::remove(Output());
        shell = {};
        tray = std::make_unique<modSysTray>(shell);
        form = std::make_unique<Form1>(
            Form1Services{ticks, clock, [] { return std::make_unique<FakeFileService>(); },
                          [folder] { return QString(folder); }, *tray});
        form->Form_Load();
    }
    void cleanup() {
        form.reset();
        tray.reset();
    }

    void windowHasItsCaptionAndFixedSize() {
        const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchX();
        QCOMPARE(form->windowTitle(), QStringLiteral("Tallimer"));
        QCOMPARE(form->size(), QSize(Pixels(3495, dpi), Pixels(2055, dpi)));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        const Qt::WindowFlags flags = form->windowFlags();
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        if (dpi == 96)
            QCOMPARE(form->size(), QSize(233, 137));
        const QIcon icon = form->windowIcon();
        for (int size : {16, 32, 48})
            QCOMPARE(icon.pixmap(size).size(), QSize(size, size));
    }

    void windowIsCentred() {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(form->geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(form->geometry().center().y() - screen.center().y()) <= 1);
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("lblUptime") << "lblUptime"
                                   << "Uptime" << QRect(0, 120, 3495, 495) << "";
        QTest::newRow("txtInt") << "txtInt"
                                << "30" << QRect(2040, 720, 1335, 285) << "";
        QTest::newRow("Label1") << "Label1"
                                << "Update interval, seconds:" << QRect(120, 720, 1935, 255) << "";
        QTest::newRow("cmdToggle") << "cmdToggle"
                                   << "Start" << QRect(2160, 1080, 1215, 375) << "";
        QTest::newRow("chkFile") << "chkFile"
                                 << "Use file method" << QRect(120, 1080, 1455, 255)
                                 << "If ticked, this will get the uptime from the specified file";
        QTest::newRow("cmdTray") << "cmdTray"
                                 << "Send To Tray" << QRect(2160, 1560, 1215, 375) << "";
        QTest::newRow("chkAutoStart")
            << "chkAutoStart"
            << "Auto start" << QRect(120, 1320, 1095, 255)
            << "If ticked, the client will start fetching the uptime as soon as the client is run";
        QTest::newRow("chkAutoTray")
            << "chkAutoTray"
            << "Auto send to tray" << QRect(120, 1560, 1575, 255)
            << "If ticked, the client will be sent to the system tray as soon as the client is run";
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QRect, twips);
        QFETCH(QString, toolTip);
        const QWidget* control = Control<QWidget>(name.toLatin1().constData());
        const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchX();
        QCOMPARE(control->geometry(),
                 QRect(Pixels(twips.x(), dpi), Pixels(twips.y(), dpi), Pixels(twips.width(), dpi),
                       Pixels(twips.height(), dpi)));
        QString shown;
        if (auto label = qobject_cast<const QLabel*>(control))
            shown = label->text();
        else if (auto button = qobject_cast<const QAbstractButton*>(control))
            shown = button->text();
        else if (auto edit = qobject_cast<const QLineEdit*>(control))
            shown = edit->text();
        QCOMPARE(shown, text);
        QCOMPARE(control->toolTip(), toolTip);
        // What a screen reader announces: the control's text, and its tool tip.
        QAccessibleInterface* accessible =
            QAccessible::queryAccessibleInterface(const_cast<QWidget*>(control));
        QVERIFY(accessible != nullptr);
        QVERIFY(!accessible->text(QAccessible::Name).isEmpty());
        if (!toolTip.isEmpty())
            QCOMPARE(accessible->text(QAccessible::Description), toolTip);
        if (!text.isEmpty() && !qobject_cast<const QLineEdit*>(control))
            QVERIFY2(control->fontMetrics().horizontalAdvance(text) <= control->width(),
                     "the text is clipped");
    }

    void uptimeLabelLooksAsDesigned() {
        const QLabel* label = Control<QLabel>("lblUptime");
        QCOMPARE(label->font().family(), QStringLiteral("Arial"));
        QCOMPARE(label->font().pointSizeF(), 9.75);
        QVERIFY(label->font().bold());
        QVERIFY(label->alignment() & Qt::AlignHCenter);
        QCOMPARE(label->palette().color(QPalette::Window), QColor(224, 224, 224));
    }

    // The grey band across the top is painted on the window, not a control of its own.
    void bandIsPaintedOnTheWindow() {
        const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
        const QImage shot = form->grab().toImage();
        const int labelTop = Pixels(120, dpi);
        for (const int x : {0, form->width() / 2, form->width() - 1})
            for (int y = 0; y < labelTop; ++y)
                QCOMPARE(shot.pixelColor(x, y), QColor(224, 224, 224));
        const int belowLabel = Pixels(120 + 495, dpi) + 1;
        QVERIFY(shot.pixelColor(1, belowLabel) != QColor(224, 224, 224));
        for (const QObject* child : form->children())
            QVERIFY2(child->objectName() != "Shape1", "the band is a child object");
    }

    void tabOrder() {
        const QStringList expected{"txtInt",  "cmdToggle",    "chkFile",
                                   "cmdTray", "chkAutoStart", "chkAutoTray"};
        QWidget* widget = Control<QWidget>("txtInt");
        QStringList seen;
        for (int step = 0; step < 100 && seen.size() < expected.size(); ++step) {
            if (widget->focusPolicy() & Qt::TabFocus)
                seen << widget->objectName();
            widget = widget->nextInFocusChain();
        }
        QCOMPARE(seen, expected);
    }

    void checkBoxValues_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("stored");
        QTest::newRow("clear") << 0 << true << 0;
        QTest::newRow("ticked") << 1 << true << 1;
        QTest::newRow("greyed") << 2 << true << 2;
        QTest::newRow("3") << 3 << false << 1;
        QTest::newRow("-1") << -1 << false << 1;
    }
    void checkBoxValues() {
        QFETCH(int, value);
        QFETCH(bool, accepted);
        QFETCH(int, stored);
        QCheckBox box;
        QVERIFY(checkbox::SetValue(box, checkbox::Ticked));
        QCOMPARE(checkbox::SetValue(box, value), accepted);
        QCOMPARE(checkbox::Value(box), stored);
    }

    void refreshCadence_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("period");
        QTest::newRow("default 30") << "30" << 31;
        QTest::newRow("1") << "1" << 2;
        QTest::newRow("0 clamps to 1") << "0" << 2;
    }
    void refreshCadence() {
        QFETCH(QString, text);
        QFETCH(int, period);
        Control<QLineEdit>("txtInt")->setText(text);
        for (int round = 0; round < 3; ++round)
            QCOMPARE(TicksToRefresh(), period);
    }

    void refreshShowsAndWrites() {
        QCOMPARE(Caption(), QStringLiteral("Uptime"));
        Control<QLineEdit>("txtInt")->setText("1");
        QCOMPARE(TicksToRefresh(), 2);
        QCOMPARE(Caption(), QStringLiteral("Uptime: 1d 1h 1m 1s"));
        QCOMPARE(ReadAll(Output()), QByteArray("90061\r\n"));
        QCOMPARE(form->State().UptimeParts, engine::SplitUptime(90061));
    }

    void refreshWithoutOutputFolderStillUpdatesLabel() {
        QVERIFY(QFile::link(dir.filePath("gone/uptime.txt"), Output()));
        Control<QLineEdit>("txtInt")->setText("1");
        QCOMPARE(TicksToRefresh(), 2);
        QCOMPARE(Caption(), QStringLiteral("Uptime: 1d 1h 1m 1s"));
        QFile::remove(Output());
    }

    void greyedFileMethodCountsAsClear() {
        auto* chkFile = Control<QCheckBox>("chkFile");
        QVERIFY(checkbox::SetValue(*chkFile, checkbox::Greyed));
        Control<QLineEdit>("txtInt")->setText("1");
        QCOMPARE(TicksToRefresh(), 2);
        QCOMPARE(Caption(), QStringLiteral("Uptime: 1d 1h 1m 1s"));
    }

    void fileMethodWithMissingBootFileKeepsLabel() {
        QVERIFY(checkbox::SetValue(*Control<QCheckBox>("chkFile"), checkbox::Ticked));
        Control<QLineEdit>("txtInt")->setText("1");
        for (int tick = 0; tick < 6; ++tick)
            form->tmrUpdate_Timer();
        QCOMPARE(Caption(), QStringLiteral("Uptime"));
        QVERIFY(!QFile::exists(Output()));
        QCOMPARE(ticks.reads, 0);
    }

    void startAndStop() {
        auto* toggle = Control<QPushButton>("cmdToggle");
        auto* timer = Control<QTimer>("tmrUpdate");
        QVERIFY(!timer->isActive());
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(timer->isActive());
        QCOMPARE(toggle->text(), QStringLiteral("Stop"));
        QVERIFY(!Control<QLineEdit>("txtInt")->isEnabled());
        QVERIFY(!Control<QCheckBox>("chkFile")->isEnabled());
        QVERIFY(Control<QCheckBox>("chkAutoStart")->isEnabled());
        QVERIFY(Control<QCheckBox>("chkAutoTray")->isEnabled());
        QVERIFY(Control<QPushButton>("cmdTray")->isEnabled());
        QCOMPARE(form->State().TrayTip, QStringLiteral("Tallimer - ON"));
        // Starting does not refresh at once.
        QCOMPARE(Caption(), QStringLiteral("Uptime"));
        QVERIFY(!QFile::exists(Output()));

        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(!timer->isActive());
        QCOMPARE(toggle->text(), QStringLiteral("Start"));
        QVERIFY(Control<QLineEdit>("txtInt")->isEnabled());
        QVERIFY(Control<QCheckBox>("chkFile")->isEnabled());
        QCOMPARE(form->State().TrayTip, QStringLiteral("Tallimer - OFF"));
    }

    // The timer ticks once a second, each tick re-armed to fall on a whole second of the
    // measured clock: the boot clock (rounded), or the wall clock (cut) for the file method.
    void timerKeepsInPhaseWithTheMeasuredClock_data() {
        QTest::addColumn<bool>("fileMethod");
        QTest::addColumn<qint64>("ms"); // of the clock that is measured
        QTest::addColumn<int>("delay");
        QTest::newRow("on a whole second") << false << qint64(90'061'000) << 1000;
        QTest::newRow("a little late") << false << qint64(90'061'030) << 970;
        QTest::newRow("half a second off") << false << qint64(90'061'500) << 500;
        QTest::newRow("close to the next") << false << qint64(90'061'700) << 1300;
        QTest::newRow("a little early") << false << qint64(90'061'995) << 1005;
        QTest::newRow("file method, cut") << true << qint64(1'800'000'000'200) << 1300;
        QTest::newRow("file method, mid-second") << true << qint64(1'800'000'000'500) << 1000;
    }
    void timerKeepsInPhaseWithTheMeasuredClock() {
        QFETCH(bool, fileMethod);
        QFETCH(qint64, ms);
        QFETCH(int, delay);
        auto* timer = Control<QTimer>("tmrUpdate");
        QVERIFY(checkbox::SetValue(*Control<QCheckBox>("chkFile"), int(fileMethod)));
        clock.now = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
        ticks.ms = quint64(ms);
        form->cmdToggle_Click();
        QVERIFY(timer->isActive());
        QVERIFY(timer->isSingleShot());
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
        QCOMPARE(timer->interval(), delay);
        // Each tick re-arms the timer from the clock as it stands then.
        ticks.ms = 90'062'010;
        clock.now = QDateTime::fromMSecsSinceEpoch(1'800'000'001'510, Qt::UTC);
        QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 990);
    }

    void stopAndStartKeepTheCount() {
        form->cmdToggle_Click();
        for (int tick = 0; tick < 10; ++tick)
            form->tmrUpdate_Timer();
        form->cmdToggle_Click();
        form->cmdToggle_Click();
        QCOMPARE(TicksToRefresh(), 21);
    }

    void intervalText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint32>("interval");
        QTest::newRow("12abc") << "12abc" << 12;
        QTest::newRow("2.5") << "2.5" << 2;
        QTest::newRow("3.5") << "3.5" << 4;
        QTest::newRow("abc") << "abc" << 1;
        QTest::newRow("empty") << "" << 1;
        QTest::newRow("-5") << "-5" << 1;
        QTest::newRow("0") << "0" << 1;
        QTest::newRow("blanks") << "  45" << 45;
        QTest::newRow("exponent") << "1e2" << 100;
        QTest::newRow("eleven nines") << "99999999999" << std::numeric_limits<qint32>::max();
        QTest::newRow("huge exponent") << "1e400" << std::numeric_limits<qint32>::max();
    }
    void intervalText() {
        QFETCH(QString, text);
        QFETCH(qint32, interval);
        auto* box = Control<QLineEdit>("txtInt");
        box->setText(text);
        QCOMPARE(form->State().UpdateInterval, interval);
        QCOMPARE(box->text(), text); // the box is never rewritten
    }

    void typingIntoTheBox() {
        auto* box = Control<QLineEdit>("txtInt");
        box->clear();
        QTest::keyClicks(box, "7x");
        QCOMPARE(form->State().UpdateInterval, 7);
    }

    void hugeIntervalDoesNotOverflowTheCount() {
        Control<QLineEdit>("txtInt")->setText("99999999999");
        for (int tick = 0; tick < 100; ++tick)
            form->tmrUpdate_Timer();
        QCOMPARE(form->State().TicksSinceUpdate, 100);
        QCOMPARE(ticks.reads, 0);
    }

    void defaultsAfterLoad() {
        const MainWindowState& state = form->State();
        QCOMPARE(state.AppDir, dir.path() + '/');
        QCOMPARE(state.SettingsPath, dir.path() + "/Settings.ini");
        QCOMPARE(state.OutputFilePath, dir.path() + "/uptime.txt");
        QCOMPARE(state.BootFilePath, QStringLiteral("C:\\WINDOWS\\bootstat.dat"));
        QCOMPARE(state.UpdateInterval, 30);
        QCOMPARE(state.TicksSinceUpdate, 0);
        QVERIFY(!state.Loading);
        QVERIFY(state.FileService != nullptr);
        for (const char* name : {"chkFile", "chkAutoStart", "chkAutoTray"})
            QCOMPARE(checkbox::Value(*Control<QCheckBox>(name)), checkbox::Clear);
    }

    // Sends what the icon service sends: a mouse move whose x is the code in pixels.
    void Notify(int code) {
        QMouseEvent move(QEvent::MouseMove, QPointF(code, 0), QPointF(code, 0), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.get(), &move);
    }

    void sendToTrayHidesAndAddsTheIcon() {
        form->show();
        QTest::mouseClick(Control<QPushButton>("cmdTray"), Qt::LeftButton);
        QVERIFY(tray->TrayIconShown());
        QVERIFY(!form->isVisible());
        QVERIFY(form->windowState() & Qt::WindowMinimized);
        QCOMPARE(shell.calls.size(), 1);
        QCOMPARE(shell.Tip(0), QStringLiteral("Tallimer - OFF"));
        QCOMPARE(shell.calls[0].data.hWnd, form.get());
        QVERIFY(!shell.calls[0].data.hIcon.isNull());
        QCOMPARE(shell.panelMenu, Control<QMenu>("mnSysTray"));
    }

    void sendToTrayTwiceChangesNothing() {
        form->show();
        form->SendToTray();
        form->cmdToggle_Click();
        form->show(); // even if something showed the window again
        form->SendToTray();
        QVERIFY(form->isVisible());
        QCOMPARE(shell.calls.size(), 1);
        QCOMPARE(shell.Tip(0), QStringLiteral("Tallimer - OFF"));
    }

    void withoutNotificationAreaOnlyMinimises() {
        shell.available = false;
        form->show();
        form->SendToTray();
        QVERIFY(shell.calls.isEmpty());
        QVERIFY(!tray->TrayIconShown());
        QVERIFY(form->isVisible());
        QVERIFY(form->windowState() & Qt::WindowMinimized);
    }

    // "Auto send to tray" at login, before the panel is up: minimised, then into the tray as
    // soon as a notification area appears, unless the user has restored the window meanwhile
    // or the wait has run out.
    void autoTrayWaitsForTheNotificationArea_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("checks"); // before the notification area appears
        QTest::addColumn<bool>("intoTray");
        QTest::newRow("panel after two seconds") << "nothing" << 2 << true;
        QTest::newRow("panel after 59 seconds") << "nothing" << 59 << true;
        QTest::newRow("panel too late") << "nothing" << 60 << false;
        QTest::newRow("restored by the user") << "restore" << 2 << false;
    }
    void autoTrayWaitsForTheNotificationArea() {
        QFETCH(QString, meanwhile);
        QFETCH(int, checks);
        QFETCH(bool, intoTray);
        cleanup();
        QVERIFY(WriteAll(Settings(), "[Options]\r\nAuto Send To Tray=1\r\n"));
        shell = {};
        shell.available = false;
        tray = std::make_unique<modSysTray>(shell);
        form = std::make_unique<Form1>(
            Form1Services{ticks, clock, [] { return std::make_unique<FakeFileService>(); },
                          [this] { return dir.path(); }, *tray});
        form->Form_Load();
        form->show();
        QVERIFY(form->windowState() & Qt::WindowMinimized);
        QVERIFY(!tray->TrayIconShown());
        auto* watch = Control<QTimer>("tmrTrayWatch");
        QVERIFY(watch->isActive());
        QCOMPARE(watch->interval(), 1000);
        if (meanwhile == "restore")
            form->setWindowState(Qt::WindowNoState);
        for (int check = 0; check < checks; ++check)
            form->tmrTrayWatch_Timer();
        shell.available = true;
        form->tmrTrayWatch_Timer();
        QCOMPARE(tray->TrayIconShown(), intoTray);
        QCOMPARE(form->isVisible(), !intoTray);
        QVERIFY(!watch->isActive());
        form->tmrTrayWatch_Timer(); // a stray tick changes nothing
        QCOMPARE(shell.calls.size(), intoTray ? 1 : 0);
    }

    void autoTrayWithNotificationAreaDoesNotWatch() {
        Restart("[Options]\r\nAuto Send To Tray=1\r\n");
        QVERIFY(tray->TrayIconShown());
        QVERIFY(!Control<QTimer>("tmrTrayWatch")->isActive());
    }

    void notifications_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("restores");
        QTest::addColumn<bool>("menu");
        QTest::newRow("double-click") << 515 << true << false;
        QTest::newRow("balloon click") << 1029 << true << false;
        QTest::newRow("right button up") << 517 << false << true;
        QTest::newRow("mouse move") << 512 << false << false;
        QTest::newRow("left down") << 513 << false << false;
        QTest::newRow("left up") << 514 << false << false;
        QTest::newRow("right down") << 516 << false << false;
        QTest::newRow("middle double-click") << 521 << false << false;
        QTest::newRow("zero") << 0 << false << false;
    }
    void notifications() {
        QFETCH(int, code);
        QFETCH(bool, restores);
        QFETCH(bool, menu);
        form->show();
        form->SendToTray();
        Notify(code);
        QCOMPARE(form->isVisible(), restores);
        QCOMPARE(tray->TrayIconShown(), !restores);
        QCOMPARE(!(form->windowState() & Qt::WindowMinimized), restores);
        auto* popup = Control<QMenu>("mnSysTray");
        QCOMPARE(popup->isVisible(), menu);
        popup->hide();
        if (restores) {
            QCOMPARE(shell.calls.size(), 2);
            QCOMPARE(shell.calls[1].message, platform::NIM_DELETE);
        }
    }

    void notificationCodeRoundsFromTwips() {
        const double tpp = 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchX();
        form->SendToTray();
        form->Form_MouseMove(Qt::NoButton, Qt::NoModifier, 516.5 * tpp, 0); // halves to even
        QVERIFY(!form->isVisible());
        form->Form_MouseMove(Qt::NoButton, Qt::NoModifier, 514.5 * tpp, 0); // rounds to 514
        QVERIFY(!form->isVisible());
        form->Form_MouseMove(Qt::NoButton, Qt::NoModifier, 515.4 * tpp, 0);
        QVERIFY(form->isVisible());
    }

    void notificationsWithoutIconDoNothing() {
        Notify(515);
        QVERIFY(!form->isVisible());
        Notify(517);
        QVERIFY(!Control<QMenu>("mnSysTray")->isVisible());
        QVERIFY(shell.calls.isEmpty());
    }

    void popupMenuItems() {
        const QMenu* popup = Control<QMenu>("mnSysTray");
        QCOMPARE(popup->title(), QStringLiteral("System Tray Menu"));
        QStringList items;
        for (const QAction* action : popup->actions())
            items << action->text();
        QCOMPARE(items, (QStringList{"Open Tallimer", "Exit"}));
        QCOMPARE(popup->defaultAction()->text(), QStringLiteral("Open Tallimer"));
    }

    void openFromTheMenuRestores() {
        form->show();
        form->SendToTray();
        form->mnOpen_Click();
        QVERIFY(form->isVisible());
        QVERIFY(!(form->windowState() & Qt::WindowMinimized));
        QVERIFY(!tray->TrayIconShown());
    }

    void restoreWhileRunningKeepsTheTimer() {
        form->show();
        form->cmdToggle_Click();
        form->SendToTray();
        Notify(515);
        QVERIFY(Control<QTimer>("tmrUpdate")->isActive());
        form->SendToTray();
        QCOMPARE(shell.Tip(2), QStringLiteral("Tallimer - ON"));
    }

    void exitFromTheMenuClosesAndRemovesTheIcon() {
        form->show();
        form->SendToTray();
        form->mnExit_Click();
        QVERIFY(!form->isVisible());
        QVERIFY(!tray->TrayIconShown());
        QCOMPARE(shell.calls.last().message, platform::NIM_DELETE);
    }

    void noSettingsFileThenCloseWritesTheOptions() {
        QVERIFY(!QFile::exists(Settings()));
        QVERIFY(form->isHidden());
        QVERIFY(!Control<QTimer>("tmrUpdate")->isActive());
        form->show();
        QVERIFY(form->close());
        QCOMPARE(ReadAll(Settings()), QByteArray("[Options]\r\nInterval=30\r\nUse file method=0\r\n"
                                                 "AutoStart=0\r\nAuto Send To Tray=0\r\n"));
        QVERIFY(form->State().FileService == nullptr);
        QVERIFY(!form->State().BootFileInfo.has_value());
    }

    void autoStartThenAutoTray() {
        Restart("[Options]\r\nAutoStart=1\r\nAuto Send To Tray=1\r\nInterval=0\r\n");
        QVERIFY(Control<QTimer>("tmrUpdate")->isActive());
        QCOMPARE(Control<QPushButton>("cmdToggle")->text(), QStringLiteral("Stop"));
        QVERIFY(tray->TrayIconShown());
        QVERIFY(form->isHidden());
        QCOMPARE(shell.Tip(0), QStringLiteral("Tallimer - ON"));
        QCOMPARE(TicksToRefresh(), 1);
        QCOMPARE(TicksToRefresh(), 1);
    }

    void intervalFromTheFile_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<qint32>("interval");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0") << QByteArray("0") << 0 << "0";
        QTest::newRow("-4") << QByteArray("-4") << -4 << "-4";
        QTest::newRow("12") << QByteArray(" 12 ") << 12 << "12";
        QTest::newRow("12.5") << QByteArray("12.5") << 12 << "12";
        QTest::newRow("abc") << QByteArray("abc") << 30 << "30";
        QTest::newRow("empty") << QByteArray("") << 30 << "30";
        QTest::newRow("beyond 32 bits") << QByteArray("99999999999") << 30 << "30";
    }
    void intervalFromTheFile() {
        QFETCH(QByteArray, value);
        QFETCH(qint32, interval);
        QFETCH(QString, shown);
        Restart("[Options]\nInterval=" + value + "\n");
        QCOMPARE(form->State().UpdateInterval, interval);
        QCOMPARE(Control<QLineEdit>("txtInt")->text(), shown);
        Control<QLineEdit>("txtInt")->setText("0 "); // typing clamps again
        QCOMPARE(form->State().UpdateInterval, 1);
    }

    void zeroIntervalRefreshesEveryTick() {
        Restart("[Options]\nInterval=0\n");
        for (int round = 0; round < 3; ++round)
            QCOMPARE(TicksToRefresh(), 1);
    }

    void checkBoxesFromTheFile_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("stored");
        QTest::newRow("0") << QByteArray("0") << 0;
        QTest::newRow("1") << QByteArray("1") << 1;
        QTest::newRow("2") << QByteArray("2") << 2;
        QTest::newRow("1.5") << QByteArray("1.5") << 2;
        QTest::newRow("0.5") << QByteArray("0.5") << 0;
        QTest::newRow("5") << QByteArray("5") << 0;
        QTest::newRow("-1") << QByteArray("-1") << 0;
        QTest::newRow("beyond 16 bits") << QByteArray("65537") << 0;
        QTest::newRow("abc") << QByteArray("abc") << 0;
    }
    void checkBoxesFromTheFile() {
        QFETCH(QByteArray, value);
        QFETCH(int, stored);
        Restart("[Options]\nUse file method=" + value + "\n");
        QCOMPARE(checkbox::Value(*Control<QCheckBox>("chkFile")), stored);
    }

    void greyedAutoBoxesDoNothing() {
        Restart("[Options]\nAutoStart=2\nAuto Send To Tray=2\n");
        QVERIFY(!Control<QTimer>("tmrUpdate")->isActive());
        QVERIFY(!tray->TrayIconShown());
    }

    void paths_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("boot");
        QTest::addColumn<QString>("output");
        const QString defaultBoot = "C:\\WINDOWS\\bootstat.dat";
        QTest::newRow("no Paths section")
            << QByteArray("[Options]\nInterval=5\n") << defaultBoot << "uptime.txt";
        QTest::newRow("empty values")
            << QByteArray("[Paths]\nBootFile=\nOutput File=  \n") << defaultBoot << "uptime.txt";
        QTest::newRow("both set") << QByteArray(
                                         "[Paths]\nBootFile=/var/b\nOutput File=/tmp/o.txt\n")
                                  << "/var/b"
                                  << "/tmp/o.txt";
        QTest::newRow("8-bit text") << QByteArray("[Paths]\nOutput File=/tmp/\xC3\xA9.txt\n")
                                    << defaultBoot << QString::fromUtf8("/tmp/\u00e9.txt");
    }
    void paths() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, boot);
        QFETCH(QString, output);
        Restart(settings);
        QCOMPARE(form->State().BootFilePath, boot);
        const QString expected = output == "uptime.txt" ? Output() : output;
        QCOMPARE(form->State().OutputFilePath, expected);
    }

    void folderNamedLikeTheSettingsFileIsNotRead() {
        cleanup();
        QVERIFY(QDir().mkpath(Settings() + "/Options"));
        Start();
        QCOMPARE(form->State().UpdateInterval, 30);
        QVERIFY(form->close());
        QVERIFY(QFileInfo(Settings()).isDir());
    }

    void closingKeepsHandMadeLines() {
        const QByteArray mine =
            "; my notes\r\n[Paths]\r\nOutput File=" + QFile::encodeName(Output()) +
            "\r\n\r\n[Options]\r\nInterval=30\r\nColour=blue\r\n[Mine]\r\nx=1\r\n";
        Restart(mine);
        Control<QLineEdit>("txtInt")->setText("7");
        QVERIFY(checkbox::SetValue(*Control<QCheckBox>("chkAutoStart"), checkbox::Ticked));
        QVERIFY(form->close());
        QCOMPARE(ReadAll(Settings()),
                 "; my notes\r\n[Paths]\r\nOutput File=" + QFile::encodeName(Output()) +
                     "\r\n\r\n[Options]\r\nInterval=7\r\nColour=blue\r\nUse file method=0\r\n"
                     "AutoStart=1\r\nAuto Send To Tray=0\r\n[Mine]\r\nx=1\r\n");
    }

    void closingFromTheTraySavesTheSame() {
        form->show();
        QVERIFY(form->close());
        const QByteArray fromWindow = ReadAll(Settings());
        QVERIFY(QFile::remove(Settings()));
        cleanup();
        Start();
        form->show();
        form->SendToTray();
        form->mnExit_Click();
        QCOMPARE(ReadAll(Settings()), fromWindow);
    }

    void closingInReadOnlyFolderKeepsTheOldFile() {
        cleanup();
        QTemporaryDir locked;
        const QString file = locked.filePath("Settings.ini");
        QVERIFY(WriteAll(file, "[Options]\r\nInterval=9\r\n"));
        StartIn(locked.path());
        ReadOnlyFolder readOnly(locked.path());
        if (!readOnly.ok())
            QSKIP("this machine does not allow a read-only bind mount");
        Control<QLineEdit>("txtInt")->setText("5");
        QVERIFY(form->close());
        QCOMPARE(ReadAll(file), QByteArray("[Options]\r\nInterval=9\r\n"));
    }

    void trailingSlash_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("result");
        QTest::newRow("without") << "/opt/tallimer"
                                 << "/opt/tallimer/";
        QTest::newRow("with") << "/opt/tallimer/"
                              << "/opt/tallimer/";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("empty") << ""
                               << "/";
    }
    void trailingSlash() {
        QFETCH(QString, folder);
        QFETCH(QString, result);
        QCOMPARE(WithTrailingSlash(folder), result);
    }
};

QTEST_MAIN(UiTest)
#include "tst_ui.moc"
