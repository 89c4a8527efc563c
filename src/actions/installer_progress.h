// The installer messages of a publish run: the progress total sent before the
// run, then, during the run, action start and action information, one
// action-data message per user, folder and report, and a progress tick after
// each folder and report. The publish runner drives it like this:
//
//   // before the run (installer entry only); false: end the action
//   if (!CMAInstallerProgress::sendProgressTotal(hInstall, itemCount)) return 0;
//   ...
//   // at the start of the run (hInstall may be 0: then nothing is sent)
//   CMAInstallerProgress progress(hInstall, actionName, actionDescription,
//                                 actionTemplate);
//   progress.userItem(userWord, userName);          // before each user
//   progress.folderItem(folderWord, directoryName); // before each folder
//   progress.reportItem(reportWord, fileBaseName);  // before each report
//   progress.close();                               // end of the run
//
// Messages go out only while the installer handle and both records are
// present; the installer's answers are not examined.
//
// Thread-safety: one object per run, used by the run's thread.
// Ownership: CMAInstallerRecord owns one record handle and closes it when it
// is destroyed; CMAInstallerProgress owns its two records.
#ifndef KORVA_ACTIONS_INSTALLER_PROGRESS_H_
#define KORVA_ACTIONS_INSTALLER_PROGRESS_H_

#include "platform/installer.h"
#include "support/sstring.h"

// Owner of one installer record handle (0 when creation failed).
class CMAInstallerRecord {
 public:
  explicit CMAInstallerRecord(UINT fieldCount);
  ~CMAInstallerRecord();
  CMAInstallerRecord(const CMAInstallerRecord&) = delete;
  CMAInstallerRecord& operator=(const CMAInstallerRecord&) = delete;

  MSIHANDLE handle() const { return handle_; }
  bool valid() const { return handle_ != 0; }
  void setString(UINT field, const char* text);
  void setInteger(UINT field, int value);
  // Sends the record when both the session handle and the record exist.
  void send(MSIHANDLE hInstall, INSTALLMESSAGE type);
  // Closes the handle now; later calls do nothing.
  void close();

 private:
  MSIHANDLE handle_;
};

class CMAInstallerProgress {
 public:
  // Ticks per item: the bar's total is the item count times this.
  static constexpr int kTicksPerItem = 100;

  // Resets the progress bar to itemCount * 100 ticks: one 4-field record
  // (0, total, 0, 0) sent as a progress message, then closed. False when the
  // record cannot be created (the installer action then ends).
  static bool sendProgressTotal(MSIHANDLE hInstall, int itemCount);

  // Creates the action and tick records (3 fields each); with a handle and
  // both records, sends action start (name, description, template) and action
  // information (1, 0, 0: no ticks per action-data message) and prepares the
  // tick (2, 100, 0).
  CMAInstallerProgress(MSIHANDLE hInstall, const SAnsiString& actionName,
                       const SAnsiString& actionDescription, const SAnsiString& actionTemplate);
  ~CMAInstallerProgress() = default;
  CMAInstallerProgress(const CMAInstallerProgress&) = delete;
  CMAInstallerProgress& operator=(const CMAInstallerProgress&) = delete;

  // Action data (word, user name); no tick follows a user.
  void userItem(const SAnsiString& word, const SAnsiString& userName);
  // Action data (word, directory name), then one tick.
  void folderItem(const SAnsiString& word, const SAnsiString& folderName);
  // Action data (word, file name without extension), then one tick.
  void reportItem(const SAnsiString& word, const SAnsiString& reportName);
  // Closes both records; nothing is sent afterwards. Also done on destruction.
  void close();

  // True while messages are sent: a handle and both records.
  bool active() const { return hInstall_ != 0 && action_.valid() && tick_.valid(); }

 private:
  void actionData(const SAnsiString& word, const SAnsiString& name);

  MSIHANDLE hInstall_;
  CMAInstallerRecord action_;
  CMAInstallerRecord tick_;
};

#endif  // KORVA_ACTIONS_INSTALLER_PROGRESS_H_
