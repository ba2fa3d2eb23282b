#pragma once

#include "platform/windowsystem.h"

#include <memory>
#include <windows.h>

namespace platform {

class Win32ProgramInstance;
class Win32ShellIconService;
class Win32Window;

// The program's parts on Win32: its window, the shell's notification area and the lock
// between copies.
class Win32WindowSystem final : public WindowSystem {
public:
    explicit Win32WindowSystem(HINSTANCE module);
    ~Win32WindowSystem() override;

    InstanceLock& Instance(const std::string& folder) override;
    Window& MakeWindow() override;
    ShellIconService& Shell() override;
    void Connect(WindowEvents& events) override;
    void Listen(std::function<void()> anotherStart) override;
    int Run() override;

private:
    HINSTANCE module_;
    std::unique_ptr<Win32ProgramInstance> instance_;
    std::unique_ptr<Win32ShellIconService> shell_;
    std::unique_ptr<Win32Window> window_;
};

} // namespace platform
