# The launcher executable's dynamic symbol table holds `main` and the four
# launcher data functions, which the runtime launcher library looks up with
# dlsym(RTLD_DEFAULT, ...), and nothing else: an export list, not -rdynamic.
# The names come from LauncherExports.txt, which the macOS check and the tests
# read too.
set(LX_LAUNCHER_EXPORTS_FILE "${CMAKE_CURRENT_LIST_DIR}/LauncherExports.txt")
file(STRINGS "${LX_LAUNCHER_EXPORTS_FILE}" LX_LAUNCHER_EXPORTS REGEX "^[^#]")
# An edited list reaches the export files and the checker at the next build.
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${LX_LAUNCHER_EXPORTS_FILE}")
set(LX_LAUNCHER_DATA_FUNCTIONS ${LX_LAUNCHER_EXPORTS})
list(REMOVE_ITEM LX_LAUNCHER_DATA_FUNCTIONS main)

# Links the four functions out of launchercore into `target` even when
# nothing in it calls them.
function(lx_link_launcher_data_functions target)
  foreach(function IN LISTS LX_LAUNCHER_DATA_FUNCTIONS)
    if(APPLE)
      target_link_options(${target} PRIVATE "LINKER:-u,_${function}")
    else()
      target_link_options(${target} PRIVATE "LINKER:--undefined=${function}")
    endif()
  endforeach()
endfunction()

# Gives the executable `target` exactly those exports.
function(lx_export_launcher_symbols target)
  lx_link_launcher_data_functions(${target})
  set(exports ${LX_LAUNCHER_EXPORTS})
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${target}.exports")
  if(APPLE)
    # Mach-O symbol names carry a leading underscore.
    list(TRANSFORM exports PREPEND "_")
    list(JOIN exports "\n" names)
    file(CONFIGURE OUTPUT "${list_file}" CONTENT "${names}\n")
    target_link_options(${target} PRIVATE "LINKER:-exported_symbols_list,${list_file}")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${list_file}")
    return()
  endif()
  # The dynamic list puts the names into the table. The version script keeps
  # out what the linker would add on its own: C++ library template code that
  # the executable defines and libstdc++ defines too. A sanitizer runtime
  # linked into the executable must keep exporting its interceptors, so
  # sanitized builds go without the version script.
  list(JOIN exports ";\n  " names)
  file(CONFIGURE OUTPUT "${list_file}" CONTENT "{\n  ${names};\n};\n")
  target_link_options(${target} PRIVATE "LINKER:--dynamic-list=${list_file}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${list_file}")
  if(NOT LX_SANITIZE)
    set(script_file "${CMAKE_CURRENT_BINARY_DIR}/${target}.version")
    file(CONFIGURE OUTPUT "${script_file}" CONTENT "{\n  global:\n  ${names};\n  local: *;\n};\n")
    target_link_options(${target} PRIVATE "LINKER:--version-script=${script_file}")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${script_file}")
  endif()
endfunction()
