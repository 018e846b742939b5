# Cross build for 64-bit Windows: the same code, checked the same way, for hosts that cannot
# run 32-bit processes (and as a second check of the code's portability on every host).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MENDIT_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
