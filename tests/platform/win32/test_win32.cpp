// What only Windows has: its tick counter, file times and attributes, devices, and files
// held open by another handle.
#include "engine/uptime.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "platform/win32/window.h"
#include "settings/modmisc.h"
#include "testfiles.h"

#include <doctest/doctest.h>
#include <filesystem>
#include <windows.h>

TEST_CASE("the tick counter counts milliseconds since the system started") {
    const std::uint64_t before = GetTickCount64();
    const std::uint64_t ticks = platform::SystemTickCounter().GetTickCount64();
    CHECK(ticks >= before);
    CHECK(ticks - before < 5000);
}

TEST_CASE("the boot file's last-write time") {
    TempDir here;
    REQUIRE(WriteAll(here.file("boot.dat"), "x"));
    const HANDLE file = CreateFileA(here.file("boot.dat").c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(file != INVALID_HANDLE_VALUE);
    // 2023-11-14T22:13:20.250Z, in 100 ns from 1601.
    const std::uint64_t stamp = (1'700'000'000'250ULL * 10000) + 116444736000000000ULL;
    const FILETIME time{DWORD(stamp), DWORD(stamp >> 32)};
    CHECK(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);
    const platform::SystemFileService service;
    const auto info = service.GetFile(here.file("boot.dat"));
    REQUIRE(info.has_value());
    CHECK(info->DateLastModified.time_since_epoch().count() == 1'700'000'000'250);
    std::filesystem::create_directory(here.file("folder"));
    CHECK(!service.GetFile(here.file("folder")).has_value());
    CHECK(!service.GetFile(here.file("absent")).has_value());
}

TEST_CASE("the program's folder has no separator at its end") {
    const std::string folder = platform::ApplicationFolder();
    CHECK(std::filesystem::is_directory(folder));
    CHECK(!folder.ends_with('\\'));
}

TEST_CASE("paths with forward slashes work as well") {
    TempDir dir;
    std::string path = dir.file("uptime.txt");
    for (char& c : path)
        if (c == '\\')
            c = '/';
    CHECK(engine::WriteUptimeFile("12", path));
    CHECK(ReadAll(dir.file("uptime.txt")) == "12\r\n");
    CHECK(dir.listing() == "uptime.txt");
}

TEST_CASE("a read-only file keeps its content") {
    TempDir dir;
    const std::string target = dir.file("uptime.txt");
    REQUIRE(WriteAll(target, "old\r\n"));
    REQUIRE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK(!engine::WriteUptimeFile("1", target));
    CHECK(ReadAll(target) == "old\r\n");
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    CHECK(dir.listing() == "uptime.txt");
}

TEST_CASE("a temporary held open by another writer is left alone") {
    TempDir dir;
    const std::string target = dir.file("uptime.txt");
    REQUIRE(WriteAll(target, "old"));
    REQUIRE(WriteAll(platform::TemporaryFor(target), "other's"));
    const HANDLE held = CreateFileA(platform::TemporaryFor(target).c_str(), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(held != INVALID_HANDLE_VALUE);
    CHECK(!platform::ReplaceFileContents(target, "new"));
    CloseHandle(held);
    CHECK(ReadAll(target) == "old");
    CHECK(ReadAll(platform::TemporaryFor(target)) == "other's");
}

TEST_CASE("a device is neither read as settings nor taken for a file") {
    CHECK(!platform::IsRegularFile("NUL"));
    CHECK(!platform::ReadRegularFile("NUL").has_value());
    CHECK(platform::ReplaceFileContents("NUL", "1\r\n"));
}

TEST_CASE("text in the ANSI code page goes to UTF-16 and back") {
    const std::string text = "Tallimer - ON";
    CHECK(platform::ToUtf16(text) == u"Tallimer - ON");
    CHECK(platform::FromUtf16(u"Tallimer - ON") == text);
    CHECK(platform::CutToWholeCharacters(std::string(80, 'a'), 63) == std::string(63, 'a'));
}

TEST_CASE("twips per pixel follow the screen's dots per inch") {
    CHECK(platform::TwipsPerPixel(96) == 15.0);
    CHECK(platform::TwipsPerPixel(120) == 12.0);
    CHECK(platform::TwipsPerPixel(144) == 10.0);
    CHECK(platform::TwipsPerPixel(0) == 15.0); // a screen that does not say
}

// The icon's callback is WM_MOUSEMOVE with the icon's id in wParam and the notification
// code in lParam, which the window reads as a position: x is the code, in pixels.
TEST_CASE("mouse moves are decoded into buttons, keys and pixels") {
    const auto fromTray = platform::DecodeMouseMove(1, 0x203, false);
    CHECK(fromTray.x == 515);
    CHECK(fromTray.y == 0);
    const auto mouse =
        platform::DecodeMouseMove(MK_RBUTTON | MK_SHIFT | MK_CONTROL, MAKELPARAM(10, 20), true);
    CHECK((!mouse.left && mouse.right && !mouse.middle));
    CHECK((mouse.shift && mouse.control && mouse.alt));
    CHECK(mouse.x == 10);
    CHECK(mouse.y == 20);
    // Positions left of or above the client area are negative.
    CHECK(platform::DecodeMouseMove(0, MAKELPARAM(0xFFFF, 0xFFFE), false).x == -1);
}

// The system's own profile functions are the reference: whatever the program's writer made of
// a file, they read every value the same as the program's reader does.
TEST_CASE("the system's profile functions read what the writer wrote as the reader does") {
    const std::string starts[] = {
        "",
        "[Options]\r\nInterval=30\r\n",
        "; notes\r\n[Paths]\r\nBootFile=C:\\boot.dat\r\n\r\n[Options]\r\n  interval = 5 \r\n",
        "[OPTIONS]\nAutoStart=1\n[Mine]\nx=1",
        "[Options]\r\nUse file method=\"2\"\r\nAuto Send To Tray=' 1 '\r\n",
    };
    const char* const keys[][2] = {{"Options", "Interval"},  {"Options", "Use file method"},
                                   {"Options", "AutoStart"}, {"Options", "Auto Send To Tray"},
                                   {"Paths", "BootFile"},    {"Mine", "x"},
                                   {"Options", "missing"},   {"Nowhere", "Interval"}};
    TempDir dir;
    int round = 0;
    for (const std::string& start : starts) {
        // A file of its own each time, so that no cached copy is read.
        const std::string file = dir.file("Settings" + std::to_string(round++) + ".ini");
        REQUIRE(WriteAll(file, start));
        CHECK(modMisc::WriteSetting("Options", "Interval", "7", file) != 0);
        CHECK(modMisc::WriteSetting("Options", "AutoStart", "0", file) != 0);
        CHECK(modMisc::WriteSetting("Options", "Auto Send To Tray", "1", file) != 0);
        for (const auto& key : keys) {
            CAPTURE(start);
            CAPTURE(key[1]);
            char system[255] = {};
            const DWORD n =
                ::GetPrivateProfileStringA(key[0], key[1], "", system, 255, file.c_str());
            CHECK(std::string(system, n) == modMisc::ReadSetting(key[0], key[1], file));
        }
    }
}
