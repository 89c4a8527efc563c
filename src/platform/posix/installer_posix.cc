// The installer's custom-action functions on POSIX, over an in-process table
// of sessions and records. There is no installer service here: a host (or a
// test) opens a session with the properties and run modes it wants, runs the
// engine with its handle and reads back the messages the engine sent.
//
// Handles are distinct non-zero numbers, never reused, so a closed or made-up
// handle is always recognised and answered, never followed.
// Field 0 of a record (the installer's format template) is not kept here and
// is refused like any other field out of range.
//
// Thread-safety: every call takes the table's lock.
// Ownership: the table owns sessions and records; whoever opened a handle
// closes it (records with MsiCloseHandle, sessions with closeInstallerSession).
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/installer.h"

namespace {

// The installer's largest record.
constexpr UINT kMaxRecordFields = 65535;
constexpr int kIdOk = 1;

struct Session {
  std::map<std::string, std::string> properties;
  std::set<int> modes;
  std::vector<korva::InstallerMessage> messages;
};

struct Record {
  std::vector<korva::InstallerField> fields;  // fields[0] is field 1
};

struct Table {
  std::mutex lock;
  MSIHANDLE lastHandle = 0;
  std::map<MSIHANDLE, Session> sessions;
  std::map<MSIHANDLE, Record> records;
  int failingRecords = 0;

  MSIHANDLE nextHandle() { return ++lastHandle; }
  Session* session(MSIHANDLE h) {
    auto it = sessions.find(h);
    return it == sessions.end() ? nullptr : &it->second;
  }
  Record* record(MSIHANDLE h) {
    auto it = records.find(h);
    return it == records.end() ? nullptr : &it->second;
  }
};

// Never destroyed: handles may be used from static destructors elsewhere.
Table& table() {
  static Table* t = new Table();
  return *t;
}

// The field slot, or null when the number is out of the record's range.
korva::InstallerField* fieldOf(Record* record, UINT field) {
  if (field == 0 || field > record->fields.size()) return nullptr;
  return &record->fields[field - 1];
}

// The body of the MsiRecordSet* functions: stores value in one field.
UINT setField(MSIHANDLE hRecord, UINT iField, korva::InstallerField value) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Record* record = t.record(hRecord);
  if (!record) return ERROR_INVALID_HANDLE;
  korva::InstallerField* field = fieldOf(record, iField);
  if (!field) return ERROR_INVALID_PARAMETER;
  *field = std::move(value);
  return ERROR_SUCCESS;
}

}  // namespace

UINT MsiGetPropertyA(MSIHANDLE hInstall, const char* szName, char* szValueBuf,
                     unsigned long* pcchValueBuf) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Session* session = t.session(hInstall);
  if (!session) return ERROR_INVALID_HANDLE;
  if (!szName || !pcchValueBuf) return ERROR_INVALID_PARAMETER;
  auto it = session->properties.find(szName);
  const std::string empty;
  const std::string& value = it == session->properties.end() ? empty : it->second;
  unsigned long size = *pcchValueBuf;
  *pcchValueBuf = static_cast<unsigned long>(value.size());
  if (!szValueBuf) return ERROR_SUCCESS;  // a question for the length only
  if (size == 0) return ERROR_MORE_DATA;
  size_t copied = std::min<size_t>(value.size(), size - 1);
  std::memcpy(szValueBuf, value.data(), copied);
  szValueBuf[copied] = '\0';
  return value.size() >= size ? ERROR_MORE_DATA : ERROR_SUCCESS;
}

int MsiGetMode(MSIHANDLE hInstall, MSIRUNMODE eRunMode) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Session* session = t.session(hInstall);
  if (!session) return 0;
  return session->modes.count(static_cast<int>(eRunMode)) ? 1 : 0;
}

MSIHANDLE MsiCreateRecord(UINT cParams) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  if (t.failingRecords > 0) {
    --t.failingRecords;
    return 0;
  }
  if (cParams > kMaxRecordFields) return 0;
  MSIHANDLE handle = t.nextHandle();
  t.records[handle].fields.resize(cParams);
  return handle;
}

UINT MsiRecordSetStringA(MSIHANDLE hRecord, UINT iField, const char* szValue) {
  korva::InstallerField value;
  if (szValue) {
    value.kind = korva::InstallerField::Kind::String;
    value.text = szValue;
  }
  return setField(hRecord, iField, std::move(value));
}

UINT MsiRecordSetInteger(MSIHANDLE hRecord, UINT iField, int iValue) {
  korva::InstallerField value;
  // The installer's null integer leaves the field null.
  if (iValue != INT_MIN) {
    value.kind = korva::InstallerField::Kind::Integer;
    value.integer = iValue;
  }
  return setField(hRecord, iField, std::move(value));
}

int MsiProcessMessage(MSIHANDLE hInstall, INSTALLMESSAGE eMessageType, MSIHANDLE hRecord) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Session* session = t.session(hInstall);
  Record* record = t.record(hRecord);
  if (!session || !record) return -1;
  korva::InstallerMessage message;
  message.type = static_cast<int>(eMessageType);
  message.fields = record->fields;
  session->messages.push_back(std::move(message));
  return kIdOk;
}

UINT MsiCloseHandle(MSIHANDLE hAny) {
  if (hAny == 0) return ERROR_SUCCESS;  // closing "no handle" is harmless
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  // Sessions belong to their host, which closes them with closeInstallerSession.
  return t.records.erase(hAny) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

namespace korva {

MSIHANDLE openInstallerSession(const std::map<std::string, std::string>& properties,
                               const std::vector<MSIRUNMODE>& modes) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  MSIHANDLE handle = t.nextHandle();
  Session& session = t.sessions[handle];
  session.properties = properties;
  for (MSIRUNMODE mode : modes) session.modes.insert(static_cast<int>(mode));
  return handle;
}

std::vector<InstallerMessage> installerMessages(MSIHANDLE session) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  Session* s = t.session(session);
  return s ? s->messages : std::vector<InstallerMessage>();
}

void closeInstallerSession(MSIHANDLE session) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  t.sessions.erase(session);
}

int openInstallerRecordCount() {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  return static_cast<int>(t.records.size());
}

void failNextInstallerRecords(int n) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  t.failingRecords = std::max(n, 0);
}

}  // namespace korva
