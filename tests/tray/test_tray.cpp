#include "fakes.h"
#include "tray/modsystray.h"

#include <doctest/doctest.h>
#include <string>

namespace {

int windowObject;
platform::WindowHandle const Window = &windowObject;
platform::IconHandle const Icon = reinterpret_cast<void*>(0x1c0);

} // namespace

TEST_CASE("adding fills the record") {
    FakeShellIconService shell;
    modSysTray tray(shell);
    CHECK(!tray.TrayIconShown());
    tray.AddTrayIcon(Window, Icon, "Tallimer - OFF");
    CHECK(tray.TrayIconShown());
    REQUIRE(shell.calls.size() == 1);
    const platform::NOTIFYICONDATA& sent = shell.calls[0].data;
    CHECK(shell.calls[0].message == platform::NIM_ADD);
    CHECK(sent.cbSize == 88u);
    CHECK(sent.hWnd == Window);
    CHECK(sent.uID == 1u);
    CHECK(sent.uFlags == 7u);
    CHECK(sent.uCallbackMessage == 512u);
    CHECK(sent.hIcon == Icon);
    CHECK(shell.Tip(0) == "Tallimer - OFF");
    CHECK(std::string(sent.szTip.data() + 15, platform::TipBytes - 15) ==
          std::string(platform::TipBytes - 15, ' '));
}

TEST_CASE("a second add changes nothing, not even the tip") {
    FakeShellIconService shell;
    modSysTray tray(shell);
    tray.AddTrayIcon(Window, Icon, "Tallimer - OFF");
    tray.AddTrayIcon(Window, Icon, "Tallimer - ON");
    CHECK(shell.calls.size() == 1);
    CHECK(std::string(tray.TrayIconRecord().szTip.data()) == "Tallimer - OFF");
}

TEST_CASE("removing sends the kept record, once") {
    FakeShellIconService shell;
    modSysTray tray(shell);
    tray.RemoveTrayIcon();
    CHECK(shell.calls.empty());
    tray.AddTrayIcon(Window, Icon, "Tallimer - ON");
    tray.RemoveTrayIcon();
    CHECK(!tray.TrayIconShown());
    REQUIRE(shell.calls.size() == 2);
    CHECK(shell.calls[1].message == platform::NIM_DELETE);
    CHECK(shell.calls[1].data.hWnd == Window);
    CHECK(shell.calls[1].data.uID == 1u);
    tray.RemoveTrayIcon();
    CHECK(shell.calls.size() == 2);
    tray.AddTrayIcon(Window, Icon, "again");
    CHECK(shell.Tip(2) == "again");
}

TEST_CASE("the tip is cut to 63 bytes of whole characters") {
    const std::string a63(63, 'a');
    std::string accented;
    std::string clocks;
    for (int i = 0; i < 40; ++i)
        accented += "\xC3\xA9"; // two bytes each in UTF-8
    for (int i = 0; i < 20; ++i)
        clocks += "\xF0\x9F\x95\x92"; // four bytes each
    const struct {
        const char* name;
        std::string tip, shown;
    } cases[] = {{"empty", "", ""},
                 {"63 characters", a63, a63},
                 {"64 characters", a63 + "b", a63},
                 {"200 characters", std::string(200, 'x'), std::string(63, 'x')},
                 {"accented", accented, accented.substr(0, 62)},
                 {"emoji", clocks, clocks.substr(0, 60)}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        FakeShellIconService shell;
        modSysTray tray(shell);
        tray.AddTrayIcon(Window, Icon, c.tip);
        CHECK(shell.Tip(0) == c.shown);
        CHECK(strnlen(shell.calls[0].data.szTip.data(), platform::TipBytes) <
              size_t(platform::TipBytes));
    }
}

// The shell's answer is not looked at: the flag follows the call made.
TEST_CASE("a refused add still counts as shown") {
    FakeShellIconService refusing;
    refusing.answer = false;
    modSysTray tray(refusing);
    tray.AddTrayIcon(Window, Icon, "tip");
    CHECK(tray.TrayIconShown());
    tray.RemoveTrayIcon();
    CHECK(!tray.TrayIconShown());
    CHECK(refusing.calls.size() == 2);
}
