#include "platform/system.h"

#include "platform/files.h"

#include <array>
#include <windows.h>

namespace platform {
namespace {

// FILETIME counts 100 ns from 1601; the Unix epoch is this many of them later.
constexpr std::int64_t EpochAsFileTime = 116444736000000000;

} // namespace

std::string ApplicationFolder() {
    std::array<char, MAX_PATH + 1> buffer{};
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), DWORD(buffer.size()));
    if (n == 0 || n >= buffer.size())
        return ".";
    const std::string program(buffer.data(), n);
    return program.substr(0, program.find_last_of("\\/"));
}

std::uint64_t SystemTickCounter::GetTickCount64() const {
    return ::GetTickCount64();
}

std::optional<BootFileInfo> SystemFileService::GetFile(const std::string& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!NamesAFile(path) || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const std::int64_t stamp = std::int64_t(data.ftLastWriteTime.dwHighDateTime) << 32 |
                               data.ftLastWriteTime.dwLowDateTime;
    const auto ms = (stamp - EpochAsFileTime) / 10000;
    return BootFileInfo{Instant(std::chrono::milliseconds(ms))};
}

} // namespace platform
