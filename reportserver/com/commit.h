// Storing what is pending in a collection: new objects, changed fields,
// attached files, rights and removals, in one transaction, all or nothing.
// On failure nothing is stored and the collection keeps its pending changes.
// Attached report files are read before the write lock is taken; a change the
// session's user may not make (access_rules.h) refuses the whole commit.
//
// Thread-safety: one thread at a time per session; other processes and
// sessions are kept out by the repository's write lock (BEGIN IMMEDIATE, with
// the busy timeout).
#ifndef KORVA_REPORTSERVER_COM_COMMIT_H_
#define KORVA_REPORTSERVER_COM_COMMIT_H_

#include "platform/com.h"

namespace korva {

class InfoObjectsImpl;

// The description of a refused change to users or rights.
extern const char kAccessDeniedDescription[];

HRESULT commitCollection(InfoObjectsImpl& collection);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_COMMIT_H_
