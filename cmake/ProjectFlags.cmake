# The warning set and the sanitizer and fuzzer instrumentation: this project's
# policy for its own targets, given to each of them by name, so that a parent
# project or a module including this one keeps its flags.

# Gives every target defined in `dir` and the folders below it the flags,
# in front of its own, so that a target can still turn one off (for example
# -fno-sanitize=alignment). Call once, after the last target is defined.
function(lx_apply_project_flags dir)
  get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      lx_add_project_flags(${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    lx_apply_project_flags("${subdir}")
  endforeach()
endfunction()

function(lx_add_project_flags target)
  # Errors only on request: a newer compiler's new warnings must not break a
  # packager's build.
  target_compile_options(${target} BEFORE PRIVATE
    -Wall -Wextra -Wpedantic $<$<BOOL:${LX_WERROR}>:-Werror>)
  # The sanitizer and fuzzer builds are whole-program by nature: every object,
  # the tests' helpers included, is instrumented, or findings are missed and
  # instrumented and plain code disagree about container layouts.
  if(LX_SANITIZE)
    target_compile_options(${target} BEFORE PRIVATE
      -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} BEFORE PRIVATE
      -fsanitize=address,undefined -fno-sanitize-recover=all)
  endif()
  if(LX_FUZZ)
    # Coverage feedback for everything; libFuzzer's main goes only into the targets.
    target_compile_options(${target} BEFORE PRIVATE
      -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} BEFORE PRIVATE
      -fsanitize=address,undefined -fno-sanitize-recover=all)
  endif()
endfunction()
