#include "engine/uptime.h"

#include "base/blanks.h"
#include "base/numeric.h"
#include "platform/files.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

namespace engine {
namespace {

constexpr std::int64_t SecondsPerMinute = 60;
constexpr std::int64_t SecondsPerHour = 60 * SecondsPerMinute;
constexpr std::int64_t SecondsPerDay = 24 * SecondsPerHour;

std::int64_t SaturateToInt64(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = base::RoundHalfEven(value);
    // 2^63 is exactly representable; anything at or beyond it saturates.
    if (rounded >= 9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::max();
    if (rounded <= -9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return std::int64_t(rounded);
}

std::int32_t Narrow(std::int64_t value) {
    return std::int32_t(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

std::optional<double> MeasureBootFile(const RefreshInputs& inputs, const UptimeSources& sources,
                                      std::optional<platform::BootFileInfo>& bootFileInfo) {
    if (!OpenBootFile(sources.files, inputs.bootFilePath, bootFileInfo) || !bootFileInfo)
        return std::nullopt;
    // Whole seconds between two instants, so that a daylight-saving change in between does
    // not shift the result by an hour.
    using std::chrono::floor;
    using std::chrono::seconds;
    const auto boot = floor<seconds>(bootFileInfo->DateLastModified);
    const auto now = floor<seconds>(sources.clock.CurrentDateTime());
    return double((now - boot).count());
}

double MeasureTickCount(const UptimeSources& sources) {
    const std::uint64_t ms = std::min<std::uint64_t>(sources.ticks.GetTickCount64(),
                                                     std::numeric_limits<std::int64_t>::max());
    return double(base::DivideRoundHalfEven(std::int64_t(ms), 1000));
}

} // namespace

UptimeParts SplitUptime(double seconds) {
    std::int64_t left = SaturateToInt64(seconds);
    UptimeParts parts;
    const std::int64_t days = left / SecondsPerDay;
    if (days > 0)
        left -= SecondsPerDay * days;
    const std::int64_t hours = left / SecondsPerHour;
    if (hours > 0)
        left -= SecondsPerHour * hours;
    parts.days = Narrow(days);
    parts.hours = Narrow(hours);
    parts.minutes = Narrow(left / SecondsPerMinute);
    parts.seconds = Narrow(left % SecondsPerMinute);
    return parts;
}

std::string UptimeCaption(const UptimeParts& parts) {
    return "Uptime: " + std::to_string(parts.days) + "d " + std::to_string(parts.hours) + "h " +
           std::to_string(parts.minutes) + "m " + std::to_string(parts.seconds) + "s";
}

std::string UptimeText(double seconds) {
    std::array<char, 32> text{};
    const int n = std::snprintf(text.data(), text.size(), "%.15g", seconds);
    return std::string(base::TrimBlanks(std::string_view(text.data(), size_t(std::max(n, 0)))));
}

bool WriteUptimeFile(const std::string& text, const std::string& path) {
    return platform::ReplaceFileContents(path, text + "\r\n");
}

bool OpenBootFile(const platform::FileService* service, const std::string& path,
                  std::optional<platform::BootFileInfo>& info) {
    if (service == nullptr)
        return false;
    std::optional<platform::BootFileInfo> found = service->GetFile(path);
    if (!found)
        return false;
    info = found;
    return true;
}

int MillisecondsToNextTick(std::int64_t nowMs, int readAtMs) {
    constexpr std::int64_t Second = 1000;
    const std::int64_t phase = ((nowMs - readAtMs) % Second + Second) % Second;
    const std::int64_t delay = Second - phase;
    return int(delay < Second / 2 ? delay + Second : delay);
}

std::optional<UptimeParts> RefreshUptime(const RefreshInputs& inputs, const UptimeSources& sources,
                                         double& uptimeSeconds,
                                         std::optional<platform::BootFileInfo>& bootFileInfo) {
    if (inputs.useFileMethod) {
        if (const auto measured = MeasureBootFile(inputs, sources, bootFileInfo))
            uptimeSeconds = *measured;
    } else {
        uptimeSeconds = MeasureTickCount(sources);
    }
    if (!(uptimeSeconds > 0))
        return std::nullopt;
    WriteUptimeFile(UptimeText(uptimeSeconds), inputs.outputFilePath);
    return SplitUptime(uptimeSeconds);
}

} // namespace engine
