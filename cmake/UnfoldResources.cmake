# Build-time compilation of effects and resource scripts.

# unfold_compile_effect(<target> SOURCE <file.fx> OUTPUT <file.fxo> [LISTING <file.txt>])
# Compiles an effect source at build time; <target> builds the container.
function(unfold_compile_effect name)
  cmake_parse_arguments(E "" "SOURCE;OUTPUT;LISTING" "" ${ARGN})
  get_filename_component(source ${E_SOURCE} ABSOLUTE)
  set(listing)
  if(E_LISTING)
    set(listing --listing ${E_LISTING})
  endif()
  add_custom_command(
    OUTPUT ${E_OUTPUT} ${E_LISTING}
    COMMAND unfold_fxc -T fx_4_0 -o ${E_OUTPUT} ${listing} ${source}
    DEPENDS unfold_fxc ${source}
    COMMENT "Compiling effect ${E_SOURCE}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${E_OUTPUT})
endfunction()

# unfold_add_resources(<target> <script.rc> [INCLUDE_DIRS <dir>...] [DEPENDS <target or file>...])
# Compiles a resource script at build time and adds the generated source to <target>, whose module
# then carries the resources. Files the script names are looked up next to it, in INCLUDE_DIRS,
# then in the build folder of resources/ (where compiled effects are written). DEPENDS names the
# targets or files that produce what the script embeds. Scripts include <winresrc.h> from
# platform/include for the constants of dialogs, controls and version blocks.
function(unfold_add_resources target rcfile)
  cmake_parse_arguments(R "" "" "INCLUDE_DIRS;DEPENDS" ${ARGN})
  get_filename_component(rc ${rcfile} ABSOLUTE)
  # A Windows module carries the script's resources as PE resources, compiled by the toolchain's
  # resource compiler (windres), which looks for the files the script names on the same include path.
  if(WIN32)
    set(includes ${R_INCLUDE_DIRS} ${PROJECT_BINARY_DIR}/resources)
    target_sources(${target} PRIVATE ${rc})
    set_property(SOURCE ${rc} APPEND PROPERTY INCLUDE_DIRECTORIES ${includes})
    foreach(dep ${R_DEPENDS})
      if(TARGET ${dep})
        add_dependencies(${target} ${dep})
      endif()
    endforeach()
    return()
  endif()
  get_filename_component(stem ${rc} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${stem}_rc.cpp)
  set(includes)
  foreach(dir ${R_INCLUDE_DIRS} ${PROJECT_BINARY_DIR}/resources ${PROJECT_SOURCE_DIR}/platform/include)
    list(APPEND includes -I ${dir})
  endforeach()
  set(files)
  set(targets)
  foreach(dep ${R_DEPENDS})
    if(TARGET ${dep})
      list(APPEND targets ${dep})
    else()
      list(APPEND files ${dep})
    endif()
  endforeach()
  add_custom_command(
    OUTPUT ${out}
    COMMAND unfold_rc ${includes} -o ${out} --depfile ${out}.d ${rc}
    DEPENDS unfold_rc ${rc} ${files} ${targets}
    DEPFILE ${out}.d
    COMMENT "Compiling resources ${rcfile} for ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  target_link_libraries(${target} PRIVATE win32)
  if(targets)
    add_dependencies(${target} ${targets})
  endif()
endfunction()
