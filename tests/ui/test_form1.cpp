#include "fakes.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "testfiles.h"
#include "ui/controls.h"
#include "ui/form1.h"

#include <doctest/doctest.h>
#include <filesystem>
#include <limits>

namespace {

using platform::vbChecked;
using platform::vbGrayed;
using platform::vbMinimized;
using platform::vbNormal;
using platform::vbUnchecked;

using namespace controls;

// Form1 in a window that only keeps what it is told, in a program folder of its own.
struct App : FakeMachine {
    FakeWindow window;
    TempDir dir;
    std::string folder = dir.path();
    std::unique_ptr<Form1> form;

    App() = default;
    explicit App(std::string_view settings) { REQUIRE(WriteAll(Settings(), settings)); }

    std::string Settings() const { return folder + platform::PathSeparator + "Settings.ini"; }
    std::string Output() const { return folder + platform::PathSeparator + "uptime.txt"; }
    std::string Caption() const { return window.Text(lblUptime); }

    // Creates the window, then loads the form and shows it as the program does.
    Form1& Start() {
        ticks.ms = 90'061'000;
        form = std::make_unique<Form1>(Services(window, folder));
        window.events = form.get();
        form->Start();
        return *form;
    }

    // Ticks until the next refresh, which is seen as a read of the tick counter.
    int TicksToRefresh(int limit = 1000) {
        const int before = ticks.reads;
        for (int tick = 1; tick <= limit; ++tick) {
            form->tmrUpdate_Timer();
            if (ticks.reads != before)
                return tick;
        }
        return -1;
    }

    // What the icon service sends: a mouse move whose x is the code in pixels.
    void Notify(int code) { window.events->MouseMove({.x = double(code)}); }
};

} // namespace

TEST_CASE("the defaults after loading without a settings file") {
    App app;
    const MainWindowState& state = app.Start().State();
    CHECK(state.AppDir == app.folder + platform::PathSeparator);
    CHECK(state.SettingsPath == app.Settings());
    CHECK(state.OutputFilePath == app.Output());
    CHECK(state.BootFilePath == "C:\\WINDOWS\\bootstat.dat");
    CHECK(state.UpdateInterval == 30);
    CHECK(state.TicksSinceUpdate == 0);
    CHECK(state.TrayTip == "Tallimer - OFF");
    CHECK(!state.Loading);
    CHECK(state.FileService != nullptr);
    CHECK(app.window.Text(txtInt) == "30");
    for (const platform::ControlName box : {chkFile, chkAutoStart, chkAutoTray})
        CHECK(app.window.Value(box) == vbUnchecked);
    CHECK(!app.window.TimerEnabled(tmrUpdate));
    CHECK(app.window.visible);
    CHECK(app.window.focus == txtInt);
}

TEST_CASE("refreshes come every interval + 1 ticks") {
    const struct {
        const char* text;
        int period;
    } cases[] = {{"30", 31}, {"1", 2}, {"0", 2}};
    for (const auto& c : cases) {
        CAPTURE(c.text);
        App app;
        app.Start();
        app.window.Type(txtInt, c.text);
        for (int round = 0; round < 3; ++round)
            CHECK(app.TicksToRefresh() == c.period);
    }
}

// What the refreshes of three seconds at an interval of 1 leave in the label and the output
// file: the tick count is 90 061 000 ms, and there is no boot file.
TEST_CASE("what a refresh shows and writes") {
    const struct {
        const char* name;
        const char* caption;
        platform::CheckValue fileMethod;
        bool outputElsewhere;
        bool written;
    } cases[] = {
        {"the tick count", "Uptime: 1d 1h 1m 1s", vbUnchecked, false, true},
        {"an output folder that does not exist", "Uptime: 1d 1h 1m 1s", vbUnchecked, true, false},
        {"a greyed file method counts as clear", "Uptime: 1d 1h 1m 1s", vbGrayed, false, true},
        {"the file method with no boot file", "Uptime", vbChecked, false, false}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        App app;
        if (c.outputElsewhere) {
            std::string settings = "[Paths]\nOutput File=" + app.folder;
            for (int level = 0; level < 2; ++level)
                settings += platform::PathSeparator + std::string("gone");
            REQUIRE(WriteAll(app.Settings(), settings + "\n"));
        }
        app.Start();
        CHECK(app.Caption() == "Uptime");
        app.window.SetValue(chkFile, c.fileMethod);
        app.window.Type(txtInt, "1");
        for (int tick = 0; tick < 3; ++tick)
            app.form->tmrUpdate_Timer();
        CHECK(app.Caption() == c.caption);
        CHECK(std::filesystem::exists(app.Output()) == c.written);
        if (c.written)
            CHECK(ReadAll(app.Output()) == "90061\r\n");
        CHECK(app.form->State().UptimeParts ==
              (c.fileMethod == vbChecked ? engine::UptimeParts{} : engine::SplitUptime(90061)));
        if (c.fileMethod == vbChecked)
            CHECK(app.ticks.reads == 0); // the method measures without the tick count
    }
}

// Each click on Start/Stop turns refreshing on or off; the interval and the method can be
// changed only while it is off. Starting does not refresh at once.
TEST_CASE("Start and Stop") {
    const struct {
        bool running;
        const char* caption;
        const char* tip;
    } afterEachClick[] = {{true, "Stop", "Tallimer - ON"},
                          {false, "Start", "Tallimer - OFF"},
                          {true, "Stop", "Tallimer - ON"}};
    App app;
    app.Start();
    FakeWindow& w = app.window;
    for (const auto& c : afterEachClick) {
        CAPTURE(c.caption);
        w.Click(cmdToggle);
        CHECK(w.TimerEnabled(tmrUpdate) == c.running);
        CHECK(w.Text(cmdToggle) == c.caption);
        CHECK(app.form->State().TrayTip == c.tip);
        for (const platform::ControlName control : {txtInt, chkFile})
            CHECK(w.Enabled(control) == !c.running);
        for (const platform::ControlName control : {chkAutoStart, chkAutoTray, cmdTray})
            CHECK(w.Enabled(control));
        CHECK(app.Caption() == "Uptime");
        CHECK(!std::filesystem::exists(app.Output()));
    }
}

// The timer ticks once a second, each tick re-armed to fall on a whole second of the
// measured clock: the boot clock (rounded), or the wall clock (cut) for the file method.
TEST_CASE("the timer keeps in phase with the measured clock") {
    const struct {
        const char* name;
        std::int64_t ms; // of the clock that is measured
        int delay;
        bool fileMethod;
    } cases[] = {{"on a whole second", 90'061'000, 1000, false},
                 {"a little late", 90'061'030, 970, false},
                 {"half a second off", 90'061'500, 500, false},
                 {"close to the next", 90'061'700, 1300, false},
                 {"a little early", 90'061'995, 1005, false},
                 {"file method, cut", 1'800'000'000'200, 1300, true},
                 {"file method, mid-second", 1'800'000'000'500, 1000, true}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        App app;
        app.Start();
        app.window.SetValue(chkFile, c.fileMethod ? vbChecked : vbUnchecked);
        app.ticks.ms = std::uint64_t(c.ms);
        app.clock.now = At(c.ms);
        app.form->cmdToggle_Click();
        CHECK(app.window.Delay(tmrUpdate) == c.delay);
        // Each tick re-arms the timer from the clock as it stands then.
        app.ticks.ms = 90'062'010;
        app.clock.now = At(1'800'000'001'510);
        app.window.Elapse(tmrUpdate);
        CHECK(app.window.TimerEnabled(tmrUpdate));
        CHECK(app.window.Delay(tmrUpdate) == 990);
        CHECK(app.form->State().TicksSinceUpdate == 1);
    }
}

TEST_CASE("stopping and starting keeps the count") {
    App app;
    app.Start();
    app.form->cmdToggle_Click();
    for (int tick = 0; tick < 10; ++tick)
        app.form->tmrUpdate_Timer();
    app.form->cmdToggle_Click();
    app.form->cmdToggle_Click();
    CHECK(app.TicksToRefresh() == 21);
}

TEST_CASE("the interval as typed") {
    constexpr auto Max = std::numeric_limits<std::int32_t>::max();
    const struct {
        const char* text;
        std::int32_t interval;
    } cases[] = {{"12abc", 12},
                 {"2.5", 2},
                 {"3.5", 4},
                 {"abc", 1},
                 {"", 1},
                 {"-5", 1},
                 {"0", 1},
                 {"  45", 45},
                 {"1e2", 100},
                 {"7x", 7},
                 {"99999999999", Max},
                 {"1e400", Max}};
    App app;
    app.Start();
    for (const auto& c : cases) {
        CAPTURE(c.text);
        app.window.Type(txtInt, c.text);
        CHECK(app.form->State().UpdateInterval == c.interval);
        CHECK(app.window.Text(txtInt) == c.text); // the box is never rewritten
    }
}

TEST_CASE("a huge interval does not overflow the count") {
    App app;
    app.Start();
    app.window.Type(txtInt, "99999999999");
    for (int tick = 0; tick < 100; ++tick)
        app.form->tmrUpdate_Timer();
    CHECK(app.form->State().TicksSinceUpdate == 100);
    CHECK(app.ticks.reads == 0);
}

TEST_CASE("Send To Tray hides the window and adds the icon") {
    App app;
    app.Start();
    app.window.Click(cmdTray);
    CHECK(app.tray.TrayIconShown());
    CHECK(!app.window.visible);
    CHECK(app.window.windowState == vbMinimized);
    REQUIRE(app.shell.calls.size() == 1);
    CHECK(app.shell.Tip(0) == "Tallimer - OFF");
    CHECK(app.shell.calls[0].data.hWnd == app.window.Handle());
    CHECK(app.shell.calls[0].data.hIcon == app.window.Icon());
}

TEST_CASE("Send To Tray twice changes nothing") {
    App app;
    app.Start();
    app.form->SendToTray();
    app.form->cmdToggle_Click();
    app.window.Show(); // even if something showed the window again
    app.form->SendToTray();
    CHECK(app.window.visible);
    CHECK(app.shell.calls.size() == 1);
    CHECK(app.shell.Tip(0) == "Tallimer - OFF");
}

TEST_CASE("without a notification area the window is only minimised") {
    App app;
    app.shell.available = false;
    app.Start();
    app.form->SendToTray();
    CHECK(app.shell.calls.empty());
    CHECK(!app.tray.TrayIconShown());
    CHECK(app.window.visible);
    CHECK(app.window.windowState == vbMinimized);
}

// "Auto send to tray" at login, before the panel is up: minimised, then into the tray as soon
// as a notification area appears, unless the user has brought the window up meanwhile or the
// wait has run out. A window manager that comes up late and shows the window is not the user.
TEST_CASE("auto send to tray waits for the notification area") {
    enum Meanwhile { Nothing, Activated, ShownNormal };
    const struct {
        const char* name;
        int checks; // before the notification area appears
        Meanwhile meanwhile;
        bool intoTray;
    } cases[] = {{"panel after two seconds", 2, Nothing, true},
                 {"panel after 59 seconds", 59, Nothing, true},
                 {"panel too late", 60, Nothing, false},
                 {"brought up by the user", 2, Activated, false},
                 {"shown normal by a window manager", 2, ShownNormal, true}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        App app("[Options]\r\nAuto Send To Tray=1\r\n");
        app.shell.available = false;
        app.Start();
        CHECK(app.window.windowState == vbMinimized);
        CHECK(!app.tray.TrayIconShown());
        CHECK(app.window.Delay(tmrTrayWatch) == 1000);
        if (c.meanwhile == Activated)
            app.window.events->Activate();
        if (c.meanwhile == ShownNormal)
            app.window.SetWindowState(vbNormal);
        for (int check = 0; check < c.checks && app.window.TimerEnabled(tmrTrayWatch); ++check)
            app.window.Elapse(tmrTrayWatch);
        app.shell.available = true;
        if (app.window.TimerEnabled(tmrTrayWatch))
            app.window.Elapse(tmrTrayWatch);
        CHECK(app.tray.TrayIconShown() == c.intoTray);
        CHECK(app.window.visible == !c.intoTray);
        CHECK(!app.form->WatchingForTray());
        // Once in the tray, its notification area is watched in turn.
        CHECK(app.window.Delay(tmrTrayWatch) == (c.intoTray ? 5000 : -1));
        app.form->tmrTrayWatch_Timer(); // a stray tick changes nothing
        CHECK(app.shell.calls.size() == (c.intoTray ? 1u : 0u));
    }
}

// A panel that restarts gets the icon back by itself; one that is gone for good would leave
// the window hidden with no way back but a second start: after the minute a late panel gets,
// the window comes back.
TEST_CASE("a notification area that goes while the icon is in it") {
    const struct {
        const char* name;
        int missing; // seconds, after the check that found it gone
        bool back;
    } cases[] = {{"a panel that restarts", 7, true},
                 {"back after 59 seconds", 59, true},
                 {"gone for good", 60, false}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        App app;
        app.Start();
        app.window.Click(cmdTray);
        app.window.Elapse(tmrTrayWatch); // there
        CHECK(app.window.Delay(tmrTrayWatch) == 5000);
        app.shell.available = false;
        app.window.Elapse(tmrTrayWatch); // found gone: looked for each second from now
        for (int second = 0; second < c.missing && app.window.TimerEnabled(tmrTrayWatch);
             ++second) {
            CHECK(app.window.Delay(tmrTrayWatch) == 1000);
            app.window.Elapse(tmrTrayWatch);
        }
        app.shell.available = c.back;
        if (app.window.TimerEnabled(tmrTrayWatch))
            app.window.Elapse(tmrTrayWatch);
        CHECK(app.tray.TrayIconShown() == c.back);
        CHECK(app.window.visible == !c.back);
        CHECK(app.window.windowState == (c.back ? vbMinimized : vbNormal));
        CHECK(app.window.Delay(tmrTrayWatch) == (c.back ? 5000 : -1));
    }
}

TEST_CASE("the icon's notifications") {
    const struct {
        const char* name;
        int code;
        bool restores, menu;
    } cases[] = {{"double-click", 515, true, false},
                 {"balloon click", 1029, true, false},
                 {"right button up", 517, false, true},
                 {"mouse move", 512, false, false},
                 {"left down", 513, false, false},
                 {"left up", 514, false, false},
                 {"right down", 516, false, false},
                 {"middle double-click", 521, false, false},
                 {"zero", 0, false, false}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        App app;
        app.Start();
        app.form->SendToTray();
        app.Notify(c.code);
        CHECK(app.window.visible == c.restores);
        CHECK(app.tray.TrayIconShown() == !c.restores);
        CHECK((app.window.windowState == vbNormal) == c.restores);
        CHECK(app.window.menusShown == (c.menu ? 1 : 0));
        // Normal before it is shown, and to the front, as Open Tallimer brings it.
        CHECK(app.window.broughtToFront == (c.restores ? 1 : 0));
        if (c.restores) {
            CHECK(app.window.shownAs == vbNormal);
            REQUIRE(app.shell.calls.size() == 2);
            CHECK(app.shell.calls[1].message == platform::NimDelete);
        }
    }
}

TEST_CASE("the notification code is rounded from twips, halves to even") {
    for (const double twipsPerPixel : {15.0, 12.0}) {
        App app;
        app.window.twipsPerPixel = twipsPerPixel;
        app.Start();
        app.form->SendToTray();
        app.form->Form_MouseMove(516.5 * twipsPerPixel, 0); // 516
        CHECK(!app.window.visible);
        app.form->Form_MouseMove(514.5 * twipsPerPixel, 0); // 514
        CHECK(!app.window.visible);
        app.form->Form_MouseMove(515.4 * twipsPerPixel, 0);
        CHECK(app.window.visible);
    }
}

TEST_CASE("notifications without an icon do nothing") {
    App app;
    app.Start();
    app.window.SetWindowState(vbMinimized);
    app.Notify(515);
    CHECK(app.window.windowState == vbMinimized);
    app.Notify(517);
    CHECK(app.window.menusShown == 0);
    CHECK(app.shell.calls.empty());
}

TEST_CASE("Open Tallimer restores and focuses the window") {
    App app;
    app.Start();
    app.form->SendToTray();
    app.window.events->MenuClick(mnOpen);
    CHECK(app.window.visible);
    CHECK(app.window.windowState == vbNormal);
    CHECK(!app.tray.TrayIconShown());
    CHECK(app.window.broughtToFront == 1);
    CHECK(app.window.focus == txtInt);
}

TEST_CASE("restoring while running keeps the timer") {
    App app;
    app.Start();
    app.form->cmdToggle_Click();
    app.form->SendToTray();
    app.Notify(515);
    CHECK(app.window.TimerEnabled(tmrUpdate));
    app.form->SendToTray();
    CHECK(app.shell.Tip(2) == "Tallimer - ON");
}

TEST_CASE("Exit closes, saves and removes the icon") {
    App app;
    app.Start();
    app.form->SendToTray();
    app.window.events->MenuClick(mnExit);
    CHECK(app.window.unloads == 1);
    CHECK(!app.tray.TrayIconShown());
    CHECK(app.shell.calls.back().message == platform::NimDelete);
    CHECK(std::filesystem::exists(app.Settings()));
}

TEST_CASE("closing with no settings file writes the four options") {
    App app;
    app.Start();
    CHECK(!std::filesystem::exists(app.Settings()));
    app.window.Unload();
    CHECK(ReadAll(app.Settings()) == "[Options]\r\nInterval=30\r\nUse file method=0\r\n"
                                     "AutoStart=0\r\nAuto Send To Tray=0\r\n");
    CHECK(app.form->State().FileService == nullptr);
    CHECK(!app.form->State().BootFileInfo.has_value());
}

TEST_CASE("auto start, then auto send to tray") {
    App app("[Options]\r\nAutoStart=1\r\nAuto Send To Tray=1\r\nInterval=0\r\n");
    app.Start();
    CHECK(app.window.TimerEnabled(tmrUpdate));
    CHECK(app.window.Text(cmdToggle) == "Stop");
    CHECK(app.tray.TrayIconShown());
    CHECK(!app.window.visible);
    CHECK(app.shell.Tip(0) == "Tallimer - ON");
    CHECK(app.TicksToRefresh() == 1);
    CHECK(app.TicksToRefresh() == 1);
}

TEST_CASE("the interval from the file") {
    const struct {
        const char* value;
        std::int32_t interval;
        const char* shown;
    } cases[] = {{"0", 0, "0"},     {"-4", -4, "-4"}, {" 12 ", 12, "12"},       {"12.5", 12, "12"},
                 {"abc", 30, "30"}, {"", 30, "30"},   {"99999999999", 30, "30"}};
    for (const auto& c : cases) {
        CAPTURE(c.value);
        App app("[Options]\nInterval=" + std::string(c.value) + "\n");
        app.Start();
        CHECK(app.form->State().UpdateInterval == c.interval);
        CHECK(app.window.Text(txtInt) == c.shown);
        app.window.Type(txtInt, "0 "); // typing clamps again
        CHECK(app.form->State().UpdateInterval == 1);
    }
}

TEST_CASE("an interval of 0 from the file refreshes at every tick") {
    App app("[Options]\nInterval=0\n");
    app.Start();
    for (int round = 0; round < 3; ++round)
        CHECK(app.TicksToRefresh() == 1);
}

TEST_CASE("check boxes from the file") {
    const struct {
        const char* value;
        int stored;
    } cases[] = {{"0", 0}, {"1", 1},  {"2", 2},     {"1.5", 2}, {"0.5", 0},
                 {"5", 0}, {"-1", 0}, {"65537", 0}, {"abc", 0}};
    for (const auto& c : cases) {
        CAPTURE(c.value);
        App app("[Options]\nUse file method=" + std::string(c.value) + "\n");
        app.Start();
        CHECK(app.window.Value(chkFile) == c.stored);
    }
}

TEST_CASE("greyed auto boxes do nothing") {
    App app("[Options]\nAutoStart=2\nAuto Send To Tray=2\n");
    app.Start();
    CHECK(!app.window.TimerEnabled(tmrUpdate));
    CHECK(!app.tray.TrayIconShown());
}

TEST_CASE("paths from the file") {
    const std::string defaultBoot = "C:\\WINDOWS\\bootstat.dat";
    const struct {
        const char* name;
        std::string settings, boot, output; // output "": the default
    } cases[] = {
        {"no Paths section", "[Options]\nInterval=5\n", defaultBoot, ""},
        {"empty values", "[Paths]\nBootFile=\nOutput File=  \n", defaultBoot, ""},
        {"both set", "[Paths]\nBootFile=/var/b\nOutput File=/tmp/o.txt\n", "/var/b", "/tmp/o.txt"},
        // Text in the code page, which names the file as the system's wide calls want it.
        {"8-bit text", "[Paths]\nOutput File=/tmp/\xC3\xA9.txt\n", defaultBoot,
         platform::FileNameFromText("/tmp/\xC3\xA9.txt")}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        App app(c.settings);
        app.Start();
        CHECK(app.form->State().BootFilePath == c.boot);
        CHECK(app.form->State().OutputFilePath == (c.output.empty() ? app.Output() : c.output));
    }
}

TEST_CASE("a folder named like the settings file is not read") {
    App app;
    std::filesystem::create_directories(app.Settings() + platform::PathSeparator + "Options");
    app.Start();
    CHECK(app.form->State().UpdateInterval == 30);
    app.window.Unload();
    CHECK(std::filesystem::is_directory(app.Settings()));
}

TEST_CASE("closing keeps hand-made lines") {
    App app;
    const std::string mine = "; my notes\r\n[Paths]\r\nOutput File=" + app.Output() +
                             "\r\n\r\n[Options]\r\nInterval=30\r\nColour=blue\r\n[Mine]\r\nx=1\r\n";
    REQUIRE(WriteAll(app.Settings(), mine));
    app.Start();
    app.window.Type(txtInt, "7");
    app.window.SetValue(chkAutoStart, vbChecked);
    app.window.Unload();
    CHECK(ReadAll(app.Settings()) ==
          "; my notes\r\n[Paths]\r\nOutput File=" + app.Output() +
              "\r\n\r\n[Options]\r\nInterval=7\r\nColour=blue\r\nUse file method=0\r\n"
              "AutoStart=1\r\nAuto Send To Tray=0\r\n[Mine]\r\nx=1\r\n");
}

TEST_CASE("closing from the tray, or by the end of the session, saves as closing the window") {
    App fromWindow;
    fromWindow.Start();
    fromWindow.window.Unload();
    App fromTray;
    fromTray.Start();
    fromTray.form->SendToTray();
    fromTray.form->mnExit_Click();
    CHECK(ReadAll(fromTray.Settings()) == ReadAll(fromWindow.Settings()));
    App atSessionEnd;
    atSessionEnd.Start();
    atSessionEnd.window.events->SessionEnding();
    CHECK(atSessionEnd.window.unloads == 1);
    CHECK(ReadAll(atSessionEnd.Settings()) == ReadAll(fromWindow.Settings()));
}

#ifndef _WIN32
TEST_CASE("closing in a read-only folder keeps the old file" *
          doctest::skip(!Needs(ReadOnlyFoldersWork()))) {
    App app("[Options]\r\nInterval=9\r\n");
    app.Start();
    const ReadOnlyFolder readOnly(app.folder);
    REQUIRE(readOnly.ok());
    app.window.Type(txtInt, "5");
    app.window.Unload();
    CHECK(ReadAll(app.Settings()) == "[Options]\r\nInterval=9\r\n");
}
#endif

TEST_CASE("the program folder gets exactly one separator at its end") {
    const struct {
        const char* folder;
        char separator;
        const char* result;
    } cases[] = {{"/opt/tallimer", '/', "/opt/tallimer/"},
                 {"/opt/tallimer/", '/', "/opt/tallimer/"},
                 {"/", '/', "/"},
                 {"", '/', "/"},
                 {"C:\\Tallimer", '\\', "C:\\Tallimer\\"},
                 {"D:\\", '\\', "D:\\"},
                 {"", '\\', "\\"}};
    for (const auto& c : cases) {
        CAPTURE(c.folder);
        CHECK(WithTrailingSeparator(c.folder, c.separator) == c.result);
    }
}

// A click goes clear, ticked, clear; a greyed box, which only the settings file makes, becomes
// ticked. What the boxes hold is what closing saves.
TEST_CASE("clicks on the check boxes are saved as they leave them") {
    const struct {
        const char* stored;
        int clicks;
        const char* saved;
    } cases[] = {{"0", 1, "1"}, {"0", 2, "0"}, {"1", 1, "0"},
                 {"2", 1, "1"}, {"2", 2, "0"}, {"2", 3, "1"}};
    for (const auto& c : cases) {
        CAPTURE(c.stored);
        CAPTURE(c.clicks);
        App app("[Options]\r\nAutoStart=" + std::string(c.stored) + "\r\n");
        app.Start();
        for (int click = 0; click < c.clicks; ++click)
            app.window.Click(chkAutoStart);
        app.window.Unload();
        CHECK(ReadAll(app.Settings()).find("AutoStart=" + std::string(c.saved) + "\r\n") !=
              std::string::npos);
    }
}

// The focus goes where it last was whenever the window comes back, to the next control in
// the tab order when that one is disabled meanwhile.
TEST_CASE("the keyboard focus when the window is shown or activated") {
    const struct {
        const char* name;
        std::optional<platform::ControlName> focusedByUser;
        bool thenStart;
        platform::ControlName expected;
    } cases[] = {{"first in the tab order", {}, false, txtInt},
                 {"the box is disabled while refreshing", {}, true, cmdToggle},
                 {"the user's last control", cmdTray, false, cmdTray},
                 {"the last control, disabled since", chkFile, true, cmdTray}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        App app;
        app.Start();
        CHECK(app.window.focus == txtInt);
        if (c.focusedByUser)
            app.window.SetFocus(*c.focusedByUser);
        if (c.thenStart)
            app.window.Click(cmdToggle);
        app.form->SendToTray();
        app.window.focus.reset();
        app.Notify(515);
        CHECK(app.window.focus == c.expected);
        app.window.focus.reset();
        app.window.events->Activate();
        CHECK(app.window.focus == c.expected);
    }
}

TEST_CASE("started refreshing, the focus is on Start/Stop") {
    App app("[Options]\r\nAutoStart=1\r\n");
    app.Start();
    CHECK(app.window.focus == cmdToggle);
}

// Return alone presses; with Shift, Ctrl or Alt it does not, and held down it presses once.
TEST_CASE("Return presses the focused button and nothing else") {
    using platform::Key;
    const struct {
        platform::ControlName control;
        bool enabled;
        platform::KeyPress press;
        bool handled, pressed;
    } cases[] = {{cmdToggle, true, {Key::Return}, true, true},
                 {cmdToggle, false, {Key::Return}, false, false},
                 {cmdToggle, true, {Key::Return, true}, false, false},
                 {cmdToggle, true, {Key::Return, false, true}, false, false},
                 {cmdToggle, true, {Key::Return, false, false, true}, false, false},
                 {cmdToggle, true, {Key::Return, false, false, false, true}, true, false},
                 {chkFile, true, {Key::Return}, false, false},
                 {txtInt, true, {Key::Return}, false, false}};
    for (const auto& c : cases) {
        CAPTURE(std::string(c.control.Text()));
        CAPTURE(c.enabled);
        CAPTURE(c.press.shift + 2 * c.press.control + 4 * c.press.alt + 8 * c.press.repeat);
        App app;
        app.Start();
        app.window.SetEnabled(c.control, c.enabled);
        CHECK(app.window.events->KeyDown(c.control, c.press) == c.handled);
        CHECK(app.window.TimerEnabled(tmrUpdate) == c.pressed);
        CHECK(app.window.Value(chkFile) == vbUnchecked);
    }
}

// The click that activates the window may reach a control before the activation does: that
// control keeps the focus, and the click its effect.
TEST_CASE("activating the window leaves the focus on a control that has it") {
    App app;
    app.Start();
    CHECK(app.window.focus == txtInt);
    app.window.focus = cmdTray; // the system gave it the focus, before telling anyone
    app.window.events->Activate();
    CHECK(app.window.focus == cmdTray);
    app.window.focus.reset();
    app.window.events->Activate();
    CHECK(app.window.focus == txtInt);
}

// A second start from the folder brings this copy back as Open Tallimer does, wherever the
// window was.
TEST_CASE("another start brings the window back") {
    const struct {
        const char* name;
        bool intoTray, minimised;
    } cases[] = {{"shown", false, false}, {"minimised", false, true}, {"in the tray", true, false}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        App app;
        app.Start();
        app.window.SetFocus(cmdTray);
        if (c.intoTray)
            app.form->SendToTray();
        if (c.minimised)
            app.window.SetWindowState(vbMinimized);
        app.window.focus.reset();
        app.form->AnotherStart();
        CHECK(app.window.visible);
        CHECK(app.window.windowState == vbNormal);
        CHECK(!app.tray.TrayIconShown());
        CHECK(app.window.broughtToFront == 1);
        CHECK(app.window.focus == cmdTray);
        CHECK(app.shell.calls.size() == (c.intoTray ? 2u : 0u));
    }
}

// A new look, or another screen's density, lays the window out anew from what the window
// system says of it then; what it holds stays.
TEST_CASE("a new look of the desktop lays the window out for it") {
    App app;
    app.Start();
    app.window.Type(txtInt, "42");
    app.window.appearance.highContrast = true;
    app.window.twipsPerPixel = 10;
    app.window.measure = [](platform::ControlKind kind, std::string_view) {
        return platform::ControlMetrics{
            {kind == platform::ControlKind::CheckBox ? 200 : 20, 13}, {}, {}};
    };
    app.window.events->AppearanceChanged();
    REQUIRE(app.window.layouts == 1);
    CHECK(app.window.plan.value().shapes.empty());
    CHECK(app.window.plan.value().clientWidth == 350);
    CHECK(app.window.Planned(chkAutoStart)->rect.width == 200);
    CHECK(app.window.Text(txtInt) == "42");
}

// The Settings.ini beside the program holds an administrator's defaults.
TEST_CASE("an installed copy, or one in a folder it may not write to, keeps files per user") {
    const char* saved = "[Options]\r\nInterval=9\r\nUse file method=0\r\nAutoStart=0\r\n"
                        "Auto Send To Tray=0\r\n";
    enum class User { Folder, None, Blocked }; // the user's folder: made, none, cannot be made
    const struct {
        const char* name;
        platform::FolderFacts facts;
        User user;
        const char* usersOwn; // the user's Settings.ini before the start, if any
        const char* after;    // the user's Settings.ini after closing; none: nothing is saved
    } cases[] = {
        {"installed, the user's first start", {true, true, ""}, User::Folder, nullptr, saved},
        {"a folder that refuses writes", {false, false, ""}, User::Folder, nullptr, saved},
        {"installed, with the user's own file",
         {true, false, ""},
         User::Folder,
         "[Options]\r\nAutoStart=2\r\n",
         "[Options]\r\nAutoStart=2\r\nInterval=30\r\nUse file method=0\r\n"
         "Auto Send To Tray=0\r\n"},
        {"installed, and this user has no folder", {true, false, ""}, User::None, nullptr, nullptr},
        {"installed, and the user's folder cannot be made",
         {true, false, ""},
         User::Blocked,
         nullptr,
         nullptr}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        App app("[Options]\r\nInterval=9\r\n");
        const TempDir home;
        REQUIRE(WriteAll(home.file("a file"), ""));
        app.facts = c.facts;
        app.userFolder = c.user == User::None      ? ""
                         : c.user == User::Blocked ? home.file("a file") + "/tallimer"
                                                   : home.file("tallimer");
        const std::string users = app.userFolder + platform::PathSeparator + "Settings.ini";
        if (c.usersOwn != nullptr)
            REQUIRE((platform::MakeFolders(app.userFolder) && WriteAll(users, c.usersOwn)));
        const MainWindowState& state = app.Start().State();
        app.window.Unload();
        if (c.after != nullptr) {
            CHECK(state.OutputFilePath == app.userFolder + platform::PathSeparator + "uptime.txt");
            CHECK(ReadAll(users) == c.after);
            CHECK(app.reports.empty());
        } else {
            // It runs on the defaults, writes nothing, and says so at start and at the end.
            CHECK(state.UpdateInterval == 9);
            CHECK((state.SettingsPath.empty() && state.OutputFilePath.empty()));
            REQUIRE(app.reports.size() == 2);
            CHECK(app.reports[0].find(c.user == User::None ? "no folder" : app.userFolder) !=
                  std::string::npos);
        }
        CHECK(ReadAll(app.Settings()) == "[Options]\r\nInterval=9\r\n");
        CHECK(app.dir.listing() == "Settings.ini");
    }
}

TEST_CASE("copies that would share a Settings.ini share one instance key, and no others") {
    const TempDir home;
    const auto key = [user = home.file("tallimer")](const char* folder, bool installed,
                                                    bool writable) {
        return ui::PlaceFiles({installed, writable, folder}, user).instanceKey;
    };
    CHECK(key("/opt/a", true, false) == key("/opt/b", true, false));
    CHECK(key("/media/read-only", false, false) == key("/opt/a", true, false));
    CHECK(key("/home/u/a", false, true) != key("/home/u/b", false, true));
    CHECK(key("/home/u/a", false, true) != key("/opt/a", true, false));
}

TEST_CASE("a save that fails is told") {
    App app;
    app.Start();
    REQUIRE(platform::MakeFolders(app.Settings())); // a folder where the file would be
    app.window.Unload();
    REQUIRE(app.reports.size() == 1);
    CHECK(app.reports[0].find(app.Settings()) != std::string::npos);
}
