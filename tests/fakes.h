#pragma once

#include "platform/system.h"

#include <QHash>

// Stand-ins for the operating system's clocks and file lookups.
struct FakeTickCounter final : platform::TickCounter {
    quint64 ms = 0;
    mutable int reads = 0;
    quint64 GetTickCount64() const override {
        ++reads;
        return ms;
    }
};

struct FakeClock final : platform::Clock {
    QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    QDateTime CurrentDateTime() const override { return now; }
};

struct FakeFileService final : platform::FileService {
    QHash<QString, QDateTime> files;
    mutable int lookups = 0;
    std::optional<platform::BootFileInfo> GetFile(const QString& path) const override {
        ++lookups;
        const auto found = files.constFind(path);
        if (found == files.constEnd())
            return std::nullopt;
        return platform::BootFileInfo{path, *found};
    }
};
