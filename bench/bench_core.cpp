// Costs of the program's own work: the breakdown, a whole refresh and the settings file.
#include "engine/uptime.h"
#include "settings/modmisc.h"

#include <unistd.h>

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

namespace {

struct StepTicks final : platform::TickCounter {
    mutable std::uint64_t ms = 90'061'000;
    std::uint64_t GetTickCount64() const override { return ms += 1000; }
};

// A folder of its own for one benchmark.
struct Folder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tallimer-bench-" + std::to_string(getpid()));
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string file(const char* name) const { return (path / name).string(); }
};

void BM_SplitUptime(benchmark::State& state) {
    double seconds = 176461;
    for (auto _ : state) {
        benchmark::DoNotOptimize(engine::SplitUptime(seconds));
        seconds += 1;
    }
}
BENCHMARK(BM_SplitUptime);

void BM_RefreshUptime(benchmark::State& state) {
    const Folder dir;
    const StepTicks ticks;
    const platform::SystemClock clock;
    const platform::SystemFileService files;
    const engine::RefreshInputs inputs{false, {}, dir.file("uptime.txt")};
    double seconds = 0;
    std::optional<platform::BootFileInfo> info;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            engine::RefreshUptime(inputs, {ticks, clock, &files}, seconds, info));
}
BENCHMARK(BM_RefreshUptime);

void BM_SettingsReadAndWrite(benchmark::State& state) {
    const Folder dir;
    const std::string file = dir.file("Settings.ini");
    int interval = 30;
    for (auto _ : state) {
        for (const char* key : {"BootFile", "Output File"})
            benchmark::DoNotOptimize(modMisc::ReadSetting("Paths", key, file));
        for (const char* key : {"Interval", "Use file method", "AutoStart", "Auto Send To Tray"})
            benchmark::DoNotOptimize(modMisc::ReadSetting("Options", key, file));
        // A changed interval each time, so that every round really writes.
        modMisc::WriteSetting("Options", "Interval", std::to_string(interval++), file);
        for (const char* key : {"Use file method", "AutoStart", "Auto Send To Tray"})
            modMisc::WriteSetting("Options", key, "0", file);
    }
}
BENCHMARK(BM_SettingsReadAndWrite);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
