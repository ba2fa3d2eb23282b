#pragma once

#include "platform/instance.h"
#include "platform/shellicon.h"
#include "platform/window.h"

#include <functional>
#include <string>

namespace platform {

// A window system as the program's start sees it: its parts are made when the start asks for
// them, after it has made sure that no other copy runs for its files.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // The lock between the copies that keep their files in the folder.
    virtual InstanceLock& Instance(const std::string& folder) = 0;
    virtual Window& MakeWindow() = 0;
    // The notification area, once the window is made.
    virtual ShellIconService& Shell() = 0;
    // From now on the window's, its icon's and the session's events go to events.
    virtual void Connect(WindowEvents& events) = 0;
    // From now on calls back when a later copy starts.
    virtual void Listen(std::function<void()> anotherStart) = 0;
    // Runs until the window is gone; the program's exit status.
    virtual int Run() = 0;
};

} // namespace platform
