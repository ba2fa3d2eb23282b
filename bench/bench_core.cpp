// Costs of the program's own work: the breakdown, a whole refresh and the settings file.
#include "engine/uptime.h"
#include "settings/modmisc.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

struct StepTicks final : platform::TickCounter {
    mutable quint64 ms = 90'061'000;
    quint64 GetTickCount64() const override { return ms += 1000; }
};

struct FixedClock final : platform::Clock {
    QDateTime CurrentDateTime() const override { return QDateTime::currentDateTimeUtc(); }
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
    QTemporaryDir dir;
    const StepTicks ticks;
    const FixedClock clock;
    const platform::SystemFileService files;
    const engine::RefreshInputs inputs{false, {}, dir.filePath("uptime.txt")};
    double seconds = 0;
    std::optional<platform::BootFileInfo> info;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            engine::RefreshUptime(inputs, {ticks, clock, &files}, seconds, info));
}
BENCHMARK(BM_RefreshUptime);

void BM_SettingsReadAndWrite(benchmark::State& state) {
    QTemporaryDir dir;
    const QString file = dir.filePath("Settings.ini");
    int interval = 30;
    for (auto _ : state) {
        for (const char* key : {"BootFile", "Output File"})
            benchmark::DoNotOptimize(modMisc::ReadSetting("Paths", key, file));
        for (const char* key : {"Interval", "Use file method", "AutoStart", "Auto Send To Tray"})
            benchmark::DoNotOptimize(modMisc::ReadSetting("Options", key, file));
        // A changed interval each time, so that every round really writes.
        modMisc::WriteSetting("Options", "Interval", QString::number(interval++), file);
        for (const char* key : {"Use file method", "AutoStart", "Auto Send To Tray"})
            modMisc::WriteSetting("Options", key, "0", file);
    }
}
BENCHMARK(BM_SettingsReadAndWrite);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
