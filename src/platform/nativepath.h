#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

namespace platform {

// The path as the system's calls take it, or nothing for a path they cannot take: an empty
// one, or one with a NUL inside, which would silently name another file.
inline std::optional<QByteArray> NativePath(const QString& path) {
    QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || native.contains('\0'))
        return std::nullopt;
    return native;
}

} // namespace platform
