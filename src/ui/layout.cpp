#include "ui/layout.h"

#include "base/numeric.h"

#include <algorithm>

namespace ui {
namespace {

constexpr double TwipsPerPoint = 20;

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

// The text of the label that names the control, if one does.
std::string_view NameFromLabel(const FormLayout& form, ControlName control) {
    for (const ControlLayout& label : form.controls)
        if (label.labelFor == control)
            return label.text;
    return {};
}

} // namespace

platform::WindowPlan PlanWindow(const FormLayout& form, double twipsPerPixelX,
                                double twipsPerPixelY) {
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
    for (const ControlLayout* control : CreationOrder(form))
        plan.controls.push_back(
            {control->name, control->kind, control->text, rect(*control), IsTabStop(*control),
             control->toolTip, font(control->font.value_or(form.font)), control->fill,
             control->align, control->labelFor, NameFromLabel(form, control->name)});
    for (const ControlLayout& control : form.controls)
        if (control.kind == ControlKind::Shape && control.fill)
            plan.shapes.push_back({rect(control), *control.fill});
    for (const MenuItemLayout& item : form.menuItems)
        plan.menuItems.push_back({item.name, item.text});
    return plan;
}

int CheckValueAfterClick(int value) {
    return value == platform::vbChecked ? platform::vbUnchecked : platform::vbChecked;
}

bool Presses(platform::Key key, ControlKind kind) {
    return key == platform::Key::Return && kind == ControlKind::Button;
}

MouseState Mouse(const platform::MouseInput& mouse, double twipsPerPixelX, double twipsPerPixelY) {
    const int button = (mouse.left ? 1 : 0) | (mouse.right ? 2 : 0) | (mouse.middle ? 4 : 0);
    const int shift = (mouse.shift ? 1 : 0) | (mouse.control ? 2 : 0) | (mouse.alt ? 4 : 0);
    return {button, shift, mouse.x * twipsPerPixelX, mouse.y * twipsPerPixelY};
}

} // namespace ui
