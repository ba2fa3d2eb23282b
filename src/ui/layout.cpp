#include "ui/layout.h"

#include "base/numeric.h"

#include <algorithm>
#include <cmath>

namespace ui {
namespace {

constexpr double TwipsPerPoint = 20;
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

bool Overlap(int from, int length, int otherFrom, int otherLength) {
    return from < otherFrom + otherLength && otherFrom < from + length;
}

// How far across a control may reach: to the nearest control beside it on either side, or the
// window's edge; never less than it has.
std::pair<int, int> Room(const platform::WindowPlan& plan, const platform::ControlPlan& control) {
    const platform::Rect& r = control.rect;
    int left = 0;
    int right = plan.clientWidth;
    for (const platform::ControlPlan& other : plan.controls) {
        const platform::Rect& o = other.rect;
        if (&other == &control || !Overlap(r.top, r.height, o.top, o.height))
            continue;
        if (o.left >= r.left + r.width / 2)
            right = std::min(right, o.left);
        else
            left = std::max(left, o.left + o.width);
    }
    return {std::min(left, r.left), std::max(right, r.left + r.width)};
}

// The table's rectangle, grown to what the text needs: across into the room on its right, then
// on its left; down and up alike.
platform::Rect Grown(platform::Rect r, platform::Extent need, std::pair<int, int> room) {
    if (need.width > r.width) {
        const int right = std::min(room.second, r.left + need.width);
        const int left = std::max(room.first, right - need.width);
        r.width = right - left;
        r.left = left;
    }
    if (need.height > r.height) {
        r.top -= (need.height - r.height) / 2;
        r.height = need.height;
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
        const auto room = Room(plan, control);
        const int smallest = (control.font.pixels * 3 + 3) / 4;
        for (;;) {
            const platform::Extent need = Needed(measure(control.kind, control.font, control.text));
            control.rect = Grown(table, need, room);
            if (control.rect.width >= need.width || control.font.pixels <= smallest)
                break;
            --control.font.pixels;
        }
    }
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
            f.face, base::SaturateToInt32(f.points * TwipsPerPoint / twipsPerPixelY), f.bold};
    };
    platform::WindowPlan plan{form.caption,
                              Pixels(form.clientWidth, twipsPerPixelX),
                              Pixels(form.clientHeight, twipsPerPixelY),
                              {},
                              {},
                              form.menuName,
                              form.menuText,
                              {}};
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
    if (measure)
        Fit(plan, measure);
    for (const MenuItemLayout& item : form.menuItems)
        plan.menuItems.push_back({item.name, item.text});
    return plan;
}

platform::WindowPlan PlanWindow(const FormLayout& form, const platform::Window& window) {
    return PlanWindow(
        form, window.TwipsPerPixelX(), window.TwipsPerPixelY(), window.CurrentAppearance(),
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
    const int button = (mouse.left ? 1 : 0) | (mouse.right ? 2 : 0) | (mouse.middle ? 4 : 0);
    const int shift = (mouse.shift ? 1 : 0) | (mouse.control ? 2 : 0) | (mouse.alt ? 4 : 0);
    return {button, shift, mouse.x * twipsPerPixelX, mouse.y * twipsPerPixelY};
}

} // namespace ui
