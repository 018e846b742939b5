# Shared part of the MinGW-w64 cross toolchains (posix thread model: GoogleTest needs
# std::mutex). The including file sets MENDIT_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MENDIT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MENDIT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MENDIT_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MENDIT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every .exe stands on its own: no MinGW runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# ctest runs the test programs through Wine, with the loader that fits their architecture.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
