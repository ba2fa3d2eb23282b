#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// The operating-system services the uptime engine measures with. Each is an interface so
// that tests can drive the engine with fake time.
namespace platform {

// An instant, independent of time zones and daylight saving.
using Instant = std::chrono::time_point<std::chrono::system_clock, std::chrono::milliseconds>;

class TickCounter {
public:
    virtual ~TickCounter() = default;
    // Milliseconds since the system started, including time spent suspended; never wraps.
    virtual std::uint64_t GetTickCount64() const = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual Instant CurrentDateTime() const = 0;
};

// What a successful lookup of a file tells about it.
struct BootFileInfo {
    Instant DateLastModified;
};

class FileService {
public:
    virtual ~FileService() = default;
    // The regular file (or a link to one) at path, or nothing if there is none.
    virtual std::optional<BootFileInfo> GetFile(const std::string& path) const = 0;
};

// The folder that holds the program file, as the program's file functions take it.
std::string ApplicationFolder();

// What a program folder is to the system.
struct FolderFacts {
    // Where installers and packages put programs, which run from there for every user.
    bool installed = false;
    // This user may make files in it (not asked of an installed folder, which is not written).
    bool writable = true;
    // The folder as the system resolves it: symbolic links followed, and on Windows short
    // (8.3) names and junctions too. The other facts are of this folder.
    std::string folder;
};
FolderFacts FactsOf(const std::string& folder);

// Tells the user, or an administrator, what no window shows: on standard error, which a
// desktop session's journal keeps, or in Windows' Application event log.
void ReportProblem(const std::string& text);

// The user's own folder for the program's files (%LOCALAPPDATA%\Tallimer on Windows, under the
// XDG base directories on Linux); empty where the system names none.
std::string UserFolder();

#ifdef _WIN32
inline constexpr char PathSeparator = '\\';
#else
inline constexpr char PathSeparator = '/';
#endif

class SystemTickCounter final : public TickCounter {
public:
    std::uint64_t GetTickCount64() const override;
};

class SystemClock final : public Clock {
public:
    Instant CurrentDateTime() const override;
};

class SystemFileService final : public FileService {
public:
    std::optional<BootFileInfo> GetFile(const std::string& path) const override;
};

} // namespace platform
