// LX_SOURCE_FILE, the name of the source being compiled, which error
// positions and log records carry. The build defines it per source file.
#ifndef LX_SHARE_COMMON_SOURCEFILE_H
#define LX_SHARE_COMMON_SOURCEFILE_H

#ifndef LX_SOURCE_FILE
#error "LX_SOURCE_FILE not set: call lx_name_sources(<target> <root>), cmake/SourceNames.cmake"
#endif

#endif
