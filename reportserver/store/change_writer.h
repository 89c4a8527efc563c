// Writes the changes of one commit into the repository, inside the commit's
// write transaction: new objects (with a fresh id), changed fields, report
// files (staged before the transaction, report_content.h), rights, and
// deletions of whole subtrees. Each write checks what the repository must
// hold true: parents are folders and never inside the object they hold, user
// names are unique, the Administrator account is neither renamed nor deleted,
// and an added object is not the twin of one another session stored since
// the client read the folder. Each change goes into the history
// (history_writer.h) in the same transaction.
//
// Thread-safety: one thread, inside one transaction.
// Ownership: uses the caller's connection and staged files for its lifetime.
#ifndef KORVA_REPORTSERVER_STORE_CHANGE_WRITER_H_
#define KORVA_REPORTSERVER_STORE_CHANGE_WRITER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "reportserver/store/object_change.h"
#include "reportserver/store/report_content.h"
#include "reportserver/store/repository.h"
#include "reportserver/store/sqlite_db.h"

namespace korva {

// Who commits: the history names them.
struct CommitAuthor {
  int32_t userId = 0;
  std::string userName;
};

class ChangeWriter {
 public:
  // readMark: the one the client's query had (StoreSession::commit);
  // firstOwnId: the id sequence's value when this commit began.
  ChangeWriter(Database& db, int32_t administratorId, int64_t readMark, int64_t firstOwnId,
               StagedFiles& staging, const CommitAuthor& author);
  ~ChangeWriter();
  ChangeWriter(const ChangeWriter&) = delete;
  ChangeWriter& operator=(const ChangeWriter&) = delete;

  // Each answers false with error() set when the change cannot be stored;
  // *out: the object as stored.
  bool insert(const ObjectChange& change, ObjectRecord* out);
  bool update(const ObjectChange& change, ObjectRecord* out);
  // Deletes the object and everything under it (their files and rights go
  // with them); an object already gone is no failure.
  bool remove(const ObjectChange& change);

  const std::string& error() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_CHANGE_WRITER_H_
