#include "platform/replacefile.h"

#include "platform/nativepath.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
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

int CreateTemporary(const QByteArray& target, QByteArray& temporary, mode_t mode) {
    const QByteArray directory = DirectoryOf(target);
    const QByteArray base = target.mid(target.lastIndexOf('/') + 1);
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = directory + "/." + base + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

bool ReplaceFileContents(const QString& path, const QByteArray& content) {
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

    QByteArray temporary;
    const int fd = CreateTemporary(target, temporary, exists ? (st.st_mode & 07777) : 0666);
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
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(temporary.constData(), target.constData()) == 0;
    if (!ok)
        unlink(temporary.constData());
    return ok;
}

} // namespace platform
