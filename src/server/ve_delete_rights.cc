// CMAVEObjV85's deleting and rights: removing one folder (with everything
// under it) or one report, found by its title under a parent, and granting
// one user one of five rights on one object.
//
// Thread-safety: as the class (one thread per instance).
// Ownership: every reference taken here is a local Ref, dropped on every
// path; setRight declares its references in the order it takes them, so they
// are dropped in the reverse order.
#include <cstring>

#include "com/ref.h"
#include "com/variant.h"
#include "common/action_log.h"
#include "common/status.h"
#include "server/ve_obj_v85.h"

using korva::InfoObject;
using korva::InfoObjects;
using korva::Ref;
using korva::SecurityInfo;
using korva::SecurityPrincipal;
using korva::SecurityPrincipals;
using korva::Variant;

namespace {

struct Right {
  const char* name;
  LONG role;
};

// Compared in this order, case-sensitive.
constexpr Right kRights[] = {
    {"NoAccess", 1}, {"View", 2}, {"Schedule", 3}, {"ViewOnDemand", 4}, {"FullControl", 5}};

}  // namespace

int CMAVEObjV85::deleteFolder(const char* name, int32_t parentId) {
  return deleteObject("folder", folderTypeId_, name, parentId);
}

int CMAVEObjV85::deleteReport(const char* name, int32_t parentId) {
  return deleteObject("report", reportTypeId_, name, parentId);
}

int CMAVEObjV85::deleteObject(const char* kind, int16_t typeId, const char* name,
                              int32_t parentId) {
  const char* objectName = text(name);
  int status = kStatusOk;
  try {
    Ref<InfoObjects> children;
    if (queryChildren(typeId, parentId, &children) != kStatusOk) fail(&status, kStatusLogical);
    Ref<InfoObject> object;
    if (findByName(objectName, children.get(), &object) != kStatusOk) {
      fail(&status, kStatusLogical);
    }
    if (!object) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to delete %s %s as the %s does not exist.",
                         kind, objectName, kind);
      fail(&status, kStatusLogical);
    }
    // The variant holds its own reference to the object for the call.
    if (FAILED(children->remove(Variant::fromObject(object.get())))) {
      // A report, too, is removed from "the folder list".
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to delete %s %s from the folder list.",
                         kind, objectName);
      fail(&status, kStatusServer);
    }
    if (FAILED(infoStore_->commit(children.get()))) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to commit %s changes while deleting %s %s.",
                         kind, kind, objectName);
      fail(&status, kStatusServer);
    }
    ActionLog::logLine(KORVA_INFO KORVA_CTX_PUBLISH
                       "Successfully deleted %s %s from Veltrane Enterprise.",
                       kind, objectName);
    return kStatusOk;
  } catch (...) {
  }
  status = settle(status);
  // Written without the status suffix.
  ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                     "Failed to delete %s %s from Veltrane Enterprise.",
                     kind, objectName);
  return status;
}

int CMAVEObjV85::setRight(int32_t objectId, int32_t userId, const char* rightName) {
  const char* right = text(rightName);
  int status = kStatusOk;
  // In the order they are taken, so that they are dropped in reverse.
  Ref<InfoObjects> objects;
  Ref<InfoObject> object;
  Ref<InfoObjects> users;
  Ref<InfoObject> user;
  Ref<SecurityInfo> security;
  Ref<SecurityPrincipals> principals;
  Ref<SecurityPrincipal> principal;
  try {
    LONG role = 0;
    for (const Right& r : kRights) {
      if (std::strcmp(right, r.name) == 0) {
        role = r.role;
        break;
      }
    }
    if (role == 0) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to set right as the specified right %s is not valid.",
                         right);
      fail(&status, kStatusLogical);
    }

    if (getInfoObjectById(objectId, &object, &objects) != kStatusOk) {
      fail(&status, kStatusLogical);
    }
    // The user is only checked to exist.
    if (getSystemObjectById(userId, &user, &users) != kStatusOk) fail(&status, kStatusLogical);

    if (FAILED(object->securityInfo(security.put())) || !security) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain security information while setting the right for "
                         "object %d.",
                         static_cast<int>(objectId));
      fail(&status, kStatusServer);
    }
    if (FAILED(security->principals(principals.put())) || !principals) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain security principals while setting the right for "
                         "object %d.",
                         static_cast<int>(objectId));
      fail(&status, kStatusServer);
    }
    if (FAILED(principals->addPrincipal(userId, principal.put())) || !principal) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to add security principal while setting the right for "
                         "object %d.",
                         static_cast<int>(objectId));
      fail(&status, kStatusServer);
    }
    if (FAILED(principal->setRole(role))) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to set security principal role while setting the right for "
                         "object %d.",
                         static_cast<int>(objectId));
      fail(&status, kStatusServer);
    }
    if (FAILED(infoStore_->commit(objects.get()))) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to commit changes while setting the right for object %d.",
                         static_cast<int>(objectId));
      fail(&status, kStatusServer);
    }
    ActionLog::logLine(KORVA_INFO KORVA_CTX_PUBLISH
                       "Successfully set the right to %s on object %d for user %d.",
                       right, static_cast<int>(objectId), static_cast<int>(userId));
    return kStatusOk;
  } catch (...) {
  }
  status = settle(status);
  ActionLog::logStatusLine(status,
                           KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to set the right to %s on object %d for user %d.",
                           right, static_cast<int>(objectId), static_cast<int>(userId));
  return status;
}
