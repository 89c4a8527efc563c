// Where the embedded server keeps its repositories, and which APS names it
// accepts. The home is $KORVA_SERVER_HOME, else the platform's default
// (platform/server_home_default.h: $XDG_DATA_HOME/korva/servers or
// $HOME/.local/share/korva/servers on POSIX, %LOCALAPPDATA%\Korva\servers on
// Windows), read anew at every call; an APS "Name" lives in <home>/<name>.db
// ("\" on Windows), the name lower-cased. Only host names are accepted, so no
// name can reach outside the home.
//
// Thread-safety: reads the environment; safe while nobody changes it.
#ifndef KORVA_REPORTSERVER_STORE_SERVER_HOME_H_
#define KORVA_REPORTSERVER_STORE_SERVER_HOME_H_

#include <string>

namespace korva {

// Letters, digits, "-" and "." in dot-separated labels (none empty, none
// starting or ending with "-"), optionally ":" and a port number.
bool isValidApsName(const std::string& name);

// The description given for a name that isValidApsName refuses.
std::string invalidApsNameDescription(const std::string& name);

// The home folder (without a trailing separator but on a root), or "" with
// *error set.
std::string serverHome(std::string* error);

// The lower-cased name and the repository file for an APS; false with *error
// set when the name is refused or there is no home.
bool repositoryLocation(const std::string& apsName, std::string* normalName, std::string* path,
                        std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_SERVER_HOME_H_
