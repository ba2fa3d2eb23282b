#include "platform/system.h"

#include "platform/files.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
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

FolderFacts FactsOf(const std::string& folder) {
    std::string resolved = folder;
    if (char* real = realpath(folder.c_str(), nullptr)) {
        resolved = real;
        std::free(real);
    }
    // The package leaves a mark beside the program's folder, wherever it was installed to. A
    // copy put by hand under /usr, or under /opt, which holds software installed to run from
    // there, is not to be written to either (the Filesystem Hierarchy Standard).
    const std::string within = resolved.ends_with('/') ? resolved : resolved + '/';
    return {within.starts_with("/usr/") || within.starts_with("/opt/") ||
                access((within + "../share/tallimer/installed").c_str(), F_OK) == 0,
            faccessat(AT_FDCWD, resolved.c_str(), W_OK, AT_EACCESS) == 0, resolved};
}

void ReportProblem(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

std::string UserFolder() {
    // $XDG_CONFIG_HOME, or ~/.config where it is unset or not an absolute path.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/tallimer";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    return home != nullptr && home[0] == '/' ? std::string(home) + "/.config/tallimer" : "";
}

std::uint64_t SystemTickCounter::GetTickCount64() const {
    timespec now{};
    // CLOCK_BOOTTIME keeps counting while the machine is suspended, as an uptime should.
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return 0;
    return std::uint64_t(now.tv_sec) * 1000u + std::uint64_t(now.tv_nsec) / 1000000u;
}

std::optional<BootFileInfo> SystemFileService::GetFile(const std::string& path) const {
    struct stat st = {};
    if (!NamesAFile(path) || stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    const auto ms = std::int64_t(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return BootFileInfo{Instant(std::chrono::milliseconds(ms))};
}

} // namespace platform
