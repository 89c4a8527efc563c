// The bodies of the library's exported functions (entry_points.cc only adds C
// linkage and visibility): each call builds its runner and value map, runs,
// and destroys them before it returns. Kept in the engine so that tests can
// run them in-process, against the test's own installer session table.
//
// Thread-safety: each call runs on the caller's thread; two runs in one
// process at the same time would share the action log and are not supported.
// Ownership: nothing survives a call but the log file and the server's state.
#ifndef KORVA_ACTIONS_ACTION_ENTRIES_H_
#define KORVA_ACTIONS_ACTION_ENTRIES_H_

#include "platform/installer.h"

// doPublish: the installer custom action. Always 0.
unsigned runPublishInstallerAction(MSIHANDLE hInstall);

// doPublishA / doPublishW: APS name, user, password, authentication type, log
// file, instructions file, source directory. 0, 14 or 1603.
int runPublishA(const char* apsName, const char* apsUser, const char* apsPass, const char* apsAuth,
                const char* logFile, const char* srcFile, const char* srcPath);
int runPublishW(const wchar_t* apsName, const wchar_t* apsUser, const wchar_t* apsPass,
                const wchar_t* apsAuth, const wchar_t* logFile, const wchar_t* srcFile,
                const wchar_t* srcPath);

// doDeleteA / doDeleteW: APS name, user, password, authentication type, log
// file, folder path, report path. 0, 14 or 1603.
int runDeleteA(const char* apsName, const char* apsUser, const char* apsPass, const char* apsAuth,
               const char* logFile, const char* folderPath, const char* reportPath);
int runDeleteW(const wchar_t* apsName, const wchar_t* apsUser, const wchar_t* apsPass,
               const wchar_t* apsAuth, const wchar_t* logFile, const wchar_t* folderPath,
               const wchar_t* reportPath);

#endif  // KORVA_ACTIONS_ACTION_ENTRIES_H_
