# Every source file learns its own path below its source root, without the
# extension, as LX_SOURCE_FILE. Error positions and log records carry it, so
# messages name files the same way on every machine and in every build folder.
function(lx_name_sources target root)
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    get_filename_component(full "${source}" ABSOLUTE)
    file(RELATIVE_PATH relative "${root}" "${full}")
    string(REGEX REPLACE "\\.[^./]*$" "" name "${relative}")
    set_property(SOURCE "${source}" TARGET_DIRECTORY ${target}
                 APPEND PROPERTY COMPILE_DEFINITIONS "LX_SOURCE_FILE=\"${name}\"")
  endforeach()
endfunction()
