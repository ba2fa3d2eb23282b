#pragma once

#include "platform/shellicon.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The window system as the program's window sees it: a window built from a table of
// controls, reached by the controls' names, and the events it sends back.
namespace platform {

enum class ControlKind { Shape, Label, TextBox, Button, CheckBox };

struct Colour {
    std::uint8_t red, green, blue;
    friend bool operator==(const Colour&, const Colour&) = default;
};

struct Font {
    std::string_view face;
    double points;
    bool bold;
};

// One control; lengths in twips (1/1440 inch) within the client area.
struct ControlLayout {
    std::string_view name;
    ControlKind kind;
    std::string_view text;
    int left, top, width, height;
    int tabIndex; // -1: not in the tab order
    std::string_view toolTip;
    std::optional<Font> font;         // the window's default when none
    std::optional<Colour> background; // a shape's fill
    std::string_view labelFor;        // a label that names this other control
    bool centred = false;             // a label's text
};

struct MenuItem {
    std::string_view name;
    std::string_view text;
};

struct WindowLayout {
    std::string_view caption;
    int clientWidth, clientHeight; // twips
    std::span<const ControlLayout> controls;
    std::string_view menuName;
    std::string_view menuText;
    std::span<const MenuItem> menuItems; // the first is the default item
};

// Twips (1/1440 inch) per pixel at the screen's dots per inch: 15 at 96, and 15 for a screen
// that does not say.
constexpr double TwipsPerPixel(double dotsPerInch) {
    return 1440.0 / (dotsPerInch > 0 ? dotsPerInch : 96.0);
}

// Window states.
constexpr int vbNormal = 0;
constexpr int vbMinimized = 1;

// Check-box values.
constexpr int vbUnchecked = 0;
constexpr int vbChecked = 1;
constexpr int vbGrayed = 2;

// What the window sends back; the program's window implements it.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    // A button, or an item of the pop-up menu, was clicked.
    virtual void Click(std::string_view control) = 0;
    // The text of a text box changed, by the user or the program.
    virtual void Change(std::string_view control) = 0;
    // A timer started with StartTimer has run out.
    virtual void Timer(std::string_view timer) = 0;
    // The mouse moved over the window or its notification-area icon; x and y in twips.
    virtual void MouseMove(int button, int shift, double x, double y) = 0;
    // The window is about to close, whichever way; it closes afterwards.
    virtual void QueryUnload() = 0;
};

class Window {
public:
    virtual ~Window() = default;

    virtual std::string Text(std::string_view control) const = 0;
    virtual void SetText(std::string_view control, std::string_view text) = 0;
    virtual void SetEnabled(std::string_view control, bool enabled) = 0;
    // A check box's value: vbUnchecked, vbChecked or vbGrayed.
    virtual int Value(std::string_view checkBox) const = 0;
    virtual void SetValue(std::string_view checkBox, int value) = 0;

    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual bool Visible() const = 0;
    virtual int WindowState() const = 0;
    virtual void SetWindowState(int state) = 0;
    virtual void SetFocus() = 0;
    // Pops the menu up at the mouse, its first item the default.
    virtual void PopupMenu() = 0;

    // One run of a timer: Timer(name) comes once, after milliseconds.
    virtual void StartTimer(std::string_view timer, int milliseconds) = 0;
    virtual void StopTimer(std::string_view timer) = 0;
    virtual bool TimerEnabled(std::string_view timer) const = 0;

    virtual double TwipsPerPixelX() const = 0;
    virtual double TwipsPerPixelY() const = 0;

    // Closes the window: QueryUnload runs, then the window goes and the program ends.
    virtual void Unload() = 0;

    virtual WindowHandle Handle() const = 0;
    virtual IconHandle Icon() const = 0;
};

} // namespace platform
