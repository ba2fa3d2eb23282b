#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

// The operating-system services the uptime engine measures with. Each is an interface so
// that tests can drive the engine with fake time.
namespace platform {

class TickCounter {
public:
    virtual ~TickCounter() = default;
    // Milliseconds since the system started, including time spent suspended; never wraps.
    virtual quint64 GetTickCount64() const = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime CurrentDateTime() const = 0;
};

// What a successful lookup of a file tells about it.
struct BootFileInfo {
    QString Path;
    QDateTime DateLastModified;
};

class FileService {
public:
    virtual ~FileService() = default;
    // The regular file (or a link to one) at path, or nothing if there is none.
    virtual std::optional<BootFileInfo> GetFile(const QString& path) const = 0;
};

// The folder that holds the program file.
QString ApplicationFolder();

// Whether path names a regular file (following links): not a folder, a device or a FIFO.
bool IsNormalFile(const QString& path);

class SystemTickCounter final : public TickCounter {
public:
    quint64 GetTickCount64() const override;
};

class SystemClock final : public Clock {
public:
    QDateTime CurrentDateTime() const override;
};

class SystemFileService final : public FileService {
public:
    std::optional<BootFileInfo> GetFile(const QString& path) const override;
};

} // namespace platform
