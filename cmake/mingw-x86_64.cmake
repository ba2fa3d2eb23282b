# 64-bit Windows.
set(TALLIMER_WINDOWS_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
