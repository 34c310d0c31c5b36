# How the launcher executable is linked, kept in one place so that the start-up
# floor in bench/ is linked the same way. Every launch pays for what the
# executable loads and relocates before main, so it carries only what it uses.

function(lx_link_like_launcher target)
  if(APPLE)
    # The C++ runtime is a system library there and stays shared.
    return()
  endif()
  # The C++ runtime linked in: a bundle then needs no particular C++ runtime on
  # the machine it runs on, the loader does not have to load and relocate a
  # shared one at every start, and with the export list none of its symbols
  # leaks into the executable's export table.
  target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
endfunction()
