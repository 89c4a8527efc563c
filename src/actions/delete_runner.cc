// The delete run: logon, the report path, then the folder path, and the
// summary, with one log line per step.
#include "actions/delete_runner.h"

#include "common/action_log.h"
#include "common/status.h"
#include "support/str_tok.h"

namespace {

// Server object paths separate folder names with "\" on every platform.
const char kObjectPathSeparator[] = "\\";

}  // namespace

CMARunnerDelete::CMARunnerDelete() = default;
CMARunnerDelete::~CMARunnerDelete() = default;

void CMARunnerDelete::readActionTexts(MSIHANDLE) { counters_ = CMADeleteCounters(); }

unsigned CMARunnerDelete::runAsInstallerAction(MSIHANDLE) { return 0; }

void CMARunnerDelete::applyDeleteDefaults(CMARunSettings* settings) {
  applyCommonDefaults(settings, kLogBaseName);
}

int CMARunnerDelete::runWithValues(const CMARunValueMap& values) {
  CMARunSettings settings;
  try {
    readRunValues(values, kDeleteSettingKeys, &settings);
    applyDeleteDefaults(&settings);
  } catch (...) {
    return toInstallerResult(kStatusOutOfMemory);
  }
  int status = deleteRun(settings.apsName.getBuffer(), settings.apsUser.getBuffer(),
                         settings.apsPass.getBuffer(), settings.apsAuth.getBuffer(),
                         settings.logFile.getBuffer(), settings.folderPath.getBuffer(),
                         settings.reportPath.getBuffer());
  return toInstallerResult(status);
}

int CMARunnerDelete::deleteRun(const char* apsName, const char* apsUser, const char* apsPass,
                               const char* apsAuth, const char* logFile, const char* folderPath,
                               const char* reportPath) {
  return runInFramework(logFile, apsName, kFailureLine, server_, [&](const char* aps) {
    return deleteConnected(aps, apsUser, apsPass, apsAuth, folderPath, reportPath);
  });
}

int CMARunnerDelete::deleteConnected(const char* aps, const char* apsUser, const char* apsPass,
                                     const char* apsAuth, const char* folderPath,
                                     const char* reportPath) {
  int status = server_.connect(aps, apsUser, apsPass, apsAuth);
  // The report goes first: when it fails, the folder that may hold it stays.
  if (status == kStatusOk) status = deleteReportPath(SAnsiString(reportPath));
  if (status == kStatusOk) status = deleteFolderPath(SAnsiString(folderPath));
  if (status == kStatusOk) {
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "Successfully deleted folder and/or report.");
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d folders deleted.", counters_.foldersDeleted);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d folders skipped.", counters_.foldersSkipped);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d reports deleted.", counters_.reportsDeleted);
    ActionLog::logLine(KORVA_INFO KORVA_CTX_ACTION "%d reports skipped.", counters_.reportsSkipped);
  }
  return status;
}

bool CMARunnerDelete::splitPathList(SIArray<SAnsiString>& parts, const SAnsiString& text,
                                    const SAnsiString& separator) {
  try {
    parts.removeAll();
    SStrTok tokens(text, separator);
    for (;;) {
      SAnsiString part = tokens.nextToken();
      // Leading, trailing and doubled separators leave empty parts behind.
      if (!part.isEmpty()) parts.add(part);
      if (tokens.getRemaining().isEmpty()) break;
    }
  } catch (...) {
    return false;
  }
  return true;
}

bool CMARunnerDelete::resolveParent(const SIArray<SAnsiString>& parts, int32_t* parentId) {
  int32_t parent = 0;
  for (int i = 0; i + 1 < parts.getCount(); ++i) {
    int32_t id = -1;
    if (server_.getFolder(parts[i].getBuffer(), parent, &id) != kStatusOk) return false;
    parent = id;
  }
  *parentId = parent;
  return true;
}

int CMARunnerDelete::deleteFolderPath(const SAnsiString& path) {
  return deletePath(path, "folder", &CMAVEObjV85::deleteFolder, &counters_.foldersDeleted,
                    &counters_.foldersSkipped);
}

int CMARunnerDelete::deleteReportPath(const SAnsiString& path) {
  return deletePath(path, "report", &CMAVEObjV85::deleteReport, &counters_.reportsDeleted,
                    &counters_.reportsSkipped);
}

int CMARunnerDelete::deletePath(const SAnsiString& path, const char* kind,
                                int (CMAVEObjV85::*remove)(const char*, int32_t), int32_t* deleted,
                                int32_t* skipped) {
  SIArray<SAnsiString> parts;
  if (!splitPathList(parts, path, SAnsiString(kObjectPathSeparator))) {
    ActionLog::logStatusLine(kStatusOk,
                             KORVA_ERROR KORVA_CTX_ACTION "Failed to delete %s with path %s.", kind,
                             path.getBuffer());
    return kStatusOutOfMemory;
  }
  if (parts.getCount() == 0) return kStatusOk;
  int32_t parentId = 0;
  if (resolveParent(parts, &parentId) &&
      (server_.*remove)(parts[parts.getCount() - 1].getBuffer(), parentId) == kStatusOk) {
    ++*deleted;
  } else {
    ++*skipped;
  }
  return kStatusOk;
}
