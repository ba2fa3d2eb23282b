#pragma once

#include "platform/shellicon.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The window system as the program's window sees it: a window built from a plan in pixels,
// its controls reached by their names, and the events it sends back.
namespace platform {

// A name the window knows something by, typed by what it names: a timer's name does not fit
// where a control's is wanted.
template <typename Named> class Name {
public:
    constexpr explicit Name(std::string_view text) : text_(text) {}
    constexpr std::string_view Text() const { return text_; }
    friend constexpr bool operator==(Name a, Name b) { return a.text_ == b.text_; }
    friend constexpr bool operator<(Name a, Name b) { return a.text_ < b.text_; }

private:
    std::string_view text_;
};
using ControlName = Name<struct ControlTag>;
using TimerName = Name<struct TimerTag>;
using MenuItemName = Name<struct MenuItemTag>;

enum class ControlKind { Shape, Label, TextBox, Button, CheckBox };
enum class TextAlign { Left, Centre }; // across; a label's text always starts at its top

struct Colour {
    std::uint8_t red, green, blue;
    friend bool operator==(const Colour&, const Colour&) = default;
};

struct Rect {
    int left, top, width, height;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct FontPlan {
    std::string_view face;
    int pixels; // the height of the characters, without the space above them
    bool bold;
    friend bool operator==(const FontPlan&, const FontPlan&) = default;
};

// A width and a height in pixels.
struct Extent {
    int width = 0, height = 0;
    friend bool operator==(const Extent&, const Extent&) = default;
};

// What the desktop's style and fonts make of a control's text, in pixels, as the window system
// measures it: what the control needs is the text, the indicator beside it, and the frame on
// each side of both.
struct ControlMetrics {
    Extent text;      // the text on one line, in the control's font
    Extent indicator; // a check box's box, with the gap between it and its text
    Extent frame;     // what a control keeps clear on each side (a button's edge and margin)
};

// The desktops whose text comes in a size of their own where no one changed it.
enum class Desktop { Other, Gnome, Kde, Windows };

// What the desktop asks of the window's colours and its text.
struct Appearance {
    // High contrast: the system's colours throughout, none of the program's own.
    bool highContrast = false;
    // The size of the desktop's text, in points; 0 where the system does not say.
    double textPoints = 0;
    Desktop desktop = Desktop::Other;
    friend bool operator==(const Appearance&, const Appearance&) = default;
};

// Points in twips: 20 to the point, 1440 to the inch.
constexpr double TwipsPerPoint = 20;

// One control as the window system builds it; lengths in pixels within the client area.
struct ControlPlan {
    ControlName name;
    ControlKind kind;
    std::string_view text;
    Rect rect;
    bool tabStop;
    std::string_view toolTip;
    FontPlan font;
    // The program's own colours for the control, or the desktop's where there are none. Text
    // on a background of the program's always has a foreground chosen to be read on it.
    std::optional<Colour> background;
    std::optional<Colour> foreground;
    TextAlign align;
    // A label that names another control: that control.
    std::optional<ControlName> labelFor;
    // What a screen reader calls the control, when a label names it; else its own text.
    std::string_view accessibleName;
};

// A filled rectangle painted on the window itself.
struct ShapePlan {
    Rect rect;
    Colour fill;
};

struct MenuItemPlan {
    MenuItemName name;
    std::string_view text;
};

struct WindowPlan {
    std::string_view caption;
    int clientWidth, clientHeight;
    // In the order they are created: the tab order, each label right before the control it
    // names (which is how the system's screen-reader support on Windows finds it).
    std::vector<ControlPlan> controls;
    std::vector<ShapePlan> shapes;
    std::string_view menuName;
    std::string_view menuText;
    std::vector<MenuItemPlan> menuItems; // the first is the default item
    // Shown the first time in the middle of the screen's work area (else where the system puts
    // it), and offered for maximising or not: a window of fixed size is not.
    bool centred = true;
    bool maximisable = false;
};

// Twips (1/1440 inch) per pixel at the screen's dots per inch: 15 at 96, and 15 for a screen
// that does not say.
constexpr double TwipsPerPixel(double dotsPerInch) {
    return 1440.0 / (dotsPerInch > 0 ? dotsPerInch : 96.0);
}

// Window states; the numbers are the program's own.
enum WindowStateValue { vbNormal = 0, vbMinimized = 1 };

// Check-box values, as the settings file writes them: greyed counts as not ticked.
enum CheckValue { vbUnchecked = 0, vbChecked = 1, vbGrayed = 2 };

// The value a number stands for, or nothing for a number that is none.
constexpr std::optional<CheckValue> AsCheckValue(int number) {
    return number >= vbUnchecked && number <= vbGrayed ? std::optional(CheckValue(number))
                                                       : std::nullopt;
}

// Where the mouse is, as the window system reports it: in pixels of the client area. (The
// notification-area icon's notifications come as such a position.)
struct MouseInput {
    double x = 0, y = 0;
};

enum class Key { Return };

// A key going down, with the keys held with it; a repeat is one that is held.
struct KeyPress {
    Key key;
    bool shift = false, control = false, alt = false;
    bool repeat = false;
};

// What the window sends back; the program's window implements it.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    // A button or a check box was clicked, by the mouse or the keyboard. A check box does not
    // change by itself: the program sets its new value.
    virtual void Click(ControlName control) = 0;
    // An item of the pop-up menu was chosen.
    virtual void MenuClick(MenuItemName item) = 0;
    // The text of a text box changed, by the user or the program.
    virtual void Change(ControlName control) = 0;
    // A timer started with StartTimer has run out.
    virtual void Timer(TimerName timer) = 0;
    // The mouse moved over the window or its notification-area icon.
    virtual void MouseMove(const MouseInput& mouse) = 0;
    // A key went down, or repeats, while the control had the keyboard focus. True when the
    // program took it, and the window system then does nothing more with it.
    virtual bool KeyDown(ControlName control, const KeyPress& press) = 0;
    // The control got the keyboard focus.
    virtual void GotFocus(ControlName control) = 0;
    // The window became the active window.
    virtual void Activate() = 0;
    // The window is now on a screen of another density (TwipsPerPixelX and Y say which), or
    // the desktop's colours, style or fonts changed: the window is laid out anew.
    virtual void AppearanceChanged() = 0;
    // The window is about to close, whichever way; it closes afterwards.
    virtual void QueryUnload() = 0;
    // The desktop session ends, or the system asks the program to end (a logout, a shutdown, a
    // kill, Ctrl+C in a terminal).
    virtual void SessionEnding() = 0;
};

class Window {
public:
    virtual ~Window() = default;

    // Builds the window and its controls from the plan; false when the system refused.
    virtual bool Create(const WindowPlan& plan) = 0;
    // Lays the built window out again from a plan for another density or look: its size, the
    // controls' places, fonts and colours, what is painted. Texts, values and the focus stay
    // as they are.
    virtual void Layout(const WindowPlan& plan) = 0;
    // What the desktop asks of the window's colours now.
    virtual Appearance CurrentAppearance() const = 0;
    // What a control of this kind needs to show the text in the font whole, with the desktop's
    // style; callable before Create.
    virtual ControlMetrics Measure(ControlKind kind, const FontPlan& font,
                                   std::string_view text) const = 0;

    virtual std::string Text(ControlName control) const = 0;
    // A text box's caret then stands at the end of the new text.
    virtual void SetText(ControlName control, std::string_view text) = 0;
    virtual bool Enabled(ControlName control) const = 0;
    virtual void SetEnabled(ControlName control, bool enabled) = 0;
    virtual CheckValue Value(ControlName checkBox) const = 0;
    virtual void SetValue(ControlName checkBox, CheckValue value) = 0;

    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual WindowStateValue WindowState() const = 0;
    virtual void SetWindowState(WindowStateValue state) = 0;
    // Brings the window to the front as the active window, as far as the system lets it.
    virtual void BringToFront() = 0;
    // Gives the control the keyboard focus (the window's, for when it is active).
    virtual void SetFocus(ControlName control) = 0;
    // The control that has the keyboard focus, if one has.
    virtual std::optional<ControlName> FocusedControl() const = 0;
    // Pops the menu up at the mouse, its first item the default.
    virtual void PopupMenu() = 0;

    // One run of a timer: Timer(name) comes once, after milliseconds.
    virtual void StartTimer(TimerName timer, int milliseconds) = 0;
    virtual void StopTimer(TimerName timer) = 0;
    virtual bool TimerEnabled(TimerName timer) const = 0;

    virtual double TwipsPerPixelX() const = 0;
    virtual double TwipsPerPixelY() const = 0;

    // Closes the window: QueryUnload runs, then the window goes and the program ends.
    virtual void Unload() = 0;

    virtual WindowHandle Handle() const = 0;
    virtual IconHandle Icon() const = 0;
};

} // namespace platform
