# Toolchain: 32-bit Windows DLLs with mingw-w64 (cmake --toolchain cmake/mingw-w64-i686.cmake).
set(UNFOLD_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
