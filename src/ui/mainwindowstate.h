#pragma once

#include "engine/uptime.h"
#include "platform/system.h"

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

inline const QString AppTitle = QStringLiteral("Tallimer");
inline const QString DefaultBootFilePath = QStringLiteral("C:\\WINDOWS\\bootstat.dat");

// The window's state record; the window owns it and it lives exactly as long as the window.
struct MainWindowState {
    engine::UptimeParts UptimeParts;
    QString TrayTip = AppTitle + QStringLiteral(" - OFF");
    qint32 UpdateInterval = 30;
    qint32 TicksSinceUpdate = 0;
    std::unique_ptr<platform::FileService> FileService;
    std::optional<platform::BootFileInfo> BootFileInfo;
    double UptimeSeconds = 0;
    bool Loading = true;
    QString AppDir;
    QString SettingsPath;
    QString BootFilePath = DefaultBootFilePath;
    QString OutputFilePath;
};

// The folder with exactly one separator at its end ("" becomes "/").
QString WithTrailingSlash(const QString& path);
