# How the launcher executable is linked, kept in one place so that the start-up
# floor in bench/ is linked the same way. Every launch pays for what the
# executable loads and relocates before main, so it carries only what it uses.
include(CheckLinkerFlag)

if(NOT APPLE)
  # Packed relative relocations: a few words instead of 24 bytes per pointer
  # to relocate, and far less for the dynamic loader to read and apply. The
  # linker uses them only where the C library can apply them.
  check_linker_flag(CXX "LINKER:-z,pack-relative-relocs" LX_HAVE_PACKED_RELOCATIONS)
endif()

# Compiles the sources of `target`, and of a library linked into the launcher,
# so that such a link can drop what is unused.
function(lx_compile_for_launcher_link target)
  if(NOT APPLE)
    # Without function and data sections the linker can only keep or drop
    # whole object files; with them it drops every unreferenced function.
    target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections)
  endif()
endfunction()

function(lx_link_like_launcher target)
  lx_compile_for_launcher_link(${target})
  if(APPLE)
    # The C++ runtime is a system library there and stays shared. Not
    # -dead_strip_dylibs: that would drop Cocoa, which is linked on purpose.
    target_link_options(${target} PRIVATE "LINKER:-dead_strip")
    return()
  endif()
  # The C++ runtime linked in: a bundle then needs no particular C++ runtime on
  # the machine it runs on, the loader does not have to load and relocate a
  # shared one at every start, and with the export list none of its symbols
  # leaks into the executable's export table.
  target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc "LINKER:--gc-sections")
  if(LX_HAVE_PACKED_RELOCATIONS)
    target_link_options(${target} PRIVATE "LINKER:-z,pack-relative-relocs")
  endif()
endfunction()
