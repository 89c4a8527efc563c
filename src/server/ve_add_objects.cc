// CMAVEObjV85's adding and updating: a user, a folder or a report is created,
// or the existing one is updated when the caller allows it, and its id is
// handed back. The overwrite flag comes back true for an update and false for
// a new object; the runner counts the outcome from it.
//
// Fatal steps end the operation with their status; warning steps write their
// WARN line and the server's detail text and go on, so the object is still
// committed without the value that failed. Nothing reaches the server before
// the commit.
//
// Thread-safety: as the class (one thread per instance).
// Ownership: every reference taken here is a local Ref, dropped on every
// path; dropping the collection uncommitted discards its pending changes.
#include <cstring>
#include <cwchar>
#include <string>

#include "com/bstr.h"
#include "com/ref.h"
#include "com/variant.h"
#include "common/action_log.h"
#include "common/status.h"
#include "server/ve_obj_v85.h"

using korva::InfoObject;
using korva::InfoObjects;
using korva::Ref;
using korva::ReportFiles;
using korva::ReportObject;
using korva::UserObject;
using korva::Variant;

namespace {

bool given(const char* s) { return s && *s; }

// Room for the longest lookup text with its two numbers.
constexpr size_t kQueryChars = 128;

}  // namespace

bool CMAVEObjV85::addedMeanwhile(const AddedIn& where, const char* name) {
  try {
    wchar_t buffer[kQueryChars];
    if (where.system) {
      std::swprintf(buffer, kQueryChars, L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_OBTYPE=%d",
                    static_cast<int>(where.typeId));
    } else {
      std::swprintf(buffer, kQueryChars,
                    L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=%d AND SI_OBTYPE=%d",
                    static_cast<int>(where.parentId), static_cast<int>(where.typeId));
    }
    Ref<InfoObjects> found;
    LONG count = 0;
    if (!infoStore_ || FAILED(infoStore_->query(wideBstr(buffer), found.put())) || !found ||
        FAILED(found->count(&count))) {
      return false;
    }
    const SWCharString wide = toWide(name);
    const std::wstring wanted(wide.getBuffer(), static_cast<size_t>(wide.getNChars()));
    for (LONG i = 1; i <= count; ++i) {
      Ref<InfoObject> item;
      korva::Bstr title;
      if (FAILED(korva::itemAs(found.get(), i, &item)) || !item ||
          FAILED(item->title(title.put()))) {
        return false;
      }
      if (title.str() == wanted) return true;
    }
  } catch (...) {
  }
  return false;
}

bool CMAVEObjV85::commitAdded(const char* kind, const char* name, InfoObjects* list,
                              InfoObject* object, bool updating, const AddedIn* lookAgain,
                              int32_t* id, int* status) {
  if (FAILED(infoStore_->commit(list))) {
    // Another run may have stored the same name between this one's lookup
    // and its commit (the server refuses the twin): that object counts as
    // found, as if it had been there at the lookup.
    if (lookAgain && addedMeanwhile(*lookAgain, name)) return false;
    ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                       "Failed to commit %s changes while adding %s %s.",
                       kind, kind, name);
    fail(status, kStatusServer);
  }
  LONG value = 0;
  if (FAILED(object->id(&value))) {
    ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH "Failed to obtain id of the %s %s.", kind,
                       name);
    fail(status, kStatusServer);
  }
  if (id) *id = value;
  ActionLog::logLine(KORVA_INFO KORVA_CTX_PUBLISH
                     "Successfully %s %s %s with id %d to Veltrane Enterprise.",
                     updating ? "updated" : "added", kind, name, static_cast<int>(value));
  return true;
}

int CMAVEObjV85::addUser(const char* name, const char* fullName, const char* description,
                         const char* password, const char* named, bool* overwrite, int32_t* id) {
  const char* userName = text(name);
  bool unused = false;
  bool& updating = overwrite ? *overwrite : unused;
  const bool mayUpdate = updating;
  int status = kStatusOk;
  try {
    // A second round only when another run stored the name meanwhile.
    for (bool firstLookup = true;; firstLookup = false) {
      updating = mayUpdate;
      Ref<InfoObjects> users;
      if (querySystemObjectsByType(userTypeId_, &users) != kStatusOk) {
        fail(&status, kStatusLogical);
      }
      Ref<InfoObject> user;
      if (findByName(userName, users.get(), &user) != kStatusOk) fail(&status, kStatusLogical);

      if (user) {
        if (!updating) {
          ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                             "Failed to add user %s as the user already exists.",
                             userName);
          fail(&status, kStatusLogical);
        }
        updating = true;
      } else {
        if (FAILED(users->add(userPlugin_.get(), user.put())) || !user) {
          ActionLog::logLine(
              KORVA_ERROR KORVA_CTX_PUBLISH "Failed to add user %s to the user list.", userName);
          fail(&status, kStatusServer);
        }
        if (FAILED(user->setTitle(toBstr(userName)))) {
          ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH "Failed to set the name of user %s.",
                             userName);
          fail(&status, kStatusServer);
        }
        updating = false;
      }

      Ref<UserObject> account;
      if (FAILED(user.query(&account)) || !account) {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain user object interface while adding user %s.",
                           userName);
        fail(&status, kStatusLogical);
      }

      if (given(description) && FAILED(user->setDescription(toBstr(description)))) {
        ActionLog::logLine(KORVA_WARN KORVA_CTX_PUBLISH "Unable to set the description of user %s.",
                           userName);
        logErrorDetail();
      }
      if (given(fullName) && FAILED(account->setFullName(toBstr(fullName)))) {
        ActionLog::logLine(KORVA_WARN KORVA_CTX_PUBLISH "Unable to set the full name of user %s.",
                           userName);
        logErrorDetail();
      }
      if (given(password) && FAILED(account->setPassword(toBstr(password)))) {
        ActionLog::logLine(KORVA_WARN KORVA_CTX_PUBLISH "Unable to set the password of user %s.",
                           userName);
        logErrorDetail();
      }
      for (int option = 1; option <= 3; ++option) {
        HRESULT hr = option == 1   ? account->setPasswordOption1(VARIANT_FALSE)
                     : option == 2 ? account->setPasswordOption2(VARIANT_FALSE)
                                   : account->setPasswordOption3(VARIANT_FALSE);
        if (FAILED(hr)) {
          ActionLog::logLine(
              KORVA_WARN KORVA_CTX_PUBLISH "Unable to set password property of user %s.", userName);
          logErrorDetail();
        }
      }
      // Only the text "1" marks a named user.
      const LONG licenseType = (named && std::strcmp(named, "1") == 0) ? 0 : 1;
      if (FAILED(account->setLicenseType(licenseType))) {
        ActionLog::logLine(
            KORVA_WARN KORVA_CTX_PUBLISH "Unable to set license property of user %s.", userName);
        logErrorDetail();
      }

      const AddedIn where = AddedIn{true, userTypeId_, 0};
      if (commitAdded("user", userName, users.get(), user.get(), updating,
                      firstLookup && !updating ? &where : nullptr, id, &status)) {
        return kStatusOk;
      }
    }
  } catch (...) {
  }
  status = settle(status);
  ActionLog::logStatusLine(
      status, KORVA_ERROR KORVA_CTX_PUBLISH "Failed to add user %s to Veltrane Enterprise.",
      userName);
  return status;
}

int CMAVEObjV85::addFolder(const char* name, const char* description, bool* overwrite,
                           int32_t parentId, int32_t* id) {
  const char* folderName = text(name);
  bool unused = false;
  bool& updating = overwrite ? *overwrite : unused;
  const bool mayUpdate = updating;
  int status = kStatusOk;
  try {
    // A second round only when another run stored the name meanwhile.
    for (bool firstLookup = true;; firstLookup = false) {
      updating = mayUpdate;
      Ref<InfoObjects> folders;
      if (queryChildren(folderTypeId_, parentId, &folders) != kStatusOk) {
        fail(&status, kStatusLogical);
      }
      Ref<InfoObject> folder;
      if (findByName(folderName, folders.get(), &folder) != kStatusOk) {
        fail(&status, kStatusLogical);
      }

      if (folder) {
        if (!updating) {
          ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                             "Failed to add folder %s as the folder already exists.",
                             folderName);
          fail(&status, kStatusLogical);
        }
        updating = true;
      } else {
        if (FAILED(folders->add(folderPlugin_.get(), folder.put())) || !folder) {
          ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                             "Failed to add folder %s to the folder list.",
                             folderName);
          fail(&status, kStatusServer);
        }
        if (FAILED(folder->setTitle(toBstr(folderName)))) {
          ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH "Failed to set the name of folder %s.",
                             folderName);
          fail(&status, kStatusServer);
        }
        if (FAILED(folder->setProperty(wideBstr(L"SI_PARENTID"), Variant::fromInt(parentId)))) {
          ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                             "Failed to set the parent id of folder %s to %d.",
                             folderName, static_cast<int>(parentId));
          fail(&status, kStatusServer);
        }
        updating = false;
      }

      if (given(description) && FAILED(folder->setDescription(toBstr(description)))) {
        ActionLog::logLine(
            KORVA_WARN KORVA_CTX_PUBLISH "Unable to set the description of folder %s.", folderName);
        logErrorDetail();
      }

      const AddedIn where = AddedIn{false, folderTypeId_, parentId};
      if (commitAdded("folder", folderName, folders.get(), folder.get(), updating,
                      firstLookup && !updating ? &where : nullptr, id, &status)) {
        return kStatusOk;
      }
    }
  } catch (...) {
  }
  status = settle(status);
  ActionLog::logStatusLine(
      status, KORVA_ERROR KORVA_CTX_PUBLISH "Failed to add folder %s to Veltrane Enterprise.",
      folderName);
  return status;
}

int CMAVEObjV85::addReport(const char* title, const char* description, const char* icon,
                           const char* filePath, bool thumbnail, bool* overwrite, int32_t parentId,
                           int32_t* id) {
  // A report without a title is named by its file in every line.
  const bool titled = given(title);
  const char* path = text(filePath);
  const char* reportName = titled ? title : path;
  bool unused = false;
  bool& updating = overwrite ? *overwrite : unused;
  const bool mayUpdate = updating;
  int status = kStatusOk;
  try {
    // A second round only when another run stored the name meanwhile.
    for (bool firstLookup = true;; firstLookup = false) {
      updating = mayUpdate;
      Ref<InfoObjects> reports;
      if (queryChildren(reportTypeId_, parentId, &reports) != kStatusOk) {
        fail(&status, kStatusLogical);
      }
      // Without a title there is nothing to look up: a new report is added.
      Ref<InfoObject> report;
      if (titled && findByName(title, reports.get(), &report) != kStatusOk) {
        fail(&status, kStatusLogical);
      }

      if (report) {
        if (!updating) {
          ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                             "Failed to add report %s as the report already exists.",
                             reportName);
          fail(&status, kStatusLogical);
        }
        updating = true;
      } else {
        if (FAILED(reports->add(reportPlugin_.get(), report.put())) || !report) {
          ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                             "Failed to add report %s to the report list.",
                             reportName);
          fail(&status, kStatusServer);
        }
        if (FAILED(report->setProperty(wideBstr(L"SI_PARENTID"), Variant::fromInt(parentId)))) {
          ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                             "Failed to set the parent id of report %s to %d.",
                             reportName, static_cast<int>(parentId));
          fail(&status, kStatusServer);
        }
        if (titled && FAILED(report->setTitle(toBstr(title)))) {
          ActionLog::logLine(KORVA_WARN KORVA_CTX_PUBLISH "Unable to set the name of report %s.",
                             reportName);
          logErrorDetail();
        }
        updating = false;
      }

      Ref<ReportFiles> files;
      if (FAILED(report->files(files.put())) || !files) {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain the list of files associated to report %s.",
                           reportName);
        fail(&status, kStatusServer);
      }
      {
        // The file becomes the report's content, for new and updated reports.
        Ref<IUnknown> attached;
        if (FAILED(files->addFile(toVariant(path), 1, Variant(), attached.put()))) {
          ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                             "Failed to associate the file %s to report %s.",
                             path, reportName);
          fail(&status, kStatusServer);
        }
      }

      Ref<ReportObject> content;
      if (FAILED(report.query(&content)) || !content) {
        // A missing interface is not a refusal of the server: no detail text.
        ActionLog::logLine(KORVA_WARN KORVA_CTX_PUBLISH
                           "Unable to obtain report object interface while adding report %s.",
                           reportName);
      } else if (FAILED(content->setThumbnail(thumbnail ? VARIANT_TRUE : VARIANT_FALSE))) {
        ActionLog::logLine(KORVA_WARN KORVA_CTX_PUBLISH
                           "Unable to set thumbnail property of report %s.",
                           reportName);
        logErrorDetail();
      }

      if (given(description) && FAILED(report->setDescription(toBstr(description)))) {
        ActionLog::logLine(
            KORVA_WARN KORVA_CTX_PUBLISH "Unable to set the description of report %s.", reportName);
        logErrorDetail();
      }
      if (given(icon) && FAILED(report->setProperty(wideBstr(L"SI_REPORTTYPE"), toVariant(icon)))) {
        ActionLog::logLine(KORVA_WARN KORVA_CTX_PUBLISH
                           "Unable to set the icon property of report %s.",
                           reportName);
        logErrorDetail();
      }

      const AddedIn where = AddedIn{false, reportTypeId_, parentId};
      if (commitAdded("report", reportName, reports.get(), report.get(), updating,
                      firstLookup && titled && !updating ? &where : nullptr, id, &status)) {
        return kStatusOk;
      }
    }
  } catch (...) {
  }
  status = settle(status);
  ActionLog::logStatusLine(
      status, KORVA_ERROR KORVA_CTX_PUBLISH "Failed to add report %s to Veltrane Enterprise.",
      reportName);
  return status;
}
