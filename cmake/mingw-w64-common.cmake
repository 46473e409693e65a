# Cross-compilation to Windows with Debian's mingw-w64 (the posix thread model, which std::thread and
# std::mutex need). Included by the per-architecture toolchain files, which set UNFOLD_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${UNFOLD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UNFOLD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${UNFOLD_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${UNFOLD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Wine runs the test programs the build makes (gtest_discover_tests and friends).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
