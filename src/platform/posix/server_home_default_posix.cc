// The server's default home on POSIX, after the XDG base directories.
//
// Thread-safety: getenv only.
#include <cstdlib>

#include "platform/server_home_default.h"

namespace korva {
namespace {

std::string folderFrom(const char* variable, const char* below) {
  const char* value = std::getenv(variable);
  if (!value || !*value) return std::string();
  std::string folder = value;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder == "/") folder.clear();
  return folder + below;
}

}  // namespace

std::string defaultServerHome() {
  std::string home = folderFrom("XDG_DATA_HOME", "/korva/servers");
  if (home.empty()) home = folderFrom("HOME", "/.local/share/korva/servers");
  return home;
}

const char* defaultServerHomeVariables() { return "XDG_DATA_HOME or HOME"; }

const char* serverHomeUsage() {
  return "$KORVA_SERVER_HOME (else $XDG_DATA_HOME/korva/servers, else\n"
         "~/.local/share/korva/servers)";
}

bool endsInLocalPathSeparator(const std::string& path) { return !path.empty() && path.back() == '/'; }

void dropTrailingLocalSeparators(std::string* path) {
  while (path->size() > 1 && path->back() == '/') path->pop_back();
}

}  // namespace korva
