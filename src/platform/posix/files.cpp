#include "platform/files.h"

#include "platform/posix/descriptor.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

constexpr int MaxLinkDepth = 40;

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::optional<struct stat> StatusOf(const std::string& path) {
    struct stat st = {};
    if (!NamesAFile(path) || stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return st;
}

// Follows symbolic links to the file that should receive the content. Reports whether that
// file exists and, if so, its status. A link to nothing resolves to nothing: what it stands
// for is missing (an unmounted disk, say), and a file made in its place would go unnoticed.
bool ResolveTarget(std::string& target, struct stat& st, bool& exists) {
    for (int depth = 0; depth < MaxLinkDepth; ++depth) {
        if (lstat(target.c_str(), &st) != 0) {
            exists = false;
            return errno == ENOENT && depth == 0;
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            return true;
        }
        std::string link(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(target.c_str(), link.data(), link.size());
        if (n <= 0 || size_t(n) >= link.size())
            return false;
        link.resize(size_t(n));
        if (!link.starts_with('/'))
            link.insert(0, DirectoryOf(target) + '/');
        target = std::move(link);
    }
    return false;
}

// A file its owner has marked read-only, or one this user may not write, is left as it is,
// although the folder would let it be replaced.
bool ReadOnly(const std::string& path, const struct stat& st) {
    return (st.st_mode & 0222) == 0 || faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
}

bool WriteAll(int fd, std::string_view content) {
    const char* data = content.data();
    size_t left = content.size();
    while (left > 0) {
        const ssize_t n = write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= size_t(n);
    }
    return true;
}

bool WriteInPlace(const std::string& target, std::string_view content) {
    OwnedDescriptor fd(open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        return false;
    const bool written = WriteAll(fd.get(), content);
    return fd.Reset() && written;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the target's temporary for writing, empty, or gives none. A temporary left by a
// killed process is taken over; one that another process is writing (it holds the lock) is not.
OwnedDescriptor OpenTemporary(const std::string& temporary, mode_t mode) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        OwnedDescriptor fd(open(temporary.c_str(),
                                O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                                mode));
        if (!fd)
            return fd;
        struct stat opened = {};
        struct stat named = {};
        // Only a plain file of its own (no second name) is emptied.
        if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || fstat(fd.get(), &opened) != 0 ||
            !S_ISREG(opened.st_mode) || opened.st_nlink != 1)
            return {};
        // Another writer may have renamed the file away between the open and the lock.
        if (lstat(temporary.c_str(), &named) == 0 && SameFile(opened, named) &&
            ftruncate(fd.get(), 0) == 0)
            return fd;
    }
    return {};
}

bool FlushFolder(const std::string& target) {
    OwnedDescriptor fd(open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd && fsync(fd.get()) == 0 && fd.Reset();
}

} // namespace

bool IsRegularFile(const std::string& path) {
    const auto st = StatusOf(path);
    return st && S_ISREG(st->st_mode);
}

bool Exists(const std::string& path) {
    struct stat st = {};
    return NamesAFile(path) && lstat(path.c_str(), &st) == 0;
}

bool MakeFolders(const std::string& path) {
    if (!NamesAFile(path))
        return false;
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> ReadRegularFile(const std::string& path) {
    if (!NamesAFile(path))
        return std::nullopt;
    const OwnedDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
    std::optional<std::string> content;
    struct stat st = {};
    if (fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)) {
        content.emplace();
        std::array<char, 65536> chunk{};
        for (;;) {
            const ssize_t n = read(fd.get(), chunk.data(), chunk.size());
            if (n > 0) {
                content->append(chunk.data(), size_t(n));
            } else if (n == 0) {
                break;
            } else if (errno != EINTR) {
                content.reset();
                break;
            }
        }
    }
    return content;
}

std::string TemporaryFor(const std::string& target) {
    return DirectoryOf(target) + "/." + target.substr(target.rfind('/') + 1) + ".tallimer-new";
}

bool ReplaceFileContents(const std::string& path, std::string_view content, Flush flush) {
    if (!NamesAFile(path))
        return false;
    std::string target = path;

    struct stat st = {};
    bool exists = false;
    if (!ResolveTarget(target, st, exists))
        return false;
    if (exists && S_ISDIR(st.st_mode))
        return false;
    if (exists && !S_ISREG(st.st_mode))
        return WriteInPlace(target, content);
    if (exists && ReadOnly(target, st))
        return false;

    const std::string temporary = TemporaryFor(target);
    OwnedDescriptor fd = OpenTemporary(temporary, exists ? (st.st_mode & 07777) : 0666);
    if (!fd)
        return false;
    bool ok = true;
    if (exists) {
        // The mode given to open() is reduced by the umask; the old file's mode must stand.
        ok = fchmod(fd.get(), st.st_mode & 07777) == 0;
        static const uid_t ownUser = geteuid();
        static const gid_t ownGroup = getegid();
        if (ok && (st.st_uid != ownUser || st.st_gid != ownGroup))
            (void)!fchown(fd.get(), st.st_uid, st.st_gid); // only root may give a file away
    }
    ok = ok && WriteAll(fd.get(), content);
    if (flush == Flush::BeforeReplacing)
        ok = ok && fsync(fd.get()) == 0;
    // Renamed and, on failure, removed while the lock is held, so that no other writer's
    // temporary is touched.
    ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        unlink(temporary.c_str());
    ok = fd.Reset() && ok;
    if (ok && flush == Flush::BeforeReplacing)
        ok = FlushFolder(target);
    return ok;
}

} // namespace platform
