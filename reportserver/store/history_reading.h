// Reading the repository's history (history_entry.h), all of it or as far as
// one user may see it: an entry about a user is seen by everyone (as users
// are); one about an object still stored by whoever may see that object now
// (access_rules.h); one about an object that is gone only by the user who
// made the change, since who could see it is no longer known. The
// Administrator sees every entry.
//
// Thread-safety: reads in a read transaction of the caller's connection.
#ifndef KORVA_REPORTSERVER_STORE_HISTORY_READING_H_
#define KORVA_REPORTSERVER_STORE_HISTORY_READING_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reportserver/store/history_entry.h"
#include "reportserver/store/sqlite_db.h"

namespace korva {

// The entries with an id below beforeId, newest first, at most limit of
// them; visibleTo: the user whose view it is (none: every entry).
bool readHistory(Database& db, std::optional<int32_t> visibleTo, int64_t beforeId, size_t limit,
                 HistoryPage* out, std::string* error);

// The newest entry of each object still stored, in object id order.
bool readLastChanges(Database& db, std::optional<int32_t> visibleTo,
                     std::vector<HistoryEntry>* out, std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_HISTORY_READING_H_
