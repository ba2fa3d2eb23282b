#include "platform/win32/windowsystem.h"

#include "platform/win32/instance.h"
#include "platform/win32/shellicon.h"
#include "platform/win32/window.h"

namespace platform {

Win32WindowSystem::Win32WindowSystem(HINSTANCE module)
    : module_(module), shell_(std::make_unique<Win32ShellIconService>()) {}

Win32WindowSystem::~Win32WindowSystem() = default;

InstanceLock& Win32WindowSystem::Instance(const std::string& folder) {
    instance_ = std::make_unique<Win32ProgramInstance>(folder);
    return *instance_;
}

Window& Win32WindowSystem::MakeWindow() {
    window_ = std::make_unique<Win32Window>(module_);
    return *window_;
}

ShellIconService& Win32WindowSystem::Shell() {
    return *shell_;
}

void Win32WindowSystem::Connect(WindowEvents& events) {
    window_->SetEvents(&events);
    // Explorer started afresh: the icon it lost goes back.
    window_->OnRegisteredMessage("TaskbarCreated", [this] { shell_->AddAgain(); });
}

void Win32WindowSystem::Listen(std::function<void()> anotherStart) {
    instance_->Listen(*window_, std::move(anotherStart));
}

int Win32WindowSystem::Run() {
    return window_->Run();
}

} // namespace platform
