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
class Win32ProgramInstance {
public:
    explicit Win32ProgramInstance(const std::string& folder);

    // Claims the folder for this copy, or tells the copy that has it to come back, waiting a
    // few seconds at most for one that is still starting or ending.
    InstanceClaim Claim();
    // From now on, the window calls back when a later copy starts.
    void Listen(Win32Window& window, std::function<void()> anotherStart);

private:
    bool TellTheFirst() const;

    std::wstring mutexName_;
    std::wstring propertyName_;
    OwnedHandle mutex_;
};

} // namespace platform
