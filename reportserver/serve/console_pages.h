// The console's pages as HTML documents (console_html.h), made from what a
// signed-in user's store session read: the snapshot of what the user may see
// and the history entries about it. Every name is escaped. The pages change
// nothing: the only forms are the sign-in and the sign-out.
//
// Thread-safety: pure functions.
#ifndef KORVA_REPORTSERVER_SERVE_CONSOLE_PAGES_H_
#define KORVA_REPORTSERVER_SERVE_CONSOLE_PAGES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "reportserver/store/history_entry.h"
#include "reportserver/store/store_records.h"

namespace korva {

// The sign-in form; user: the name to fill in, refusal: why the last
// sign-in was refused ("" for none).
std::string signInPage(const std::string& aps, const std::string& user,
                       const std::string& refusal);

// What the console reads for a page: the user's snapshot and the newest
// history entry of each object it holds.
struct ConsoleView {
  std::string user;
  RepositorySnapshot snapshot;
  std::vector<HistoryEntry> lastChanges;
};

// The folder tree, folders opened and closed in place.
std::string treePage(const ConsoleView& view);
// The report's page; "" when the user sees no such report.
std::string reportPage(const ConsoleView& view, int32_t reportId);
// The users, their full names, licence types and rights.
std::string usersPage(const ConsoleView& view);
// One page of the history; newer: whether newer entries come before it.
std::string historyPage(const std::string& aps, const std::string& user, const HistoryPage& page,
                        bool newer);

// A page that says why nothing else is shown (what: plain text).
std::string messagePage(const std::string& aps, const std::string& user, const std::string& title,
                        const std::string& what);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_CONSOLE_PAGES_H_
