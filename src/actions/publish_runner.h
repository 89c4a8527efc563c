// CMARunnerPublish: the publish action. It reads the publish instructions
// file, logs on to the report server, adds or updates the users the file
// lists, then walks the source directory depth first and mirrors it on the
// server: every sub-directory becomes a folder, every ".rpt" file a report,
// and the users receive their rights on the top-level folders. Every step is
// logged; the run ends with nine counters of what was added, updated and
// skipped. Run as an installer action it also reports progress.
//
// The walk and the count go through one CMASourceTreeWalker, which remembers
// the directories it is inside (their identity, not their path): a
// sub-directory that leads back to one of them through a symbolic link is
// reported and skipped like a folder that could not be added, so a looping
// tree neither runs forever nor exhausts the stack. In a directory
// that others can write, a link that another user owns is not followed at
// all (platform/filesys.h): it is reported, and counted as a skipped report
// when its name is a report file's. A directory, report file or user whose
// name holds "\" is reported and skipped: "\" separates the names of a
// Veltrane Enterprise path, so such an object could never be named there.
//
// Thread-safety: one runner serves one run on the caller's thread.
// Ownership: the runner owns its instructions reader (with the meta objects)
// and its report server client; the entry point owns the runner.
#ifndef KORVA_ACTIONS_PUBLISH_RUNNER_H_
#define KORVA_ACTIONS_PUBLISH_RUNNER_H_

#include <cstdint>

#include "actions/installer_progress.h"
#include "actions/run_settings.h"
#include "actions/runner_base.h"
#include "actions/source_tree_walker.h"
#include "instructions/handler_publish.h"
#include "server/ve_obj_v85.h"
#include "support/sstring.h"

// What a publish run did, counted per kind of object.
struct CMAPublishCounters {
  int32_t usersAdded = 0;
  int32_t usersUpdated = 0;
  int32_t usersSkipped = 0;
  int32_t foldersAdded = 0;
  int32_t foldersUpdated = 0;
  int32_t foldersSkipped = 0;
  int32_t reportsAdded = 0;
  int32_t reportsUpdated = 0;
  int32_t reportsSkipped = 0;
};

class CMARunnerPublish : public CMARunnerBase {
 public:
  // The last line of a failed run, and the name of the default log file.
  static constexpr char kFailureLine[] =
      KORVA_ERROR KORVA_CTX_ACTION "Failed to publish Veltrane Enterprise objects.";
  static constexpr char kLogBaseName[] = "publish";

  CMARunnerPublish();
  ~CMARunnerPublish() override;
  CMARunnerPublish(const CMARunnerPublish&) = delete;
  CMARunnerPublish& operator=(const CMARunnerPublish&) = delete;

  // Zeroes the counters and reads the six action texts from the installer
  // properties ("CA_VR_ACTNAME"...); without a handle (0), or for a property
  // that cannot be read or is empty, the default text.
  void readActionTexts(MSIHANDLE hInstall) override;
  // Reads the seven publish settings from the map, fills in the defaults and
  // runs; answers toInstallerResult of the run's status.
  int runWithValues(const CMARunValueMap& values) override;
  // Does nothing in a rollback, maintenance or scheduled run. Otherwise reads
  // the settings from the installer properties, counts the items for the
  // progress bar, sends the progress total and runs with the handle. Always 0.
  unsigned runAsInstallerAction(MSIHANDLE hInstall) override;

  // The whole run; the seven values have their defaults already. A null or
  // empty APS name is replaced by the local host's name.
  int publishRun(MSIHANDLE hInstall, const char* apsName, const char* apsUser, const char* apsPass,
                 const char* apsAuth, const char* logFile, const char* srcFile,
                 const char* srcPath);

  // Adds to *counter the sub-directories at every depth and the ".rpt" files
  // under path, walked as publishDirectory walks them, so the count is the
  // number of progress items the walk sends when every folder can be added:
  // 200, or 204 on any exception. A sub-directory that leads back to one it
  // lies in counts once and is not entered, as does one whose name holds
  // "\"; another user's link in a directory that others can write counts
  // once when its name is a report file's. When an entry of path itself
  // could not be read, *unreadable (when given) names it.
  static int countItems(const SAnsiString& path, int* counter,
                        CMAUnreadableEntry* unreadable = nullptr);

  // Steps of the run, public for tests. `progress` sends the installer
  // messages (nothing without an installer handle).
  int publishUsers(CMAInstallerProgress& progress);
  // Walks path depth first under the folder parentId. A directory that cannot
  // be listed fails as a whole with "Failed to publish content of ..." (204);
  // when one of its entries could not be read, a line naming the entry and
  // the system's reason comes first.
  int publishDirectory(CMAInstallerProgress& progress, const SAnsiString& path, int32_t parentId);
  // Adds or updates the folder for a directory entry; 200 with *id, which is
  // -1 when the folder could not be added (counted as skipped).
  int publishFolder(CMAInstallerProgress& progress, const SAnsiString& name, int32_t parentId,
                    int32_t* id);
  // Adds or updates the report for a ".rpt" file; 200.
  int publishReport(CMAInstallerProgress& progress, const SAnsiString& baseName,
                    const SAnsiString& fullPath, int32_t parentId);
  // Grants every user published in this run its right on the folder; 200, or
  // 203 when the users cannot be had.
  int setUserRights(int32_t folderId);

  // The settings as the installer gives them, defaults applied: 200, or 203
  // on an exception.
  static int readInstallerValues(MSIHANDLE hInstall, CMARunSettings* settings);
  // Fills in the publish defaults (shared ones, then the instructions file
  // and the source directory beside the engine library).
  static void applyPublishDefaults(CMARunSettings* settings);

  const CMAPublishCounters& counters() const { return counters_; }
  const SAnsiString& actionName() const { return actionName_; }
  const SAnsiString& actionDescription() const { return actionDescription_; }
  const SAnsiString& actionTemplate() const { return actionTemplate_; }
  const SAnsiString& userWord() const { return userWord_; }
  const SAnsiString& folderWord() const { return folderWord_; }
  const SAnsiString& reportWord() const { return reportWord_; }

 private:
  // Steps 3 to 10 of the run, between initialising and uninitialising the
  // framework (runInFramework, which writes the failure line).
  int publishConnected(MSIHANDLE hInstall, const char* aps, const char* apsUser,
                       const char* apsPass, const char* apsAuth, const char* srcFile,
                       const char* srcPath);
  // The visitor through which publishDirectory publishes what the walker
  // finds (publish_runner.cc).
  class PublishVisitor;
  // Writes "Failed to publish content of <path> ..." with 204; answers 204.
  static int contentFailed(const SAnsiString& path);
  // A directory that leads back to one the walk is inside: sent and counted
  // like a folder that failed; answers the status for the skip line.
  int skipLoopingFolder(CMAInstallerProgress& progress, const SAnsiString& name,
                        const SAnsiString& path);
  // A directory whose name holds "\": sent and counted like a folder that
  // failed, with the line that says why.
  void skipFolderNamed(CMAInstallerProgress& progress, const SAnsiString& name,
                       const SAnsiString& path);
  // Another user's link in a directory that others can write: reported, and
  // sent and counted like a report that failed when its name is a report
  // file's.
  void skipUnfollowedLink(CMAInstallerProgress& progress, const CMASourceTreeWalker::Entry& link);
  // A report file whose name holds "\": sent and counted like a report that
  // failed, with the line that says why.
  void skipReportNamed(CMAInstallerProgress& progress, const CMASourceTreeWalker::Entry& file);

  CMAHandlerPublish handler_;
  CMAVEObjV85 server_;
  CMAPublishCounters counters_;
  SAnsiString actionName_;
  SAnsiString actionDescription_;
  SAnsiString actionTemplate_;
  SAnsiString userWord_;
  SAnsiString folderWord_;
  SAnsiString reportWord_;
};

#endif  // KORVA_ACTIONS_PUBLISH_RUNNER_H_
