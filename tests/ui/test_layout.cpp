#include "ui/controls.h"
#include "ui/layout.h"

#include <doctest/doctest.h>
#include <map>
#include <string>
#include <vector>

namespace doctest {
template <> struct StringMaker<platform::Rect> {
    static String convert(const platform::Rect& r) {
        std::string text;
        for (const int n : {r.left, r.top, r.width, r.height}) {
            text += text.empty() ? "{" : ", ";
            text += std::to_string(n);
        }
        text += "}";
        return text.c_str();
    }
};
} // namespace doctest

namespace {

using platform::ControlName;
using platform::Rect;

const platform::ControlPlan& Planned(const platform::WindowPlan& plan, ControlName name) {
    for (const platform::ControlPlan& control : plan.controls)
        if (control.name == name)
            return control;
    FAIL("not in the plan: " << std::string(name.Text()));
    throw;
}

std::vector<std::string> Names(const std::vector<ControlName>& names) {
    std::vector<std::string> texts;
    texts.reserve(names.size());
    for (const ControlName name : names)
        texts.emplace_back(name.Text());
    return texts;
}

} // namespace

TEST_CASE("twips become whole pixels, halves to even") {
    const struct {
        double twipsPerPixel;
        int twips;
        int pixels;
    } cases[] = {{15, 3495, 233}, {12, 3495, 291}, {10, 3495, 350}, {10, 285, 28},  {10, 2055, 206},
                 {12, 1335, 111}, {12, 285, 24},   {15, -120, -8},  {16, -120, -8}, {15, 0, 0}};
    for (const auto& c : cases) {
        CAPTURE(c.twips);
        CAPTURE(c.twipsPerPixel);
        CHECK(ui::Pixels(c.twips, c.twipsPerPixel) == c.pixels);
    }
}

// Each of the four lengths is rounded on its own, at 96 and at 120 dots per inch.
TEST_CASE("the window in pixels") {
    const struct {
        double twipsPerPixel;
        int width, height;
        std::vector<std::pair<ControlName, Rect>> rects;
        int labelFont, font;
    } cases[] = {{15,
                  233,
                  137,
                  {{controls::lblUptime, {0, 8, 233, 33}},
                   {controls::txtInt, {136, 48, 89, 19}},
                   {controls::Label1, {8, 48, 129, 17}},
                   {controls::cmdToggle, {144, 72, 81, 25}},
                   {controls::chkFile, {8, 72, 97, 17}},
                   {controls::cmdTray, {144, 104, 81, 25}},
                   {controls::chkAutoStart, {8, 88, 73, 17}},
                   {controls::chkAutoTray, {8, 104, 105, 17}}},
                  13,
                  11},
                 {12,
                  291,
                  171,
                  {{controls::lblUptime, {0, 10, 291, 41}},
                   {controls::txtInt, {170, 60, 111, 24}},
                   {controls::Label1, {10, 60, 161, 21}},
                   {controls::cmdToggle, {180, 90, 101, 31}},
                   {controls::chkFile, {10, 90, 121, 21}},
                   {controls::cmdTray, {180, 130, 101, 31}},
                   {controls::chkAutoStart, {10, 110, 91, 21}},
                   {controls::chkAutoTray, {10, 130, 131, 21}}},
                  16,
                  14}};
    for (const auto& c : cases) {
        CAPTURE(c.twipsPerPixel);
        const platform::WindowPlan plan =
            ui::PlanWindow(controls::Form1Layout, c.twipsPerPixel, c.twipsPerPixel);
        CHECK(plan.caption == "Tallimer");
        CHECK(plan.clientWidth == c.width);
        CHECK(plan.clientHeight == c.height);
        CHECK(plan.controls.size() == c.rects.size());
        for (const auto& expected : c.rects) {
            const ControlName name = expected.first;
            CAPTURE(std::string(name.Text()));
            const platform::ControlPlan& control = Planned(plan, name);
            CHECK(control.rect == expected.second);
            const bool isUptime = name == controls::lblUptime;
            CHECK(control.font ==
                  platform::FontPlan{"Arial", isUptime ? c.labelFont : c.font, isUptime});
        }
        // The band: 120 twips left of the window, to 120 twips beyond its right edge.
        REQUIRE(plan.shapes.size() == 1);
        CHECK(plan.shapes[0].rect == Rect{ui::Pixels(-120, c.twipsPerPixel), 0,
                                          ui::Pixels(3735, c.twipsPerPixel),
                                          ui::Pixels(255, c.twipsPerPixel)});
        CHECK(plan.shapes[0].fill == platform::Colour{224, 224, 224});
    }
}

// Against the size each desktop's text comes in: GNOME's 11 points, KDE's 10, Windows' 9 and
// Qt's own 9.
TEST_CASE("larger text on the desktop grows the window by as much, never shrinks it") {
    using platform::Desktop;
    const struct {
        double points;
        Desktop desktop;
        double scale;
    } cases[] = {{0, Desktop::Gnome, 1},         {9, Desktop::Gnome, 1},
                 {11, Desktop::Gnome, 1},        {14, Desktop::Gnome, 14.0 / 11},
                 {10, Desktop::Kde, 1},          {15, Desktop::Kde, 1.5},
                 {9, Desktop::Windows, 1},       {18, Desktop::Windows, 2},
                 {10, Desktop::Other, 10.0 / 9}, {200, Desktop::Other, 4}};
    for (const auto& c : cases) {
        CAPTURE(c.points);
        CHECK(ui::TextScale({false, c.points, c.desktop}) == doctest::Approx(c.scale));
    }
}

// The label that names the interval box comes right before it, so that the system's
// screen-reader support on Windows takes its text for the box's name; Tab skips labels.
TEST_CASE("the order of creation and of the Tab key") {
    const platform::WindowPlan plan = ui::PlanWindow(controls::Form1Layout, 15, 15);
    std::vector<ControlName> created;
    std::vector<ControlName> tabStops;
    for (const platform::ControlPlan& control : plan.controls) {
        created.push_back(control.name);
        if (control.tabStop)
            tabStops.push_back(control.name);
    }
    using namespace controls;
    CHECK(Names(created) == Names({lblUptime, Label1, txtInt, cmdToggle, chkFile, cmdTray,
                                   chkAutoStart, chkAutoTray}));
    const std::vector<std::string> tabOrder =
        Names({txtInt, cmdToggle, chkFile, cmdTray, chkAutoStart, chkAutoTray});
    CHECK(Names(tabStops) == tabOrder);
    CHECK(Names(ui::TabOrder(controls::Form1Layout)) == tabOrder);
}

TEST_CASE("what a screen reader calls each control, and how labels lie") {
    const platform::WindowPlan plan = ui::PlanWindow(controls::Form1Layout, 15, 15);
    CHECK(Planned(plan, controls::txtInt).accessibleName == "Update interval, seconds:");
    CHECK(Planned(plan, controls::Label1).labelFor == controls::txtInt);
    for (const platform::ControlPlan& control : plan.controls) {
        CAPTURE(std::string(control.name.Text()));
        if (control.name != controls::txtInt)
            CHECK(control.accessibleName.empty());
        if (control.name != controls::Label1)
            CHECK(!control.labelFor);
        const bool centred = control.name == controls::lblUptime;
        CHECK((control.align == platform::TextAlign::Centre) == centred);
        CHECK(control.background.has_value() == centred);
    }
    CHECK(Planned(plan, controls::chkAutoTray).toolTip ==
          "If ticked, the client will be sent to the system tray as soon as the client is run");
}

TEST_CASE("a click on a check box") {
    using platform::vbChecked;
    using platform::vbGrayed;
    using platform::vbUnchecked;
    const struct {
        platform::CheckValue from;
        std::vector<platform::CheckValue> after; // one value per click
    } cases[] = {{vbUnchecked, {vbChecked, vbUnchecked, vbChecked}},
                 {vbChecked, {vbUnchecked, vbChecked, vbUnchecked}},
                 {vbGrayed, {vbChecked, vbUnchecked, vbChecked}}};
    for (const auto& c : cases) {
        CAPTURE(c.from);
        platform::CheckValue value = c.from;
        for (const platform::CheckValue expected : c.after) {
            value = ui::CheckValueAfterClick(value);
            CHECK(value == expected);
        }
    }
}

TEST_CASE("Return presses buttons only") {
    CHECK(ui::Presses({platform::Key::Return}, platform::ControlKind::Button));
    for (const auto kind : {platform::ControlKind::CheckBox, platform::ControlKind::TextBox,
                            platform::ControlKind::Label})
        CHECK(!ui::Presses({platform::Key::Return}, kind));
}

TEST_CASE("the mouse as the handlers count it") {
    const ui::MouseState at = ui::Mouse({.x = 515, .y = -2}, 15, 12);
    CHECK(at.x == 515 * 15.0);
    CHECK(at.y == -24.0);
}

TEST_CASE("text on the program's own fill is read on it; high contrast keeps no colour") {
    const platform::Colour black{0, 0, 0}, white{255, 255, 255}, grey{224, 224, 224};
    CHECK(ui::Contrast(black, white) == doctest::Approx(21));
    CHECK(ui::Contrast(grey, black) == doctest::Approx(15.91).epsilon(0.001));
    CHECK(ui::Contrast(white, white) == doctest::Approx(1));
    CHECK(ui::ReadableOn(grey) == black);
    CHECK(ui::ReadableOn({40, 40, 40}) == white);
    for (const bool high : {false, true}) {
        CAPTURE(high);
        const platform::WindowPlan plan = ui::PlanWindow(controls::Form1Layout, 15, 15, {high});
        const platform::ControlPlan& band = Planned(plan, controls::lblUptime);
        CHECK(band.background == (high ? std::nullopt : std::optional(grey)));
        CHECK(band.foreground == (high ? std::nullopt : std::optional(black)));
        CHECK(plan.shapes.size() == (high ? 0u : 1u));
    }
}

// Texts as wide at 11 pixels as DejaVu Sans sets two of them, one far too wide; narrower in
// smaller fonts. Check boxes with the Adwaita style's indicator, buttons with a 3-pixel frame.
TEST_CASE("a control grows into the room beside it for its text, and nothing else moves") {
    const auto measure = [](platform::ControlKind kind, const platform::FontPlan& font,
                            std::string_view text) {
        const std::map<std::string_view, int> wide{{"Update interval, seconds:", 144},
                                                   {"Use file method", 89},
                                                   {"Auto send to tray", 300},
                                                   {"Send To Tray", 85}};
        const auto found = wide.find(text);
        platform::ControlMetrics m;
        m.text = {(found == wide.end() ? 20 : found->second) * font.pixels / 11, font.pixels + 2};
        if (kind == platform::ControlKind::CheckBox)
            m.indicator = {26, 22};
        if (kind == platform::ControlKind::Button)
            m.frame = {3, 3};
        return m;
    };
    const platform::WindowPlan plan = ui::PlanWindow(controls::Form1Layout, 15, 15, {}, measure);
    const struct {
        ControlName name;
        Rect rect;
        int font;
    } cases[] = {
        {controls::Label1, {7, 48, 130, 17}, 10}, // all the room there is, then smaller
        {controls::chkFile, {8, 70, 115, 22}, 11},     {controls::cmdTray, {142, 104, 91, 25}, 11},
        {controls::chkAutoStart, {8, 91, 73, 22}, 11}, // below the box above
        {controls::chkAutoTray, {8, 112, 134, 22}, 9}, // smaller, and cut even so
        {controls::cmdToggle, {144, 72, 81, 25}, 11},  {controls::txtInt, {136, 48, 89, 19}, 11}};
    for (const auto& c : cases) {
        CAPTURE(std::string(c.name.Text()));
        CHECK(Planned(plan, c.name).rect == c.rect);
        CHECK(Planned(plan, c.name).font.pixels == c.font);
    }
    CHECK(plan.clientHeight == 137 + 5); // as far as the lowest box went below the lowest row
    // Texts that fit leave the table as it is.
    const auto narrow = [](platform::ControlKind, const platform::FontPlan&, std::string_view) {
        return platform::ControlMetrics{{20, 13}, {}, {}};
    };
    const platform::WindowPlan table = ui::PlanWindow(controls::Form1Layout, 15, 15);
    const platform::WindowPlan fitted = ui::PlanWindow(controls::Form1Layout, 15, 15, {}, narrow);
    for (size_t i = 0; i < table.controls.size(); ++i)
        CHECK(fitted.controls[i].rect == table.controls[i].rect);
}

// Looks whose controls need from 0 to 12 pixels more height than their rows give, at two
// densities: no two controls overlap by more than a pixel (or than the table's own rectangles,
// which at 1.5 times share 2), what may not move keeps its place, the boxes keep their order,
// and the window holds them all.
TEST_CASE("no control overlaps another, however tall the look makes them") {
    const auto overlap = [](const Rect& a, const Rect& b) {
        return std::min(std::min(a.left + a.width, b.left + b.width) - std::max(a.left, b.left),
                        std::min(a.top + a.height, b.top + b.height) - std::max(a.top, b.top));
    };
    for (const double twipsPerPixel : {15.0, 10.0})
        for (int taller = 0; taller <= 12; ++taller) {
            CAPTURE(twipsPerPixel);
            CAPTURE(taller);
            const auto measure = [taller](platform::ControlKind kind,
                                          const platform::FontPlan& font, std::string_view) {
                platform::ControlMetrics m{{20, font.pixels + taller}, {}, {}};
                if (kind == platform::ControlKind::CheckBox)
                    m.indicator = {16, 13 + taller};
                if (kind == platform::ControlKind::Button)
                    m.frame = {3, 3 + taller / 2};
                return m;
            };
            const platform::WindowPlan table =
                ui::PlanWindow(controls::Form1Layout, twipsPerPixel, twipsPerPixel);
            const platform::WindowPlan plan =
                ui::PlanWindow(controls::Form1Layout, twipsPerPixel, twipsPerPixel, {}, measure);
            for (size_t i = 0; i < plan.controls.size(); ++i) {
                const Rect& a = plan.controls[i].rect;
                const Rect& t = table.controls[i].rect;
                CAPTURE(std::string(plan.controls[i].name.Text()));
                CHECK((a.top >= 0 && a.top + a.height <= plan.clientHeight));
                if (plan.controls[i].kind != platform::ControlKind::CheckBox)
                    CHECK((a.top <= t.top && a.top + a.height >= t.top + t.height));
                for (size_t j = i + 1; j < plan.controls.size(); ++j) {
                    CAPTURE(std::string(plan.controls[j].name.Text()));
                    CHECK(overlap(a, plan.controls[j].rect) <=
                          std::max(1, overlap(t, table.controls[j].rect)));
                }
            }
            const Rect& file = Planned(plan, controls::chkFile).rect;
            const Rect& start = Planned(plan, controls::chkAutoStart).rect;
            const Rect& tray = Planned(plan, controls::chkAutoTray).rect;
            CHECK((file.top < start.top && start.top < tray.top));
            if (taller == 0)
                CHECK(plan.clientHeight == table.clientHeight);
        }
}
