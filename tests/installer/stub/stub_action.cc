// A stand-in for korvalink.dll's installer entry, built only for the
// installer tests: it exports doPublish (__stdcall, undecorated) and
// behaves towards the installer as the engine does, without publishing.
//
// Each call appends what it saw to the file named by the environment
// variable KORVA_STUB_REPORT, one "name=value" line each, closed by "end":
//   call, then rollback, maintenance, scheduled (MsiGetMode: 1 or 0);
//   when none of them is in force, also module (the directory of this
//   library's own file, which the engine's defaults start from) and every
//   CA_VR_* property, as MsiGetPropertyA answered it.
// In a rollback, maintenance or deferred run it stops there, as the engine
// does. Otherwise it sends the records a publish of one folder and one
// report sends: the progress total (0, 200, 0, 0), the action start with the
// three action texts (defaults where the property is empty), the action
// information (1, 0, 0), then per item an action data (word, name, 0) and a
// tick (2, 100, 0). It always answers 0.
//
// Thread-safety: the installer calls it on one thread. Ownership: every
// record is closed before the call returns; nothing is kept.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/entry_abi.h"
#include "platform/installer.h"
#include "platform/module.h"

namespace {

// An address inside this library, to find its file by.
const char kInsideThisLibrary = 0;

constexpr const char* kProperties[] = {
    "CA_VR_APSNAME", "CA_VR_APSUSER",   "CA_VR_APSPASS",   "CA_VR_APSAUTH",  "CA_VR_LOGFILE",
    "CA_VR_SRCFILE", "CA_VR_SRCPATH",   "CA_VR_ACTNAME",   "CA_VR_ACTDESC",  "CA_VR_ACTTMPL",
    "CA_VR_ACTUSRTAG", "CA_VR_ACTFLDTAG", "CA_VR_ACTRPTTAG"};

// The property as the engine reads it: a 512-byte buffer, "" unless the
// call answers 0.
std::string property(MSIHANDLE install, const char* name) {
  char value[512] = "";
  DWORD length = sizeof value;
  if (MsiGetPropertyA(install, name, value, &length) != ERROR_SUCCESS) return std::string();
  return value;
}

std::string propertyOr(MSIHANDLE install, const char* name, const char* fallback) {
  const std::string value = property(install, name);
  return value.empty() ? fallback : value;
}

std::string directoryOf(const std::string& path) {
  const std::string::size_type slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

class Report {
 public:
  Report() {
    const char* path = std::getenv("KORVA_STUB_REPORT");
    file_ = path ? std::fopen(path, "a") : nullptr;
  }
  ~Report() {
    if (!file_) return;
    std::fprintf(file_, "end\n");
    std::fclose(file_);
  }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;
  void line(const std::string& name, const std::string& value) {
    if (file_) std::fprintf(file_, "%s=%s\n", name.c_str(), value.c_str());
  }

 private:
  FILE* file_ = nullptr;
};

// An installer record, closed with its owner.
class Record {
 public:
  explicit Record(UINT fields) : handle_(MsiCreateRecord(fields)) {}
  ~Record() {
    if (handle_) MsiCloseHandle(handle_);
  }
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  Record& text(UINT field, const std::string& value) {
    MsiRecordSetStringA(handle_, field, value.c_str());
    return *this;
  }
  Record& number(UINT field, int value) {
    MsiRecordSetInteger(handle_, field, value);
    return *this;
  }
  void send(MSIHANDLE install, INSTALLMESSAGE type) const {
    if (handle_) MsiProcessMessage(install, type, handle_);
  }

 private:
  MSIHANDLE handle_;
};

void sendPublishRecords(MSIHANDLE install) {
  Record(4).number(1, 0).number(2, 200).number(3, 0).number(4, 0).send(install,
                                                                       INSTALLMESSAGE_PROGRESS);
  Record action(3);
  Record tick(3);
  action.text(1, propertyOr(install, "CA_VR_ACTNAME", "Publish Custom Action"))
      .text(2, propertyOr(install, "CA_VR_ACTDESC", "Publishing Veltrane Enterprise Objects..."))
      .text(3, propertyOr(install, "CA_VR_ACTTMPL", "Publishing the [1] object [2]..."))
      .send(install, INSTALLMESSAGE_ACTIONSTART);
  action.number(1, 1).number(2, 0).number(3, 0).send(install, INSTALLMESSAGE_PROGRESS);
  action.number(3, 0);
  tick.number(1, 2).number(2, 100).number(3, 0);
  const std::string items[][2] = {
      {propertyOr(install, "CA_VR_ACTFLDTAG", "folder"), "Finance"},
      {propertyOr(install, "CA_VR_ACTRPTTAG", "report"), "Q1 Summary"}};
  for (const auto& item : items) {
    action.text(1, item[0]).text(2, item[1]).send(install, INSTALLMESSAGE_ACTIONDATA);
    tick.send(install, INSTALLMESSAGE_PROGRESS);
  }
}

}  // namespace

KORVA_ENTRY_EXPORT UINT KORVA_ENTRY_CALL doPublish(MSIHANDLE install) {
  Report report;
  report.line("call", "doPublish");
  const bool rollback = MsiGetMode(install, MSIRUNMODE_ROLLBACK);
  const bool maintenance = MsiGetMode(install, MSIRUNMODE_MAINTENANCE);
  const bool scheduled = MsiGetMode(install, MSIRUNMODE_SCHEDULED);
  report.line("rollback", rollback ? "1" : "0");
  report.line("maintenance", maintenance ? "1" : "0");
  report.line("scheduled", scheduled ? "1" : "0");
  if (rollback || maintenance || scheduled) return 0;
  report.line("module", directoryOf(korva::modulePathOf(&kInsideThisLibrary)));
  for (const char* name : kProperties) report.line(name, property(install, name));
  sendPublishRecords(install);
  return 0;
}

// A deferred action that fails, so that the installer rolls back.
KORVA_ENTRY_EXPORT UINT KORVA_ENTRY_CALL failInstall(MSIHANDLE) { return ERROR_INSTALL_FAILURE; }
