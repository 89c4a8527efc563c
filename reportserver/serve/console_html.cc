// The console's HTML frame and escaping.
#include "reportserver/serve/console_html.h"

#include <tuple>

namespace korva {

std::string html(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string timeText(const std::string& t) {
  if (t.size() != 20 || t[10] != 'T' || t[19] != 'Z') return t;
  return t.substr(0, 10) + " " + t.substr(11, 8) + " UTC";
}

std::string sizeText(int64_t bytes) {
  std::string digits = std::to_string(bytes);
  for (int i = static_cast<int>(digits.size()) - 3; i > (bytes < 0 ? 1 : 0); i -= 3) {
    digits.insert(static_cast<size_t>(i), ",");
  }
  return digits + (bytes == 1 ? " byte" : " bytes");
}

std::string consoleDocument(const PageFrame& frame, const std::string& body) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<title>" + html(frame.title) + " - Korva report server " + html(frame.aps) + "</title>"
      "<link rel=\"icon\" href=\"/console/favicon.svg\" type=\"image/svg+xml\">"
      "<link rel=\"stylesheet\" href=\"/console/console.css\">"
      "<script src=\"/console/console.js\" defer></script></head>\n<body>"
      "<header><span class=\"brand\">Korva report server</span>"
      "<span class=\"aps\" id=\"aps\">" + html(frame.aps) + "</span>";
  if (!frame.user.empty()) {
    out += "<nav>";
    for (const auto& [section, path, name] :
         {std::make_tuple("tree", "/", "Folders"), std::make_tuple("users", "/users", "Users"),
          std::make_tuple("history", "/history", "History")}) {
      out += std::string("<a href=\"") + path + "\"" +
             (frame.section == section ? " aria-current=\"page\"" : "") + ">" + name + "</a>";
    }
    out += "</nav><form class=\"signout\" method=\"post\" action=\"/signout\">"
           "<span id=\"signed-in\">Signed in as <b>" + html(frame.user) + "</b></span>"
           "<button type=\"submit\" id=\"signout\">Sign out</button></form>";
  }
  out += "</header>\n<main><h1>" + html(frame.title) + "</h1>\n" + body + "</main></body></html>\n";
  return out;
}

}  // namespace korva
