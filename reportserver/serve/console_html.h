// The console's HTML: every text it writes escaped, and the frame of each
// page (the header with the APS, the navigation and the signed-in user, then
// the page's own content). Pages link the console's style sheet and script
// (console_assets.h) and hold no script of their own, so that the content
// security policy allows no inline script.
//
// Thread-safety: pure functions.
#ifndef KORVA_REPORTSERVER_SERVE_CONSOLE_HTML_H_
#define KORVA_REPORTSERVER_SERVE_CONSOLE_HTML_H_

#include <cstdint>
#include <string>

namespace korva {

// The text with &, <, >, " and ' escaped: safe in content and in a quoted
// attribute.
std::string html(const std::string& text);

// "2026-12-09 17:06:57 UTC" of a history time ("2026-12-09T17:06:57Z").
std::string timeText(const std::string& historyTime);
// "1,234 bytes".
std::string sizeText(int64_t bytes);

// What frames a page.
struct PageFrame {
  std::string aps;
  std::string user;     // "" on the sign-in page: no navigation
  std::string section;  // the navigation entry that is current: "tree", "users", "history"
  std::string title;    // plain text
};

// The whole document: the frame around body (HTML).
std::string consoleDocument(const PageFrame& frame, const std::string& body);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_CONSOLE_HTML_H_
