#pragma once

#include "engine/uptime.h"
#include "platform/system.h"
#include "ui/controls.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view DefaultBootFilePath = "C:\\WINDOWS\\bootstat.dat";

// The window's state record; the window owns it and it lives exactly as long as the window.
struct MainWindowState {
    engine::UptimeParts UptimeParts;
    std::string TrayTip = std::string(AppTitle) + " - OFF";
    std::int32_t UpdateInterval = 30;
    std::int32_t TicksSinceUpdate = 0;
    std::unique_ptr<platform::FileService> FileService;
    std::optional<platform::BootFileInfo> BootFileInfo;
    double UptimeSeconds = 0;
    bool Loading = true;
    std::string AppDir;
    std::string SettingsPath;
    // The Settings.ini beside an installed program, which the user's first save starts from;
    // empty where SettingsPath is beside the program itself.
    std::string DefaultSettingsPath;
    std::string BootFilePath = std::string(DefaultBootFilePath);
    std::string OutputFilePath;
};

// The folder with exactly one separator at its end: "" becomes the separator alone.
std::string WithTrailingSeparator(const std::string& path, char separator);
