// CMAHandlerPublish: the element handlers of the publish instructions file.
//
// Thread-safety and ownership: see handler_publish.h.
#include "instructions/handler_publish.h"

#include <cwchar>
#include <iterator>
#include <new>
#include <utility>

#include "common/action_log.h"
#include "common/status.h"

namespace {

// Whole, case-sensitive match of a qualified name (not terminated) with a name.
bool isElement(const wchar_t* qName, int qNameLen, const wchar_t* name) {
  const size_t len = std::wcslen(name);
  return qName && qNameLen >= 0 && static_cast<size_t>(qNameLen) == len &&
         std::wmemcmp(qName, name, len) == 0;
}

}  // namespace

CMAHandlerPublish::~CMAHandlerPublish() = default;

int CMAHandlerPublish::initialize(const char* name, const char* user, const char* pass,
                                  const char* auth) {
  section = SectionNone;
  try {
    defApsName = name ? name : "";
    defApsUser = user ? user : "";
    defApsPass = pass ? pass : "";
    defApsAuth = auth ? auth : "";
    for (SAnsiString* s : {&apsName, &apsUser, &apsPass, &apsAuth, &usersPass, &usersFull,
                           &usersDesc, &usersNamed, &usersRight, &usersOverwrite, &foldersDesc,
                           &foldersOverwrite, &reportsDesc, &reportsIcon, &reportsOverwrite}) {
      *s = SAnsiString();
    }
  } catch (...) {
    ActionLog::logStatusLine(kStatusOutOfMemory, KORVA_ERROR KORVA_CTX_CONFIG
                             "Error occurred while initializing XML handler.");
    return kStatusOutOfMemory;
  }
  userMap.removeAll();
  folderMap.removeAll();
  reportMap.removeAll();
  return kStatusOk;
}

HRESULT CMAHandlerPublish::startElement(const wchar_t*, int, const wchar_t*, int,
                                        const wchar_t* qName, int qNameLen,
                                        ISAXAttributes* attributes) {
  struct Handler {
    const wchar_t* name;
    const char* element;
    int (CMAHandlerPublish::*handle)(ISAXAttributes*);
  };
  static const Handler kHandlers[] = {
      {L"publish", "publish", &CMAHandlerPublish::onPublish},
      {L"users", "users", &CMAHandlerPublish::onUsers},
      {L"user", "user", &CMAHandlerPublish::onUser},
      {L"folders", "folders", &CMAHandlerPublish::onFolders},
      {L"folder", "folder", &CMAHandlerPublish::onFolder},
      {L"reports", "reports", &CMAHandlerPublish::onReports},
      {L"report", "report", &CMAHandlerPublish::onReport},
  };
  for (const Handler& h : kHandlers) {
    if (!isElement(qName, qNameLen, h.name)) continue;
    int status;
    try {
      status = (this->*h.handle)(attributes);
    } catch (...) {
      // Nothing may escape into the reader: it would cross its C callbacks.
      status = elementFailed(h.element);
    }
    return status == kStatusOk ? S_OK : E_FAIL;
  }
  return S_OK;
}

HRESULT CMAHandlerPublish::endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*,
                                      int) {
  return S_OK;
}

int CMAHandlerPublish::readAttributes(ISAXAttributes* attributes, const AttributeField* fields,
                                      int count) {
  for (int i = 0; i < count; ++i) {
    const int status =
        readAttribute(attributes, fields[i].name, fields[i].defaultValue, fields[i].out);
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

int CMAHandlerPublish::onPublish(ISAXAttributes* attributes) {
  section = SectionPublish;
  const AttributeField fields[] = {
      {"apsname", defApsName.getBuffer(), &apsName},
      {"apsuser", defApsUser.getBuffer(), &apsUser},
      {"apspass", defApsPass.getBuffer(), &apsPass},
      {"apsauth", defApsAuth.getBuffer(), &apsAuth},
  };
  return readAttributes(attributes, fields, static_cast<int>(std::size(fields)));
}

int CMAHandlerPublish::onUsers(ISAXAttributes* attributes) {
  section = SectionUsers;
  const AttributeField fields[] = {
      {"pass", "", &usersPass},    {"full", "", &usersFull},   {"desc", "", &usersDesc},
      {"named", "0", &usersNamed}, {"right", "", &usersRight}, {"overwrite", "1", &usersOverwrite},
  };
  return readAttributes(attributes, fields, static_cast<int>(std::size(fields)));
}

int CMAHandlerPublish::onFolders(ISAXAttributes* attributes) {
  section = SectionFolders;
  const AttributeField fields[] = {
      {"desc", "", &foldersDesc},
      {"overwrite", "1", &foldersOverwrite},
  };
  return readAttributes(attributes, fields, static_cast<int>(std::size(fields)));
}

int CMAHandlerPublish::onReports(ISAXAttributes* attributes) {
  section = SectionReports;
  const AttributeField fields[] = {
      {"desc", "", &reportsDesc},
      {"icon", "", &reportsIcon},
      {"overwrite", "1", &reportsOverwrite},
  };
  return readAttributes(attributes, fields, static_cast<int>(std::size(fields)));
}

int CMAHandlerPublish::onUser(ISAXAttributes* attributes) {
  if (!inSection(SectionUsers, "user", "users")) return kStatusOk;
  std::unique_ptr<CMAMetaUserObj> user(new (std::nothrow) CMAMetaUserObj);
  if (!user) return elementFailed("user");
  const AttributeField fields[] = {
      {"name", "", &user->name},
      {"pass", usersPass.getBuffer(), &user->pass},
      {"full", usersFull.getBuffer(), &user->full},
      {"desc", usersDesc.getBuffer(), &user->desc},
      {"named", usersNamed.getBuffer(), &user->named},
      {"right", usersRight.getBuffer(), &user->right},
      {"overwrite", usersOverwrite.getBuffer(), &user->overwrite},
  };
  const int status = readAttributes(attributes, fields, static_cast<int>(std::size(fields)));
  if (status != kStatusOk) return status;
  return storeEntry(std::move(user), userMap, "user");
}

int CMAHandlerPublish::onFolder(ISAXAttributes* attributes) {
  if (!inSection(SectionFolders, "folder", "folders")) return kStatusOk;
  std::unique_ptr<CMAMetaFolderObj> folder(new (std::nothrow) CMAMetaFolderObj);
  if (!folder) return elementFailed("folder");
  const AttributeField fields[] = {
      {"name", "", &folder->name},
      {"desc", foldersDesc.getBuffer(), &folder->desc},
      {"overwrite", foldersOverwrite.getBuffer(), &folder->overwrite},
  };
  const int status = readAttributes(attributes, fields, static_cast<int>(std::size(fields)));
  if (status != kStatusOk) return status;
  return storeEntry(std::move(folder), folderMap, "folder");
}

int CMAHandlerPublish::onReport(ISAXAttributes* attributes) {
  if (!inSection(SectionReports, "report", "reports")) return kStatusOk;
  std::unique_ptr<CMAMetaReportObj> report(new (std::nothrow) CMAMetaReportObj);
  if (!report) return elementFailed("report");
  const AttributeField fields[] = {
      {"name", "", &report->name},
      {"title", "", &report->title},
      {"desc", reportsDesc.getBuffer(), &report->desc},
      {"icon", reportsIcon.getBuffer(), &report->icon},
      {"overwrite", reportsOverwrite.getBuffer(), &report->overwrite},
  };
  const int status = readAttributes(attributes, fields, static_cast<int>(std::size(fields)));
  if (status != kStatusOk) return status;
  return storeEntry(std::move(report), reportMap, "report");
}

bool CMAHandlerPublish::inSection(int32_t wanted, const char* element, const char* sectionElement) {
  if (section == wanted) return true;
  ActionLog::logLine(KORVA_WARN KORVA_CTX_CONFIG
                     "The element \"%s\", which does not appear within \"%s\", is skipped.",
                     element, sectionElement);
  return false;
}

int CMAHandlerPublish::storeEntry(std::unique_ptr<CMAMetaObj> object, CMAMetaObjMap& map,
                                  const char* element) {
  if (object->getName().isEmpty()) {
    ActionLog::logLine(KORVA_WARN KORVA_CTX_CONFIG
                       "The element \"%s\", which misses the \"%s\" attribute, is skipped.",
                       element, "name");
    return kStatusOk;
  }
  if (!map.add(object.get())) return elementFailed(element);
  object.release();  // the map owns it now
  return kStatusOk;
}

int CMAHandlerPublish::elementFailed(const char* element) {
  ActionLog::logStatusLine(
      kStatusOutOfMemory,
      KORVA_ERROR KORVA_CTX_CONFIG "Error occurred while parsing the element \"%s\".", element);
  return kStatusOutOfMemory;
}
