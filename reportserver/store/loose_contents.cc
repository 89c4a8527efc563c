// Removing loose contents, a few chunks per transaction.
#include "reportserver/store/loose_contents.h"

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "platform/held_file.h"
#include "reportserver/store/report_content.h"
#include "reportserver/store/staging_mark.h"

namespace korva {
namespace {

// Chunks (of at most 1 MiB) removed per transaction.
constexpr int64_t kChunksPerTransaction = 8;
// Loose contents looked at per transaction.
constexpr int64_t kContentsPerTransaction = 64;

void bindStaging(Statement& st, int index, const std::string* staging) {
  if (staging) {
    st.bind(index, *staging);
  } else {
    st.bindNull(index);
  }
}

// Removes one transaction's share of the loose contents listed under the
// staging (null: let go of, owned by none); *done tells whether none is left.
bool removeSome(Database& db, const std::string* staging, bool* done) {
  Transaction tx(db);
  if (!tx.begin(nullptr)) return false;
  std::vector<int64_t> ids;
  {
    Statement pick(db, "SELECT content_id FROM loose_contents WHERE staging IS ?1 LIMIT ?2");
    bindStaging(pick, 1, staging);
    pick.bind(2, kContentsPerTransaction);
    int rc;
    while ((rc = pick.step()) == SQLITE_ROW) ids.push_back(pick.columnInt(0));
    if (rc != SQLITE_DONE) return false;
  }
  *done = static_cast<int64_t>(ids.size()) < kContentsPerTransaction;
  int64_t budget = kChunksPerTransaction;
  for (int64_t id : ids) {
    Statement held(db, "SELECT 1 FROM reports WHERE content_id = ?1 LIMIT 1");
    held.bind(1, id);
    const int rc = held.step();
    if (rc == SQLITE_ROW) {  // let go of by one report, still held by another
      Statement unlist(db, "DELETE FROM loose_contents WHERE content_id = ?1");
      unlist.bind(1, id);
      if (!unlist.run()) return false;
      continue;
    }
    if (rc != SQLITE_DONE) return false;
    Statement chunks(db,
                     "DELETE FROM content_chunks WHERE rowid IN (SELECT rowid FROM content_chunks"
                     " WHERE content_id = ?1 LIMIT ?2)");
    chunks.bind(1, id);
    chunks.bind(2, budget);
    if (!chunks.run()) return false;
    budget -= sqlite3_changes(db.handle());
    if (budget <= 0) {  // the rest of it, and of the others, next time
      *done = false;
      break;
    }
    Statement content(db, "DELETE FROM contents WHERE id = ?1");
    content.bind(1, id);
    if (!content.run()) return false;
  }
  return tx.commit(nullptr);
}

bool removeAllOf(Database& db, const std::string* staging) {
  bool done = false;
  while (!done) {
    if (!removeSome(db, staging, &done)) return false;
  }
  return true;
}

}  // namespace

bool removeLooseContents(Database& db, const std::string& ownToken) {
  bool letGo = false;
  std::set<std::string> stagings;
  {
    Statement st(db, "SELECT DISTINCT staging FROM loose_contents");
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
      if (st.columnIsNull(0)) {
        letGo = true;
      } else {
        stagings.insert(st.columnText(0));
      }
    }
    if (rc != SQLITE_DONE) return false;
  }
  const bool own = stagings.erase(ownToken) > 0 && !ownToken.empty();
  if (!letGo && !own && stagings.empty()) return true;

  UnsyncedCommits unsynced(db);
  bool ok = true;
  if (letGo) ok = removeAllOf(db, nullptr) && ok;
  if (own) ok = removeAllOf(db, &ownToken) && ok;
  for (const std::string& token : stagings) {
    std::unique_ptr<HeldFile> mark;
    if (takeOverEndedStaging(db.path(), token, &mark)) ok = removeAllOf(db, &token) && ok;
  }
  return ok;
}

bool removeSmallContentLetGo(Database& db, int64_t contentId) {
  // Its chunk and its place in the list go with it (foreign keys).
  Statement st(
      db,
      "DELETE FROM contents WHERE id = ?1 AND size <= ?2 AND NOT EXISTS"
      " (SELECT 1 FROM reports WHERE content_id = ?1)"
      " AND EXISTS (SELECT 1 FROM loose_contents WHERE content_id = ?1 AND staging IS NULL)");
  st.bind(1, contentId);
  st.bind(2, static_cast<int64_t>(kReportChunkBytes));
  return st.run();
}

}  // namespace korva
