#include "platform/system.h"

#include "platform/files.h"
#include "platform/win32/text.h"

#include <windows.h>

namespace platform {
namespace {

// FILETIME counts 100 ns from 1601; the Unix epoch is this many of them later.
constexpr std::int64_t EpochAsFileTime = 116444736000000000;

} // namespace

std::string ApplicationFolder() {
    // In the wide form, whatever its letters and however long it is.
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, program.data(), DWORD(program.size()));
        if (n == 0)
            return ".";
        if (n < program.size()) {
            program.resize(n);
            break;
        }
        if (program.size() >= 32768)
            return ".";
        program.resize(program.size() * 2);
    }
    return Utf8(program.substr(0, program.find_last_of(L"\\/")));
}

std::uint64_t SystemTickCounter::GetTickCount64() const {
    return ::GetTickCount64();
}

std::optional<BootFileInfo> SystemFileService::GetFile(const std::string& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!NamesAFile(path) ||
        !GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const std::int64_t stamp = std::int64_t(data.ftLastWriteTime.dwHighDateTime) << 32 |
                               data.ftLastWriteTime.dwLowDateTime;
    const auto ms = (stamp - EpochAsFileTime) / 10000;
    return BootFileInfo{Instant(std::chrono::milliseconds(ms))};
}

} // namespace platform
