#include "engine/uptime.h"

#include "platform/numeric.h"
#include "platform/replacefile.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace engine {
namespace {

constexpr qint64 SecondsPerMinute = 60;
constexpr qint64 SecondsPerHour = 60 * SecondsPerMinute;
constexpr qint64 SecondsPerDay = 24 * SecondsPerHour;

qint64 SaturateToInt64(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = platform::RoundHalfEven(value);
    // 2^63 is exactly representable; anything at or beyond it saturates.
    if (rounded >= 9223372036854775808.0)
        return std::numeric_limits<qint64>::max();
    if (rounded <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return qint64(rounded);
}

qint32 Narrow(qint64 value) {
    return qint32(std::clamp<qint64>(value, std::numeric_limits<qint32>::min(),
                                     std::numeric_limits<qint32>::max()));
}

std::optional<double> MeasureBootFile(const RefreshInputs& inputs, const UptimeSources& sources,
                                      std::optional<platform::BootFileInfo>& bootFileInfo) {
    if (!OpenBootFile(sources.files, inputs.bootFilePath, bootFileInfo))
        return std::nullopt;
    // Whole seconds between two instants, so that a daylight-saving change in between does
    // not shift the result by an hour.
    const qint64 boot = bootFileInfo->DateLastModified.toSecsSinceEpoch();
    const qint64 now = sources.clock.CurrentDateTime().toSecsSinceEpoch();
    return double(now - boot);
}

double MeasureTickCount(const UptimeSources& sources) {
    const quint64 ms =
        std::min<quint64>(sources.ticks.GetTickCount64(), std::numeric_limits<qint64>::max());
    return double(platform::DivideRoundHalfEven(qint64(ms), 1000));
}

} // namespace

UptimeParts SplitUptime(double seconds) {
    qint64 left = SaturateToInt64(seconds);
    UptimeParts parts;
    const qint64 days = left / SecondsPerDay;
    if (days > 0)
        left -= SecondsPerDay * days;
    const qint64 hours = left / SecondsPerHour;
    if (hours > 0)
        left -= SecondsPerHour * hours;
    parts.days = Narrow(days);
    parts.hours = Narrow(hours);
    parts.minutes = Narrow(left / SecondsPerMinute);
    parts.seconds = Narrow(left % SecondsPerMinute);
    return parts;
}

QString UptimeCaption(const UptimeParts& parts) {
    return QStringLiteral("Uptime: %1d %2h %3m %4s")
        .arg(parts.days)
        .arg(parts.hours)
        .arg(parts.minutes)
        .arg(parts.seconds);
}

QString UptimeText(double seconds) {
    return QString::number(seconds, 'g', 15).trimmed();
}

bool WriteUptimeFile(const QString& text, const QString& path) {
    return platform::ReplaceFileContents(path, text.toLocal8Bit() + "\r\n");
}

bool OpenBootFile(const platform::FileService* service, const QString& path,
                  std::optional<platform::BootFileInfo>& info) {
    if (service == nullptr)
        return false;
    std::optional<platform::BootFileInfo> found = service->GetFile(path);
    if (!found)
        return false;
    info = std::move(found);
    return true;
}

int MillisecondsToNextTick(qint64 nowMs, int readAtMs) {
    constexpr qint64 Second = 1000;
    const qint64 phase = ((nowMs - readAtMs) % Second + Second) % Second;
    const qint64 delay = Second - phase;
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
