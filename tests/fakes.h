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

#include "platform/shellicon.h"

#include <QList>

// Records what the program asks of the shell's icon service.
struct FakeShellIconService final : platform::ShellIconService {
    struct Call {
        quint32 message;
        platform::NOTIFYICONDATA data;
    };
    QList<Call> calls;
    bool available = true;
    QMenu* panelMenu = nullptr;

    bool Shell_NotifyIcon(quint32 message, const platform::NOTIFYICONDATA& data) override {
        calls.append({message, data});
        return true;
    }
    bool IsAvailable() const override { return available; }
    void SetPanelMenu(QMenu* menu) override { panelMenu = menu; }

    QString Tip(qsizetype call) const {
        if (call >= calls.size())
            return QStringLiteral("<no such call>");
        const auto& tip = calls.at(call).data.szTip;
        return QString::fromLocal8Bit(tip.data(), qsizetype(qstrnlen(tip.data(), tip.size())));
    }
};
