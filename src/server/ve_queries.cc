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
#include <string>

#include "actions/action_log.h"
#include "actions/status.h"
#include "server/ve_obj_v85.h"

using korva::failed;
using korva::InfoObject;
using korva::InfoObjects;
using korva::Ref;
using korva::Variant;

namespace {

const char* text(const char* s) { return s ? s : ""; }

// Appends a number in decimal, with its sign and no padding.
void appendNumber(SWCharString* query, int32_t value) {
  wchar_t digits[16];
  std::swprintf(digits, sizeof digits / sizeof digits[0], L"%d", static_cast<int>(value));
  *query += digits;
}

}  // namespace

int CMAVEObjV85::querySystemObjectsByType(int16_t type, Ref<InfoObjects>* out) {
  int status = kStatusOk;
  Ref<InfoObjects> result;
  if (out) out->reset();
  try {
    SWCharString query;
    try {
      query = L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_OBTYPE=";
      appendNumber(&query, type);
    } catch (...) {
      fail(&status, kStatusOutOfMemory);
    }
    if (!infoStore_) fail(&status, kStatusLogical);
    if (failed(infoStore_->query(query.getBuffer(), &result)) || !result) {
      fail(&status, kStatusServer);
    }
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
  Ref<InfoObjects> result;
  if (out) out->reset();
  try {
    SWCharString query;
    try {
      query = L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=";
      appendNumber(&query, parentId);
      query += L" AND SI_OBTYPE=";
      appendNumber(&query, type);
    } catch (...) {
      fail(&status, kStatusOutOfMemory);
    }
    if (!infoStore_) fail(&status, kStatusLogical);
    if (failed(infoStore_->query(query.getBuffer(), &result)) || !result) {
      fail(&status, kStatusServer);
    }
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
  return getObjectById(true, id, object, collection);
}

int CMAVEObjV85::getInfoObjectById(int32_t id, Ref<InfoObject>* object,
                                   Ref<InfoObjects>* collection) {
  return getObjectById(false, id, object, collection);
}

int CMAVEObjV85::getObjectById(bool system, int32_t id, Ref<InfoObject>* object,
                               Ref<InfoObjects>* collection) {
  int status = kStatusOk;
  Ref<InfoObjects> found;
  Ref<InfoObject> item;
  if (object) object->reset();
  if (collection) collection->reset();
  try {
    SWCharString query;
    try {
      query = system ? L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_ID="
                     : L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=";
      appendNumber(&query, id);
    } catch (...) {
      fail(&status, kStatusOutOfMemory);
    }
    if (!infoStore_) fail(&status, kStatusLogical);
    if (failed(infoStore_->query(query.getBuffer(), &found)) || !found) {
      fail(&status, kStatusServer);
    }
    // The collection is what a later commit goes through.
    if (collection) *collection = found;

    int32_t count = 0;
    if (failed(found->count(&count))) fail(&status, kStatusServer);
    if (count != 1) fail(&status, kStatusLogical);

    if (failed(found->item(Variant::fromInt(1), &item)) || !item) {
      fail(&status, kStatusServer);
    }
    if (object) *object = item;
    return kStatusOk;
  } catch (...) {
  }
  if (system) {
    ActionLog::logStatusLine(
        status, KORVA_ERROR KORVA_CTX_PUBLISH "Failed to obtain the system object with id %d.",
        static_cast<int>(id));
  } else {
    ActionLog::logStatusLine(
        status, KORVA_ERROR KORVA_CTX_PUBLISH "Failed to obtain the info object with id %d.",
        static_cast<int>(id));
  }
  return settle(status);
}

int CMAVEObjV85::findByName(const char* name, InfoObjects* collection, Ref<InfoObject>* out) {
  int status = kStatusOk;
  if (out) out->reset();
  try {
    if (!collection) fail(&status, kStatusLogical);
    int32_t count = 0;
    if (failed(collection->count(&count))) fail(&status, kStatusServer);
    SWCharString wide = toWide(name);
    const std::wstring wanted(wide.getBuffer(), static_cast<size_t>(wide.getNChars()));

    for (int32_t i = 1; i <= count; ++i) {
      Ref<InfoObject> item;
      if (failed(collection->item(Variant::fromInt(i), &item)) || !item) {
        fail(&status, kStatusServer);
      }
      std::wstring title;
      if (failed(item->title(&title))) fail(&status, kStatusServer);
      // Exact and case-sensitive; the first match in the server's order wins.
      if (title == wanted) {
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
  return getObject(true, name, parentId, id);
}

int CMAVEObjV85::getReport(const char* name, int32_t parentId, int32_t* id) {
  return getObject(false, name, parentId, id);
}

int CMAVEObjV85::getObject(bool folder, const char* name, int32_t parentId, int32_t* id) {
  int status = kStatusOk;
  try {
    Ref<InfoObjects> children;
    if (queryChildren(folder ? folderTypeId_ : reportTypeId_, parentId, &children) != kStatusOk) {
      fail(&status, kStatusLogical);
    }
    Ref<InfoObject> object;
    if (findByName(name, children.get(), &object) != kStatusOk) fail(&status, kStatusLogical);
    if (!object) {
      if (folder) {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to get folder %s as the folder does not exist.",
                           text(name));
      } else {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to get report %s as the report does not exist.",
                           text(name));
      }
      fail(&status, kStatusLogical);
    }
    int32_t value = 0;
    if (failed(object->id(&value))) {
      if (folder) {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH "Failed to obtain id of the folder %s.",
                           text(name));
      } else {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH "Failed to obtain id of the report %s.",
                           text(name));
      }
      fail(&status, kStatusServer);
    }
    if (id) *id = value;
    return kStatusOk;
  } catch (...) {
  }
  status = settle(status);
  // Written without the status suffix.
  if (folder) {
    ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                       "Failed to get folder %s from Veltrane Enterprise.",
                       text(name));
  } else {
    ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                       "Failed to get report %s from Veltrane Enterprise.",
                       text(name));
  }
  return status;
}
