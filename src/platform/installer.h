// The installer's custom-action functions, with the signatures and results of
// the installer's own header. On Windows they are the installer's own
// (msi.h, msiquery.h, msi.dll). On POSIX they work on an in-process session
// table: a session holds properties, the run modes in force and every message
// it received; the calls below the line open such a session and read its
// messages back, for tests and for hosts that drive the engine themselves.
// Those calls exist on POSIX only.
//
// Thread-safety: every call takes the table's lock (POSIX); the installer's
// own (Windows).
// Ownership: handles are owned by whoever opened them and are closed with
// MsiCloseHandle (records) or korva::closeInstallerSession (sessions).
#ifndef KORVA_PLATFORM_INSTALLER_H_
#define KORVA_PLATFORM_INSTALLER_H_

#if defined(_WIN32)

#include "platform/win32/windows_api.h"
// windows.h (as the rest of the platform layer includes it) first.
#include <msi.h>
#include <msiquery.h>

#else  // the in-process session table

#include <map>
#include <string>
#include <vector>

using MSIHANDLE = unsigned long;
using UINT = unsigned int;

enum MSIRUNMODE : int {
  MSIRUNMODE_ADMIN = 0,
  MSIRUNMODE_ADVERTISE = 1,
  MSIRUNMODE_MAINTENANCE = 2,
  MSIRUNMODE_ROLLBACKENABLED = 3,
  MSIRUNMODE_SCHEDULED = 16,
  MSIRUNMODE_ROLLBACK = 17,
  MSIRUNMODE_COMMIT = 18,
};

enum INSTALLMESSAGE : int {
  INSTALLMESSAGE_ACTIONSTART = 0x08000000,
  INSTALLMESSAGE_ACTIONDATA = 0x09000000,
  INSTALLMESSAGE_PROGRESS = 0x0A000000,
};

constexpr UINT ERROR_SUCCESS = 0;
constexpr UINT ERROR_INVALID_HANDLE = 6;
constexpr UINT ERROR_INVALID_PARAMETER = 87;
constexpr UINT ERROR_MORE_DATA = 234;

// pcchValueBuf: in, the buffer's size in characters with the terminator; out,
// the value's length without it. ERROR_MORE_DATA when the value does not fit
// (the buffer then holds as much as fits). A missing property is "".
UINT MsiGetPropertyA(MSIHANDLE hInstall, const char* szName, char* szValueBuf,
                     unsigned long* pcchValueBuf);
// Non-zero when the mode is in force.
int MsiGetMode(MSIHANDLE hInstall, MSIRUNMODE eRunMode);
// A record of cParams fields (1..cParams), 0 on failure.
MSIHANDLE MsiCreateRecord(UINT cParams);
UINT MsiRecordSetStringA(MSIHANDLE hRecord, UINT iField, const char* szValue);
UINT MsiRecordSetInteger(MSIHANDLE hRecord, UINT iField, int iValue);
// Records the message with a copy of the record's fields; answers 1 (IDOK),
// or -1 for a bad handle.
int MsiProcessMessage(MSIHANDLE hInstall, INSTALLMESSAGE eMessageType, MSIHANDLE hRecord);
UINT MsiCloseHandle(MSIHANDLE hAny);

namespace korva {

struct InstallerField {
  enum class Kind { Null, Integer, String } kind = Kind::Null;
  int integer = 0;
  std::string text;
};

struct InstallerMessage {
  int type = 0;
  std::vector<InstallerField> fields;  // fields[0] is field 1
};

MSIHANDLE openInstallerSession(const std::map<std::string, std::string>& properties,
                               const std::vector<MSIRUNMODE>& modes);
std::vector<InstallerMessage> installerMessages(MSIHANDLE session);
void closeInstallerSession(MSIHANDLE session);
// Records currently open, to find handles that were never closed.
int openInstallerRecordCount();
// Makes the next n calls of MsiCreateRecord fail.
void failNextInstallerRecords(int n);

}  // namespace korva

#endif  // _WIN32

#endif  // KORVA_PLATFORM_INSTALLER_H_
