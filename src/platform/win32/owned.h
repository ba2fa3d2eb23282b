#pragma once

#include "platform/owned.h"

#include <windows.h>

namespace platform {

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
