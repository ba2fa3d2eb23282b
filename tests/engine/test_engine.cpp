#include "base/numeric.h"
#include "engine/uptime.h"
#include "fakes.h"
#include "testfiles.h"

#include <doctest/doctest.h>
#include <filesystem>
#include <limits>
#include <random>

using engine::UptimeParts;

namespace {

struct Engine {
    FakeTickCounter ticks;
    FakeClock clock;
    FakeFileService files;
    TempDir dir;
    double uptimeSeconds = 0;
    std::optional<platform::BootFileInfo> bootFileInfo;

    std::string Output() const { return dir.file("uptime.txt"); }

    std::optional<UptimeParts> Refresh(bool fileMethod, const std::string& bootPath = "boot.dat") {
        return engine::RefreshUptime({fileMethod, bootPath, Output()}, {ticks, clock, &files},
                                     uptimeSeconds, bootFileInfo);
    }
    bool OutputExists() const { return std::filesystem::exists(Output()); }
};

platform::Instant Seconds(const platform::Instant& from, int seconds) {
    return from + std::chrono::seconds(seconds);
}

} // namespace

TEST_CASE("captions of the breakdown") {
    const struct {
        double seconds;
        const char* caption;
    } cases[] = {{59, "Uptime: 0d 0h 0m 59s"},
                 {3600, "Uptime: 0d 1h 0m 0s"},
                 {86399, "Uptime: 0d 23h 59m 59s"},
                 {90061, "Uptime: 1d 1h 1m 1s"},
                 {176461, "Uptime: 2d 1h 1m 1s"}};
    for (const auto& c : cases) {
        CAPTURE(c.seconds);
        CHECK(engine::UptimeCaption(engine::SplitUptime(c.seconds)) == c.caption);
    }
}

TEST_CASE("days beyond 32 bits saturate") {
    constexpr auto Max = std::numeric_limits<std::int32_t>::max();
    const struct {
        double seconds;
        std::int32_t days;
    } cases[] = {{100.0 * 365 * 86400, 36500},
                 {86400.0 * 3e9, Max},
                 {1e300, Max},
                 {std::numeric_limits<double>::infinity(), Max}};
    for (const auto& c : cases) {
        CAPTURE(c.seconds);
        const UptimeParts parts = engine::SplitUptime(c.seconds);
        CHECK(parts.days == c.days);
        CHECK((parts.hours >= 0 && parts.hours < 24));
        CHECK((parts.minutes >= 0 && parts.minutes < 60));
        CHECK((parts.seconds >= 0 && parts.seconds < 60));
    }
}

TEST_CASE("the tick count rounds halves to even and never wraps") {
    const struct {
        std::uint64_t ms;
        double seconds;
    } cases[] = {{1500, 2},
                 {2500, 2},
                 {3500, 4},
                 {2499, 2},
                 {2501, 3},
                 {2147483648ULL + 500, 2147484},
                 {4294967296ULL + 1000, 4294968},
                 {3155760000000ULL, 3155760000}};
    for (const auto& c : cases) {
        CAPTURE(c.ms);
        Engine e;
        e.ticks.ms = c.ms;
        const auto parts = e.Refresh(false);
        REQUIRE(parts.has_value());
        CHECK(e.uptimeSeconds == c.seconds);
        CHECK(parts.value() == engine::SplitUptime(c.seconds));
        CHECK(ReadAll(e.Output()) == std::to_string(std::int64_t(c.seconds)) + "\r\n");
    }
}

// Ticks kept in phase with the measured clock read one second more at every tick, whatever
// the phase they start in and however late (within half a second) each one fires.
TEST_CASE("ticks in phase never skip or repeat a second") {
    for (const std::int64_t start : {0, 1, 250, 499, 500, 501, 750, 999})
        for (const int lateness : {0, 150, 490})
            for (const int readAt : {0, 500}) {
                CAPTURE(start);
                CAPTURE(lateness);
                CAPTURE(readAt);
                const auto read = [readAt](std::int64_t ms) {
                    return readAt == 0 ? base::DivideRoundHalfEven(ms, 1000) : ms / 1000;
                };
                std::mt19937 random(static_cast<unsigned>(start));
                // An early tick (a timer's slack) is as possible as a late one.
                std::uniform_int_distribution<int> slack(-5, lateness);
                std::int64_t now = (readAt == 0 ? 90'061'000 : 1'800'000'000'000) + start;
                std::int64_t last = -1;
                for (int tick = 0; tick < 500; ++tick) {
                    const int delay = engine::MillisecondsToNextTick(now, readAt);
                    REQUIRE((delay >= 500 && delay < 1500));
                    now += delay + slack(random);
                    if (last >= 0)
                        REQUIRE(read(now) == last + 1);
                    last = read(now);
                }
            }
}

TEST_CASE("nothing is written for an uptime of zero seconds") {
    for (const std::uint64_t ms : {0ULL, 500ULL}) {
        Engine e;
        e.ticks.ms = ms;
        CHECK(!e.Refresh(false).has_value());
        CHECK(!e.OutputExists());
    }
}

TEST_CASE("the boot-file method") {
    Engine e;
    SUBCASE("measures from the modification time") {
        e.files.files["boot.dat"] = Seconds(e.clock.now, -176461);
        CHECK(e.Refresh(true) == engine::SplitUptime(176461));
        CHECK(ReadAll(e.Output()) == "176461\r\n");
        CHECK(e.ticks.reads == 0);
    }
    SUBCASE("subtracts instants across a daylight-saving change") {
        // Berlin's clocks went forward an hour at 02:00 on 2026-03-29: 00:30 CET to 03:30
        // CEST is three hours on the wall and two real ones.
        e.files.files["boot.dat"] = At(1774740600000); // 2026-03-28T23:30:00Z
        e.clock.now = At(1774747800000);               // 2026-03-29T01:30:00Z
        CHECK(e.Refresh(true).has_value());
        CHECK(e.uptimeSeconds == 7200.0);
    }
    SUBCASE("whole seconds of each instant") {
        e.files.files["boot.dat"] = At(1'799'999'000'999);
        e.clock.now = At(1'800'000'000'000);
        CHECK(e.Refresh(true).has_value());
        CHECK(e.uptimeSeconds == 1000.0);
    }
    SUBCASE("a boot file in the future writes nothing") {
        e.files.files["boot.dat"] = Seconds(e.clock.now, 60);
        CHECK(!e.Refresh(true).has_value());
        CHECK(e.uptimeSeconds == -60.0);
        CHECK(!e.OutputExists());
    }
    SUBCASE("missing from the start") {
        CHECK(!e.Refresh(true).has_value());
        CHECK(e.uptimeSeconds == 0.0);
        CHECK(!e.bootFileInfo.has_value());
        CHECK(!e.OutputExists());
    }
    SUBCASE("vanishing repeats the last value") {
        const platform::Instant booted = Seconds(e.clock.now, -100);
        e.files.files["boot.dat"] = booted;
        CHECK(e.Refresh(true).has_value());
        e.files.files.clear();
        e.clock.now = Seconds(e.clock.now, 50);
        std::filesystem::remove(e.Output());
        CHECK(e.Refresh(true) == engine::SplitUptime(100));
        CHECK(ReadAll(e.Output()) == "100\r\n");
        CHECK(e.bootFileInfo.value().DateLastModified == booted); // the last lookup that found it
    }
    SUBCASE("no lookup without the service") {
        std::optional<platform::BootFileInfo> info;
        CHECK(!engine::OpenBootFile(nullptr, "boot.dat", info));
        CHECK(!info.has_value());
    }
}

TEST_CASE("the output file holds the digits and CR LF, and nothing is left beside it") {
    Engine e;
    CHECK(engine::WriteUptimeFile("86400", e.Output()));
    CHECK(ReadAll(e.Output()) == "86400\r\n");
    CHECK(engine::WriteUptimeFile("5", e.Output()));
    CHECK(ReadAll(e.Output()) == "5\r\n");
    CHECK(e.dir.listing() == "uptime.txt");
}

TEST_CASE("the uptime as text is plain digits") {
    CHECK(engine::UptimeText(1) == "1");
    CHECK(engine::UptimeText(176461) == "176461");
    CHECK(engine::UptimeText(999999999999999.0) == "999999999999999");
}

TEST_CASE("output files that cannot be written") {
    Engine e;
    std::filesystem::create_directory(e.dir.file("folder"));
    for (const std::string& path :
         {std::string(), e.dir.file("no") + platform::PathSeparator + "uptime.txt",
          e.dir.file("folder"), e.Output() + std::string(1, '\0') + "x"}) {
        CAPTURE(path);
        CHECK(!engine::WriteUptimeFile("1", path));
    }
    CHECK(std::filesystem::is_directory(e.dir.file("folder")));
    CHECK(!std::filesystem::exists(e.dir.file("no")));
    CHECK(!e.OutputExists());
}

TEST_CASE("a failed write still gives the breakdown") {
    Engine e;
    e.ticks.ms = 59'000;
    const auto parts = engine::RefreshUptime(
        {false, {}, e.dir.file("no") + platform::PathSeparator + "uptime.txt"},
        {e.ticks, e.clock, &e.files}, e.uptimeSeconds, e.bootFileInfo);
    CHECK(parts == engine::SplitUptime(59));
}

TEST_CASE("the system's file service reads modification times") {
    TempDir here;
    REQUIRE(WriteAll(here.file("boot.dat"), "x"));
    std::filesystem::create_directory(here.file("folder"));
    const platform::SystemFileService service;
    const auto info = service.GetFile(here.file("boot.dat"));
    REQUIRE(info.has_value());
    const auto age = std::chrono::system_clock::now() - info.value().DateLastModified;
    CHECK(std::chrono::abs(age) < std::chrono::minutes(1));
    for (const std::string& path : {here.file("absent.dat"), here.file("folder"), std::string(),
                                    here.file("boot.dat") + std::string(1, '\0')}) {
        CAPTURE(path);
        CHECK(!service.GetFile(path).has_value());
    }
}
