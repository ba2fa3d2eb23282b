#pragma once

#include "platform/shellicon.h"

#include <optional>

namespace platform {

// The shell's notification area through Shell_NotifyIconA.
class Win32ShellIconService final : public ShellIconService {
public:
    bool ShellNotifyIcon(std::uint32_t message, const NotifyIconData& data) override;
    bool IsAvailable() const override;
    // Adds the shown icon again, after the shell's notification area started afresh.
    void AddAgain();

private:
    std::optional<NotifyIconData> shown_;
};

} // namespace platform
