// Path arithmetic on plain strings, and five queries of the file system and
// the process. Both "/" and "\\" separate directories when a path is taken
// apart; "/" is the only separator inserted. Only resolveDotComponents
// resolves links.
#ifndef LX_SHARE_COMMON_FILEUTILS_H
#define LX_SHARE_COMMON_FILEUTILS_H

#include <string>

namespace FileUtils {

// Separates the entries of a path list.
constexpr char pathSeparator = ':';

bool isDirSeparator(char c);

// The path without its last component and the separators before it; a
// trailing "." component names its directory. Empty when nothing is left.
std::string dirname(const std::string& path);

// The text after the last separator; the whole path when there is none.
std::string basename(const std::string& path);

// The extension of the last component, dot included; empty when there is none.
std::string suffix(const std::string& path);

// Parent and child joined by exactly one "/"; the other one when one is empty.
std::string combinePath(const std::string& parent, const std::string& child);

std::string removeTrailingSlash(const std::string& path);

// Every "\\" replaced by "/".
std::string normalizePath(std::string path);

// The path with its suffix replaced by `newSuffix`, which carries its own dot.
std::string replaceSuffix(const std::string& path, const std::string& newSuffix);

// An absolute path without "." components, each ".." removed together with
// the component before it, and runs of "/" made one; ".." at the root stays
// there. Purely lexical: links are not resolved. Only "/" separates here, as
// for the file system, so a backslash stays part of its name.
std::string removeDotComponents(const std::string& path);

// An absolute path as the file system reads it: when a ".." component
// remains, the part up to and including the last one is replaced by its real
// path (after a linked directory, ".." is the parent of the link's target);
// the components after it are kept as written. "." components are dropped and
// runs of "/" made one; without "..", links stay as written. Throws when the
// part up to the last ".." cannot be resolved.
std::string resolveDotComponents(const std::string& path);

// True when the file system has an entry for the path, following links;
// directories count.
bool isFileExists(const std::string& path);

// True when nothing is found at the path: no such file or directory, links
// followed. A path that exists but cannot be reached (a loop of links, a
// directory without search permission) is not missing.
bool isMissing(const std::string& path);

// The path made absolute against the working directory, not normalised.
// Throws when the working directory cannot be read.
std::string toAbsolutePath(const std::string& path);

// The path without the platform's executable suffix; executables have none here.
std::string stripExeSuffix(const std::string& path);

}  // namespace FileUtils

#endif
