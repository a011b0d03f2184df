# Cross-build for 64-bit Windows with Debian's mingw-w64 (POSIX thread model, for std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Nothing beside the .exe but Windows' own DLLs: the C++ runtime and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Test programs run under Wine; CTest and gtest_discover_tests go through it.
find_program(TIDEMILL_WINE NAMES wine64 wine HINTS /usr/lib/wine)
if(TIDEMILL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TIDEMILL_WINE})
endif()
# Libraries built for Windows by scripts/build-windows.sh.
if(TIDEMILL_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TIDEMILL_DEPS})
endif()
