#pragma once

#include "platform/system.h"

#include <cstdint>
#include <optional>
#include <string>

namespace engine {

struct UptimeParts {
    std::int32_t days = 0;
    std::int32_t hours = 0;
    std::int32_t minutes = 0;
    std::int32_t seconds = 0;
    friend bool operator==(const UptimeParts&, const UptimeParts&) = default;
};

// Days, hours, minutes and seconds of a number of seconds. Days have no upper unit; a value
// whose days do not fit 32 bits saturates instead of overflowing.
UptimeParts SplitUptime(double seconds);

// "Uptime: 1d 1h 1m 1s"
std::string UptimeCaption(const UptimeParts& parts);

// The seconds as the output file holds them: plain digits for whole numbers up to 15 digits.
std::string UptimeText(double seconds);

// Replaces the output file with the text and CR LF. False on any failure, shown nowhere.
bool WriteUptimeFile(const std::string& text, const std::string& path);

// Looks the boot file up; on success stores the lookup in info, otherwise leaves it alone.
bool OpenBootFile(const platform::FileService* service, const std::string& path,
                  std::optional<platform::BootFileInfo>& info);

// Milliseconds from nowMs to the next tick of the one-second timer, chosen so that every tick
// falls readAtMs into a second of the clock that is read: 0 for a value rounded to whole
// seconds, 500 for one cut to whole seconds. Ticks in that phase, however late within half a
// second, read a value one second on from the last. Always between 500 and 1499.
int MillisecondsToNextTick(std::int64_t nowMs, int readAtMs);

struct UptimeSources {
    const platform::TickCounter& ticks;
    const platform::Clock& clock;
    const platform::FileService* files; // none once released; every lookup then fails
};

struct RefreshInputs {
    bool useFileMethod = false;
    std::string bootFilePath;
    std::string outputFilePath;
};

// Measures the uptime into uptimeSeconds (a failed boot-file lookup keeps the previous
// value) and, when it is positive, writes it to the output file and returns its breakdown.
std::optional<UptimeParts> RefreshUptime(const RefreshInputs& inputs, const UptimeSources& sources,
                                         double& uptimeSeconds,
                                         std::optional<platform::BootFileInfo>& bootFileInfo);

} // namespace engine
