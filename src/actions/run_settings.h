// The settings of a run as the entry points and the installer hand them over,
// their keys ("CA_VR_APSNAME"...) and the defaults both runs share: user
// "Administrator", authentication "secEnterprise", the log file in the
// temporary directory, "stdout" selecting standard output, and (publish only)
// the instructions file and the source directory beside the engine library.
//
// Thread-safety: values are used by one run on one thread; the directory
// helpers keep no state and may run on any thread.
// Ownership: plain values.
#ifndef KORVA_ACTIONS_RUN_SETTINGS_H_
#define KORVA_ACTIONS_RUN_SETTINGS_H_

#include "support/containers.h"
#include "support/sstring.h"

// Setting keys: installer property names and keys of the value map alike.
extern const char kKeyApsName[];
extern const char kKeyApsUser[];
extern const char kKeyApsPass[];
extern const char kKeyApsAuth[];
extern const char kKeyLogFile[];
extern const char kKeySrcFile[];
extern const char kKeySrcPath[];
extern const char kKeyDelFld[];
extern const char kKeyDelRpt[];

// The value map the string entry points build.
using CMARunValueMap = SIMap<SAnsiString, SAnsiString>;

// The settings of one run; the last four belong to one action each.
struct CMARunSettings {
  SAnsiString apsName;
  SAnsiString apsUser;
  SAnsiString apsPass;
  SAnsiString apsAuth;
  SAnsiString logFile;
  SAnsiString srcFile;     // publish: the instructions file
  SAnsiString srcPath;     // publish: the source directory
  SAnsiString folderPath;  // delete: the folder to remove
  SAnsiString reportPath;  // delete: the report to remove
};

// A setting's key and the field that holds it.
struct CMARunSettingKey {
  const char* key;
  SAnsiString CMARunSettings::*field;
};

// The seven settings of each run, in the order of its entry points' arguments.
constexpr int kRunSettingCount = 7;
extern const CMARunSettingKey kPublishSettingKeys[kRunSettingCount];
extern const CMARunSettingKey kDeleteSettingKeys[kRunSettingCount];

// Directory of the module that holds the engine (libkorvalink.so when the
// engine runs from it), drive and directory with the trailing separator; ""
// when the module's path is not known.
SAnsiString engineLibraryDirectory();
// The system's directory for temporary files, with the trailing separator.
SAnsiString engineTemporaryDirectory();

// Sets each of the seven settings that keys names to the value stored under
// its key, or "" when the key is missing. May throw bad_alloc.
void readRunValues(const CMARunValueMap& values, const CMARunSettingKey* keys,
                   CMARunSettings* settings);

// Fills in the defaults shared by both runs: apsUser "Administrator", apsAuth
// "secEnterprise", an empty log file becomes the temporary directory +
// logBaseName + ".log"; then a log file of exactly "stdout" becomes "" (the
// log goes to standard output). The APS name is left as it is: the run puts
// the local host's name in its place when it is empty. May throw bad_alloc.
void applyCommonDefaults(CMARunSettings* settings, const char* logBaseName);

#endif  // KORVA_ACTIONS_RUN_SETTINGS_H_
