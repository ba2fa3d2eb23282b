#pragma once

#include "platform/window.h"

#include <functional>
#include <map>
#include <string>
#include <windows.h>

namespace platform {

// A mouse move as the window's handler takes it: buttons and shift keys as the program counts
// them, the position in twips. The notification-area icon's callback comes as a mouse move
// whose lParam is the notification code, so its x in pixels is that code.
struct MouseMove {
    int button, shift;
    double x, y;
};
MouseMove DecodeMouseMove(WPARAM wParam, LPARAM lParam, double twipsPerPixelX,
                          double twipsPerPixelY, bool altDown);

// The program's window on Win32: built from its table of controls, each reached by its name.
class Win32Window final : public Window {
public:
    Win32Window(const WindowLayout& layout, HINSTANCE instance);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // False when the window system refused the window (under Wine: no display).
    bool Created() const { return hwnd_ != nullptr; }
    void SetEvents(WindowEvents* events) { events_ = events; }
    // Called when the shell's notification area starts afresh (Explorer restarted).
    void OnTaskbarCreated(std::function<void()> handler) { taskbarCreated_ = std::move(handler); }
    // Runs the message loop until the window is gone; the program's exit status.
    int Run();

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
    WindowHandle Handle() const override { return hwnd_; }
    IconHandle Icon() const override { return smallIcon_; }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    RECT Twips(int left, int top, int width, int height) const;
    void CreateControls();
    HWND Control(std::string_view name) const;
    void Close();

    const WindowLayout& layout_;
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND tooltips_ = nullptr;
    HFONT font_ = nullptr;
    std::map<std::string, HFONT, std::less<>> fonts_;
    std::map<std::string, HWND, std::less<>> controls_;
    std::map<UINT_PTR, std::string> names_; // control and menu ids, timer ids
    std::map<std::string, UINT_PTR, std::less<>> timers_;
    std::map<std::string, UINT_PTR, std::less<>> running_;
    std::map<HWND, HBRUSH> backgrounds_;
    HBRUSH bandBrush_ = nullptr;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    WindowEvents* events_ = nullptr;
    std::function<void()> taskbarCreated_;
    UINT taskbarCreatedMessage_ = 0;
    double twipsPerPixelX_ = 15;
    double twipsPerPixelY_ = 15;
    bool minimisedWhileHidden_ = false;
    bool closed_ = false;
};

} // namespace platform
