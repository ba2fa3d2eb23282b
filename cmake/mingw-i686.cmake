# 32-bit Windows; Wine runs it in its 32-bit half.
set(TALLIMER_WINDOWS_ARCH i686)
set(TALLIMER_WINE /usr/bin/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
