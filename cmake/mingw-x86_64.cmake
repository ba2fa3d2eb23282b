# 64-bit Windows; Wine's 64-bit loader runs it, whether or not the machine runs 32-bit code.
set(TALLIMER_WINDOWS_ARCH x86_64)
set(TALLIMER_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
