# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (GCC, posix
# thread model, so std::thread and std::mutex work). Programs link statically
# and need no DLLs beyond Windows' own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZONTER_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZONTER_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZONTER_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZONTER_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZONTER_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into each executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test executables run under Wine, in a prefix of the build tree's own unless
# the preset names one.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run --prefix ${CMAKE_BINARY_DIR}/wineprefix)
endif()
