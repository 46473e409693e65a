# The Windows build: unfoldfilter.dll (and unfoldcam.dll) from the system folders unchanged, over the
# platform targets of platform/windows, plus the test programs that run under Wine.
#
# The build-time tools (effect compiler, mode icon drawer) run on the build machine: UNFOLD_HOST_TOOLS
# names the folder of a native build that holds them (scripts/windows.sh builds it first).
enable_language(RC)
set(UNFOLD_HOST_TOOLS "" CACHE PATH "Folder of the native build that holds unfold_fxc and unfold_mode_icons")
if(NOT UNFOLD_HOST_TOOLS)
  message(FATAL_ERROR "UNFOLD_HOST_TOOLS must name a native build folder (scripts/windows.sh sets it)")
endif()
add_executable(unfold_fxc IMPORTED)
set_target_properties(unfold_fxc PROPERTIES IMPORTED_LOCATION ${UNFOLD_HOST_TOOLS}/tools/effect_compiler/unfold_fxc)
add_executable(unfold_mode_icons IMPORTED)
set_target_properties(unfold_mode_icons PROPERTIES IMPORTED_LOCATION ${UNFOLD_HOST_TOOLS}/tools/mode_icons/unfold_mode_icons)

# The shipped binaries run on any x86 processor of their architecture (no -march=native).
find_package(Threads REQUIRED)
list(APPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake)
include(UnfoldResources)

add_subdirectory(platform/windows)
add_subdirectory(engine)
add_subdirectory(modes)
add_subdirectory(resources)
add_subdirectory(filter)
unfold_module_guids(unfoldfilter filter/expansion_filter.h)
add_subdirectory(vcam)
unfold_module_guids(unfoldcam vcam/orbe_src_gen.h filter/expansion_filter.h)
add_subdirectory(tests/wine)
