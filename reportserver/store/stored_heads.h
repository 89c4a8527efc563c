// The heads of the objects a commit changes, read inside the commit's write
// transaction. A client sends, with each change of an existing object, the
// head (type, folder, title) it read; over the network that is only what the
// client says. Before any rights decision and any write the commit puts the
// head the repository holds in its place, so that both go by what is stored:
// a change that names another type than the stored one is refused, and a
// declared title or folder changes nothing.
//
// Thread-safety: reads through the caller's connection, inside its
// transaction.
// Ownership: changes the caller's list in place.
#ifndef KORVA_REPORTSERVER_STORE_STORED_HEADS_H_
#define KORVA_REPORTSERVER_STORE_STORED_HEADS_H_

#include <vector>

#include "reportserver/store/object_change.h"
#include "reportserver/store/sqlite_db.h"
#include "reportserver/store/store_session.h"

namespace korva {

// Puts into each change of an existing object the head the repository holds
// now. Refused: a change whose declared type (its plugin or its head's)
// differs from the stored one (badRequest); a change of an object that is
// gone (failed, "The Folder 12 no longer exists.", as the writer says). A
// removal of an object that is gone stays: there is nothing to delete, and
// (*gone)[i] is set for it so that no rights decision is asked for it.
StoreStatus takeStoredHeads(Database& db, const SessionFacts& facts,
                            std::vector<ObjectChange>* changes, std::vector<bool>* gone);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_STORED_HEADS_H_
