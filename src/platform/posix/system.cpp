#include "platform/system.h"

#include "platform/files.h"

#include <array>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string ApplicationFolder() {
    std::array<char, 4096> buffer{};
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return ".";
    const std::string program(buffer.data(), size_t(n));
    const auto slash = program.rfind('/');
    return slash == 0 ? std::string("/") : program.substr(0, slash);
}

std::uint64_t SystemTickCounter::GetTickCount64() const {
    timespec now{};
    // CLOCK_BOOTTIME keeps counting while the machine is suspended, as an uptime should.
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return 0;
    return std::uint64_t(now.tv_sec) * 1000u + std::uint64_t(now.tv_nsec) / 1000000u;
}

std::optional<BootFileInfo> SystemFileService::GetFile(const std::string& path) const {
    struct stat st {};
    if (!NamesAFile(path) || stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    const auto ms = std::int64_t(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return BootFileInfo{Instant(std::chrono::milliseconds(ms))};
}

} // namespace platform
