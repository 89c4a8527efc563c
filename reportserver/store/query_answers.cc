// Kept query answers and their upkeep.
#include "reportserver/store/query_answers.h"

#include <algorithm>
#include <utility>

#include "reportserver/store/access_rules.h"

namespace korva {

namespace {

// A publish works folder by folder: the users, the folders at one level and
// the reports of one folder are what it asks for again and again.
constexpr size_t kKeptAnswers = 8;

// A query by id reads one row through the primary key: not worth keeping.
bool worthKeeping(const ParsedQuery& q) {
  return std::none_of(q.terms.begin(), q.terms.end(),
                      [](const QueryTerm& t) { return t.field == QueryTerm::Field::Id; });
}

bool sameQuery(const ParsedQuery& a, const ParsedQuery& b) {
  return a.systemObjects == b.systemObjects && a.terms == b.terms;
}

bool matches(const ParsedQuery& q, const StoredHead& s) {
  if (q.systemObjects != s.user) return false;
  return std::all_of(q.terms.begin(), q.terms.end(), [&](const QueryTerm& t) {
    return t.matches(s.head.id, s.head.parentId, s.head.typeId);
  });
}

}  // namespace

bool QueryAnswers::current(Database& db) {
  Statement st(db, "PRAGMA data_version");
  if (st.step() != SQLITE_ROW) {
    forget();
    version_ = -1;
    return false;
  }
  const int64_t version = st.columnInt(0);
  if (version != version_) {
    forget();
    version_ = version;
  }
  return true;
}

bool QueryAnswers::answer(Database& db, const ParsedQuery& query, AnswerRowsPtr* out,
                          std::string* error) {
  const bool keep = worthKeeping(query) && current(db);
  if (keep) {
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
      if (!sameQuery(it->query, query)) continue;
      kept_.splice(kept_.begin(), kept_, it);
      *out = kept_.front().rows;
      return true;
    }
  }
  auto rows = std::make_shared<AnswerRows>();
  if (!loadHeads(db, query.systemObjects, query.terms, &rows->heads, error)) return false;
  if (viewer_ != 0 && !query.systemObjects && !keepVisible(db, viewer_, &rows->heads, error)) {
    return false;
  }
  if (keep) {
    kept_.push_front(Kept{query, rows});
    if (kept_.size() > kKeptAnswers) kept_.pop_back();
  }
  *out = std::move(rows);
  return true;
}

void QueryAnswers::beginCommit(Database& db) { current(db); }

void QueryAnswers::committed(const std::vector<StoredHead>& added, bool headsChanged) {
  if (headsChanged || viewer_ != 0) {
    forget();
    return;
  }
  for (Kept& k : kept_) {
    for (const StoredHead& s : added) {
      if (matches(k.query, s)) k.rows->heads.push_back(s.head);
    }
  }
}

}  // namespace korva
