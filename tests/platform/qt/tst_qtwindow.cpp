// What only the Qt window does: its widgets realise the plan (pixels, fonts, colours, tab order,
// accessible names), a check box waits for the program to set it, and the events it sends back.
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
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using namespace std::string_literals;

// Keeps every event the window sends.
struct RecordingEvents final : platform::WindowEvents {
    std::vector<std::string> log;
    platform::MouseInput lastMouse;
    bool handleKeys = true;
    void Click(platform::ControlName control) override {
        log.push_back("Click " + std::string(control.Text()));
    }
    void MenuClick(platform::MenuItemName item) override {
        log.push_back("MenuClick " + std::string(item.Text()));
    }
    void Change(platform::ControlName control) override {
        log.push_back("Change " + std::string(control.Text()));
    }
    void Timer(platform::TimerName timer) override {
        log.push_back("Timer " + std::string(timer.Text()));
    }
    void MouseMove(const platform::MouseInput& mouse) override {
        lastMouse = mouse;
        log.push_back("MouseMove");
    }
    bool KeyDown(platform::ControlName control, const platform::KeyPress& press) override {
        log.push_back("KeyDown " + std::string(control.Text()) + (press.shift ? " Shift" : "") +
                      (press.repeat ? " repeat" : ""));
        return handleKeys;
    }
    void GotFocus(platform::ControlName control) override {
        log.push_back("GotFocus " + std::string(control.Text()));
    }
    void Activate() override { log.push_back("Activate"); }
    void AppearanceChanged() override { log.push_back("AppearanceChanged"); }
    void QueryUnload() override { log.push_back("QueryUnload"); }
    void SessionEnding() override { log.push_back("SessionEnding"); }
    bool Has(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
};

QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

class QtWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<platform::QtWindow> window;
    platform::WindowPlan plan;
    RecordingEvents events;

    template <typename T> T* Control(platform::ControlName name) const {
        T* control = qobject_cast<T*>(window->Control(name));
        if (control == nullptr)
            qFatal("no control %s", std::string(name.Text()).c_str());
        return control;
    }

private slots:
    void init() {
        events = {};
        window = std::make_unique<platform::QtWindow>();
        plan = ui::PlanWindow(controls::Form1Layout, window->TwipsPerPixelX(),
                              window->TwipsPerPixelY());
        QVERIFY(window->Create(plan));
        window->SetEvents(&events);
    }
    void cleanup() { window.reset(); }

    void windowHasItsCaptionAndFixedSize() {
        QCOMPARE(window->windowTitle(), QStringLiteral("Tallimer"));
        QCOMPARE(window->size(), QSize(plan.clientWidth, plan.clientHeight));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->TwipsPerPixelX(),
                 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchX());
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

    // Every control of the plan where the plan puts it, with its text, font, tool tip and what
    // a screen reader calls it.
    void controlsRealiseThePlan() {
        for (const platform::ControlPlan& planned : plan.controls) {
            const QString name = ToQt(planned.name.Text());
            QWidget* control = window->Control(planned.name);
            QVERIFY2(control != nullptr, qPrintable(name));
            QCOMPARE(control->objectName(), name);
            const platform::Rect& r = planned.rect;
            QCOMPARE(control->geometry(), QRect(r.left, r.top, r.width, r.height));
            QCOMPARE(window->Text(planned.name), std::string(planned.text));
            QCOMPARE(control->toolTip(), ToQt(planned.toolTip));
            QCOMPARE(control->font().family(), ToQt(planned.font.face));
            QCOMPARE(control->font().pixelSize(), planned.font.pixels);
            QCOMPARE(control->font().bold(), planned.font.bold);
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible != nullptr);
            QCOMPARE(accessible->text(QAccessible::Name),
                     ToQt(planned.accessibleName.empty() ? planned.text : planned.accessibleName));
            if (!planned.toolTip.empty())
                QCOMPARE(accessible->text(QAccessible::Description), ToQt(planned.toolTip));
            if (!planned.text.empty() && !qobject_cast<QLineEdit*>(control))
                QVERIFY2(control->fontMetrics().horizontalAdvance(ToQt(planned.text)) <=
                             control->width(),
                         qPrintable(name + " clips its text"));
        }
        QCOMPARE(Control<QLabel>(controls::Label1)->buddy(), window->Control(controls::txtInt));
    }

    // Another density's plan moves and resizes everything, and leaves what it holds alone.
    void layingOutAgain() {
        const platform::WindowPlan denser = ui::PlanWindow(controls::Form1Layout, 10, 10);
        window->SetText(controls::txtInt, "42");
        window->Layout(denser);
        QCOMPARE(window->size(), QSize(denser.clientWidth, denser.clientHeight));
        for (const platform::ControlPlan& planned : denser.controls) {
            const QWidget* control = window->Control(planned.name);
            const platform::Rect& r = planned.rect;
            QCOMPARE(control->geometry(), QRect(r.left, r.top, r.width, r.height));
            QCOMPARE(control->font().pixelSize(), planned.font.pixels);
        }
        QCOMPARE(window->Text(controls::txtInt), "42"s);
    }

    // A label's text starts at its top; the uptime is centred across on its grey band.
    void labels() {
        const QLabel* uptime = Control<QLabel>(controls::lblUptime);
        QCOMPARE(uptime->alignment(), Qt::AlignHCenter | Qt::AlignTop);
        QCOMPARE(uptime->palette().color(QPalette::Window), QColor(224, 224, 224));
        QCOMPARE(uptime->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        // Under high contrast, the desktop's colours.
        window->Layout(ui::PlanWindow(controls::Form1Layout, 15, 15, {true}));
        QCOMPARE(uptime->palette().color(QPalette::WindowText),
                 window->palette().color(QPalette::WindowText));
        QVERIFY(!uptime->autoFillBackground());
        QCOMPARE(Control<QLabel>(controls::Label1)->alignment(), Qt::AlignLeft | Qt::AlignTop);
    }

    // The grey band across the top is painted on the window, not a control of its own.
    void bandIsPaintedOnTheWindow() {
        const QImage shot = window->grab().toImage();
        const auto planned =
            std::find_if(plan.controls.begin(), plan.controls.end(),
                         [](const auto& c) { return c.name == controls::lblUptime; });
        QVERIFY(planned != plan.controls.end());
        const platform::Rect label = planned->rect;
        for (const int x : {0, window->width() / 2, window->width() - 1})
            for (int y = 0; y < label.top; ++y)
                QCOMPARE(shot.pixelColor(x, y), QColor(224, 224, 224));
        QVERIFY(shot.pixelColor(1, label.top + label.height + 1) != QColor(224, 224, 224));
        QVERIFY(window->Control(controls::Shape1) == nullptr);
        for (const QObject* child : window->children())
            QVERIFY2(child->objectName() != ToQt(controls::Shape1.Text()),
                     "the band is a child object");
    }

    void tabOrderFollowsThePlan() {
        QStringList expected;
        for (const platform::ControlPlan& planned : plan.controls)
            if (planned.tabStop)
                expected << ToQt(planned.name.Text());
        QWidget* widget = window->Control(controls::txtInt);
        QStringList seen;
        for (int step = 0; step < 100 && seen.size() < expected.size(); ++step) {
            if (widget->focusPolicy() & Qt::TabFocus)
                seen << widget->objectName();
            widget = widget->nextInFocusChain();
        }
        QCOMPARE(seen, expected);
    }

    // Qt numbers its check states differently: 0, 1 and 2 map onto them in one place. A click
    // leaves the state to the program.
    void checkBoxes() {
        auto* box = Control<QCheckBox>(controls::chkFile);
        const std::pair<platform::CheckValue, Qt::CheckState> values[] = {
            {platform::vbUnchecked, Qt::Unchecked},
            {platform::vbChecked, Qt::Checked},
            {platform::vbGrayed, Qt::PartiallyChecked}};
        for (const auto& [value, state] : values) {
            window->SetValue(controls::chkFile, value);
            QCOMPARE(box->checkState(), state);
            QCOMPARE(window->Value(controls::chkFile), value);
            QTest::mouseClick(box, Qt::LeftButton);
            QCOMPARE(box->checkState(), state);
            QVERIFY(events.Has("Click chkFile"));
            events.log.clear();
        }
        static_assert(!std::is_convertible_v<int, platform::CheckValue>, "no value but 0, 1, 2");
    }

    void popupMenuItems() {
        const QMenu* popup = window->Menu();
        QCOMPARE(popup->objectName(), ToQt(controls::Form1Layout.menuName));
        QCOMPARE(popup->title(), QStringLiteral("System Tray Menu"));
        QStringList items;
        for (const QAction* action : popup->actions())
            items << action->objectName() + ':' + action->text();
        QCOMPARE(items, (QStringList{ToQt(controls::mnOpen.Text()) + ":Open Tallimer",
                                     ToQt(controls::mnExit.Text()) + ":Exit"}));
        QCOMPARE(popup->defaultAction()->text(), QStringLiteral("Open Tallimer"));
        popup->actions().at(1)->trigger();
        QVERIFY(events.Has("MenuClick mnExit"));
    }

    void controlsSendTheirEvents() {
        QTest::mouseClick(Control<QPushButton>(controls::cmdToggle), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>(controls::cmdTray), Qt::LeftButton);
        QTest::keyClicks(Control<QLineEdit>(controls::txtInt), "7");
        QVERIFY(events.Has("Click cmdToggle"));
        QVERIFY(events.Has("Click cmdTray"));
        QVERIFY(events.Has("Change txtInt"));
        QCOMPARE(window->Text(controls::txtInt), "7"s);
        window->SetEnabled(controls::txtInt, false);
        QVERIFY(!Control<QLineEdit>(controls::txtInt)->isEnabled());
        QVERIFY(!window->Enabled(controls::txtInt));
        window->SetText(controls::txtInt, "30");
        QCOMPARE(Control<QLineEdit>(controls::txtInt)->cursorPosition(), 2);
    }

    // Return goes to the program first; what it does not take, the widget gets.
    void returnKey() {
        auto* start = Control<QPushButton>(controls::cmdToggle);
        QTest::keyClick(start, Qt::Key_Return);
        QVERIFY(events.Has("KeyDown cmdToggle"));
        QTest::keyClick(start, Qt::Key_Return, Qt::ShiftModifier);
        QVERIFY(events.Has("KeyDown cmdToggle Shift"));
        QVERIFY(!events.Has("Click cmdToggle")); // the program clicks it itself
        events.log.clear();
        events.handleKeys = false;
        QSignalSpy returned(Control<QLineEdit>(controls::txtInt), &QLineEdit::returnPressed);
        QTest::keyClick(Control<QLineEdit>(controls::txtInt), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(events.Has("KeyDown txtInt"));
        QCOMPARE(returned.count(), 1);
    }

    void focusIsReported() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QVERIFY(events.Has("Activate"));
        window->SetFocus(controls::cmdTray);
        QTRY_VERIFY(events.Has("GotFocus cmdTray"));
        QCOMPARE(QApplication::focusWidget(), window->Control(controls::cmdTray));
    }

    // Timers run once per start, precisely, and tell when they run out.
    void timers() {
        QVERIFY(!window->TimerEnabled(controls::tmrUpdate));
        window->StartTimer(controls::tmrUpdate, 1300);
        auto* timer = window->findChild<QTimer*>(ToQt(controls::tmrUpdate.Text()));
        if (timer == nullptr)
            QFAIL("no timer named tmrUpdate");
        QVERIFY(window->TimerEnabled(controls::tmrUpdate));
        QVERIFY(timer->isSingleShot());
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
        QCOMPARE(timer->interval(), 1300);
        window->StopTimer(controls::tmrUpdate);
        QVERIFY(!window->TimerEnabled(controls::tmrUpdate));
        window->StartTimer(controls::tmrUpdate, 10);
        QTRY_VERIFY(events.Has("Timer tmrUpdate"));
        QVERIFY(!window->TimerEnabled(controls::tmrUpdate));
    }

    // What the user does with the tray icon reaches the window's events as the shell's
    // notifications do: a mouse move whose x is the code, nothing for a single click.
    void trayNotifications() {
        platform::QtShellIconService shell(window->windowIcon());
        shell.SetEvents(&events);
        shell.Activated(QSystemTrayIcon::Trigger, false);
        QVERIFY(!events.Has("MouseMove"));
        shell.Activated(QSystemTrayIcon::DoubleClick, false);
        QVERIFY(events.Has("MouseMove"));
        QCOMPARE(events.lastMouse.x, 515.0);
        shell.Activated(QSystemTrayIcon::Context, true);
        QCOMPARE(events.lastMouse.x, 517.0);
    }

    void windowState() {
        window->Show();
        QVERIFY(window->isVisible());
        window->SetWindowState(platform::vbMinimized);
        QCOMPARE(window->WindowState(), platform::vbMinimized);
        window->SetWindowState(platform::vbNormal);
        QCOMPARE(window->WindowState(), platform::vbNormal);
        window->Hide();
        QVERIFY(!window->isVisible());
        // Hidden, it is minimised for the program alone; a window minimised before it was
        // hidden comes back normal all the same.
        for (const bool minimisedFirst : {false, true}) {
            window->Show();
            if (minimisedFirst)
                window->SetWindowState(platform::vbMinimized);
            window->Hide();
            window->SetWindowState(platform::vbMinimized);
            QCOMPARE(window->WindowState(), platform::vbMinimized);
            QVERIFY(!minimisedFirst == !(window->windowState() & Qt::WindowMinimized));
            window->SetWindowState(platform::vbNormal);
            window->Show();
            QVERIFY(window->isVisible() && !(window->windowState() & Qt::WindowMinimized));
            window->Hide();
        }
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
