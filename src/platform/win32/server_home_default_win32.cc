// The server's default home on Windows: the user's local application data
// folder (%LOCALAPPDATA%, in the ANSI code page as the file functions read
// it), where Windows keeps per-user data that does not roam.
//
// Thread-safety: getenv only.
#include <cstdlib>

#include "platform/server_home_default.h"
#include "platform/win32/path_chars_win32.h"

namespace korva {

bool endsInLocalPathSeparator(const std::string& path) { return win32::endsInPathSeparator(path); }

void dropTrailingLocalSeparators(std::string* path) { win32::dropTrailingSeparators(path); }

std::string defaultServerHome() {
  const char* value = std::getenv("LOCALAPPDATA");
  if (!value || !*value) return std::string();
  std::string folder = value;
  // "C:\" keeps its separator: "C:" alone would be the drive's current folder.
  win32::dropTrailingSeparators(&folder);
  if (!win32::endsInPathSeparator(folder)) folder += '\\';
  return folder + "Korva\\servers";
}

const char* defaultServerHomeVariables() { return "LOCALAPPDATA"; }

const char* serverHomeUsage() {
  return "%KORVA_SERVER_HOME% (else %LOCALAPPDATA%\\Korva\\servers)";
}

}  // namespace korva
