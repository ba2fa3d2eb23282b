#include "platform/system.h"

#include "platform/nativepath.h"

#include <QCoreApplication>
#include <sys/stat.h>
#include <time.h>

namespace platform {
namespace {

std::optional<struct stat> StatusOf(const QString& path) {
    const auto native = NativePath(path);
    struct stat st {};
    if (!native || stat(native->constData(), &st) != 0)
        return std::nullopt;
    return st;
}

} // namespace

QString ApplicationFolder() {
    return QCoreApplication::applicationDirPath();
}

bool IsNormalFile(const QString& path) {
    const auto st = StatusOf(path);
    return st && S_ISREG(st->st_mode);
}

quint64 SystemTickCounter::GetTickCount64() const {
    timespec now{};
    // CLOCK_BOOTTIME keeps counting while the machine is suspended, as an uptime should.
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return 0;
    return quint64(now.tv_sec) * 1000u + quint64(now.tv_nsec) / 1000000u;
}

QDateTime SystemClock::CurrentDateTime() const {
    return QDateTime::currentDateTimeUtc();
}

std::optional<BootFileInfo> SystemFileService::GetFile(const QString& path) const {
    const auto st = StatusOf(path);
    if (!st || S_ISDIR(st->st_mode))
        return std::nullopt;
    const qint64 msecs = qint64(st->st_mtim.tv_sec) * 1000 + st->st_mtim.tv_nsec / 1000000;
    return BootFileInfo{path, QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC)};
}

} // namespace platform
