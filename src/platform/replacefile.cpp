#include "platform/replacefile.h"

#include "platform/nativepath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int MaxLinkDepth = 40;

QByteArray DirectoryOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

// Follows symbolic links to the file that should receive the content. Reports whether that
// file exists and, if so, its status.
bool ResolveTarget(QByteArray& target, struct stat& st, bool& exists) {
    for (int depth = 0; depth < MaxLinkDepth; ++depth) {
        if (lstat(target.constData(), &st) != 0) {
            exists = false;
            return errno == ENOENT;
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            return true;
        }
        QByteArray link(qsizetype(st.st_size > 0 ? st.st_size : 255) + 1, Qt::Uninitialized);
        const ssize_t n = readlink(target.constData(), link.data(), size_t(link.size()));
        if (n <= 0 || n >= link.size())
            return false;
        link.truncate(n);
        target = link.startsWith('/') ? link : DirectoryOf(target) + '/' + link;
    }
    return false;
}

bool WriteAll(int fd, const QByteArray& content) {
    const char* data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t n = write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

bool WriteInPlace(const QByteArray& target, const QByteArray& content) {
    const int fd = open(target.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, content);
    return close(fd) == 0 && written;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the target's temporary for writing, empty, or gives -1. A temporary left by a killed
// process is taken over; one that another process is writing (it holds the lock) is not.
int OpenTemporary(const QByteArray& temporary, mode_t mode) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int fd =
            open(temporary.constData(),
                 O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
        if (fd < 0)
            return -1;
        struct stat opened {};
        struct stat named {};
        // Only a plain file of its own (no second name) is emptied.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &opened) != 0 ||
            !S_ISREG(opened.st_mode) || opened.st_nlink != 1) {
            close(fd);
            return -1;
        }
        // Another writer may have renamed the file away between the open and the lock.
        if (lstat(temporary.constData(), &named) == 0 && SameFile(opened, named) &&
            ftruncate(fd, 0) == 0)
            return fd;
        close(fd);
    }
    return -1;
}

bool FlushFolder(const QByteArray& target) {
    const int fd = open(DirectoryOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool flushed = fsync(fd) == 0;
    return close(fd) == 0 && flushed;
}

} // namespace

QByteArray TemporaryFor(const QByteArray& target) {
    return DirectoryOf(target) + "/." + target.mid(target.lastIndexOf('/') + 1) + ".tallimer-new";
}

bool ReplaceFileContents(const QString& path, const QByteArray& content, Flush flush) {
    const auto native = NativePath(path);
    if (!native)
        return false;
    QByteArray target = *native;

    struct stat st {};
    bool exists = false;
    if (!ResolveTarget(target, st, exists))
        return false;
    if (exists && S_ISDIR(st.st_mode))
        return false;
    if (exists && !S_ISREG(st.st_mode))
        return WriteInPlace(target, content);

    const QByteArray temporary = TemporaryFor(target);
    const int fd = OpenTemporary(temporary, exists ? (st.st_mode & 07777) : 0666);
    if (fd < 0)
        return false;
    bool ok = true;
    if (exists) {
        // The mode given to open() is reduced by the umask; the old file's mode must stand.
        ok = fchmod(fd, st.st_mode & 07777) == 0;
        static const uid_t ownUser = geteuid();
        static const gid_t ownGroup = getegid();
        if (ok && (st.st_uid != ownUser || st.st_gid != ownGroup))
            (void)!fchown(fd, st.st_uid, st.st_gid); // only root may give a file away
    }
    ok = ok && WriteAll(fd, content);
    if (flush == Flush::BeforeReplacing)
        ok = ok && fsync(fd) == 0;
    // Renamed and, on failure, removed while the lock is held, so that no other writer's
    // temporary is touched.
    ok = ok && rename(temporary.constData(), target.constData()) == 0;
    if (!ok)
        unlink(temporary.constData());
    ok = (close(fd) == 0) && ok;
    if (ok && flush == Flush::BeforeReplacing)
        ok = FlushFolder(target);
    return ok;
}

} // namespace platform
