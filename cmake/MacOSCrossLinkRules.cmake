# Link rules of the macOS cross build (MacOSCrossToolchain.cmake): CMake's
# rules for Darwin with the linker driver in place of the compiler, and the
# C++ runtime archives after every link's own libraries.
list(JOIN LX_MACOS_LINKER " " linker)
list(JOIN LX_MACOS_LIBRARIES " " libraries)
foreach(lang C CXX)
  set(CMAKE_${lang}_LINK_EXECUTABLE
      "${linker} <FLAGS> <CMAKE_${lang}_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES> ${libraries}")
  set(CMAKE_${lang}_CREATE_SHARED_MODULE
      "${linker} <LANGUAGE_COMPILE_FLAGS> <CMAKE_SHARED_MODULE_CREATE_${lang}_FLAGS> <LINK_FLAGS> -o <TARGET> <OBJECTS> <LINK_LIBRARIES> ${libraries}")
endforeach()
