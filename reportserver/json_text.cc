// JSON string escaping.
#include "reportserver/json_text.h"

#include <cstdio>

namespace korva {

std::string jsonString(const std::string& utf8) { return "\"" + jsonEscaped(utf8) + "\""; }

std::string jsonEscaped(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char ch : utf8) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(ch);
        }
    }
  }
  return out;
}

}  // namespace korva
