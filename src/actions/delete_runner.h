// CMARunnerDelete: the delete action. It logs on to the report server and
// removes one report and then one folder, each named by a path of folder
// names separated by "\" from the top of the server's folder tree, and ends
// with four counters of what was deleted and skipped. It sends no installer
// messages.
//
// Thread-safety: one runner serves one run on the caller's thread.
// Ownership: the runner owns its report server client; the entry point owns
// the runner.
#ifndef KORVA_ACTIONS_DELETE_RUNNER_H_
#define KORVA_ACTIONS_DELETE_RUNNER_H_

#include <cstdint>

#include "actions/run_settings.h"
#include "actions/runner_base.h"
#include "server/ve_obj_v85.h"
#include "support/containers.h"
#include "support/sstring.h"

struct CMADeleteCounters {
  int32_t foldersDeleted = 0;
  int32_t foldersSkipped = 0;
  int32_t reportsDeleted = 0;
  int32_t reportsSkipped = 0;
};

class CMARunnerDelete : public CMARunnerBase {
 public:
  // The last line of a failed run, and the name of the default log file.
  static constexpr char kFailureLine[] =
      KORVA_ERROR KORVA_CTX_ACTION "Failed to delete Veltrane Enterprise objects.";
  static constexpr char kLogBaseName[] = "delete";

  CMARunnerDelete();
  ~CMARunnerDelete() override;
  CMARunnerDelete(const CMARunnerDelete&) = delete;
  CMARunnerDelete& operator=(const CMARunnerDelete&) = delete;

  // Zeroes the counters; there are no action texts to read.
  void readActionTexts(MSIHANDLE hInstall) override;
  // Reads the seven delete settings from the map, fills in the defaults and
  // runs; answers toInstallerResult of the run's status.
  int runWithValues(const CMARunValueMap& values) override;
  // Deleting is not an installer action: does nothing, answers 0.
  unsigned runAsInstallerAction(MSIHANDLE hInstall) override;

  // The whole run; the values have their defaults already. A null or empty
  // APS name is replaced by the local host's name.
  int deleteRun(const char* apsName, const char* apsUser, const char* apsPass, const char* apsAuth,
                const char* logFile, const char* folderPath, const char* reportPath);

  // Empties parts, then appends every non-empty part of text between
  // separators, in order. False when an exception occurred.
  static bool splitPathList(SIArray<SAnsiString>& parts, const SAnsiString& text,
                            const SAnsiString& separator);

  // Resolve the folders of the path from the top and delete the last part
  // under the last folder found; a missing folder or a failed delete is
  // counted as skipped. 200, or 203 when the path cannot be split.
  int deleteFolderPath(const SAnsiString& path);
  int deleteReportPath(const SAnsiString& path);

  // Fills in the delete defaults (the shared ones; the log is "delete.log").
  static void applyDeleteDefaults(CMARunSettings* settings);

  const CMADeleteCounters& counters() const { return counters_; }

 private:
  // Steps 3 to 7 of the run, between initialising and uninitialising the
  // framework (runInFramework, which writes the failure line).
  int deleteConnected(const char* aps, const char* apsUser, const char* apsPass,
                      const char* apsAuth, const char* folderPath, const char* reportPath);
  // The body of both: kind names the object in the line for a path that
  // cannot be split, remove deletes the last part, and one of the two
  // counters goes up.
  int deletePath(const SAnsiString& path, const char* kind,
                 int (CMAVEObjV85::*remove)(const char*, int32_t), int32_t* deleted,
                 int32_t* skipped);
  // Finds the folder id for every part but the last: true and *parentId, or
  // false when one of them is missing.
  bool resolveParent(const SIArray<SAnsiString>& parts, int32_t* parentId);

  CMAVEObjV85 server_;
  CMADeleteCounters counters_;
};

#endif  // KORVA_ACTIONS_DELETE_RUNNER_H_
