#!/usr/bin/env bash
# Rebuilds the Mach-O test files in this folder with the macOS cross toolchain
# (.ci/macos-cross installs it): zig compiles, clang-14 drives lld-14's Mach-O
# linker, as cmake/MacOSCrossToolchain.cmake does. lld signs arm64 output
# ad hoc on its own; -no_adhoc_codesign makes the unsigned copy.
set -euo pipefail
cd "$(dirname "$0")"
. ../../../../cmake/MacOSCrossToolchain.env # zig_npm_package, zig_cache_folder
zig_home=${XDG_CACHE_HOME:-$HOME/.cache}/$zig_cache_folder
zig=$zig_home/node_modules/$zig_npm_package/zig
sysroot=$zig_home/macos-11.0-sdk # made by the toolchain file's first use
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

link() { # output, architecture, minimum macOS, source, compiler flag or "", linker flags...
  local zig_arch=$2 object=$scratch/$1.o
  [ "$2" = arm64 ] && zig_arch=aarch64
  "$zig" cc -target "$zig_arch-macos.$3" -O2 $5 -c "$4" -o "$object"
  clang-14 --target="$2-apple-macos$3" -fuse-ld=lld -isysroot "$sysroot" -o "$1" "$object" "${@:6}"
}

link rlx-x86_64.dylib x86_64 11.0 runtime.c "" -shared
link rlx-arm64.dylib arm64 11.0 runtime.c "" -shared
llvm-lipo-14 -create rlx-x86_64.dylib rlx-arm64.dylib -output rlx-universal.dylib
link rlx-no-entry-x86_64.dylib x86_64 11.0 runtime.c -DNO_ENTRY -shared
link rlx-macos13-x86_64.dylib x86_64 13.0 runtime.c "" -shared
link rlx-unsigned-arm64.dylib arm64 11.0 runtime.c "" -shared -Wl,-no_adhoc_codesign
link launcher-x86_64 x86_64 11.0 launcher.c ""
link launcher-arm64 arm64 11.0 launcher.c ""
llvm-lipo-14 -create launcher-x86_64 launcher-arm64 -output launcher-universal
link launcher-main-only-x86_64 x86_64 11.0 launcher.c -DMAIN_ONLY
