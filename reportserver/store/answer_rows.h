// The answer of a query: the heads of the matching objects in id order,
// shared by the store that keeps it and the collections made from it. Rows
// are only ever appended, so a collection that reads only the rows there
// were when it was made sees no change under it.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: shared_ptr, held by the store's kept answers and by collections.
#ifndef KORVA_REPORTSERVER_STORE_ANSWER_ROWS_H_
#define KORVA_REPORTSERVER_STORE_ANSWER_ROWS_H_

#include <memory>
#include <vector>

#include "reportserver/store/store_records.h"

namespace korva {

// The objects a query matched, in id order.
struct AnswerRows {
  std::vector<ObjectHead> heads;
  // What the session's objects leave with the rows when a collection made
  // from them goes away, for the next collection made from them (the COM
  // side's objects, info_objects.h); the store only keeps it with the rows.
  mutable std::shared_ptr<void> spare;
};
using AnswerRowsPtr = std::shared_ptr<const AnswerRows>;

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_ANSWER_ROWS_H_
