// Writing the publish instructions file of an export (see instructions_xml.h).
#include "reportserver/admin/instructions_xml.h"

#include "reportserver/text/utf8.h"

namespace korva {
namespace {

bool xmlMayHold(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF);
}

std::string escaped(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void appendSection(std::string* out, const char* section, const char* element,
                   const std::vector<XmlAttributes>& entries) {
  *out += std::string("  <") + section + ">\n";
  for (const XmlAttributes& entry : entries) {
    *out += std::string("    <") + element;
    for (const auto& attribute : entry) {
      if (!attribute.second.empty()) {
        *out += std::string(" ") + attribute.first + "=\"" + escaped(attribute.second) + "\"";
      }
    }
    *out += "/>\n";
  }
  *out += std::string("  </") + section + ">\n";
}

}  // namespace

std::string xmlHoldable(const std::string& utf8, bool* dropped) {
  *dropped = false;
  std::string out;
  for (char32_t c : charactersOf(utf8)) {
    if (xmlMayHold(c)) {
      out += utf8Of(c);
    } else {
      *dropped = true;
    }
  }
  return out;
}

std::string instructionsXml(const std::vector<XmlAttributes>& users,
                            const std::vector<XmlAttributes>& folders,
                            const std::vector<XmlAttributes>& reports) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- Written by korvaserver export: publish it with korvapush -srcfile publish.xml\n"
      "     -srcpath reports from this directory. -->\n"
      "<publish>\n";
  appendSection(&out, "users", "user", users);
  appendSection(&out, "folders", "folder", folders);
  appendSection(&out, "reports", "report", reports);
  return out + "</publish>\n";
}

}  // namespace korva
