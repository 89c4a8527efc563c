// The installer messages of a publish run: records, their fields and the
// order in which they are sent.
#include "actions/installer_progress.h"

#include <climits>

CMAInstallerRecord::CMAInstallerRecord(UINT fieldCount) : handle_(MsiCreateRecord(fieldCount)) {}

CMAInstallerRecord::~CMAInstallerRecord() { close(); }

void CMAInstallerRecord::setString(UINT field, const char* text) {
  if (handle_) MsiRecordSetStringA(handle_, field, text);
}

void CMAInstallerRecord::setInteger(UINT field, int value) {
  if (handle_) MsiRecordSetInteger(handle_, field, value);
}

void CMAInstallerRecord::send(MSIHANDLE hInstall, INSTALLMESSAGE type) {
  // The installer's answer (cancel, ignore...) does not change the run.
  if (hInstall && handle_) MsiProcessMessage(hInstall, type, handle_);
}

void CMAInstallerRecord::close() {
  if (handle_) {
    MsiCloseHandle(handle_);
    handle_ = 0;
  }
}

bool CMAInstallerProgress::sendProgressTotal(MSIHANDLE hInstall, int itemCount) {
  CMAInstallerRecord record(4);
  if (!record.valid()) return false;
  // A count beyond what the bar can hold in an int is capped rather than
  // wrapped into a negative total.
  long long total = static_cast<long long>(itemCount < 0 ? 0 : itemCount) * kTicksPerItem;
  if (total > INT_MAX) total = INT_MAX;
  record.setInteger(1, 0);  // reset the bar
  record.setInteger(2, static_cast<int>(total));
  record.setInteger(3, 0);  // forward
  record.setInteger(4, 0);
  record.send(hInstall, INSTALLMESSAGE_PROGRESS);
  return true;
}

CMAInstallerProgress::CMAInstallerProgress(MSIHANDLE hInstall, const SAnsiString& actionName,
                                           const SAnsiString& actionDescription,
                                           const SAnsiString& actionTemplate)
    : hInstall_(hInstall), action_(3), tick_(3) {
  if (!active()) return;
  action_.setString(1, actionName.getBuffer());
  action_.setString(2, actionDescription.getBuffer());
  action_.setString(3, actionTemplate.getBuffer());
  action_.send(hInstall_, INSTALLMESSAGE_ACTIONSTART);
  // Action information: action-data messages do not move the bar themselves;
  // the tick record does.
  action_.setInteger(1, 1);
  action_.setInteger(2, 0);
  action_.setInteger(3, 0);
  action_.send(hInstall_, INSTALLMESSAGE_PROGRESS);
  action_.setInteger(3, 0);
  tick_.setInteger(1, 2);  // advance the bar
  tick_.setInteger(2, kTicksPerItem);
  tick_.setInteger(3, 0);
}

void CMAInstallerProgress::actionData(const SAnsiString& word, const SAnsiString& name) {
  action_.setString(1, word.getBuffer());
  action_.setString(2, name.getBuffer());
  action_.send(hInstall_, INSTALLMESSAGE_ACTIONDATA);
}

void CMAInstallerProgress::userItem(const SAnsiString& word, const SAnsiString& userName) {
  if (!active()) return;
  actionData(word, userName);
}

void CMAInstallerProgress::folderItem(const SAnsiString& word, const SAnsiString& folderName) {
  if (!active()) return;
  actionData(word, folderName);
  tick_.send(hInstall_, INSTALLMESSAGE_PROGRESS);
}

void CMAInstallerProgress::reportItem(const SAnsiString& word, const SAnsiString& reportName) {
  if (!active()) return;
  actionData(word, reportName);
  tick_.send(hInstall_, INSTALLMESSAGE_PROGRESS);
}

void CMAInstallerProgress::close() {
  action_.close();
  tick_.close();
}
