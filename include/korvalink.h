/* korvalink.h: the six functions the Korva engine library exports
   (korvalink.dll on Windows, libkorvalink.so on Linux), for installers and
   programs that call it, from C or C++. The library is usually loaded at run
   time (LoadLibrary and GetProcAddress, or dlopen and dlsym) and the
   functions looked up by these names; the pointer types below carry their
   calling convention.

   Each call runs to its end on the caller's thread; two runs in one process
   at the same time are not supported. The string arguments are
   zero-terminated and stay the caller's: the library keeps nothing of them.
   A null or empty argument takes its default: the local host's name for
   the APS name, "Administrator" for the user, an empty password,
   "secEnterprise" for the authentication type, publish.log or delete.log in
   the temporary directory for the log file ("stdout": standard output), and
   publish.xml and the directory beside the library for the instructions
   file and the source directory.

   The string functions answer 0 on success, 14 when memory ran out, 1603
   on any other failure; the log file tells what failed.

   Thread-safety and ownership: declarations only. */
#ifndef KORVALINK_H_
#define KORVALINK_H_

#include <stddef.h> /* wchar_t */

/* The entry points' calling convention: __stdcall on Windows (the callee
   removes the arguments), the platform's default elsewhere. */
#if defined(_WIN32)
#define KORVALINK_CALL __stdcall
#else
#define KORVALINK_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The installer custom action: reads the publish settings from the
   installer properties CA_VR_APSNAME, CA_VR_APSUSER, CA_VR_APSPASS,
   CA_VR_APSAUTH, CA_VR_LOGFILE, CA_VR_SRCFILE and CA_VR_SRCPATH of the
   installer session hInstall (an MSIHANDLE), reports progress to it and
   publishes; does nothing in a rollback, maintenance or scheduled run.
   Always answers 0: failures show in the log only. */
unsigned int KORVALINK_CALL doPublish(unsigned long hInstall);

/* Publishes the users, folders and reports that the instructions file
   srcFile lists, the folders and reports from the tree under srcPath, to the
   report server apsName as apsUser (password apsPass, authentication type
   apsAuth), logging to logFile. 0, 14 or 1603. The W form takes the same
   arguments as wide text. */
int KORVALINK_CALL doPublishA(const char* apsName, const char* apsUser, const char* apsPass,
                              const char* apsAuth, const char* logFile, const char* srcFile,
                              const char* srcPath);
int KORVALINK_CALL doPublishW(const wchar_t* apsName, const wchar_t* apsUser,
                              const wchar_t* apsPass, const wchar_t* apsAuth,
                              const wchar_t* logFile, const wchar_t* srcFile,
                              const wchar_t* srcPath);

/* Deletes the report reportPath and the folder folderPath (each a path of
   folder names from the top of the server's tree, separated by "\"; empty:
   none) from the report server apsName as apsUser (password apsPass,
   authentication type apsAuth), logging to logFile. 0, 14 or 1603. The W
   form takes the same arguments as wide text. */
int KORVALINK_CALL doDeleteA(const char* apsName, const char* apsUser, const char* apsPass,
                             const char* apsAuth, const char* logFile, const char* folderPath,
                             const char* reportPath);
int KORVALINK_CALL doDeleteW(const wchar_t* apsName, const wchar_t* apsUser, const wchar_t* apsPass,
                             const wchar_t* apsAuth, const wchar_t* logFile,
                             const wchar_t* folderPath, const wchar_t* reportPath);

/* Does nothing and returns at once: shows that the library loads and can
   be called. */
void KORVALINK_CALL TestFcn(void);

/* The functions' types, for pointers from a look-up by name. */
typedef unsigned int(KORVALINK_CALL* doPublishProc)(unsigned long hInstall);
typedef int(KORVALINK_CALL* doPublishAProc)(const char*, const char*, const char*, const char*,
                                            const char*, const char*, const char*);
typedef int(KORVALINK_CALL* doPublishWProc)(const wchar_t*, const wchar_t*, const wchar_t*,
                                            const wchar_t*, const wchar_t*, const wchar_t*,
                                            const wchar_t*);
typedef doPublishAProc doDeleteAProc;
typedef doPublishWProc doDeleteWProc;
typedef void(KORVALINK_CALL* TestFcnProc)(void);

#ifdef __cplusplus
}
#endif

#endif /* KORVALINK_H_ */
