#pragma once

#include "platform/window.h"

#include <QHash>
#include <QString>
#include <QWidget>

class QMenu;
class QTimer;

namespace platform {

// The program's window on Qt: built from its table of controls, each reached by its name.
class QtWindow final : public QWidget, public Window {
    Q_OBJECT
public:
    explicit QtWindow(const WindowLayout& form, QWidget* parent = nullptr);
    ~QtWindow() override;

    // Where the window's events go; none are sent before this is called.
    void SetEvents(WindowEvents* events) { events_ = events; }
    // The pop-up menu, which panels that draw their own icon menus show too.
    QMenu* Menu() const { return menu_; }
    // A control by its name (nothing for a name the table does not have).
    QWidget* Control(std::string_view name) const;

    std::string Text(std::string_view control) const override;
    void SetText(std::string_view control, std::string_view text) override;
    void SetEnabled(std::string_view control, bool enabled) override;
    int Value(std::string_view checkBox) const override;
    void SetValue(std::string_view checkBox, int value) override;
    void Show() override;
    void Hide() override;
    bool Visible() const override;
    int WindowState() const override;
    void SetWindowState(int state) override;
    void SetFocus() override;
    void PopupMenu() override;
    void StartTimer(std::string_view timer, int milliseconds) override;
    void StopTimer(std::string_view timer) override;
    bool TimerEnabled(std::string_view timer) const override;
    double TwipsPerPixelX() const override { return twipsPerPixelX_; }
    double TwipsPerPixelY() const override { return twipsPerPixelY_; }
    void Unload() override;
    WindowHandle Handle() const override;
    IconHandle Icon() const override { return nullptr; }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QRect Twips(int left, int top, int width, int height) const;
    void CreateControl(const ControlLayout& control);
    QTimer* TimerNamed(std::string_view name);

    const WindowLayout& form_;
    WindowEvents* events_ = nullptr;
    double twipsPerPixelX_;
    double twipsPerPixelY_;
    QHash<QString, QWidget*> controls_;
    QHash<QString, QTimer*> timers_;
    QMenu* menu_ = nullptr;
};

} // namespace platform
