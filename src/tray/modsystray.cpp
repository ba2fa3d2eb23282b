#include "tray/modsystray.h"

#include "platform/codepage.h"

#include <algorithm>

namespace {

// The record's size in its first, 8-bit form: six four-byte fields and the 64-byte tip.
constexpr std::uint32_t RecordSize = 88;
constexpr std::uint32_t IconId = 1;

} // namespace

std::array<char, platform::TipBytes> modSysTray::TipField(std::string_view tip) {
    // Whole characters only, so that a multi-byte character is never split.
    const std::string_view shown = platform::CutToWholeCharacters(tip, platform::TipBytes - 1);
    std::array<char, platform::TipBytes> field;
    field.fill(' ');
    std::copy(shown.begin(), shown.end(), field.begin());
    field[shown.size()] = '\0';
    return field;
}

void modSysTray::AddTrayIcon(platform::WindowHandle window, platform::IconHandle icon,
                             std::string_view tip) {
    if (trayIconShown_)
        return;
    record_ = {};
    record_.cbSize = RecordSize;
    record_.hWnd = window;
    record_.uID = IconId;
    record_.uFlags = platform::NifMessage | platform::NifIcon | platform::NifTip;
    record_.uCallbackMessage = platform::WmMouseMove;
    record_.hIcon = icon;
    record_.szTip = TipField(tip);
    shell_.ShellNotifyIcon(platform::NimAdd, record_);
    trayIconShown_ = true;
}

void modSysTray::RemoveTrayIcon() {
    if (!trayIconShown_)
        return;
    shell_.ShellNotifyIcon(platform::NimDelete, record_);
    trayIconShown_ = false;
}
