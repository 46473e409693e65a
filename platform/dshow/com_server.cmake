# unfold_com_server(name SOURCES ... [LIBS ...] [OUTPUT_DIRECTORY dir])
#
# Builds an in-process COM server module: a shared library with the DirectShow base classes compiled
# in, every symbol hidden but the four entry points DllGetClassObject, DllCanUnloadNow,
# DllRegisterServer and DllUnregisterServer (the module defines the last two, usually as
# AMovieDllRegisterServer2(TRUE/FALSE), and its g_Templates table). Hidden symbols give each module its
# own CUnknown object count and factory lock count, which its DllCanUnloadNow reports.
function(unfold_com_server name)
  cmake_parse_arguments(S "" "OUTPUT_DIRECTORY" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${S_SOURCES})
  target_link_libraries(${name} PRIVATE strmbase ${S_LIBS})
  set_target_properties(${name} PROPERTIES
    PREFIX "lib"
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${UNFOLD_COM_SERVER_MAP})
  # The two entry points live in strmbase: make the linker take them from the archive.
  target_link_options(${name} PRIVATE "LINKER:--version-script=${UNFOLD_COM_SERVER_MAP}" "LINKER:--no-undefined"
                      "LINKER:--undefined=DllGetClassObject" "LINKER:--undefined=DllCanUnloadNow")
  if(S_OUTPUT_DIRECTORY)
    set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${S_OUTPUT_DIRECTORY})
  endif()
endfunction()
