#pragma once

#include "platform/named.h"
#include "platform/win32/owned.h"
#include "platform/window.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

namespace platform {

// A mouse move as the window reports it. The notification-area icon's callback comes as a
// mouse move whose lParam is the notification code, so its x in pixels is that code.
MouseInput DecodeMouseMove(LPARAM lParam);

// The program's window on Win32: built from its plan, each control reached by its name.
class Win32Window final : public Window {
public:
    explicit Win32Window(HINSTANCE instance);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    void SetEvents(WindowEvents* events) { events_ = events; }
    // Calls the handler whenever the message the system registers under the name comes, such
    // as "TaskbarCreated" when the shell's notification area starts afresh.
    void OnRegisteredMessage(const char* name, std::function<void()> handler);
    // The class of the program's windows, which other copies look for.
    static constexpr const char* ClassName = "TallimerWindow";
    // Runs the message loop until the window is gone; the program's exit status.
    int Run();

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
    WindowHandle Handle() const override { return hwnd_; }
    IconHandle Icon() const override { return smallIcon_.get(); }

private:
    struct Control {
        ControlKind kind;
        HWND handle;
    };
    struct Timer {
        UINT_PTR id;
        bool running;
    };
    using Controls = Named<ControlName, Control>;
    struct Shape {
        RECT rect;
        OwnedBrush brush;
    };
    struct Colours {
        COLORREF background;
        COLORREF foreground;
        OwnedBrush brush;
    };

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR id, DWORD_PTR window);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnLifeMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    LRESULT OnControlColour(HDC dc, HWND control);
    void OnPaint();
    bool OnActivate(WPARAM wParam);
    void OnDpiChanged(WPARAM wParam, const RECT& suggested);
    void OnAppearanceChanged(UINT message, WPARAM wParam);
    void SetShapes(const std::vector<ShapePlan>& shapes);
    void SetColours(HWND control, const ControlPlan& plan);
    // A key the program may act on before the dialog manager does; true when it did.
    bool PreTranslate(const MSG& message);

    bool CreateControl(const ControlPlan& plan, UINT_PTR id);
    void AddToolTip(HWND control, std::string_view text);
    HFONT FontFor(const FontPlan& plan) const;
    const Controls::Item* Find(HWND handle) const;
    Extent Indicator(const FontPlan& font, const std::string& text, int textWidth,
                     int averageCharWidth) const;
    HWND HandleOf(ControlName name) const;
    bool Visible() const;
    void Close();

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND tooltips_ = nullptr;
    OwnedIcon icon_;
    OwnedIcon smallIcon_;
    mutable std::vector<std::pair<FontPlan, OwnedFont>> fonts_;
    // A check box's indicator and the gap after it, for each font, until the look changes.
    mutable std::vector<std::pair<FontPlan, Extent>> indicators_;
    Controls controls_;
    std::vector<MenuItemPlan> menuItems_;
    Named<TimerName, Timer> timers_;
    std::vector<Shape> shapes_;
    std::map<HWND, Colours> colours_;
    WindowEvents* events_ = nullptr;
    std::vector<std::pair<UINT, std::function<void()>>> registeredMessages_;
    double twipsPerPixelX_ = 15;
    double twipsPerPixelY_ = 15;
    UINT dpi_ = 96;
    DWORD style_ = 0;
    // The system's density, which its fonts' metrics are given in: fixed until the next sign-in.
    int systemDpi_ = 96;
    std::optional<POINT> placeAt_;
    bool minimisedWhileHidden_ = false;
    bool closed_ = false;
    bool restyling_ = false;
};

} // namespace platform
