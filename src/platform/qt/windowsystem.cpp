#include "platform/qt/windowsystem.h"

#include "platform/qt/instance.h"
#include "platform/qt/shellicon.h"
#include "platform/qt/terminationrequests.h"
#include "platform/qt/window.h"

#include <QApplication>

namespace platform {

QtWindowSystem::QtWindowSystem() = default;
QtWindowSystem::~QtWindowSystem() = default;

InstanceLock& QtWindowSystem::Instance(const std::string& folder) {
    instance_ = std::make_unique<QtProgramInstance>(folder);
    return *instance_;
}

Window& QtWindowSystem::MakeWindow() {
    window_ = std::make_unique<QtWindow>();
    return *window_;
}

ShellIconService& QtWindowSystem::Shell() {
    if (!shell_)
        shell_ = std::make_unique<QtShellIconService>(window_->windowIcon());
    return *shell_;
}

void QtWindowSystem::Connect(WindowEvents& events) {
    window_->SetEvents(&events);
    Shell();
    shell_->SetEvents(&events);
    shell_->SetPanelMenu(window_->Menu());
    termination_ = std::make_unique<TerminationRequests>();
    QObject::connect(termination_.get(), &TerminationRequests::requested, window_.get(),
                     [&events] { events.SessionEnding(); });
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, window_.get(),
                     [&events] { events.SessionEnding(); });
}

void QtWindowSystem::Listen(std::function<void()> anotherStart) {
    instance_->Listen(window_.get(), std::move(anotherStart));
}

int QtWindowSystem::Run() {
    return QApplication::exec();
}

} // namespace platform
