#pragma once

#include <utility>
#include <windows.h>

namespace platform {

// A handle of the system's that is released when its owner goes: Traits says what an empty
// handle is and how one is released.
template <typename Traits> class Owned {
public:
    using Handle = typename Traits::Handle;

    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Empty())) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, Traits::Empty());
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Empty(); }
    // Releases the handle now; false when the system says that failed.
    bool Reset() {
        const bool released = handle_ == Traits::Empty() || Traits::Release(handle_);
        handle_ = Traits::Empty();
        return released;
    }

private:
    Handle handle_ = Traits::Empty();
};

struct FileTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static bool Release(Handle handle) { return CloseHandle(handle) != FALSE; }
};
using OwnedFile = Owned<FileTraits>;

// Fonts, brushes and the other objects of the graphics device interface.
template <typename GdiObject> struct GdiTraits {
    using Handle = GdiObject;
    static Handle Empty() { return nullptr; }
    static bool Release(Handle handle) { return DeleteObject(handle) != FALSE; }
};
using OwnedFont = Owned<GdiTraits<HFONT>>;
using OwnedBrush = Owned<GdiTraits<HBRUSH>>;

// Kernel objects that a null handle means none of: mutexes, events, processes.
struct KernelObjectTraits {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static bool Release(Handle handle) { return CloseHandle(handle) != FALSE; }
};
using OwnedHandle = Owned<KernelObjectTraits>;

struct IconTraits {
    using Handle = HICON;
    static Handle Empty() { return nullptr; }
    static bool Release(Handle handle) { return DestroyIcon(handle) != FALSE; }
};
using OwnedIcon = Owned<IconTraits>;

struct MenuTraits {
    using Handle = HMENU;
    static Handle Empty() { return nullptr; }
    static bool Release(Handle handle) { return DestroyMenu(handle) != FALSE; }
};
using OwnedMenu = Owned<MenuTraits>;

} // namespace platform
