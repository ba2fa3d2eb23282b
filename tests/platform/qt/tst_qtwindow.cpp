// What only the Qt window does: controls built from the table in pixels at the screen's
// density, fonts, colours, tab order, accessible names, its menu, its timers, and the events
// it sends back.
#include "platform/qt/shellicon.h"
#include "platform/qt/window.h"
#include "ui/controls.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

int Pixels(int twips, double dpi) {
    return int(std::nearbyint(twips * dpi / 1440.0));
}

double Dpi() {
    return QGuiApplication::primaryScreen()->logicalDotsPerInchX();
}

// Keeps every event the window sends.
struct RecordingEvents final : platform::WindowEvents {
    std::vector<std::string> log;
    double lastX = -1;
    void Click(std::string_view control) override {
        log.push_back("Click " + std::string(control));
    }
    void Change(std::string_view control) override {
        log.push_back("Change " + std::string(control));
    }
    void Timer(std::string_view timer) override { log.push_back("Timer " + std::string(timer)); }
    void MouseMove(int, int, double x, double) override {
        lastX = x;
        log.push_back("MouseMove");
    }
    void QueryUnload() override { log.push_back("QueryUnload"); }
    bool Has(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
};

} // namespace

class QtWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<platform::QtWindow> window;
    RecordingEvents events;

    template <typename T> T* Control(const char* name) const {
        T* control = window->findChild<T*>(QLatin1String(name));
        if (control == nullptr)
            qFatal("no control %s", name);
        return control;
    }

private slots:
    void init() {
        events = {};
        window = std::make_unique<platform::QtWindow>(controls::Form1);
        window->SetEvents(&events);
    }
    void cleanup() { window.reset(); }

    void windowHasItsCaptionAndFixedSize() {
        const double dpi = Dpi();
        QCOMPARE(window->windowTitle(), QStringLiteral("Tallimer"));
        QCOMPARE(window->size(), QSize(Pixels(3495, dpi), Pixels(2055, dpi)));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        if (dpi == 96)
            QCOMPARE(window->size(), QSize(233, 137));
        QCOMPARE(window->TwipsPerPixelX(), 1440.0 / dpi);
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        const QIcon icon = window->windowIcon();
        for (int size : {16, 32, 48})
            QCOMPARE(icon.pixmap(size).size(), QSize(size, size));
    }

    void windowIsCentred() {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(window->geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(window->geometry().center().y() - screen.center().y()) <= 1);
    }

    // Every control of the table, where the table puts it, with its text and tool tip, and
    // what a screen reader announces.
    void controls() {
        const double dpi = Dpi();
        for (const platform::ControlLayout& layout : controls::Form1Controls) {
            if (layout.kind == platform::ControlKind::Shape)
                continue;
            const QString name = QString::fromStdString(std::string(layout.name));
            QWidget* control = window->Control(layout.name);
            QVERIFY2(control != nullptr, qPrintable(name));
            QCOMPARE(control->objectName(), name);
            QCOMPARE(control->geometry(),
                     QRect(Pixels(layout.left, dpi), Pixels(layout.top, dpi),
                           Pixels(layout.width, dpi), Pixels(layout.height, dpi)));
            QCOMPARE(window->Text(layout.name), std::string(layout.text));
            QCOMPARE(control->toolTip().toStdString(), std::string(layout.toolTip));
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible != nullptr);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(name));
            if (!layout.toolTip.empty())
                QCOMPARE(accessible->text(QAccessible::Description).toStdString(),
                         std::string(layout.toolTip));
            if (!layout.text.empty() && !qobject_cast<QLineEdit*>(control))
                QVERIFY2(control->fontMetrics().horizontalAdvance(
                             QString::fromStdString(std::string(layout.text))) <= control->width(),
                         qPrintable(name + " clips its text"));
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(Control<QLineEdit>("txtInt"))
                     ->text(QAccessible::Name),
                 QStringLiteral("Update interval, seconds"));
        QCOMPARE(Control<QLabel>("Label1")->buddy(), Control<QLineEdit>("txtInt"));
    }

    void uptimeLabelLooksAsDesigned() {
        const QLabel* label = Control<QLabel>("lblUptime");
        QCOMPARE(label->font().family(), QStringLiteral("Arial"));
        QCOMPARE(label->font().pointSizeF(), 9.75);
        QVERIFY(label->font().bold());
        QVERIFY(label->alignment() & Qt::AlignHCenter);
        QCOMPARE(label->palette().color(QPalette::Window), QColor(224, 224, 224));
        QCOMPARE(Control<QLabel>("Label1")->font().pointSizeF(), 8.25);
    }

    // The grey band across the top is painted on the window, not a control of its own.
    void bandIsPaintedOnTheWindow() {
        const double dpi = Dpi();
        const QImage shot = window->grab().toImage();
        const int labelTop = Pixels(120, dpi);
        for (const int x : {0, window->width() / 2, window->width() - 1})
            for (int y = 0; y < labelTop; ++y)
                QCOMPARE(shot.pixelColor(x, y), QColor(224, 224, 224));
        const int belowLabel = Pixels(120 + 495, dpi) + 1;
        QVERIFY(shot.pixelColor(1, belowLabel) != QColor(224, 224, 224));
        QVERIFY(window->Control("Shape1") == nullptr);
        for (const QObject* child : window->children())
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

    // Qt numbers its check states differently: 0, 1 and 2 map onto them in one place.
    void checkBoxValues() {
        auto* box = Control<QCheckBox>("chkFile");
        const std::pair<int, Qt::CheckState> values[] = {
            {platform::vbUnchecked, Qt::Unchecked},
            {platform::vbChecked, Qt::Checked},
            {platform::vbGrayed, Qt::PartiallyChecked}};
        for (const auto& [value, state] : values) {
            window->SetValue("chkFile", value);
            QCOMPARE(box->checkState(), state);
            QCOMPARE(window->Value("chkFile"), value);
        }
        window->SetValue("chkFile", platform::vbChecked);
        window->SetValue("chkFile", 3);
        QCOMPARE(window->Value("chkFile"), platform::vbChecked);
    }

    void popupMenuItems() {
        const QMenu* popup = window->Menu();
        QCOMPARE(popup->objectName(), QStringLiteral("mnSysTray"));
        QCOMPARE(popup->title(), QStringLiteral("System Tray Menu"));
        QStringList items;
        for (const QAction* action : popup->actions())
            items << action->objectName() + ':' + action->text();
        QCOMPARE(items, (QStringList{"mnOpen:Open Tallimer", "mnExit:Exit"}));
        QCOMPARE(popup->defaultAction()->text(), QStringLiteral("Open Tallimer"));
        popup->actions().at(1)->trigger();
        QVERIFY(events.Has("Click mnExit"));
    }

    void controlsSendTheirEvents() {
        QTest::mouseClick(Control<QPushButton>("cmdToggle"), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>("cmdTray"), Qt::LeftButton);
        QTest::keyClicks(Control<QLineEdit>("txtInt"), "7");
        QVERIFY(events.Has("Click cmdToggle"));
        QVERIFY(events.Has("Click cmdTray"));
        QVERIFY(events.Has("Change txtInt"));
        QCOMPARE(window->Text("txtInt"), std::string("7"));
        window->SetEnabled("txtInt", false);
        QVERIFY(!Control<QLineEdit>("txtInt")->isEnabled());
    }

    // Timers run once per start, precisely, and tell when they run out.
    void timers() {
        QVERIFY(!window->TimerEnabled("tmrUpdate"));
        window->StartTimer("tmrUpdate", 1300);
        auto* timer = Control<QTimer>("tmrUpdate");
        QVERIFY(window->TimerEnabled("tmrUpdate"));
        QVERIFY(timer->isSingleShot());
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
        QCOMPARE(timer->interval(), 1300);
        window->StopTimer("tmrUpdate");
        QVERIFY(!window->TimerEnabled("tmrUpdate"));
        window->StartTimer("tmrUpdate", 10);
        QTRY_VERIFY(events.Has("Timer tmrUpdate"));
        QVERIFY(!window->TimerEnabled("tmrUpdate"));
    }

    // The tray icon's notifications arrive as mouse moves in pixels; the program gets twips.
    void mouseMovesArriveInTwips() {
        QMouseEvent move(QEvent::MouseMove, QPointF(515, 0), QPointF(515, 0), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &move);
        QCOMPARE(events.lastX, 515 * window->TwipsPerPixelX());
    }

    void windowStateAndVisibility() {
        window->Show();
        QVERIFY(window->Visible());
        window->SetWindowState(platform::vbMinimized);
        QCOMPARE(window->WindowState(), platform::vbMinimized);
        window->SetWindowState(platform::vbNormal);
        QCOMPARE(window->WindowState(), platform::vbNormal);
        window->Hide();
        QVERIFY(!window->Visible());
    }

    void unloadingAsksFirst() {
        window->Show();
        window->Unload();
        QVERIFY(events.Has("QueryUnload"));
        QVERIFY(!window->isVisible());
    }

    void notificationCodes() {
        const struct {
            QSystemTrayIcon::ActivationReason reason;
            bool statusNotifier;
            int code; // 0: nothing
        } cases[] = {
            {QSystemTrayIcon::DoubleClick, false, 515}, {QSystemTrayIcon::Trigger, false, 0},
            {QSystemTrayIcon::Context, false, 517},     {QSystemTrayIcon::MiddleClick, false, 0},
            {QSystemTrayIcon::Unknown, false, 0},       {QSystemTrayIcon::Trigger, true, 515},
            {QSystemTrayIcon::Context, true, 517},      {QSystemTrayIcon::MiddleClick, true, 0}};
        for (const auto& c : cases)
            QCOMPARE(platform::NotificationCode(c.reason, c.statusNotifier).value_or(0), c.code);
    }
};

QTEST_MAIN(QtWindowTest)
#include "tst_qtwindow.moc"
