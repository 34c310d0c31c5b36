// What the launcher knows of its own process: the executable's path, the
// command line and the environment. The environment functions are not
// synchronised; the launcher calls them from its one thread.
#ifndef LX_SHARE_COMMON_SYSINFO_H
#define LX_SHARE_COMMON_SYSINFO_H

#include <new>
#include <string>
#include <vector>

namespace SysInfo {

// The command line as the first entry of main received it; main stores both.
extern int argc;
extern char** argv;

enum CommandArgProgramNameMode : int { IncludeProgramName = 0, ExcludeProgramName = 1 };

// Absolute path of the executable, as getExecutablePath gives it. Throws when
// it cannot be found.
std::string getProcessModulePath();

// The file the kernel runs for an executable started as `path`, which holds
// the characters followed by one NUL: links followed to the end (at most 40),
// each relative target joined to its own link's directory, then made absolute
// as resolveDotComponents does. Throws when it does not exist or the links
// do not end.
std::string getExecutablePath(const std::vector<char>& path);

// The target of `path` when it is a symbolic link, exactly as stored; else the
// path itself. `path` holds the characters followed by one NUL. Throws when
// the path does not exist.
std::string getRealPath(const std::vector<char>& path);

// The arguments of `commandLine` in order, without those starting with
// "-psn_" (process serial numbers, which the system may add when it opens a
// bundle); with ExcludeProgramName without the first one either.
std::vector<std::string> getCommandArgs(const std::vector<std::string>& commandLine,
                                        CommandArgProgramNameMode mode);

// The same for this process's command line, argc and argv.
std::vector<std::string> getCommandArgs(CommandArgProgramNameMode mode);

// The variable's value, an empty one included; throws when it is not set.
std::string getEnvVariable(const std::string& name);

// The variable's value, or `defValue` when it is not set.
std::string getEnvVariable(const std::nothrow_t&, const std::string& name,
                           const std::string& defValue);

bool isEnvVariableSet(const std::string& name);

// Sets the variable in this process, replacing any value; throws on failure.
void setEnvVariable(const std::string& name, const std::string& value);

}  // namespace SysInfo

#endif
