#include "fakes.h"
#include "platform/codepage.h"
#include "tray/modsystray.h"

#include <algorithm>

#include <doctest/doctest.h>
#include <string>

namespace {

int windowObject;
platform::WindowHandle const Window = &windowObject;
platform::IconHandle const Icon = reinterpret_cast<void*>(0x1c0);

std::string Repeated(const std::string& character, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += character;
    return text;
}

} // namespace

TEST_CASE("adding fills the record") {
    FakeShellIconService shell;
    modSysTray tray(shell);
    CHECK(!tray.TrayIconShown());
    tray.AddTrayIcon(Window, Icon, "Tallimer - OFF");
    CHECK(tray.TrayIconShown());
    REQUIRE(shell.calls.size() == 1);
    const platform::NotifyIconData& sent = shell.calls[0].data;
    CHECK(shell.calls[0].message == platform::NimAdd);
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
    CHECK(shell.Tip(0) == "Tallimer - OFF");
    tray.RemoveTrayIcon();
    REQUIRE(shell.calls.size() == 2);
    CHECK(shell.Tip(1) == "Tallimer - OFF"); // the record kept from the first add
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
    CHECK(shell.calls[1].message == platform::NimDelete);
    CHECK(shell.calls[1].data.hWnd == Window);
    CHECK(shell.calls[1].data.uID == 1u);
    tray.RemoveTrayIcon();
    CHECK(shell.calls.size() == 2);
    tray.AddTrayIcon(Window, Icon, "again");
    CHECK(shell.Tip(2) == "again");
}

TEST_CASE("the tip is cut to 63 bytes of whole characters") {
    const std::string a63(63, 'a');
    // More than one byte each where the code page is UTF-8, not cut inside one anywhere.
    const std::string accent = platform::FromUtf16(u"\u00e9");
    const std::string clock = platform::FromUtf16(u"\U0001F552");
    const struct {
        const char* name;
        std::string tip, shown;
    } cases[] = {
        {"empty", "", ""},
        {"63 characters", a63, a63},
        {"64 characters", a63 + "b", a63},
        {"200 characters", std::string(200, 'x'), std::string(63, 'x')},
        {"accented", Repeated(accent, 40),
         Repeated(accent, std::min<size_t>(40, 63 / accent.size()))},
        {"emoji", Repeated(clock, 20), Repeated(clock, std::min<size_t>(20, 63 / clock.size()))}};
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
