// Where the embedded server keeps its repositories when KORVA_SERVER_HOME
// does not say: on POSIX $XDG_DATA_HOME/korva/servers, else
// $HOME/.local/share/korva/servers; on Windows %LOCALAPPDATA%\Korva\servers.
// Read anew from the environment at every call.
//
// Thread-safety: reads the environment; safe while nobody changes it.
// Ownership: results are new values.
#ifndef KORVA_PLATFORM_SERVER_HOME_DEFAULT_H_
#define KORVA_PLATFORM_SERVER_HOME_DEFAULT_H_

#include <string>

namespace korva {

// The default home, without a trailing separator; "" when the environment
// names none of the folders it is made from.
std::string defaultServerHome();

// The variables defaultServerHome reads, as a description names them
// ("XDG_DATA_HOME or HOME", "LOCALAPPDATA").
const char* defaultServerHomeVariables();

// Where the repositories live, as the admin program's usage says it: the
// variable and the default, in the platform's own spelling.
const char* serverHomeUsage();

// Whether the path's last character is a separator (on Windows a character
// of the process's code page: the byte of "\" may end a double-byte one).
bool endsInLocalPathSeparator(const std::string& path);

// Removes trailing separators; a root ("/", "C:\") keeps its own.
void dropTrailingLocalSeparators(std::string* path);

}  // namespace korva

#endif  // KORVA_PLATFORM_SERVER_HOME_DEFAULT_H_
