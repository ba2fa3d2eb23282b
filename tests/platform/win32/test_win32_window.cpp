// What only the Win32 window does: its controls realise the plan (pixels, fonts, styles, tab
// order), a screen of another scale lays it out again, a check box waits for the program to set
// it, and the focus is reported. Needs a display: run on a virtual one under Wine.
#include "fakes.h"
#include "platform/win32/window.h"
#include "ui/controls.h"
#include "ui/form1.h"

#include <doctest/doctest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace controls;

// Form1 in the real Win32 window, with the machine's clocks and tray faked.
struct App : FakeMachine {
    platform::Win32Window window{GetModuleHandleA(nullptr)};
    std::unique_ptr<Form1> form;

    App() {
        form = std::make_unique<Form1>(Services(window, "."));
        REQUIRE(form->Created());
        window.SetEvents(form.get());
    }
};

// The controls in the order the system keeps them, which is the order of creation.
std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

platform::Rect RectOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int FontHeight(HWND control) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font.lfHeight;
}

// Every control where the plan puts it, with the plan's font, in the plan's order.
void CheckAgainst(HWND window, const platform::WindowPlan& plan) {
    RECT client{};
    GetClientRect(window, &client);
    CHECK(client.right == plan.clientWidth);
    CHECK(client.bottom == plan.clientHeight);
    const std::vector<HWND> children = Children(window);
    REQUIRE(children.size() >= plan.controls.size());
    for (size_t i = 0; i < plan.controls.size(); ++i) {
        const platform::ControlPlan& planned = plan.controls[i];
        CAPTURE(std::string(planned.name.Text()));
        CHECK(RectOf(children[i]) == planned.rect);
        CHECK(FontHeight(children[i]) == -planned.font.pixels);
    }
}

} // namespace

TEST_CASE("the window realises the plan, and another screen's scale lays it out again") {
    App app;
    const HWND window = static_cast<HWND>(app.window.Handle());
    CheckAgainst(window, ui::PlanWindow(Form1Layout, app.window));
    app.window.SetText(txtInt, "42");
    RECT suggested{10, 20, 400, 300};
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    CHECK(app.window.TwipsPerPixelX() == 10.0);
    CheckAgainst(window, ui::PlanWindow(Form1Layout, app.window));
    RECT frame{};
    GetWindowRect(window, &frame);
    CHECK(frame.left == 10);
    CHECK(frame.top == 20);
    CHECK(app.window.Text(txtInt) == "42");
}

TEST_CASE("label styles, tab order and the boxes' own behaviour") {
    App app;
    const HWND window = static_cast<HWND>(app.window.Handle());
    const std::vector<HWND> children = Children(window);
    const platform::WindowPlan plan = ui::PlanWindow(Form1Layout, 15, 15);
    std::vector<HWND> tabStops;
    for (size_t i = 0; i < plan.controls.size(); ++i) {
        const platform::ControlPlan& planned = plan.controls[i];
        CAPTURE(std::string(planned.name.Text()));
        const auto style = GetWindowLongA(children[i], GWL_STYLE);
        CHECK(((style & WS_TABSTOP) != 0) == planned.tabStop);
        if (planned.kind == platform::ControlKind::Label)
            CHECK((style & SS_TYPEMASK) ==
                  (planned.align == platform::TextAlign::Centre ? SS_CENTER : SS_LEFT));
        if (planned.kind == platform::ControlKind::CheckBox)
            CHECK((style & BS_TYPEMASK) == BS_3STATE); // changed by the program, not by itself
        if (planned.tabStop)
            tabStops.push_back(children[i]);
    }
    // The dialog manager's Tab goes through them in the plan's order, and round.
    HWND at = tabStops.front();
    for (size_t i = 1; i <= tabStops.size(); ++i) {
        at = GetNextDlgTabItem(window, at, FALSE);
        CHECK(at == tabStops[i % tabStops.size()]);
    }
}

TEST_CASE("a click on a check box goes through the program") {
    App app;
    app.form->Start();
    const struct {
        platform::CheckValue before, after;
    } cases[] = {{platform::vbUnchecked, platform::vbChecked},
                 {platform::vbChecked, platform::vbUnchecked},
                 {platform::vbGrayed, platform::vbChecked}};
    const platform::WindowPlan plan = ui::PlanWindow(Form1Layout, 15, 15);
    HWND box = nullptr;
    const std::vector<HWND> children = Children(static_cast<HWND>(app.window.Handle()));
    for (size_t i = 0; i < plan.controls.size(); ++i)
        if (plan.controls[i].name == chkAutoStart)
            box = children[i];
    REQUIRE(box != nullptr);
    for (const auto& c : cases) {
        CAPTURE(c.before);
        app.window.SetValue(chkAutoStart, c.before);
        SendMessageA(box, BM_CLICK, 0, 0);
        CHECK(app.window.Value(chkAutoStart) == c.after);
    }
}

TEST_CASE("the focus goes to a control and is reported") {
    App app;
    app.form->Start();
    CHECK(app.window.FocusedControl() == txtInt);
    app.window.SetFocus(cmdTray);
    CHECK(app.window.FocusedControl() == cmdTray);
    CHECK(app.form->FocusTarget() == cmdTray);
}

// The band's text in the colour chosen for its fill; under high contrast, the system's colours.
TEST_CASE("the band's own colours, and the system's under high contrast") {
    App app;
    const HWND window = static_cast<HWND>(app.window.Handle());
    const HWND band = Children(window).front();
    const HDC dc = GetDC(band);
    for (const bool high : {false, true}) {
        CAPTURE(high);
        app.window.Layout(ui::PlanWindow(Form1Layout, 15, 15, {high}));
        SendMessageA(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(band));
        CHECK(GetBkColor(dc) == (high ? GetSysColor(COLOR_3DFACE) : RGB(224, 224, 224)));
        CHECK(GetTextColor(dc) == (high ? GetSysColor(COLOR_WINDOWTEXT) : RGB(0, 0, 0)));
    }
    ReleaseDC(band, dc);
}

// New system colours, a new theme or high contrast switched lay the window out anew, once.
TEST_CASE("a change of the system's colours or theme lays the window out again") {
    App app;
    const HWND window = static_cast<HWND>(app.window.Handle());
    const HWND box = Children(window).back();
    for (const UINT message : {UINT(WM_SYSCOLORCHANGE), UINT(WM_THEMECHANGED)}) {
        SetWindowPos(box, nullptr, 0, 0, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(window, message, 0, 0);
        SendMessageA(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        MSG pending{};
        while (PeekMessageA(&pending, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&pending);
        CheckAgainst(window, ui::PlanWindow(Form1Layout, app.window));
    }
}
