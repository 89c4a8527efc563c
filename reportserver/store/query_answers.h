// What one session has read of the repository by query, kept so that the
// same query answers again without reading: a client that finds objects by
// title queries the same folder before every object it adds.
//
// A kept answer holds the heads of the matching objects (id, type, parent,
// title) in id order. It is used only while no other connection has
// committed since it was read: every query first asks the connection's data
// version (SQLite changes it for every commit made through another
// connection, in this process or another one) and forgets everything when it
// moved. This session's own commits do not move it; they are applied to the
// kept answers instead: a stored new object joins the answers it matches
// (it has the highest id yet, so it goes last), and any other change to a
// head (title, parent, removal) forgets them all.
//
// A session of a user other than the Administrator answers only the info
// objects that user may see (access_rules.h); as the answers are kept per
// session, they are kept per user. A change of rights made elsewhere moves
// the data version like any commit; this session's own commits may hide what
// they store (an object added below a NoAccess folder), so after them such a
// session forgets its answers instead of adding to them.
//
// Answers are shared with the collections made from them. A collection
// reads only the rows there were when it was made, and rows are only ever
// appended, so what a collection shows never changes under it. An answer
// also keeps the objects a released collection made from it, for the next
// collection (AnswerRows::spare): queried again and again, a folder's
// objects are made once.
//
// Thread-safety: one thread at a time, like the session that owns it.
// Ownership: owned by the session context; answers are shared_ptr, held by
// the kept list and by collections.
#ifndef KORVA_REPORTSERVER_STORE_QUERY_ANSWERS_H_
#define KORVA_REPORTSERVER_STORE_QUERY_ANSWERS_H_

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "com/ref.h"
#include "platform/com.h"
#include "reportserver/store/query_parser.h"
#include "reportserver/store/repository.h"
#include "reportserver/store/sqlite_db.h"

namespace korva {

class ObjectImpl;

// The objects a query matched, in id order.
struct AnswerRows {
  AnswerRows();
  ~AnswerRows();
  std::vector<ObjectHead> heads;
  // The objects of the last collection made from these rows that went away
  // with nothing else holding them (position i: row i, or empty): the next
  // collection made from the rows takes them over (info_objects.h).
  mutable std::vector<Ref<ObjectImpl>> spare;
};
using AnswerRowsPtr = std::shared_ptr<const AnswerRows>;

// An object a commit of this session stored for the first time.
struct StoredHead {
  ObjectHead head;
  bool user = false;  // a system object
};

class QueryAnswers {
 public:
  // From now on, answers hold only the info objects this user may see.
  void showOnlyWhatMayBeSeenBy(int32_t userId) {
    viewer_ = userId;
    forget();
  }

  // The objects the query matches now; false with *error when the
  // repository cannot be read.
  bool answer(Database& db, const ParsedQuery& query, AnswerRowsPtr* out, std::string* error);

  // Inside a commit's write transaction, before its first write: forgets
  // every kept answer when another connection committed since they were
  // last found current.
  void beginCommit(Database& db);
  // After that commit succeeded: the new objects it stored, and whether it
  // changed a stored object's title or parent or removed anything.
  void committed(const std::vector<StoredHead>& added, bool headsChanged);

 private:
  struct Kept {
    ParsedQuery query;
    std::shared_ptr<AnswerRows> rows;
  };

  // Reads the data version and forgets everything when it moved; false when
  // it cannot be read (nothing kept is trusted then).
  bool current(Database& db);
  void forget() { kept_.clear(); }

  int32_t viewer_ = 0;  // 0: everything is shown
  int64_t version_ = -1;
  std::list<Kept> kept_;  // most recently used first
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_QUERY_ANSWERS_H_
