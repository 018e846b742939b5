# Cross build for 32-bit Windows, the product.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MENDIT_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The 32-bit programs may use up to 4 GB of address space on a 64-bit Windows (menditwiz
# holds both versions of a file in memory).
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--large-address-aware")
