#include "tray/modsystray.h"

#include <QVariant>
#include <algorithm>

namespace {

// The record's size in its first, 8-bit form: six four-byte fields and the 64-byte tip.
constexpr quint32 RecordSize = 88;
constexpr quint32 IconId = 1;

} // namespace

std::array<char, platform::TipBytes> modSysTray::TipField(const QString& tip) {
    // Cut whole characters, so that a multi-byte character is never split.
    QString shown = tip.left(platform::TipBytes - 1);
    QByteArray bytes = shown.toLocal8Bit();
    while (bytes.size() > platform::TipBytes - 1) {
        shown.chop(shown.size() >= 2 && shown.back().isLowSurrogate() ? 2 : 1);
        bytes = shown.toLocal8Bit();
    }
    std::array<char, platform::TipBytes> field;
    field.fill(' ');
    std::copy(bytes.cbegin(), bytes.cend(), field.begin());
    field[size_t(bytes.size())] = '\0';
    return field;
}

void modSysTray::AddTrayIcon(QObject* window, const QString& tip) {
    if (trayIconShown_)
        return;
    record_ = {};
    record_.cbSize = RecordSize;
    record_.hWnd = window;
    record_.uID = IconId;
    record_.uFlags = platform::NIF_MESSAGE | platform::NIF_ICON | platform::NIF_TIP;
    record_.uCallbackMessage = platform::WM_MOUSEMOVE;
    if (window != nullptr)
        record_.hIcon = window->property("windowIcon").value<QIcon>();
    record_.szTip = TipField(tip);
    shell_.Shell_NotifyIcon(platform::NIM_ADD, record_);
    trayIconShown_ = true;
}

void modSysTray::RemoveTrayIcon() {
    if (!trayIconShown_)
        return;
    shell_.Shell_NotifyIcon(platform::NIM_DELETE, record_);
    trayIconShown_ = false;
}
