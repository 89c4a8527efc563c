// The server's default home on Windows: the user's local application data
// folder (%LOCALAPPDATA%, in the ANSI code page as the file functions read
// it), where Windows keeps per-user data that does not roam.
//
// Thread-safety: getenv only.
#include <cstdlib>

#include "platform/server_home_default.h"

namespace korva {

bool isLocalPathSeparator(char c) { return c == '\\' || c == '/'; }

std::string defaultServerHome() {
  const char* value = std::getenv("LOCALAPPDATA");
  if (!value || !*value) return std::string();
  std::string folder = value;
  // "C:\" keeps its separator: "C:" alone would be the drive's current folder.
  while (folder.size() > 1 && isLocalPathSeparator(folder.back()) &&
         folder[folder.size() - 2] != ':') {
    folder.pop_back();
  }
  if (!isLocalPathSeparator(folder.back())) folder += '\\';
  return folder + "Korva\\servers";
}

const char* defaultServerHomeVariables() { return "LOCALAPPDATA"; }

const char* serverHomeUsage() {
  return "%KORVA_SERVER_HOME% (else %LOCALAPPDATA%\\Korva\\servers)";
}

}  // namespace korva
