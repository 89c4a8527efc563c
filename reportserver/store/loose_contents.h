// Removing the contents of report files that no report holds and no running
// staging owns (see repository_schema.h and staging_mark.h): those that
// reports let go of (a file replaced, a report deleted), those a staging
// wrote that its commit did not take (the commit failed, or never came), and
// those left by stagings that ended without removing theirs (their process
// died). Never one a report holds, nor one a running staging still owns.
//
// The removal goes in short transactions of its own, a few chunks each,
// whose commits do not wait for the disk: a content is large, and no other
// session should wait long for the write lock because of it. It needs the
// connection outside any transaction.
//
// Thread-safety: one Database per thread.
#ifndef KORVA_REPORTSERVER_STORE_LOOSE_CONTENTS_H_
#define KORVA_REPORTSERVER_STORE_LOOSE_CONTENTS_H_

#include <cstdint>
#include <string>

#include "reportserver/store/sqlite_db.h"

namespace korva {

// Removes them; ownToken is the caller's own staging whose contents are to
// go too ("" for none). False when some could not be removed now (they stay
// listed, for the next removal).
bool removeLooseContents(Database& db, const std::string& ownToken);

// Inside the caller's transaction: removes the content at once when a report
// has let go of it, no report holds it and it is of one chunk at the most
// (as quick to remove as to list). False on a failure of the repository.
bool removeSmallContentLetGo(Database& db, int64_t contentId);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_LOOSE_CONTENTS_H_
