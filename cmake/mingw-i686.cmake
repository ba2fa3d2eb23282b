# 32-bit Windows (runs on 32- and 64-bit Windows).
set(TALLIMER_WINDOWS_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
