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

#include <shlobj.h> // after windows.h, which it needs

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
TEST_CASE("mouse moves are decoded into pixels") {
    const auto fromTray = platform::DecodeMouseMove(0x203);
    CHECK(fromTray.x == 515);
    CHECK(fromTray.y == 0);
    const auto mouse = platform::DecodeMouseMove(MAKELPARAM(10, 20));
    CHECK(mouse.x == 10);
    CHECK(mouse.y == 20);
    // Positions left of or above the client area are negative.
    CHECK(platform::DecodeMouseMove(MAKELPARAM(0xFFFF, 0xFFFE)).x == -1);
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

// A user or folder name with letters the ANSI code page lacks: the program keeps file names in
// UTF-8 and hands them to the system's wide calls.
TEST_CASE("files in a folder named outside the ANSI code page") {
    TempDir dir;
    const std::string folder = dir.file("T\xC3\xA2"
                                        "che-\xE6\xB5\x8B\xE8\xAF\x95-\xCE\xA9mega");
    REQUIRE(std::filesystem::create_directory(Native(folder)));
    const std::string output = folder + "\\uptime.txt";
    const std::string settings = folder + "\\Settings.ini";
    CHECK(engine::WriteUptimeFile("86400", output));
    CHECK(platform::IsRegularFile(output));
    CHECK(platform::ReadRegularFile(output) == "86400\r\n");
    CHECK(platform::SystemFileService().GetFile(output).has_value());
    CHECK(modMisc::WriteSetting("Options", "Interval", "7", settings) != 0);
    CHECK(modMisc::ReadSetting("Options", "Interval", settings) == "7");
    // Where the system itself finds them.
    CHECK(std::filesystem::exists(Native(folder) / L"uptime.txt"));
    CHECK(std::filesystem::exists(Native(folder) / L"Settings.ini"));
    CHECK(dir.listing() == "T\xC3\xA2"
                           "che-\xE6\xB5\x8B\xE8\xAF\x95-\xCE\xA9mega");
}

TEST_CASE("files deeper than MAX_PATH") {
    TempDir dir;
    std::string folder = dir.path();
    std::wstring wide = L"\\\\?\\" + std::filesystem::absolute(Native(dir.path())).wstring();
    while (folder.size() < MAX_PATH + 40) {
        folder += "\\" + std::string(48, 'd');
        wide += L"\\" + std::wstring(48, L'd');
        REQUIRE(CreateDirectoryW(wide.c_str(), nullptr));
    }
    const std::string output = folder + "\\uptime.txt";
    CHECK(output.size() > MAX_PATH);
    CHECK(engine::WriteUptimeFile("12", output));
    CHECK(platform::ReadRegularFile(output) == "12\r\n");
    CHECK(platform::IsRegularFile(output));
    CHECK(platform::SystemFileService().GetFile(output).has_value());
    CHECK(modMisc::WriteSetting("Options", "AutoStart", "1", folder + "\\Settings.ini") != 0);
    CHECK(GetFileAttributesW((wide + L"\\uptime.txt").c_str()) != INVALID_FILE_ATTRIBUTES);
    CHECK(GetFileAttributesW((wide + L"\\.uptime.txt.tallimer-new").c_str()) ==
          INVALID_FILE_ATTRIBUTES);
    // The standard library's own calls stop at MAX_PATH: the folder goes the long way.
    std::wstring remove = wide;
    DeleteFileW((remove + L"\\uptime.txt").c_str());
    DeleteFileW((remove + L"\\Settings.ini").c_str());
    while (remove.size() > 4 + std::filesystem::absolute(Native(dir.path())).wstring().size()) {
        RemoveDirectoryW(remove.c_str());
        remove.resize(remove.rfind(L'\\'));
    }
}

// Paths in Settings.ini are text in the code page; the program's file functions take UTF-8.
TEST_CASE("a file name from the settings file") {
    CHECK(platform::FileNameFromText("C:\\Tallimer\\uptime.txt") == "C:\\Tallimer\\uptime.txt");
    const struct {
        std::u16string character;
        const char* utf8;
    } cases[] = {{u"\u00E9", "\xC3\xA9"}, {u"\u00DF", "\xC3\x9F"}, {u"\u03A9", "\xCE\xA9"}};
    for (const auto& c : cases) {
        CAPTURE(c.utf8);
        const std::string inCodePage = platform::FromUtf16(c.character);
        if (platform::ToUtf16(inCodePage) != c.character)
            continue; // a letter this code page does not have
        CHECK(platform::FileNameFromText("C:\\" + inCodePage) == std::string("C:\\") + c.utf8);
    }
}

namespace {

// Whether the temporary folder's file system keeps a file's hidden attribute.
bool KeepsHiddenAttribute() {
    const TempDir probe;
    const std::wstring wide = Native(probe.file("probe")).wstring();
    return WriteAll(probe.file("probe"), "x") &&
           SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN) &&
           (GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0 &&
           SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace

TEST_CASE("replacing a file keeps what the user set on it" *
          doctest::skip(!Needs(KeepsHiddenAttribute()))) {
    TempDir dir;
    const std::string target = dir.file("Settings.ini");
    REQUIRE(WriteAll(target, "[Options]\r\n"));
    const std::wstring wide = Native(target).wstring();
    REQUIRE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN));
    REQUIRE((GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0);
    CHECK(modMisc::WriteSetting("Options", "Interval", "5", target) != 0);
    CHECK(ReadAll(target) == "[Options]\r\nInterval=5\r\n");
    const DWORD after = GetFileAttributesW(wide.c_str());
    CHECK((after & FILE_ATTRIBUTE_HIDDEN) != 0);
    CHECK((after & FILE_ATTRIBUTE_ARCHIVE) != 0); // new content, to be archived again
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_CASE("where a copy keeps the user's files: in the user's local application data") {
    wchar_t local[MAX_PATH] = {};
    REQUIRE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local)));
    const std::string folder = platform::UserFolder();
    CHECK(folder == FromNative(std::filesystem::path(local) / "Tallimer"));
    wchar_t programs[MAX_PATH] = {};
    REQUIRE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programs)));
    for (const std::filesystem::path& installed :
         {std::filesystem::path(local) / "Programs" / "Tallimer", std::filesystem::path(programs)})
        CHECK(platform::FactsOf(FromNative(installed)).installed);
    TempDir dir;
    CHECK(platform::MakeFolders(dir.file("a\\b\\Tallimer")));
    CHECK(std::filesystem::is_directory(Native(dir.file("a\\b\\Tallimer"))));
    const platform::FolderFacts own = platform::FactsOf(dir.path());
    CHECK((!own.installed && own.writable));
    CHECK(dir.listing() == "a"); // the probe of the folder is gone

    // Program Files by its 8.3 name, as some shortcuts start a program, is Program Files.
    wchar_t shortName[MAX_PATH] = {};
    REQUIRE(GetShortPathNameW(programs, shortName, MAX_PATH) > 0);
    CAPTURE(FromNative(shortName));
    const platform::FolderFacts byShortName = platform::FactsOf(FromNative(shortName));
    CHECK(byShortName.installed);
    CHECK(byShortName.folder == FromNative(programs));

    // Any folder the installer was told to install to, by the mark it leaves in the registry.
    const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tallimer";
    HKEY entry = nullptr;
    REQUIRE(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &entry,
                            nullptr) == ERROR_SUCCESS);
    const std::wstring location = Native(dir.path()).wstring() + L"\\";
    RegSetValueExW(entry, L"InstallLocation", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(location.c_str()),
                   DWORD((location.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(entry);
    CHECK(platform::FactsOf(dir.path()).installed);
    CHECK(!platform::FactsOf(dir.file("a")).installed);
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
}
