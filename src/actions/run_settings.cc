// Setting keys and the defaults shared by the publish and delete runs.
#include "actions/run_settings.h"

#include <string>

#include "platform/module.h"
#include "support/path_util.h"

const char kKeyApsName[] = "CA_VR_APSNAME";
const char kKeyApsUser[] = "CA_VR_APSUSER";
const char kKeyApsPass[] = "CA_VR_APSPASS";
const char kKeyApsAuth[] = "CA_VR_APSAUTH";
const char kKeyLogFile[] = "CA_VR_LOGFILE";
const char kKeySrcFile[] = "CA_VR_SRCFILE";
const char kKeySrcPath[] = "CA_VR_SRCPATH";
const char kKeyDelFld[] = "CA_VR_DELFLD";
const char kKeyDelRpt[] = "CA_VR_DELRPT";

const CMARunSettingKey kPublishSettingKeys[kRunSettingCount] = {
    {kKeyApsName, &CMARunSettings::apsName}, {kKeyApsUser, &CMARunSettings::apsUser},
    {kKeyApsPass, &CMARunSettings::apsPass}, {kKeyApsAuth, &CMARunSettings::apsAuth},
    {kKeyLogFile, &CMARunSettings::logFile}, {kKeySrcFile, &CMARunSettings::srcFile},
    {kKeySrcPath, &CMARunSettings::srcPath}};
const CMARunSettingKey kDeleteSettingKeys[kRunSettingCount] = {
    {kKeyApsName, &CMARunSettings::apsName},  {kKeyApsUser, &CMARunSettings::apsUser},
    {kKeyApsPass, &CMARunSettings::apsPass},  {kKeyApsAuth, &CMARunSettings::apsAuth},
    {kKeyLogFile, &CMARunSettings::logFile},  {kKeyDelFld, &CMARunSettings::folderPath},
    {kKeyDelRpt, &CMARunSettings::reportPath}};

namespace {

// Drive and directory of a full path, joined again: the directory with its
// trailing separator, or "" when the path has none.
SAnsiString directoryOf(const std::string& path) {
  SAnsiString drive;
  SAnsiString dir;
  SAnsiString name;
  SAnsiString ext;
  splitPath(SAnsiString(path.c_str()), &drive, &dir, &name, &ext);
  if (drive.isEmpty() && dir.isEmpty()) return SAnsiString();
  return makePath(drive.getBuffer(), dir.getBuffer(), nullptr, nullptr);
}

}  // namespace

SAnsiString engineLibraryDirectory() {
  // Any function of the engine will do: the engine is linked into exactly one
  // module, so its address names that module's file.
  return directoryOf(korva::modulePathOf(reinterpret_cast<const void*>(&engineLibraryDirectory)));
}

SAnsiString engineTemporaryDirectory() { return directoryOf(korva::temporaryDirectory()); }

void readRunValues(const CMARunValueMap& values, const CMARunSettingKey* keys,
                   CMARunSettings* settings) {
  for (int i = 0; i < kRunSettingCount; ++i) {
    SAnsiString value;
    values.lookup(SAnsiString(keys[i].key), value);
    settings->*keys[i].field = value;
  }
}

void applyCommonDefaults(CMARunSettings* settings, const char* logBaseName) {
  if (settings->apsUser.isEmpty()) settings->apsUser = "Administrator";
  if (settings->apsAuth.isEmpty()) settings->apsAuth = "secEnterprise";
  if (settings->logFile.isEmpty()) {
    settings->logFile =
        makePath(nullptr, engineTemporaryDirectory().getBuffer(), logBaseName, ".log");
  }
  // Only an explicit "stdout" selects standard output; the comparison is
  // byte for byte, so "STDOUT" names a file.
  if (std::string(settings->logFile.getBuffer()) == "stdout") settings->logFile = SAnsiString();
}
