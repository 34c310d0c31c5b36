// LX_SOURCE_FILE, the name of the source being compiled, which error
// positions and log records carry. The build defines it per source file.
#ifndef LX_SHARE_COMMON_SOURCEFILE_H
#define LX_SHARE_COMMON_SOURCEFILE_H

#ifndef LX_SOURCE_FILE
#error "LX_SOURCE_FILE is not defined: call lx_name_sources(<target> <source root>) from cmake/SourceNames.cmake for the target that compiles this file"
#endif

#endif
