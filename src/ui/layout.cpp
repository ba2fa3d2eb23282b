#include "ui/layout.h"

#include "base/numeric.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ui {
namespace {

constexpr platform::Colour Black{0, 0, 0};
constexpr platform::Colour White{255, 255, 255};

bool IsTabStop(const ControlLayout& control) {
    return control.tabIndex >= 0 &&
           (control.kind == ControlKind::TextBox || control.kind == ControlKind::Button ||
            control.kind == ControlKind::CheckBox);
}

// The controls by tab index, those outside the tab order last.
std::vector<const ControlLayout*> ByTabIndex(const FormLayout& form) {
    std::vector<const ControlLayout*> ordered;
    for (const ControlLayout& control : form.controls)
        if (control.kind != ControlKind::Shape)
            ordered.push_back(&control);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](auto a, auto b) { return unsigned(a->tabIndex) < unsigned(b->tabIndex); });
    return ordered;
}

} // namespace

int Pixels(int twips, double twipsPerPixel) {
    return base::SaturateToInt32(twips / twipsPerPixel);
}

const ControlLayout* Find(const FormLayout& form, ControlName name) {
    const auto found = std::find_if(form.controls.begin(), form.controls.end(),
                                    [name](const ControlLayout& c) { return c.name == name; });
    return found == form.controls.end() ? nullptr : &*found;
}

std::vector<ControlName> TabOrder(const FormLayout& form) {
    std::vector<ControlName> order;
    for (const ControlLayout* control : ByTabIndex(form))
        if (IsTabStop(*control))
            order.push_back(control->name);
    return order;
}

namespace {

// The order of creation: the tab order, each label that names a control right before it.
std::vector<const ControlLayout*> CreationOrder(const FormLayout& form) {
    std::vector<const ControlLayout*> ordered = ByTabIndex(form);
    for (const ControlLayout& label : form.controls) {
        if (!label.labelFor)
            continue;
        const auto from = std::find(ordered.begin(), ordered.end(), &label);
        if (from == ordered.end())
            continue;
        ordered.erase(from);
        const auto named =
            std::find_if(ordered.begin(), ordered.end(),
                         [&label](const ControlLayout* c) { return c->name == *label.labelFor; });
        ordered.insert(named, &label);
    }
    return ordered;
}

// The least rectangle that shows a control's text whole.
platform::Extent Needed(const platform::ControlMetrics& m) {
    return {m.indicator.width + m.text.width + 2 * m.frame.width,
            std::max(m.indicator.height, m.text.height) + 2 * m.frame.height};
}

// Whether two spans share more than the pixel that neighbours in the table may share.
bool Overlap(int from, int length, int otherFrom, int otherLength) {
    return std::min(from + length, otherFrom + otherLength) - std::max(from, otherFrom) > 1;
}

// How far a control may reach: across, to the nearest control beside it on either side, or the
// window's edge; down and up likewise, to the controls above and below it.
struct Room {
    int left, right, top, bottom;
};

Room RoomOf(const platform::WindowPlan& plan, const platform::ControlPlan& control) {
    const platform::Rect& r = control.rect;
    Room room{0, plan.clientWidth, 0, plan.clientHeight};
    for (const platform::ControlPlan& other : plan.controls) {
        const platform::Rect& o = other.rect;
        if (&other == &control)
            continue;
        if (Overlap(r.top, r.height, o.top, o.height)) {
            if (o.left >= r.left + r.width / 2)
                room.right = std::min(room.right, o.left);
            else
                room.left = std::max(room.left, o.left + o.width);
        } else if (Overlap(r.left, r.width, o.left, o.width)) {
            if (o.top >= r.top + r.height / 2)
                room.bottom = std::min(room.bottom, o.top);
            else
                room.top = std::max(room.top, o.top + o.height);
        }
    }
    // Never less than the table gives; a check box may go down as far as it needs, as the boxes
    // below it make way (Stack).
    room.left = std::min(room.left, r.left);
    room.right = std::max(room.right, r.left + r.width);
    room.top = std::min(room.top, r.top);
    room.bottom = control.kind == ControlKind::CheckBox ? std::numeric_limits<int>::max()
                                                        : std::max(room.bottom, r.top + r.height);
    return room;
}

// The table's rectangle, grown to what the text needs, as far as the room goes: across into the
// room on its right, then on its left; down and up alike, then into whichever side has room.
platform::Rect Grown(platform::Rect r, platform::Extent need, const Room& room) {
    if (need.width > r.width) {
        const int right = std::min(room.right, r.left + need.width);
        const int left = std::max(room.left, right - need.width);
        r.width = right - left;
        r.left = left;
    }
    if (need.height > r.height) {
        int top = r.top - (need.height - r.height) / 2;
        top -= std::max(0, top + need.height - room.bottom);
        top = std::max(top, room.top);
        r.height = std::min(room.bottom, top + need.height) - top;
        r.top = top;
    }
    return r;
}

// Each control with a caption gets the room its text needs, where there is any; a text that
// does not fit even so is set smaller, a pixel at a time, down to three quarters of its size.
void Fit(platform::WindowPlan& plan, const Measurer& measure) {
    for (platform::ControlPlan& control : plan.controls) {
        if (control.text.empty() || control.kind == ControlKind::TextBox)
            continue;
        const platform::Rect table = control.rect;
        const Room room = RoomOf(plan, control);
        const int smallest = (control.font.pixels * 3 + 3) / 4;
        for (;;) {
            const platform::Extent need = Needed(measure(control.kind, control.font, control.text));
            control.rect = Grown(table, need, room);
            if ((control.rect.width >= need.width && control.rect.height >= need.height) ||
                control.font.pixels <= smallest)
                break;
            --control.font.pixels;
        }
    }
}

// A control that grew taller than its row pushes the rows below it down, as far as they need,
// and the window grows by what that adds below; what may not move keeps the table's place (the
// band, the buttons, the interval box, the label beside it). No two controls then overlap by
// more than the pixel that rows touching in the table share.
void Stack(platform::WindowPlan& plan) {
    const auto bottom = [](const platform::Rect& r) { return r.top + r.height; };
    int lowest = 0;
    for (const platform::ControlPlan& control : plan.controls)
        lowest = std::max(lowest, bottom(control.rect));
    std::vector<platform::ControlPlan*> byTop;
    byTop.reserve(plan.controls.size());
    for (platform::ControlPlan& control : plan.controls)
        byTop.push_back(&control);
    std::stable_sort(byTop.begin(), byTop.end(),
                     [](auto a, auto b) { return a->rect.top < b->rect.top; });
    int moved = lowest;
    for (auto at = byTop.begin(); at != byTop.end(); ++at) {
        platform::Rect& r = (*at)->rect;
        if ((*at)->kind != ControlKind::CheckBox)
            continue;
        for (auto above = byTop.begin(); above != at; ++above) {
            const platform::Rect& o = (*above)->rect;
            if (Overlap(r.left, r.width, o.left, o.width) && bottom(o) - r.top > 1)
                r.top = bottom(o) - 1;
        }
        // Lower down, the room beside it may be less.
        r.width = std::min(r.width, RoomOf(plan, **at).right - r.left);
        moved = std::max(moved, bottom(r));
    }
    plan.clientHeight += moved - lowest;
}

// The text of the label that names the control, if one does.
std::string_view NameFromLabel(const FormLayout& form, ControlName control) {
    for (const ControlLayout& label : form.controls)
        if (label.labelFor == control)
            return label.text;
    return {};
}

} // namespace

platform::WindowPlan PlanWindow(const FormLayout& form, double twipsPerPixelX,
                                double twipsPerPixelY, platform::Appearance appearance,
                                const Measurer& measure) {
    const auto rect = [&](const ControlLayout& c) {
        return platform::Rect{Pixels(c.left, twipsPerPixelX), Pixels(c.top, twipsPerPixelY),
                              Pixels(c.width, twipsPerPixelX), Pixels(c.height, twipsPerPixelY)};
    };
    const auto font = [&](const Font& f) {
        return platform::FontPlan{
            f.face, base::SaturateToInt32(f.points * platform::TwipsPerPoint / twipsPerPixelY),
            f.bold};
    };
    platform::WindowPlan plan{form.caption,
                              Pixels(form.clientWidth, twipsPerPixelX),
                              Pixels(form.clientHeight, twipsPerPixelY),
                              {},
                              {},
                              form.menuName,
                              form.menuText,
                              {},
                              form.centred,
                              form.maximisable};
    // Under high contrast the program keeps none of its own colours.
    const auto fill = [&](const ControlLayout& c) {
        return appearance.highContrast ? std::nullopt : c.fill;
    };
    for (const ControlLayout* control : CreationOrder(form)) {
        const std::optional<platform::Colour> background = fill(*control);
        plan.controls.push_back(
            {control->name, control->kind, control->text, rect(*control), IsTabStop(*control),
             control->toolTip, font(control->font.value_or(form.font)), background,
             background ? std::optional(ReadableOn(*background)) : std::nullopt, control->align,
             control->labelFor, NameFromLabel(form, control->name)});
    }
    for (const ControlLayout& control : form.controls)
        if (const auto colour = fill(control); control.kind == ControlKind::Shape && colour)
            plan.shapes.push_back({rect(control), *colour});
    if (measure) {
        Fit(plan, measure);
        Stack(plan);
    }
    for (const MenuItemLayout& item : form.menuItems)
        plan.menuItems.push_back({item.name, item.text});
    return plan;
}

double StandardTextPoints(platform::Desktop desktop) {
    switch (desktop) {
    case platform::Desktop::Gnome:
        return 11;
    case platform::Desktop::Kde:
        return 10;
    case platform::Desktop::Windows: // its message font
    case platform::Desktop::Other:   // Qt's own
        break;
    }
    return 9;
}

double TextScale(const platform::Appearance& appearance) {
    constexpr double Largest = 4;
    if (!(appearance.textPoints > 0))
        return 1;
    return std::clamp(appearance.textPoints / StandardTextPoints(appearance.desktop), 1.0, Largest);
}

platform::WindowPlan PlanWindow(const FormLayout& form, const platform::Window& window) {
    const platform::Appearance appearance = window.CurrentAppearance();
    const double scale = TextScale(appearance);
    return PlanWindow(
        form, window.TwipsPerPixelX() / scale, window.TwipsPerPixelY() / scale, appearance,
        [&window](platform::ControlKind kind, const platform::FontPlan& font,
                  std::string_view text) { return window.Measure(kind, font, text); });
}

double Contrast(platform::Colour a, platform::Colour b) {
    const auto luminance = [](platform::Colour c) {
        const auto linear = [](std::uint8_t channel) {
            const double v = channel / 255.0;
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

platform::Colour ReadableOn(platform::Colour fill) {
    return Contrast(fill, Black) >= Contrast(fill, White) ? Black : White;
}

platform::CheckValue CheckValueAfterClick(platform::CheckValue value) {
    return value == platform::vbChecked ? platform::vbUnchecked : platform::vbChecked;
}

bool Presses(const platform::KeyPress& press, ControlKind kind) {
    return press.key == platform::Key::Return && !press.shift && !press.control && !press.alt &&
           kind == ControlKind::Button;
}

MouseState Mouse(const platform::MouseInput& mouse, double twipsPerPixelX, double twipsPerPixelY) {
    return {mouse.x * twipsPerPixelX, mouse.y * twipsPerPixelY};
}

} // namespace ui
