// The program's headers compile after <windows.h> too, which makes macros of many of the
// shell's names.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include "platform/shellicon.h"
#include "platform/window.h"
#include "platform/win32/shellicon.h"
#include "platform/win32/window.h"
#include "tray/modsystray.h"
#include "ui/form1.h"
// clang-format on
