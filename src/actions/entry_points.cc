// The six functions libkorvalink.so exports, with C linkage; everything else
// in the library is hidden. Each forwards to its body in action_entries.cc.
//
// Thread-safety: each call runs on the caller's thread (see action_entries.h).
// Ownership: arguments stay the caller's; nothing is kept after a call.
#include "actions/action_entries.h"

#define KORVA_EXPORT extern "C" __attribute__((visibility("default")))

KORVA_EXPORT unsigned int doPublish(MSIHANDLE hInstall) {
  return runPublishInstallerAction(hInstall);
}

KORVA_EXPORT int doPublishA(const char* apsName, const char* apsUser, const char* apsPass,
                            const char* apsAuth, const char* logFile, const char* srcFile,
                            const char* srcPath) {
  return runPublishA(apsName, apsUser, apsPass, apsAuth, logFile, srcFile, srcPath);
}

KORVA_EXPORT int doPublishW(const wchar_t* apsName, const wchar_t* apsUser, const wchar_t* apsPass,
                            const wchar_t* apsAuth, const wchar_t* logFile, const wchar_t* srcFile,
                            const wchar_t* srcPath) {
  return runPublishW(apsName, apsUser, apsPass, apsAuth, logFile, srcFile, srcPath);
}

KORVA_EXPORT int doDeleteA(const char* apsName, const char* apsUser, const char* apsPass,
                           const char* apsAuth, const char* logFile, const char* folderPath,
                           const char* reportPath) {
  return runDeleteA(apsName, apsUser, apsPass, apsAuth, logFile, folderPath, reportPath);
}

KORVA_EXPORT int doDeleteW(const wchar_t* apsName, const wchar_t* apsUser, const wchar_t* apsPass,
                           const wchar_t* apsAuth, const wchar_t* logFile,
                           const wchar_t* folderPath, const wchar_t* reportPath) {
  return runDeleteW(apsName, apsUser, apsPass, apsAuth, logFile, folderPath, reportPath);
}

KORVA_EXPORT void TestFcn(void) {}
