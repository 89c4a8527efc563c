// The six functions the engine library exports (libkorvalink.so,
// korvalink.dll), with C linkage and the entry points' calling convention;
// everything else in the library is hidden. Each forwards to its body in
// action_entries.cc. The public header's declarations come first, so that
// the compiler holds each definition to its prototype and convention.
//
// Thread-safety: each call runs on the caller's thread (see action_entries.h).
// Ownership: arguments stay the caller's; nothing is kept after a call.
#include "actions/action_entries.h"
#include "korvalink.h"
#include "platform/entry_abi.h"

KORVA_ENTRY_EXPORT unsigned int KORVA_ENTRY_CALL doPublish(MSIHANDLE hInstall) {
  return runPublishInstallerAction(hInstall);
}

KORVA_ENTRY_EXPORT int KORVA_ENTRY_CALL doPublishA(const char* apsName, const char* apsUser,
                                                   const char* apsPass, const char* apsAuth,
                                                   const char* logFile, const char* srcFile,
                                                   const char* srcPath) {
  return runPublishA(apsName, apsUser, apsPass, apsAuth, logFile, srcFile, srcPath);
}

KORVA_ENTRY_EXPORT int KORVA_ENTRY_CALL doPublishW(const wchar_t* apsName, const wchar_t* apsUser,
                                                   const wchar_t* apsPass, const wchar_t* apsAuth,
                                                   const wchar_t* logFile, const wchar_t* srcFile,
                                                   const wchar_t* srcPath) {
  return runPublishW(apsName, apsUser, apsPass, apsAuth, logFile, srcFile, srcPath);
}

KORVA_ENTRY_EXPORT int KORVA_ENTRY_CALL doDeleteA(const char* apsName, const char* apsUser,
                                                  const char* apsPass, const char* apsAuth,
                                                  const char* logFile, const char* folderPath,
                                                  const char* reportPath) {
  return runDeleteA(apsName, apsUser, apsPass, apsAuth, logFile, folderPath, reportPath);
}

KORVA_ENTRY_EXPORT int KORVA_ENTRY_CALL doDeleteW(const wchar_t* apsName, const wchar_t* apsUser,
                                                  const wchar_t* apsPass, const wchar_t* apsAuth,
                                                  const wchar_t* logFile, const wchar_t* folderPath,
                                                  const wchar_t* reportPath) {
  return runDeleteW(apsName, apsUser, apsPass, apsAuth, logFile, folderPath, reportPath);
}

KORVA_ENTRY_EXPORT void KORVA_ENTRY_CALL TestFcn(void) {}
