#pragma once

#include "platform/windowsystem.h"

#include <memory>

namespace platform {

class QtProgramInstance;
class QtShellIconService;
class QtWindow;
class TerminationRequests;

// The program's parts on Qt: its window, the notification area, the lock between copies, and
// what ends a session (the session manager's last word, the signals of a logout or a kill).
// A QApplication runs throughout.
class QtWindowSystem final : public WindowSystem {
public:
    QtWindowSystem();
    ~QtWindowSystem() override;

    InstanceLock& Instance(const std::string& folder) override;
    Window& MakeWindow() override;
    ShellIconService& Shell() override;
    void Connect(WindowEvents& events) override;
    void Listen(std::function<void()> anotherStart) override;
    int Run() override;

private:
    std::unique_ptr<QtProgramInstance> instance_;
    std::unique_ptr<QtWindow> window_;
    std::unique_ptr<QtShellIconService> shell_;
    std::unique_ptr<TerminationRequests> termination_;
};

} // namespace platform
