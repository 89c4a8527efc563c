// The console's session cookie.
#include "reportserver/serve/console_cookie.h"

#include "reportserver/serve/random_token.h"
#include "reportserver/serve/session_table.h"

namespace korva {

namespace {

constexpr char kName[] = "korva_console";
constexpr char kAttributes[] = "; Path=/; Secure; HttpOnly; SameSite=Strict";

}  // namespace

std::string consoleTokenOf(const std::string& header) {
  const std::string prefix = std::string(kName) + "=";
  size_t at = 0;
  while (at < header.size()) {
    size_t end = header.find(';', at);
    if (end == std::string::npos) end = header.size();
    size_t begin = at;
    while (begin < end && header[begin] == ' ') ++begin;
    if (header.compare(begin, prefix.size(), prefix) == 0) {
      const std::string value = header.substr(begin + prefix.size(), end - begin - prefix.size());
      if (isRandomHex(value, SessionTable::kTokenBytes)) return value;
    }
    at = end + 1;
  }
  return std::string();
}

std::string consoleCookie(const std::string& token) { return kName + ("=" + token) + kAttributes; }

std::string endedConsoleCookie() { return kName + std::string("=; Max-Age=0") + kAttributes; }

}  // namespace korva
