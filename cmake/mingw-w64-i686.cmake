# Toolchain: 32-bit Windows DLLs with mingw-w64 (cmake --toolchain cmake/mingw-w64-i686.cmake).
set(UNFOLD_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
# Floating point in SSE registers, as on x86-64: x87's extended precision would round the engine's and
# the device's arithmetic differently from the 64-bit builds.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
