# Builds the launcher for macOS 11 on Linux, without Apple's SDK, with what
# .ci/macos-cross installs: zig (version and npm package in
# MacOSCrossToolchain.env) compiles against the macOS C library headers and the libc++ it ships, and
# Debian's clang-14 drives lld-14's Mach-O linker against zig's libSystem
# stub. Nothing built here runs on this machine; .ci/check-macos inspects it.
#
# LX_MACOS_ARCH chooses the architecture: x86_64 (the default) or arm64.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 20) # Darwin 20 is macOS 11
if(NOT LX_MACOS_ARCH)
  set(LX_MACOS_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${LX_MACOS_ARCH})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LX_MACOS_ARCH)
if(LX_MACOS_ARCH STREQUAL "x86_64")
  set(zig_arch x86_64)
elseif(LX_MACOS_ARCH STREQUAL "arm64")
  set(zig_arch aarch64)
else()
  message(FATAL_ERROR "LX_MACOS_ARCH must be x86_64 or arm64, not '${LX_MACOS_ARCH}'")
endif()

# zig_version, zig_npm_package and zig_cache_folder, as the scripts read them.
file(STRINGS "${CMAKE_CURRENT_LIST_DIR}/MacOSCrossToolchain.env" settings REGEX "^[a-z_]+=")
foreach(setting IN LISTS settings)
  string(REGEX MATCH "^([a-z_]+)=(.*)$" ignored "${setting}")
  set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()
# The same folder as .ci/macos-cross installs into.
if(NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(zig_home "$ENV{XDG_CACHE_HOME}/${zig_cache_folder}")
else()
  set(zig_home "$ENV{HOME}/.cache/${zig_cache_folder}")
endif()
set(zig_dir "${zig_home}/node_modules/${zig_npm_package}")
if(NOT EXISTS "${zig_dir}/zig")
  message(FATAL_ERROR "macOS cross toolchain: ${zig_dir}/zig is missing; .ci/macos-cross installs it")
endif()
find_program(LX_CLANG clang-14 REQUIRED)
find_program(CMAKE_AR llvm-ar-14 REQUIRED)
find_program(CMAKE_RANLIB llvm-ranlib-14 REQUIRED)

set(CMAKE_C_COMPILER "${zig_dir}/zig" cc)
set(CMAKE_CXX_COMPILER "${zig_dir}/zig" c++)
# With a target CMake also identifies the compilers without linking.
set(CMAKE_C_COMPILER_TARGET ${zig_arch}-macos.11.0)
set(CMAKE_CXX_COMPILER_TARGET ${zig_arch}-macos.11.0)
# zig refuses the linker flag -Wl,-v that CMake adds when it compiles its probe
# of the compilers' set-up.
set(CMAKE_C_VERBOSE_COMPILE_FLAG -v)
set(CMAKE_CXX_VERBOSE_COMPILE_FLAG -v)

# Only Apple's SDK has the Cocoa framework to link against.
set(LX_COCOA OFF CACHE BOOL "")

# zig links libc++ into every C++ program it links, built from the sources
# that match its headers. Those headers are newer than the libc++ of macOS 11,
# so the launcher takes the same route: zig builds the archives once, and the
# executable then needs nothing from macOS but libSystem, which .ci/check-macos
# verifies against macOS 11's stub.
set(runtime "${zig_home}/macos-11.0-${LX_MACOS_ARCH}")
set(runtime_archives "${runtime}/libc++.a" "${runtime}/libc++abi.a" "${runtime}/libcompiler_rt.a")
if(NOT EXISTS "${runtime}/libcompiler_rt.a")
  message(STATUS "Building libc++ for macOS ${LX_MACOS_ARCH} with zig (once, a few minutes)")
  set(scratch "${runtime}.tmp")
  file(REMOVE_RECURSE "${scratch}")
  file(WRITE "${scratch}/main.cpp" "int main() {}\n")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "ZIG_GLOBAL_CACHE_DIR=${scratch}/cache"
            ${CMAKE_CXX_COMPILER} -target ${CMAKE_CXX_COMPILER_TARGET} -O2
            "${scratch}/main.cpp" -o "${scratch}/main"
    RESULT_VARIABLE failed)
  foreach(archive IN LISTS runtime_archives)
    get_filename_component(name "${archive}" NAME)
    file(GLOB_RECURSE built "${scratch}/cache/${name}")
    list(LENGTH built count)
    if(failed OR NOT count EQUAL 1)
      message(FATAL_ERROR "macOS cross toolchain: zig did not build ${name} for ${LX_MACOS_ARCH}")
    endif()
    file(COPY ${built} DESTINATION "${runtime}")
  endforeach()
  file(REMOVE_RECURSE "${scratch}")
endif()

# The macOS libSystem stub zig ships is all the system root the linker needs.
set(sysroot "${zig_home}/macos-11.0-sdk")
if(NOT EXISTS "${sysroot}/usr/lib/libSystem.tbd")
  file(MAKE_DIRECTORY "${sysroot}/usr/lib")
  file(COPY_FILE "${zig_dir}/lib/libc/darwin/libSystem.11.tbd" "${sysroot}/usr/lib/libSystem.tbd")
endif()

# Links through clang-14, which knows the Mach-O linker's command line, with
# lld-14's ld64.lld (-fuse-ld=lld); the rules are replaced after CMake's own.
set(LX_MACOS_LINKER "${LX_CLANG}" --target=${LX_MACOS_ARCH}-apple-macos11.0 -fuse-ld=lld
    -isysroot "${sysroot}")
set(LX_MACOS_LIBRARIES ${runtime_archives})
set(CMAKE_USER_MAKE_RULES_OVERRIDE "${CMAKE_CURRENT_LIST_DIR}/MacOSCrossLinkRules.cmake")
