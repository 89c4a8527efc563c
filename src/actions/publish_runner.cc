// The publish run: instructions, logon, users, the directory walk, rights and
// the summary, with one log line per step.
#include "actions/publish_runner.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/action_log.h"
#include "common/status.h"
#include "support/path_util.h"

namespace {

const char kDefaultActionName[] = "Publish Custom Action";
const char kDefaultActionDescription[] = "Publishing Veltrane Enterprise Objects...";
const char kDefaultActionTemplate[] = "Publishing the [1] object [2]...";
const char kDefaultUserWord[] = "user";
const char kDefaultFolderWord[] = "folder";
const char kDefaultReportWord[] = "report";

// Installer properties are read into a buffer of this many characters; a
// value that does not fit counts as absent.
constexpr unsigned long kPropertyBufferSize = 512;

// "1" and nothing else permits overwriting (and marks a named user).
bool isOne(const SAnsiString& value) { return std::strcmp(value.getBuffer(), "1") == 0; }

// True when the property could be read; *out then holds its value.
bool readProperty(MSIHANDLE hInstall, const char* name, SAnsiString* out) {
  char buffer[kPropertyBufferSize];
  buffer[0] = '\0';
  unsigned long length = kPropertyBufferSize;
  if (MsiGetPropertyA(hInstall, name, buffer, &length) != ERROR_SUCCESS) return false;
  buffer[kPropertyBufferSize - 1] = '\0';
  *out = buffer;
  return true;
}

// An action text: the property's value when it can be read and is not empty.
SAnsiString actionText(MSIHANDLE hInstall, const char* property, const char* defaultText) {
  SAnsiString value;
  if (hInstall && readProperty(hInstall, property, &value) && !value.isEmpty()) return value;
  return SAnsiString(defaultText);
}

// Writes the line of an entry skipped for the "\" in its name; what names
// the kind of entry ("directory", "report file", "user").
void logSeparatorInName(const char* what, const SAnsiString& name) {
  ActionLog::logLine(KORVA_ERROR KORVA_CTX_ACTION
                     "The %s %s is skipped: its name holds \"\\\", the separator of Veltrane "
                     "Enterprise paths.",
                     what, name.getBuffer());
}

// Counts one object by the outcome of adding it: skipped when that failed,
// else updated or added as the server client's overwrite flag tells.
void countOutcome(int status, bool overwrite, int32_t* added, int32_t* updated, int32_t* skipped) {
  if (status != kStatusOk) {
    ++*skipped;
  } else {
    ++*(overwrite ? updated : added);
  }
}

// The line that names an entry before its directory's failure line.
void logUnreadableEntry(const CMAUnreadableEntry& entry) {
  ActionLog::logLine(KORVA_ERROR KORVA_CTX_ACTION "The directory entry %s cannot be read: %s.",
                     entry.path.getBuffer(), entry.reason.getBuffer());
}

// The users of the instructions in ascending name order; the array belongs
// to the caller. False when they cannot be had.
struct UserList {
  std::unique_ptr<CMAMetaObj*[]> items;
  int count = 0;

  bool load(const CMAMetaObjMap& map) {
    CMAMetaObj** values = nullptr;
    int n = 0;
    if (!map.getValues(&values, &n)) return false;
    items.reset(values);
    count = n;
    return true;
  }
  CMAMetaUserObj* at(int i) const { return dynamic_cast<CMAMetaUserObj*>(items[i]); }
};

}  // namespace

CMARunnerPublish::CMARunnerPublish() = default;
CMARunnerPublish::~CMARunnerPublish() = default;

void CMARunnerPublish::readActionTexts(MSIHANDLE hInstall) {
  counters_ = CMAPublishCounters();
  actionName_ = actionText(hInstall, "CA_VR_ACTNAME", kDefaultActionName);
  actionDescription_ = actionText(hInstall, "CA_VR_ACTDESC", kDefaultActionDescription);
  actionTemplate_ = actionText(hInstall, "CA_VR_ACTTMPL", kDefaultActionTemplate);
  userWord_ = actionText(hInstall, "CA_VR_ACTUSRTAG", kDefaultUserWord);
  folderWord_ = actionText(hInstall, "CA_VR_ACTFLDTAG", kDefaultFolderWord);
  reportWord_ = actionText(hInstall, "CA_VR_ACTRPTTAG", kDefaultReportWord);
}

void CMARunnerPublish::applyPublishDefaults(CMARunSettings* settings) {
  applyCommonDefaults(settings, kLogBaseName);
  if (settings->srcFile.isEmpty() || settings->srcPath.isEmpty()) {
    SAnsiString libraryDir = engineLibraryDirectory();
    if (settings->srcFile.isEmpty()) {
      settings->srcFile = makePath(nullptr, libraryDir.getBuffer(), "publish", ".xml");
    }
    if (settings->srcPath.isEmpty()) settings->srcPath = libraryDir;
  }
}

int CMARunnerPublish::runWithValues(const CMARunValueMap& values) {
  CMARunSettings settings;
  try {
    readRunValues(values, kPublishSettingKeys, &settings);
    applyPublishDefaults(&settings);
  } catch (...) {
    return toInstallerResult(kStatusOutOfMemory);
  }
  int status = publishRun(0, settings.apsName.getBuffer(), settings.apsUser.getBuffer(),
                          settings.apsPass.getBuffer(), settings.apsAuth.getBuffer(),
                          settings.logFile.getBuffer(), settings.srcFile.getBuffer(),
                          settings.srcPath.getBuffer());
  return toInstallerResult(status);
}

int CMARunnerPublish::readInstallerValues(MSIHANDLE hInstall, CMARunSettings* settings) {
  try {
    for (const CMARunSettingKey& k : kPublishSettingKeys) {
      SAnsiString value;
      if (readProperty(hInstall, k.key, &value)) settings->*k.field = value;
    }
    applyPublishDefaults(settings);
  } catch (...) {
    return kStatusOutOfMemory;
  }
  return kStatusOk;
}

unsigned CMARunnerPublish::runAsInstallerAction(MSIHANDLE hInstall) {
  // Publishing belongs to the forward run of a first installation only.
  if (MsiGetMode(hInstall, MSIRUNMODE_ROLLBACK) || MsiGetMode(hInstall, MSIRUNMODE_MAINTENANCE) ||
      MsiGetMode(hInstall, MSIRUNMODE_SCHEDULED)) {
    return 0;
  }
  CMARunSettings settings;
  if (readInstallerValues(hInstall, &settings) != kStatusOk) return 0;

  // The installer is never told of a failure; the log is where an
  // administrator looks, so a run that cannot even start says why there.
  int itemCount = 0;
  CMAUnreadableEntry unreadable;
  int status = countItems(settings.srcPath, &itemCount, &unreadable);
  bool counted = status == kStatusOk;
  if (counted && !CMAInstallerProgress::sendProgressTotal(hInstall, itemCount)) {
    status = kStatusSystem;
  }
  if (status != kStatusOk) {
    ActionLog::open(settings.logFile.getBuffer());
    if (!counted) {
      if (!unreadable.path.isEmpty()) logUnreadableEntry(unreadable);
      contentFailed(settings.srcPath);  // the count answers 204 only
    }
    ActionLog::logStatusLine(status, "%s", kFailureLine);
    return 0;
  }
  publishRun(hInstall, settings.apsName.getBuffer(), settings.apsUser.getBuffer(),
             settings.apsPass.getBuffer(), settings.apsAuth.getBuffer(),
             settings.logFile.getBuffer(), settings.srcFile.getBuffer(),
             settings.srcPath.getBuffer());
  return 0;
}

int CMARunnerPublish::publishRun(MSIHANDLE hInstall, const char* apsName, const char* apsUser,
                                 const char* apsPass, const char* apsAuth, const char* logFile,
                                 const char* srcFile, const char* srcPath) {
  return runInFramework(logFile, apsName, kFailureLine, server_, [&](const char* aps) {
    return publishConnected(hInstall, aps, apsUser, apsPass, apsAuth, srcFile, srcPath);
  });
}

int CMARunnerPublish::publishConnected(MSIHANDLE hInstall, const char* aps, const char* apsUser,
                                       const char* apsPass, const char* apsAuth,
                                       const char* srcFile, const char* srcPath) {
  int status = handler_.initialize(aps, apsUser, apsPass, apsAuth);
  if (status == kStatusOk) status = handler_.parseFile(srcFile);
  if (status == kStatusOk) {
    status = server_.connect(handler_.apsName.getBuffer(), handler_.apsUser.getBuffer(),
                             handler_.apsPass.getBuffer(), handler_.apsAuth.getBuffer());
  }
  if (status != kStatusOk) return status;
  // The records live for the rest of the run and are closed on every path.
  CMAInstallerProgress progress(hInstall, actionName_, actionDescription_, actionTemplate_);
  status = publishUsers(progress);
  if (status == kStatusOk) status = publishDirectory(progress, SAnsiString(srcPath), 0);
  if (status == kStatusOk) {
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION
                       "Successfully added/updated users, folders, and reports based on %s.",
                       srcFile ? srcFile : "");
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d users added.", counters_.usersAdded);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d users updated.", counters_.usersUpdated);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d users skipped.", counters_.usersSkipped);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d folders added.", counters_.foldersAdded);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d folders updated.", counters_.foldersUpdated);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d folders skipped.", counters_.foldersSkipped);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d reports added.", counters_.reportsAdded);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d reports updated.", counters_.reportsUpdated);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d reports skipped.", counters_.reportsSkipped);
    progress.close();
  }
  return status;
}

int CMARunnerPublish::publishUsers(CMAInstallerProgress& progress) {
  UserList users;
  if (!users.load(handler_.userMap)) {
    ActionLog::logStatusLine(
        kStatusOk, KORVA_ERROR KORVA_CTX_ACTION "Failed to publish users to Veltrane Enterprise.");
    return kStatusOutOfMemory;
  }
  for (int i = 0; i < users.count; ++i) {
    CMAMetaUserObj* user = users.at(i);
    if (!user) continue;
    progress.userItem(userWord_, user->name);
    if (holdsPathSeparator(user->name)) {
      logSeparatorInName("user", user->name);
      user->id = -1;  // no rights either
      ++counters_.usersSkipped;
      continue;
    }
    bool overwrite = isOne(user->overwrite);
    int32_t id = -1;
    int status =
        server_.addUser(user->name.getBuffer(), user->full.getBuffer(), user->desc.getBuffer(),
                        user->pass.getBuffer(), user->named.getBuffer(), &overwrite, &id);
    // A user that failed gets no rights later in the run.
    user->id = status == kStatusOk ? id : -1;
    countOutcome(status, overwrite, &counters_.usersAdded, &counters_.usersUpdated,
                 &counters_.usersSkipped);
  }
  return kStatusOk;
}

// Publishes what the walker finds: a folder per directory (entered only when
// it could be added), a report per report file, a line and a skip for what
// cannot be published. Keeps the folder of every directory it is inside.
class CMARunnerPublish::PublishVisitor : public CMASourceTreeWalker::Visitor {
 public:
  PublishVisitor(CMARunnerPublish& runner, CMAInstallerProgress& progress, int32_t rootId)
      : runner_(runner), progress_(progress), folderIds_(1, rootId) {}

  bool visit(const CMASourceTreeWalker::Entry& entry) override {
    using Kind = CMASourceTreeWalker::Kind;
    int32_t parentId = folderIds_[static_cast<size_t>(entry.depth)];
    switch (entry.kind) {
      case Kind::kFolder:
      case Kind::kFolderNamedWithBackslash:
      case Kind::kFolderLeadingBack:
        return enterFolder(entry, parentId);
      case Kind::kReport:
        runner_.publishReport(progress_, entry.baseName, entry.path, parentId);
        break;
      case Kind::kReportNamedWithBackslash:
        runner_.skipReportNamed(progress_, entry);
        break;
      case Kind::kUnfollowedLink:
        runner_.skipUnfollowedLink(progress_, entry);
        break;
      case Kind::kOther:
        break;
    }
    return false;
  }

  void directoryFailed(const SAnsiString& path, int /*depth*/,
                       const CMAUnreadableEntry* unreadable) override {
    // The entry that failed the listing is named before its directory.
    if (unreadable) logUnreadableEntry(*unreadable);
    contentFailed(path);
  }

 private:
  bool enterFolder(const CMASourceTreeWalker::Entry& entry, int32_t parentId) {
    using Kind = CMASourceTreeWalker::Kind;
    int32_t folderId = -1;
    int status = kStatusLogical;
    if (entry.kind == Kind::kFolderNamedWithBackslash) {
      runner_.skipFolderNamed(progress_, entry.name, entry.path);
    } else if (entry.kind == Kind::kFolderLeadingBack) {
      status = runner_.skipLoopingFolder(progress_, entry.name, entry.path);
    } else {
      status = runner_.publishFolder(progress_, entry.name, parentId, &folderId);
    }
    if (status != kStatusOk || folderId < 0) {
      ActionLog::logStatusLine(status,
                               KORVA_ERROR KORVA_CTX_ACTION
                               "Failed to add folder %s. All reports and folders within it "
                               "would be skipped.",
                               entry.name.getBuffer());
      return false;
    }
    // Rights are granted on the top-level folders only; the server passes
    // them on to what the folders hold.
    if (parentId == 0) runner_.setUserRights(folderId);
    folderIds_.resize(static_cast<size_t>(entry.depth) + 1);
    folderIds_.push_back(folderId);
    return true;
  }

  CMARunnerPublish& runner_;
  CMAInstallerProgress& progress_;
  // folderIds_[d]: the folder of the directory whose entries lie at depth d.
  std::vector<int32_t> folderIds_;
};

int CMARunnerPublish::publishDirectory(CMAInstallerProgress& progress, const SAnsiString& path,
                                       int32_t parentId) {
  PublishVisitor visitor(*this, progress, parentId);
  return CMASourceTreeWalker(visitor).walk(path);
}

int CMARunnerPublish::contentFailed(const SAnsiString& path) {
  ActionLog::logStatusLine(kStatusSystem,
                           KORVA_ERROR KORVA_CTX_ACTION
                           "Failed to publish content of %s to Veltrane Enterprise.",
                           path.getBuffer());
  return kStatusSystem;
}

int CMARunnerPublish::skipLoopingFolder(CMAInstallerProgress& progress, const SAnsiString& name,
                                        const SAnsiString& path) {
  // Sent and counted like any folder, so the progress bar and the counters
  // agree with countItems, which counts this directory without entering it.
  progress.folderItem(folderWord_, name);
  ++counters_.foldersSkipped;
  ActionLog::logLine(KORVA_ERROR KORVA_CTX_ACTION
                     "The directory %s leads back to a directory that contains it.",
                     path.getBuffer());
  return kStatusLogical;
}

void CMARunnerPublish::skipFolderNamed(CMAInstallerProgress& progress, const SAnsiString& name,
                                       const SAnsiString& path) {
  progress.folderItem(folderWord_, name);
  ++counters_.foldersSkipped;
  logSeparatorInName("directory", path);
}

void CMARunnerPublish::skipUnfollowedLink(CMAInstallerProgress& progress,
                                          const CMASourceTreeWalker::Entry& link) {
  ActionLog::logLine(KORVA_ERROR KORVA_CTX_ACTION
                     "The link %s is not followed: another user owns it in a directory that "
                     "others can write.",
                     link.path.getBuffer());
  // What it leads to was never looked at; a report file's name is all there
  // is to count it by, as countItems does.
  if (link.reportName) {
    progress.reportItem(reportWord_, link.baseName);
    ++counters_.reportsSkipped;
  }
}

void CMARunnerPublish::skipReportNamed(CMAInstallerProgress& progress,
                                       const CMASourceTreeWalker::Entry& file) {
  // Sent and counted like a report that failed, as countItems counts it.
  progress.reportItem(reportWord_, file.baseName);
  ++counters_.reportsSkipped;
  logSeparatorInName("report file", file.path);
}

int CMARunnerPublish::publishFolder(CMAInstallerProgress& progress, const SAnsiString& name,
                                    int32_t parentId, int32_t* id) {
  progress.folderItem(folderWord_, name);
  SAnsiString description = handler_.foldersDesc;
  SAnsiString overwriteValue = handler_.foldersOverwrite;
  CMAMetaObj* found = nullptr;
  if (handler_.folderMap.lookup(name, &found)) {
    if (auto* folder = dynamic_cast<CMAMetaFolderObj*>(found)) {
      description = folder->desc;
      overwriteValue = folder->overwrite;
    }
  }
  bool overwrite = isOne(overwriteValue);
  *id = -1;
  int status =
      server_.addFolder(name.getBuffer(), description.getBuffer(), &overwrite, parentId, id);
  if (status != kStatusOk) *id = -1;
  countOutcome(status, overwrite, &counters_.foldersAdded, &counters_.foldersUpdated,
               &counters_.foldersSkipped);
  return kStatusOk;
}

int CMARunnerPublish::publishReport(CMAInstallerProgress& progress, const SAnsiString& baseName,
                                    const SAnsiString& fullPath, int32_t parentId) {
  progress.reportItem(reportWord_, baseName);
  SAnsiString title;
  SAnsiString description = handler_.reportsDesc;
  SAnsiString icon = handler_.reportsIcon;
  SAnsiString overwriteValue = handler_.reportsOverwrite;
  CMAMetaObj* found = nullptr;
  if (handler_.reportMap.lookup(baseName, &found)) {
    if (auto* report = dynamic_cast<CMAMetaReportObj*>(found)) {
      title = report->title;
      description = report->desc;
      icon = report->icon;
      overwriteValue = report->overwrite;
    }
  }
  if (title.isEmpty()) title = baseName;
  bool overwrite = isOne(overwriteValue);
  int32_t id = -1;
  int status = server_.addReport(title.getBuffer(), description.getBuffer(), icon.getBuffer(),
                                 fullPath.getBuffer(), true, &overwrite, parentId, &id);
  countOutcome(status, overwrite, &counters_.reportsAdded, &counters_.reportsUpdated,
               &counters_.reportsSkipped);
  return kStatusOk;
}

int CMARunnerPublish::setUserRights(int32_t folderId) {
  UserList users;
  if (!users.load(handler_.userMap)) {
    ActionLog::logStatusLine(kStatusOk, KORVA_ERROR KORVA_CTX_ACTION
                             "Failed to update user rights to Veltrane Enterprise objects.");
    return kStatusOutOfMemory;
  }
  for (int i = 0; i < users.count; ++i) {
    CMAMetaUserObj* user = users.at(i);
    // The server client logs its own lines; one user's failure stops nobody.
    if (user && user->id >= 0) server_.setRight(folderId, user->id, user->right.getBuffer());
  }
  return kStatusOk;
}

namespace {

// Counts the progress items of a walk; only the walked directory's own
// failure fails the count (the walk reports a sub-directory's).
class ItemCounter : public CMASourceTreeWalker::Visitor {
 public:
  ItemCounter(int* counter, CMAUnreadableEntry* unreadable)
      : counter_(counter), unreadable_(unreadable) {}

  bool visit(const CMASourceTreeWalker::Entry& entry) override {
    if (entry.isProgressItem()) ++*counter_;
    return true;  // every folder is entered: the count cannot know which fail
  }

  void directoryFailed(const SAnsiString& /*path*/, int depth,
                       const CMAUnreadableEntry* unreadable) override {
    if (depth == 0 && unreadable && unreadable_) *unreadable_ = *unreadable;
  }

 private:
  int* counter_;
  CMAUnreadableEntry* unreadable_;
};

}  // namespace

int CMARunnerPublish::countItems(const SAnsiString& path, int* counter,
                                 CMAUnreadableEntry* unreadable) {
  ItemCounter itemCounter(counter, unreadable);
  return CMASourceTreeWalker(itemCounter).walk(path);
}
