#pragma once

#include "platform/window.h"

#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// The window as designed, in twips, and everything every window system derives from it: the
// pixels, the order of creation and of the Tab key, which label names which control, what is
// painted, what a click does to a check box and what the mouse reports. Decided here once, so
// that every front end behaves alike.
namespace ui {

using platform::ControlKind;
using platform::ControlName;
using platform::MenuItemName;

struct Font {
    std::string_view face;
    double points;
    bool bold;
};

// One control; lengths in twips (1/1440 inch) within the client area.
struct ControlLayout {
    ControlName name;
    ControlKind kind;
    std::string_view text;
    int left, top, width, height;
    int tabIndex; // -1: not in the tab order
    std::string_view toolTip;
    std::optional<Font> font;             // the window's own when none
    std::optional<platform::Colour> fill; // the background of a label, the colour of a shape
    std::optional<ControlName> labelFor;  // a label that names this other control
    platform::TextAlign align = platform::TextAlign::Left;
};

struct MenuItemLayout {
    MenuItemName name;
    std::string_view text;
};

struct FormLayout {
    std::string_view caption;
    int clientWidth, clientHeight; // twips
    Font font;
    std::span<const ControlLayout> controls;
    std::string_view menuName;
    std::string_view menuText;
    std::span<const MenuItemLayout> menuItems; // the first is the default item
    // The form comes up in the middle of the screen, and its size is fixed: nothing maximises it.
    bool centred = true;
    bool maximisable = false;
};

// Twips to whole pixels, rounded halves to even, as each of a rectangle's four lengths is.
int Pixels(int twips, double twipsPerPixel);

// How the window system measures a control's text (Window::Measure).
using Measurer = std::function<platform::ControlMetrics(
    platform::ControlKind, const platform::FontPlan&, std::string_view)>;

// The window in pixels at the screen's density, in the colours the desktop asks for. With a
// measurer, a control whose text the desktop's style or fonts make wider or taller than the
// table allows grows into the free space beside it, nothing else moving; a text that still
// does not fit is set a little smaller.
platform::WindowPlan PlanWindow(const FormLayout& form, double twipsPerPixelX,
                                double twipsPerPixelY, platform::Appearance appearance = {},
                                const Measurer& measure = nullptr);

// How much larger than the table the window is laid out where the user asked the desktop for
// larger text: by as much, all of it alike; never smaller.
double TextScale(const platform::Appearance& appearance);

// The window as designed, for the screen, the look and the measures of the window system's
// window: what the program's window is built from.
platform::WindowPlan PlanWindow(const FormLayout& form, const platform::Window& window);

// How much two colours contrast, as the Web Content Accessibility Guidelines reckon it: from
// 1 (the same) to 21 (black and white). Text wants 4.5 at least.
double Contrast(platform::Colour a, platform::Colour b);

// Black or white, whichever is read better on the fill.
platform::Colour ReadableOn(platform::Colour fill);

// The controls the Tab key moves through, in its order.
std::vector<ControlName> TabOrder(const FormLayout& form);

const ControlLayout* Find(const FormLayout& form, ControlName name);

// A check box's value after a click: clear and ticked take turns, and a greyed box (which
// only a settings file can make) becomes ticked, since greyed counts as not ticked.
platform::CheckValue CheckValueAfterClick(platform::CheckValue value);

// Whether the key presses a control of this kind: Return alone (no Shift, Ctrl or Alt) presses
// a button; what it does held down is not another press.
bool Presses(const platform::KeyPress& press, ControlKind kind);

// The mouse's position as the program's handlers count it: in twips.
struct MouseState {
    double x, y;
};
MouseState Mouse(const platform::MouseInput& mouse, double twipsPerPixelX, double twipsPerPixelY);

} // namespace ui
