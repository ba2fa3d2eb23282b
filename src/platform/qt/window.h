#pragma once

#include "platform/named.h"
#include "platform/window.h"

#include <QWidget>
#include <vector>

class QMenu;
class QTimer;

namespace platform {

// The program's window on Qt: built from its plan, each control reached by its name.
class QtWindow final : public QWidget, public Window {
    Q_OBJECT
public:
    explicit QtWindow(QWidget* parent = nullptr);
    ~QtWindow() override;

    // Where the window's events go; none are sent before this is called.
    void SetEvents(WindowEvents* events) { events_ = events; }
    // The pop-up menu, which panels that draw their own icon menus show too.
    QMenu* Menu() const { return menu_; }
    // A control by its name (nothing for a name the plan does not have).
    QWidget* Control(ControlName name) const;

    bool Create(const WindowPlan& plan) override;
    void Layout(const WindowPlan& plan) override;
    Appearance CurrentAppearance() const override;
    ControlMetrics Measure(ControlKind kind, const FontPlan& font,
                           std::string_view text) const override;
    std::string Text(ControlName control) const override;
    void SetText(ControlName control, std::string_view text) override;
    bool Enabled(ControlName control) const override;
    void SetEnabled(ControlName control, bool enabled) override;
    CheckValue Value(ControlName checkBox) const override;
    void SetValue(ControlName checkBox, CheckValue value) override;
    void Show() override;
    void Hide() override;
    WindowStateValue WindowState() const override;
    void SetWindowState(WindowStateValue state) override;
    void BringToFront() override;
    void SetFocus(ControlName control) override;
    std::optional<ControlName> FocusedControl() const override;
    void PopupMenu() override;
    void StartTimer(TimerName timer, int milliseconds) override;
    void StopTimer(TimerName timer) override;
    bool TimerEnabled(TimerName timer) const override;
    double TwipsPerPixelX() const override { return twipsPerPixelX_; }
    double TwipsPerPixelY() const override { return twipsPerPixelY_; }
    void Unload() override;
    WindowHandle Handle() const override;
    IconHandle Icon() const override { return nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* CreateControl(const ControlPlan& control);
    QWidget* CreateLabel(const ControlPlan& control);
    QWidget* CreateTextBox(const ControlPlan& control);
    QWidget* CreateButton(const ControlPlan& control);
    void CreateMenu(const WindowPlan& plan);
    QTimer* TimerNamed(TimerName name);
    // The control's name, for a widget of the window's.
    const ControlName* NameOf(const QObject* widget) const;

    WindowEvents* events_ = nullptr;
    double twipsPerPixelX_;
    double twipsPerPixelY_;
    std::vector<ShapePlan> shapes_;
    Named<ControlName, QWidget*> controls_;
    Named<TimerName, QTimer*> timers_;
    QMenu* menu_ = nullptr;
    QTimer* restyle_ = nullptr;
    bool minimisedWhileHidden_ = false;
};

} // namespace platform
