// CMAVEObjV85's queries and lookups: lists of objects of one type, one object
// by id, one object by title within a list, and the id of a folder or report
// by name under a parent. Users are system objects (CI_SYSTEMOBJECTS),
// folders and reports info objects (CI_INFOOBJECTS).
//
// These five query operations write their closing line with the status as it
// stood and only then settle it, so that the server's detail text follows
// the closing line; the two lookups by name settle first, as the other
// operations of the class do.
//
// Thread-safety: as the class (one thread per instance).
// Ownership: collections and objects handed back belong to the caller; the
// out parameters are emptied first, so a failed call never leaves a stale
// reference behind.
#include <cwchar>
#include <new>
#include <string>

#include "com/bstr.h"
#include "com/ref.h"
#include "common/action_log.h"
#include "common/status.h"
#include "server/ve_obj_v85.h"

using korva::Bstr;
using korva::InfoObject;
using korva::InfoObjects;
using korva::Ref;

namespace {

// Room for the longest query text with its two numbers.
constexpr size_t kQueryChars = 128;

}  // namespace

Ref<InfoObjects> CMAVEObjV85::select(int* status, const wchar_t* format, int32_t first,
                                     int32_t second, int buildFailure) {
  Bstr query;
  try {
    wchar_t buffer[kQueryChars];
    std::swprintf(buffer, kQueryChars, format, static_cast<int>(first), static_cast<int>(second));
    const SWCharString text = buffer;
    query = Bstr(text.getBuffer(), static_cast<size_t>(text.getNChars()));
    if (!query.get()) throw std::bad_alloc();
  } catch (...) {
    fail(status, buildFailure);
  }
  Ref<InfoObjects> result;
  if (!infoStore_) fail(status, kStatusLogical);
  if (FAILED(infoStore_->query(query, result.put())) || !result) fail(status, kStatusServer);
  return result;
}

int CMAVEObjV85::querySystemObjectsByType(int16_t type, Ref<InfoObjects>* out) {
  int status = kStatusOk;
  if (out) out->reset();
  try {
    // A text that cannot be built is a failure of this operation's own (202),
    // not out of memory as for the other queries.
    Ref<InfoObjects> result = select(&status, L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_OBTYPE=%d",
                                     type, 0, kStatusLogical);
    if (out) *out = result;
    return kStatusOk;
  } catch (...) {
  }
  ActionLog::logStatusLine(status,
                           KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain the list of system objects of type %d.",
                           static_cast<int>(type));
  return settle(status);
}

int CMAVEObjV85::queryChildren(int16_t type, int32_t parentId, Ref<InfoObjects>* out) {
  int status = kStatusOk;
  if (out) out->reset();
  try {
    Ref<InfoObjects> result =
        select(&status, L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=%d AND SI_OBTYPE=%d",
               parentId, type);
    if (out) *out = result;
    return kStatusOk;
  } catch (...) {
  }
  ActionLog::logStatusLine(status,
                           KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain the list of info objects of type %d belonging to "
                           "parent %d.",
                           static_cast<int>(type), static_cast<int>(parentId));
  return settle(status);
}

int CMAVEObjV85::getSystemObjectById(int32_t id, Ref<InfoObject>* object,
                                     Ref<InfoObjects>* collection) {
  return getObjectById(L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_ID=%d", "system", id, object,
                       collection);
}

int CMAVEObjV85::getInfoObjectById(int32_t id, Ref<InfoObject>* object,
                                   Ref<InfoObjects>* collection) {
  return getObjectById(L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=%d", "info", id, object,
                       collection);
}

int CMAVEObjV85::getObjectById(const wchar_t* query, const char* kind, int32_t id,
                               Ref<InfoObject>* object, Ref<InfoObjects>* collection) {
  int status = kStatusOk;
  Ref<InfoObjects> found;
  Ref<InfoObject> item;
  if (object) object->reset();
  if (collection) collection->reset();
  try {
    found = select(&status, query, id);
    // The collection is what a later commit goes through.
    if (collection) *collection = found;

    LONG count = 0;
    if (FAILED(found->count(&count))) fail(&status, kStatusServer);
    if (count != 1) fail(&status, kStatusLogical);

    if (FAILED(korva::itemAs(found.get(), 1, &item)) || !item) {
      fail(&status, kStatusServer);
    }
    if (object) *object = item;
    return kStatusOk;
  } catch (...) {
  }
  ActionLog::logStatusLine(
      status, KORVA_ERROR KORVA_CTX_PUBLISH "Failed to obtain the %s object with id %d.", kind,
      static_cast<int>(id));
  return settle(status);
}

int CMAVEObjV85::findByName(const char* name, InfoObjects* collection, Ref<InfoObject>* out) {
  int status = kStatusOk;
  if (out) out->reset();
  try {
    if (!collection) fail(&status, kStatusLogical);
    LONG count = 0;
    if (FAILED(collection->count(&count))) fail(&status, kStatusServer);
    SWCharString wide = toWide(name);
    const std::wstring wanted(wide.getBuffer(), static_cast<size_t>(wide.getNChars()));

    for (LONG i = 1; i <= count; ++i) {
      // A query's items are info objects.
      Ref<InfoObject> item;
      if (FAILED(korva::itemAs(collection, i, &item)) || !item) fail(&status, kStatusServer);
      Bstr title;
      if (FAILED(item->title(title.put()))) fail(&status, kStatusServer);
      // Exact and case-sensitive; the first match in the server's order wins.
      if (title.str() == wanted) {
        if (out) *out = item;
        break;
      }
    }
    return kStatusOk;
  } catch (...) {
  }
  ActionLog::logStatusLine(
      status, KORVA_ERROR KORVA_CTX_PUBLISH "Failed to obtain the info object with name %s.",
      text(name));
  return settle(status);
}

int CMAVEObjV85::getFolder(const char* name, int32_t parentId, int32_t* id) {
  return getObject("folder", folderTypeId_, name, parentId, id);
}

int CMAVEObjV85::getReport(const char* name, int32_t parentId, int32_t* id) {
  return getObject("report", reportTypeId_, name, parentId, id);
}

int CMAVEObjV85::getObject(const char* kind, int16_t typeId, const char* name, int32_t parentId,
                           int32_t* id) {
  int status = kStatusOk;
  try {
    Ref<InfoObjects> children;
    if (queryChildren(typeId, parentId, &children) != kStatusOk) fail(&status, kStatusLogical);
    Ref<InfoObject> object;
    if (findByName(name, children.get(), &object) != kStatusOk) fail(&status, kStatusLogical);
    if (!object) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to get %s %s as the %s does not exist.",
                         kind, text(name), kind);
      fail(&status, kStatusLogical);
    }
    LONG value = 0;
    if (FAILED(object->id(&value))) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH "Failed to obtain id of the %s %s.", kind,
                         text(name));
      fail(&status, kStatusServer);
    }
    if (id) *id = value;
    return kStatusOk;
  } catch (...) {
  }
  status = settle(status);
  // Written without the status suffix.
  ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH "Failed to get %s %s from Veltrane Enterprise.",
                     kind, text(name));
  return status;
}
