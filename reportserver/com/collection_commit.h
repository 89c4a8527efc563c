// The commit of a collection: its objects' pending changes (new objects,
// changed fields, attached files, rights and removals) go to the session's
// store in one request, stored all or nothing. On failure nothing is stored
// and the collection keeps its pending changes; on success the objects hold
// what was stored and the removed ones leave the collection.
//
// Thread-safety: one thread at a time per session.
#ifndef KORVA_REPORTSERVER_COM_COLLECTION_COMMIT_H_
#define KORVA_REPORTSERVER_COM_COLLECTION_COMMIT_H_

#include "platform/com.h"

namespace korva {

class InfoObjectsImpl;

HRESULT commitCollection(InfoObjectsImpl& collection);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_COLLECTION_COMMIT_H_
