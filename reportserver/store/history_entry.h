// The repository's history as the store hands it out: one entry for each
// change a commit stored (an object added, updated or deleted, a right set),
// written in the commit's own transaction, so that a change and its entry are
// stored together or not at all.
//
// Thread-safety: plain values.
#ifndef KORVA_REPORTSERVER_STORE_HISTORY_ENTRY_H_
#define KORVA_REPORTSERVER_STORE_HISTORY_ENTRY_H_

#include <cstdint>
#include <string>
#include <vector>

namespace korva {

// What an entry records.
constexpr char kHistoryAdded[] = "added";
constexpr char kHistoryUpdated[] = "updated";
constexpr char kHistoryDeleted[] = "deleted";
constexpr char kHistoryRightSet[] = "right set";

struct HistoryEntry {
  int64_t id = 0;            // grows with every entry
  std::string time;          // UTC, "2026-12-09T17:06:57Z"
  int32_t userId = 0;        // who committed the change
  std::string userName;      // the user's name at the time
  std::string action;        // one of the four above
  int32_t objectId = 0;      // the object changed (for a right: the object it is on)
  std::string objectType;    // its plugin's name ("Folder", "Report", "User", ...)
  std::string objectTitle;   // its title after the change (before it, for a deletion)
  std::string change;        // what changed, a short text
};

// One page of the history, newest first.
struct HistoryPage {
  std::vector<HistoryEntry> entries;
  bool more = false;  // older entries follow the last one
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_HISTORY_ENTRY_H_
