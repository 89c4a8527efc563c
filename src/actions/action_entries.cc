// The exported functions' bodies: value maps, runners and result codes.
#include "actions/action_entries.h"

#include "common/action_log.h"
#include "actions/delete_runner.h"
#include "actions/publish_runner.h"
#include "actions/run_settings.h"
#include "common/status.h"

namespace {

constexpr int kArgumentCount = kRunSettingCount;
constexpr int kLogFileArgument = 4;

// Builds the value map and runs a Runner with it. Null arguments count as
// empty; 14 when memory runs out.
template <typename Runner>
int runWithArguments(const CMARunSettingKey* keys, const char* const arguments[]) {
  try {
    CMARunValueMap values;
    for (int i = 0; i < kArgumentCount; ++i) {
      values.setAt(SAnsiString(keys[i].key), SAnsiString(arguments[i] ? arguments[i] : ""));
    }
    Runner runner;
    runner.readActionTexts(0);
    return runner.runWithValues(values);
  } catch (...) {
    return toInstallerResult(kStatusOutOfMemory);
  }
}

// Wide arguments become 8-bit text in the process's multibyte encoding. A
// value that encoding cannot hold is not silently dropped (an empty password
// or path would take a default and the run would do something else than
// asked): the call fails and the Runner's log names the setting.
template <typename Runner>
int runWithWideArguments(const CMARunSettingKey* keys, const wchar_t* const arguments[]) {
  try {
    SAnsiString converted[kArgumentCount];
    const char* pointers[kArgumentCount];
    int failed = -1;
    for (int i = 0; i < kArgumentCount; ++i) {
      if (arguments[i] && !converted[i].assign(arguments[i]) && failed < 0) failed = i;
      pointers[i] = converted[i].getBuffer();
    }
    if (failed < 0) return runWithArguments<Runner>(keys, pointers);
    CMARunSettings settings;
    if (failed != kLogFileArgument) settings.logFile = converted[kLogFileArgument];
    applyCommonDefaults(&settings, Runner::kLogBaseName);
    ActionLog::open(settings.logFile.getBuffer());
    ActionLog::logLine(KORVA_ERROR KORVA_CTX_ACTION
                       "The value of %s cannot be converted to the process's multibyte "
                       "encoding.",
                       keys[failed].key);
    ActionLog::logStatusLine(kStatusSystem, "%s", Runner::kFailureLine);
    return toInstallerResult(kStatusSystem);
  } catch (...) {
    return toInstallerResult(kStatusOutOfMemory);
  }
}

}  // namespace

unsigned runPublishInstallerAction(MSIHANDLE hInstall) {
  try {
    CMARunnerPublish runner;
    runner.readActionTexts(hInstall);
    runner.runAsInstallerAction(hInstall);
  } catch (...) {
    // The installer is never told of a failure; the log holds what happened.
  }
  return 0;
}

int runPublishA(const char* apsName, const char* apsUser, const char* apsPass, const char* apsAuth,
                const char* logFile, const char* srcFile, const char* srcPath) {
  const char* const arguments[kArgumentCount] = {apsName, apsUser, apsPass, apsAuth,
                                                 logFile, srcFile, srcPath};
  return runWithArguments<CMARunnerPublish>(kPublishSettingKeys, arguments);
}

int runPublishW(const wchar_t* apsName, const wchar_t* apsUser, const wchar_t* apsPass,
                const wchar_t* apsAuth, const wchar_t* logFile, const wchar_t* srcFile,
                const wchar_t* srcPath) {
  const wchar_t* const arguments[kArgumentCount] = {apsName, apsUser, apsPass, apsAuth,
                                                    logFile, srcFile, srcPath};
  return runWithWideArguments<CMARunnerPublish>(kPublishSettingKeys, arguments);
}

int runDeleteA(const char* apsName, const char* apsUser, const char* apsPass, const char* apsAuth,
               const char* logFile, const char* folderPath, const char* reportPath) {
  const char* const arguments[kArgumentCount] = {apsName, apsUser,    apsPass,   apsAuth,
                                                 logFile, folderPath, reportPath};
  return runWithArguments<CMARunnerDelete>(kDeleteSettingKeys, arguments);
}

int runDeleteW(const wchar_t* apsName, const wchar_t* apsUser, const wchar_t* apsPass,
               const wchar_t* apsAuth, const wchar_t* logFile, const wchar_t* folderPath,
               const wchar_t* reportPath) {
  const wchar_t* const arguments[kArgumentCount] = {apsName, apsUser,    apsPass,   apsAuth,
                                                    logFile, folderPath, reportPath};
  return runWithWideArguments<CMARunnerDelete>(kDeleteSettingKeys, arguments);
}
