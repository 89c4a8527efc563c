// Reading the history and keeping what a user may see of it.
#include "reportserver/store/history_reading.h"

#include <map>
#include <utility>

#include "reportserver/store/access_rules.h"

namespace korva {

namespace {

// The columns every read selects: the entry, then what decides who sees it.
const char kColumns[] =
    "SELECT h.id, h.time, h.user_id, h.user_name, h.action, h.object_id, h.object_type,"
    " h.object_title, h.change, h.type_id, p.kind = 'user', o.id IS NOT NULL, o.parent_id"
    " FROM history h LEFT JOIN objects o ON o.id = h.object_id"
    " LEFT JOIN plugins p ON p.type_id = h.type_id";

HistoryEntry entryOf(const Statement& st) {
  HistoryEntry e;
  e.id = st.columnInt(0);
  e.time = st.columnText(1);
  e.userId = static_cast<int32_t>(st.columnInt(2));
  e.userName = st.columnText(3);
  e.action = st.columnText(4);
  e.objectId = static_cast<int32_t>(st.columnInt(5));
  e.objectType = st.columnText(6);
  e.objectTitle = st.columnText(7);
  e.change = st.columnText(8);
  return e;
}

// Whether the user sees the entry of the statement's row; the answer for
// each object is kept.
class EntryFilter {
 public:
  EntryFilter(Database& db, std::optional<int32_t> visibleTo) : db_(db), visibleTo_(visibleTo) {}

  bool visible(const Statement& st, const HistoryEntry& e, std::string* error) {
    if (!visibleTo_ || st.columnInt(10) != 0) return true;
    if (st.columnInt(11) == 0) return e.userId == *visibleTo_;
    auto known = seen_.find(e.objectId);
    if (known != seen_.end()) return known->second;
    std::vector<ObjectHead> head = {{e.objectId, static_cast<int16_t>(st.columnInt(9)),
                                     static_cast<int32_t>(st.columnInt(12)), e.objectTitle}};
    if (!keepVisible(db_, *visibleTo_, &head, error)) {
      failed_ = true;
      return false;
    }
    return seen_[e.objectId] = !head.empty();
  }
  bool failed() const { return failed_; }

 private:
  Database& db_;
  const std::optional<int32_t> visibleTo_;
  std::map<int32_t, bool> seen_;
  bool failed_ = false;
};

// Runs the query (kColumns, then the rest, with the number bound to ?1 when
// there is one) in a read transaction and hands each entry the user sees to take, until take
// says stop.
template <typename Take>
bool readEntries(Database& db, const char* rest, std::optional<int64_t> parameter,
                 std::optional<int32_t> visibleTo, Take take, std::string* error) {
  Transaction tx(db);  // read only: rolled back when it goes
  std::string message;
  if (!tx.begin(&message)) {
    if (error) *error = "Cannot read the history: " + message + ".";
    return false;
  }
  Statement st(db, (std::string(kColumns) + rest).c_str());
  if (parameter) st.bind(1, *parameter);
  EntryFilter filter(db, visibleTo);
  int rc;
  while ((rc = st.step()) == SQLITE_ROW) {
    HistoryEntry e = entryOf(st);
    if (filter.visible(st, e, error) && !take(std::move(e))) return true;
    if (filter.failed()) return false;
  }
  if (rc == SQLITE_DONE) return true;
  if (error) *error = "Cannot read the history: " + db.lastMessage() + ".";
  return false;
}

}  // namespace

bool readHistory(Database& db, std::optional<int32_t> visibleTo, int64_t beforeId, size_t limit,
                 HistoryPage* out, std::string* error) {
  *out = HistoryPage();
  return readEntries(
      db, " WHERE h.id < ?1 ORDER BY h.id DESC", beforeId, visibleTo,
      [&](HistoryEntry e) {
        if (out->entries.size() == limit) {
          out->more = true;
          return false;
        }
        out->entries.push_back(std::move(e));
        return true;
      },
      error);
}

bool readLastChanges(Database& db, std::optional<int32_t> visibleTo,
                     std::vector<HistoryEntry>* out, std::string* error) {
  out->clear();
  return readEntries(
      db,
      " JOIN (SELECT MAX(id) AS id FROM history GROUP BY object_id) l ON l.id = h.id"
      " WHERE o.id IS NOT NULL ORDER BY h.object_id",
      std::nullopt, visibleTo,
      [&](HistoryEntry e) {
        out->push_back(std::move(e));
        return true;
      },
      error);
}

}  // namespace korva
