// JSON string escaping over the escapes of platform/visible_text.h.
#include "reportserver/text/json_text.h"

#include "platform/visible_text.h"

namespace korva {

std::string jsonString(const std::string& utf8) { return "\"" + jsonEscaped(utf8) + "\""; }

std::string jsonEscaped(const std::string& utf8) {
  return visibleText(utf8, TextEncoding::kUtf8, EscapeStyle::kJson);
}

}  // namespace korva
