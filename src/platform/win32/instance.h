#pragma once

#include "platform/instance.h"
#include "platform/win32/owned.h"

#include <functional>
#include <string>

namespace platform {

class Win32Window;

// The copies that keep their files in one folder (the folder ui::PlaceFiles names them by) on
// Windows: a named mutex per folder in the user's session, and the running copy's window,
// marked for its folder, to which a later start posts a registered message after letting it
// come to the front.
class Win32ProgramInstance final : public InstanceLock {
public:
    explicit Win32ProgramInstance(const std::string& folder);

    Attempt TryLock() override;
    std::string WhyUnavailable() const override;
    bool TellTheFirst() override;
    void Pause(int milliseconds) override;
    // From now on, the window calls back when a later copy starts.
    void Listen(Win32Window& window, std::function<void()> anotherStart);

private:
    std::wstring mutexName_;
    std::wstring propertyName_;
    OwnedHandle mutex_;
};

} // namespace platform
