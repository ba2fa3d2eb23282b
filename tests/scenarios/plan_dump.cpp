// Prints where the window's controls are, in pixels at the given twips per pixel, for the
// scenario runner, which clicks them: the same plan both programs build their windows from.
#include "ui/controls.h"
#include "ui/layout.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* KindName(platform::ControlKind kind) {
    switch (kind) {
    case platform::ControlKind::Shape:
        return "Shape";
    case platform::ControlKind::Label:
        return "Label";
    case platform::ControlKind::TextBox:
        return "TextBox";
    case platform::ControlKind::Button:
        return "Button";
    case platform::ControlKind::CheckBox:
        return "CheckBox";
    }
    return "?";
}

} // namespace

int main(int argc, char** argv) {
    const double twipsPerPixel = argc > 1 ? std::strtod(argv[1], nullptr) : 15.0;
    if (!(twipsPerPixel > 0)) {
        std::fprintf(stderr, "usage: plan_dump [twips per pixel]\n");
        return 2;
    }
    const platform::WindowPlan plan =
        ui::PlanWindow(controls::Form1Layout, twipsPerPixel, twipsPerPixel);
    std::printf("client %d %d\n", plan.clientWidth, plan.clientHeight);
    for (const platform::ControlPlan& control : plan.controls) {
        const platform::Rect& r = control.rect;
        std::printf("control %s %s %d %d %d %d\n", std::string(control.name.Text()).c_str(),
                    KindName(control.kind), r.left, r.top, r.width, r.height);
    }
    for (const platform::MenuItemPlan& item : plan.menuItems)
        std::printf("menu %s\n", std::string(item.name.Text()).c_str());
    return 0;
}
