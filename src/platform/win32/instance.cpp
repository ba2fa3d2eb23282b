#include "platform/win32/instance.h"

#include "platform/win32/text.h"
#include "platform/win32/window.h"

#include <string_view>
#include <type_traits>

namespace platform {
namespace {

constexpr char AnotherStartMessage[] = "Tallimer.AnotherStart";

// A window of the program's class that carries the folder's mark.
struct Search {
    const std::wstring* propertyName;
    HWND found;
};

BOOL CALLBACK FindMarked(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    char name[64] = {};
    if (GetClassNameA(window, name, int(sizeof name)) > 0 &&
        std::string_view(name) == Win32Window::ClassName &&
        GetPropW(window, search->propertyName->c_str()) != nullptr) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

static_assert(std::is_same_v<decltype(&FindMarked), WNDENUMPROC>);

} // namespace

Win32ProgramInstance::Win32ProgramInstance(const std::string& folder) {
    // Windows spells one folder in any case.
    std::wstring upper = Widen(folder);
    CharUpperBuffW(upper.data(), DWORD(upper.size()));
    const std::wstring name = Widen(InstanceName(Utf8(upper)));
    mutexName_ = L"Local\\" + name;
    propertyName_ = L"Tallimer." + name;
}

bool Win32ProgramInstance::TellTheFirst() {
    Search search{&propertyName_, nullptr};
    EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr)
        return false;
    DWORD process = 0;
    GetWindowThreadProcessId(search.found, &process);
    // This start is the user's: it may hand the right to come to the front on.
    AllowSetForegroundWindow(process);
    return PostMessageA(search.found, RegisterWindowMessageA(AnotherStartMessage), 0, 0) != FALSE;
}

InstanceLock::Attempt Win32ProgramInstance::TryLock() {
    mutex_ = OwnedHandle(CreateMutexW(nullptr, FALSE, mutexName_.c_str()));
    if (!mutex_)
        return Attempt::Unavailable;
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return Attempt::Taken;
    // Not this copy's to keep: the next try must see whether the other copy still runs.
    mutex_.Reset();
    return Attempt::Held;
}

std::string Win32ProgramInstance::WhyUnavailable() const {
    return "no mutex can be made in this session";
}

void Win32ProgramInstance::Pause(int milliseconds) {
    Sleep(DWORD(milliseconds));
}

void Win32ProgramInstance::Listen(Win32Window& window, std::function<void()> anotherStart) {
    window.OnRegisteredMessage(AnotherStartMessage, std::move(anotherStart));
    SetPropW(static_cast<HWND>(window.Handle()), propertyName_.c_str(),
             reinterpret_cast<HANDLE>(1));
}

} // namespace platform
