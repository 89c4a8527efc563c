// Server home and APS name checks.
#include "reportserver/store/server_home.h"

#include <cstdlib>

#include "platform/crt_path.h"
#include "platform/server_home_default.h"

namespace korva {
namespace {

bool isAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string envOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string withoutTrailingSeparators(std::string s) {
  dropTrailingLocalSeparators(&s);
  return s;
}

}  // namespace

bool isValidApsName(const std::string& name) {
  if (name.empty() || name.size() > 253 + 6) return false;
  std::string host = name;
  size_t colon = name.find(':');
  if (colon != std::string::npos) {
    std::string port = name.substr(colon + 1);
    host = name.substr(0, colon);
    if (port.empty() || port.size() > 5) return false;
    for (char c : port) {
      if (c < '0' || c > '9') return false;
    }
    long value = std::strtol(port.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) return false;
  }
  if (host.empty() || host.size() > 253) return false;
  size_t start = 0;
  while (true) {
    size_t dot = host.find('.', start);
    std::string label =
        host.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (label.empty() || label.size() > 63) return false;
    if (label.front() == '-' || label.back() == '-') return false;
    for (char c : label) {
      if (!isAsciiAlnum(c) && c != '-') return false;
    }
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return true;
}

std::string invalidApsNameDescription(const std::string& name) {
  return "\"" + name +
         "\" is not a valid APS name: use a host name (letters, digits, \"-\" and \".\", "
         "optionally \":\" and a port).";
}

std::string serverHome(std::string* error) {
  std::string home = envOrEmpty("KORVA_SERVER_HOME");
  if (!home.empty()) return withoutTrailingSeparators(home);
  home = defaultServerHome();
  if (!home.empty()) return home;
  if (error) {
    *error = std::string("Cannot find the server home: set KORVA_SERVER_HOME (or ") +
             defaultServerHomeVariables() + ").";
  }
  return std::string();
}

bool repositoryLocation(const std::string& apsName, std::string* normalName, std::string* path,
                        std::string* error) {
  if (!isValidApsName(apsName)) {
    if (error) *error = invalidApsNameDescription(apsName);
    return false;
  }
  std::string lower = apsName;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  std::string home = serverHome(error);
  if (home.empty()) return false;
  if (normalName) *normalName = lower;
  if (path) {
    if (!endsInLocalPathSeparator(home)) home += kNativePathSeparator;
    *path = home + lower + ".db";
  }
  return true;
}

}  // namespace korva
