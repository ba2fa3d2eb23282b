// What only a POSIX system has: links, modes, FIFOs, devices, locks, killed processes.
#include "engine/uptime.h"
#include "platform/files.h"
#include "platform/posix/localsocket.h"
#include "platform/system.h"
#include "settings/modmisc.h"
#include "testfiles.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <doctest/doctest.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st = {};
    REQUIRE(stat(path.c_str(), &st) == 0);
    return st.st_mode & 07777;
}

bool IsFifo(const std::string& path) {
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

} // namespace

TEST_CASE("the output file through a relative symbolic link") {
    TempDir dir;
    fs::create_directory(dir.file("real"));
    REQUIRE(WriteAll(dir.file("real/seconds.txt"), "old\r\n"));
    fs::create_symlink("real/seconds.txt", dir.file("uptime.txt"));
    CHECK(engine::WriteUptimeFile("42", dir.file("uptime.txt")));
    CHECK(fs::is_symlink(dir.file("uptime.txt")));
    CHECK(ReadAll(dir.file("real/seconds.txt")) == "42\r\n");
}

// A link to nothing stands for something missing: nothing is made in its place.
TEST_CASE("a dangling link is neither replaced nor followed") {
    TempDir dir;
    fs::create_symlink(dir.file("gone/uptime.txt"), dir.file("uptime.txt"));
    fs::create_symlink(dir.file("missing.ini"), dir.file("Settings.ini"));
    fs::create_symlink("Settings.ini", dir.file("chain.ini"));
    CHECK(!engine::WriteUptimeFile("7", dir.file("uptime.txt")));
    CHECK(modMisc::WriteSetting("Options", "Interval", "5", dir.file("Settings.ini")) == 0);
    CHECK(modMisc::WriteSetting("Options", "Interval", "5", dir.file("chain.ini")) == 0);
    for (const char* link : {"uptime.txt", "Settings.ini", "chain.ini"})
        CHECK(fs::is_symlink(dir.file(link)));
    CHECK(dir.listing() == "Settings.ini chain.ini uptime.txt");
}

// The user locks a file by taking away its write permission; root, who could write it anyway,
// respects that too.
TEST_CASE("a file without write permission keeps its content") {
    const struct {
        const char* name;
        mode_t mode;
    } cases[] = {{"read-only for all", 0444}, {"no permission at all", 0000}};
    for (const auto& c : cases) {
        CAPTURE(c.name);
        TempDir dir;
        REQUIRE(WriteAll(dir.file("real.ini"), "[Options]\r\nInterval=9\r\n"));
        fs::create_symlink("real.ini", dir.file("Settings.ini"));
        REQUIRE(WriteAll(dir.file("uptime.txt"), "old\r\n"));
        for (const char* name : {"real.ini", "uptime.txt"})
            REQUIRE(chmod(dir.file(name).c_str(), c.mode) == 0);
        CHECK(!engine::WriteUptimeFile("1", dir.file("uptime.txt")));
        CHECK(modMisc::WriteSetting("Options", "Interval", "5", dir.file("Settings.ini")) == 0);
        for (const char* name : {"real.ini", "uptime.txt"})
            REQUIRE(chmod(dir.file(name).c_str(), 0644) == 0);
        CHECK(ReadAll(dir.file("uptime.txt")) == "old\r\n");
        CHECK(ReadAll(dir.file("real.ini")) == "[Options]\r\nInterval=9\r\n");
        CHECK(dir.listing() == "Settings.ini real.ini uptime.txt");
    }
}

TEST_CASE("the output file keeps its permissions") {
    TempDir dir;
    REQUIRE(WriteAll(dir.file("uptime.txt"), "old\r\n"));
    REQUIRE(chmod(dir.file("uptime.txt").c_str(), 0640) == 0);
    CHECK(engine::WriteUptimeFile("9", dir.file("uptime.txt")));
    CHECK(ModeOf(dir.file("uptime.txt")) == 0640);
}

TEST_CASE("a FIFO without a reader does not hang the output; a device is written") {
    TempDir dir;
    REQUIRE(mkfifo(dir.file("pipe").c_str(), 0600) == 0);
    CHECK(!engine::WriteUptimeFile("1", dir.file("pipe")));
    CHECK(IsFifo(dir.file("pipe")));
    CHECK(engine::WriteUptimeFile("1", "/dev/null"));
}

TEST_CASE("a read-only folder keeps the old output file" *
          doctest::skip(!Needs(ReadOnlyFoldersWork()))) {
    TempDir locked;
    REQUIRE(WriteAll(locked.file("uptime.txt"), "old\r\n"));
    const ReadOnlyFolder readOnly(locked.path());
    REQUIRE(readOnly.ok());
    CHECK(!engine::WriteUptimeFile("1", locked.file("uptime.txt")));
    CHECK(ReadAll(locked.file("uptime.txt")) == "old\r\n");
}

// Writers killed at any moment leave at most one temporary behind, and never a file of
// somebody else's is removed.
TEST_CASE("killed writers leave at most one temporary") {
    TempDir dir;
    const std::string target = dir.file("Settings.ini");
    const std::string others[] = {".Settings.ini.x1.tmp", "Settings.ini~", ".Settings.ini.new"};
    for (const std::string& other : others)
        REQUIRE(WriteAll(dir.file(other), "mine"));
    const std::string content(1 << 20, 'x');
    std::mt19937 random(8);
    std::uniform_int_distribution<int> pause(2000, 12000);
    for (int kill = 0; kill < 40; ++kill) {
        const pid_t child = fork();
        REQUIRE(child >= 0);
        if (child == 0)
            for (;;)
                platform::ReplaceFileContents(target, content);
        usleep(useconds_t(pause(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        REQUIRE(waitpid(child, &status, 0) == child);
    }
    int left = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name != "Settings.ini" &&
            std::find(std::begin(others), std::end(others), name) == std::end(others))
            ++left;
    }
    CHECK(left <= 1);
    for (const std::string& other : others)
        CHECK(ReadAll(dir.file(other)) == "mine");
    CHECK(platform::ReplaceFileContents(target, "done"));
    CHECK(ReadAll(target) == "done");
}

// What stands at the temporary's name and is not a temporary of a dead writer is left as it
// is, and the target keeps its content.
TEST_CASE("foreign files at the temporary's name are left alone") {
    for (const std::string_view kind : {"symbolic link", "second name of another file", "locked"}) {
        CAPTURE(kind);
        TempDir dir;
        const std::string target = dir.file("uptime.txt");
        const std::string other = dir.file("other");
        const std::string temporary = platform::TemporaryFor(target);
        REQUIRE(WriteAll(target, "old"));
        REQUIRE(WriteAll(other, "other's"));
        int held = -1;
        if (kind == "symbolic link") {
            fs::create_symlink(other, temporary);
        } else if (kind == "locked") {
            REQUIRE(WriteAll(temporary, "other's"));
            held = open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
            REQUIRE(flock(held, LOCK_EX) == 0);
        } else {
            fs::create_hard_link(other, temporary);
        }
        CHECK(!platform::ReplaceFileContents(target, "new"));
        CHECK(ReadAll(target) == "old");
        CHECK(ReadAll(other) == "other's");
        CHECK(ReadAll(temporary) == "other's");
        if (held >= 0)
            close(held);
    }
}

// Whatever Settings.ini is, if it is not a regular file it is neither read nor written, and
// nothing waits on it.
TEST_CASE("settings that are no regular file") {
    for (const std::string_view kind : {"FIFO", "link to a FIFO", "device"}) {
        CAPTURE(kind);
        TempDir dir;
        const std::string fifo = dir.file("pipe");
        std::string file = dir.file("Settings.ini");
        if (kind == "device") {
            file = "/dev/zero";
        } else {
            REQUIRE(mkfifo(fifo.c_str(), 0600) == 0);
            if (kind == "FIFO")
                file = fifo;
            else
                fs::create_symlink(fifo, file);
        }
        CHECK(modMisc::ReadSetting("Options", "Interval", file).empty());
        CHECK(modMisc::WriteSetting("Options", "Interval", "5", file) == 0);
        if (kind != "device")
            CHECK(IsFifo(fifo));
    }
}

TEST_CASE("settings through a symbolic link keep the link and the mode") {
    TempDir dir;
    REQUIRE(WriteAll(dir.file("real.ini"), "[Options]\nInterval=1\n"));
    REQUIRE(chmod(dir.file("real.ini").c_str(), 0604) == 0);
    fs::create_symlink(dir.file("real.ini"), dir.file("Settings.ini"));
    CHECK(modMisc::WriteSetting("Options", "Interval", "2", dir.file("Settings.ini")) != 0);
    CHECK(fs::is_symlink(dir.file("Settings.ini")));
    CHECK(ReadAll(dir.file("real.ini")) == "[Options]\nInterval=2\n");
    CHECK(ModeOf(dir.file("real.ini")) == 0604);
}

TEST_CASE("settings in a read-only folder keep the old file" *
          doctest::skip(!Needs(ReadOnlyFoldersWork()))) {
    TempDir locked;
    REQUIRE(WriteAll(locked.file("Settings.ini"), "[Options]\r\nInterval=30\r\n"));
    const ReadOnlyFolder readOnly(locked.path());
    REQUIRE(readOnly.ok());
    CHECK(modMisc::WriteSetting("Options", "Interval", "5", locked.file("Settings.ini")) == 0);
    CHECK(ReadAll(locked.file("Settings.ini")) == "[Options]\r\nInterval=30\r\n");
}

TEST_CASE("the boot file's time, through a link too") {
    TempDir here;
    REQUIRE(WriteAll(here.file("boot.dat"), "x"));
    fs::create_symlink(here.file("boot.dat"), here.file("link.dat"));
    const timespec stamp[2] = {{1'700'000'000, 0}, {1'700'000'000, 250'000'000}};
    REQUIRE(utimensat(AT_FDCWD, here.file("boot.dat").c_str(), stamp, 0) == 0);
    const platform::SystemFileService service;
    for (const char* name : {"boot.dat", "link.dat"}) {
        const auto info = service.GetFile(here.file(name));
        REQUIRE(info.has_value());
        CHECK(info.value().DateLastModified.time_since_epoch().count() == 1'700'000'000'250);
    }
}

TEST_CASE("the tick counter follows /proc/uptime, suspended time included" *
          doctest::skip(!Needs(fs::exists("/proc/uptime")))) {
    std::ifstream uptime("/proc/uptime");
    double procSeconds = 0;
    REQUIRE(bool(uptime >> procSeconds));
    const double counterSeconds = double(platform::SystemTickCounter().GetTickCount64()) / 1000;
    CHECK(std::abs(counterSeconds - procSeconds) < 2.0);
}

TEST_CASE("the program's folder") {
    const std::string folder = platform::ApplicationFolder();
    CHECK(fs::is_directory(folder));
    CHECK(!folder.ends_with('/'));
}

TEST_CASE("where a copy keeps the user's files: under the XDG base directories") {
    const struct {
        const char* config;
        const char* home;
        std::string folder;
    } cases[] = {{"/x/config", "/home/a", "/x/config/tallimer"},
                 {"relative", "/home/a", "/home/a/.config/tallimer"},
                 {nullptr, "/home/a", "/home/a/.config/tallimer"}};
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    const std::string config = variable("XDG_CONFIG_HOME");
    const std::string home = variable("HOME");
    for (const auto& c : cases) {
        CAPTURE(c.folder);
        c.config ? setenv("XDG_CONFIG_HOME", c.config, 1) : unsetenv("XDG_CONFIG_HOME");
        setenv("HOME", c.home, 1);
        CHECK(platform::UserFolder() == c.folder);
    }
    config.empty() ? unsetenv("XDG_CONFIG_HOME") : setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    TempDir dir;
    CHECK(platform::MakeFolders(dir.file("a/b/tallimer")));
    CHECK(ModeOf(dir.file("a/b/tallimer")) == 0700);
    CHECK(platform::MakeFolders(dir.file("a/b/tallimer")));
    CHECK(!platform::MakeFolders(std::string("a\0b", 3)));
    for (const char* installed : {"/usr/bin", "/usr/local/bin/", "/opt/tallimer"})
        CHECK(platform::FactsOf(installed).installed);
    CHECK(!platform::FactsOf(dir.path()).installed);
    CHECK(platform::FactsOf(dir.path()).writable);
    // Installed by the package's rules into a prefix of any name: the package's mark says so.
    REQUIRE(platform::MakeFolders(dir.file("prefix/share/tallimer")));
    REQUIRE(platform::MakeFolders(dir.file("prefix/bin")));
    CHECK(!platform::FactsOf(dir.file("prefix/bin")).installed);
    std::ofstream(dir.file("prefix/share/tallimer/installed")) << "mark\n";
    CHECK(platform::FactsOf(dir.file("prefix/bin")).installed);
}

TEST_CASE("a read-only folder takes no files" * doctest::skip(!Needs(ReadOnlyFoldersWork()))) {
    TempDir locked;
    const ReadOnlyFolder readOnly(locked.path());
    REQUIRE(readOnly.ok());
    CHECK(!platform::FactsOf(locked.path()).writable);
}

TEST_CASE("the copies' local socket, at a path or at a name of its own") {
    const TempDir here;
    const std::string name = std::string(1, '\0') + "tallimer-test-" + std::to_string(getpid());
    for (const std::string& address : {here.file("s"), name}) {
        CAPTURE(address.size());
        const platform::OwnedDescriptor server = platform::ListenLocal(address);
        REQUIRE(bool(server));
        if (address == name) // held by one socket at a time: the copies' lock
            CHECK(!platform::ListenLocal(name));
        CHECK(!platform::ReachLocal(address + "x"));
        CHECK(!platform::SendLocal(address + "x", "nobody listens here"));
        CHECK(platform::ReachLocal(address));
        CHECK(platform::SendLocal(address, "activate\n\n"));
        const platform::OwnedDescriptor looked = platform::AcceptLocal(server.get());
        const platform::OwnedDescriptor caller = platform::AcceptLocal(server.get());
        REQUIRE((looked && caller));
        char got[16] = {};
        CHECK(read(looked.get(), got, sizeof got) == 0);
        CHECK(read(caller.get(), got, sizeof got) == 10);
        CHECK(std::string(got) == "activate\n\n");
    }
    const std::string tooLong = here.file(std::string(200, 's'));
    CHECK(!platform::ListenLocal(tooLong));
    CHECK(!platform::SendLocal(tooLong, "activate\n\n"));
}
