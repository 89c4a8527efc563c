// CMARunnerBase: the abstract base of the two runs (publish and delete), the
// frame both runs share (log, framework, failure line, disconnecting), and
// toInstallerResult, which turns a run's status into the result the exported
// string functions answer.
//
// Thread-safety: a runner is used by one thread, for one run.
// Ownership: the caller owns the runner; a runner owns what it builds for its
// run (the value map is only read).
#ifndef KORVA_ACTIONS_RUNNER_BASE_H_
#define KORVA_ACTIONS_RUNNER_BASE_H_

#include "common/action_log.h"
#include "actions/framework.h"
#include "common/status.h"
#include "platform/installer.h"
#include "server/ve_obj_v85.h"
#include "support/containers.h"
#include "support/sstring.h"

class CMARunnerBase {
 public:
  virtual ~CMARunnerBase() = default;

  // Prepares a run: zeroes the counters. The publish run also reads its action
  // texts from the installer (a null handle, 0, gives the default texts).
  virtual void readActionTexts(MSIHANDLE hInstall) = 0;
  // Runs from a map of setting keys ("CA_VR_APSNAME"...) to values and answers
  // the result of toInstallerResult.
  virtual int runWithValues(const SIMap<SAnsiString, SAnsiString>& values) = 0;
  // Runs as an installer custom action; answers 0.
  virtual unsigned runAsInstallerAction(MSIHANDLE hInstall) = 0;

 protected:
  // The frame of a run: opens the log and initialises the framework (when
  // that fails, writes why and answers its status); runs steps(aps) with the
  // APS name, the local host's name when none is given; writes failureLine
  // with the status when the steps fail (203 when they throw); then
  // disconnects from the server and uninitialises the framework.
  template <typename Steps>
  static int runInFramework(const char* logFile, const char* apsName, const char* failureLine,
                            CMAVEObjV85& server, Steps steps);
};

template <typename Steps>
int CMARunnerBase::runInFramework(const char* logFile, const char* apsName, const char* failureLine,
                                  CMAVEObjV85& server, Steps steps) {
  ActionLog::open(logFile);
  CMAFramework& framework = CMAFramework::instance();
  int status = framework.initialize();
  if (status != kStatusOk) {
    ActionLog::logStatusLine(
        status, KORVA_ERROR KORVA_CTX_ACTION "Failed to initialize the publisher module.");
    return status;
  }
  try {
    SAnsiString aps = (apsName && *apsName) ? SAnsiString(apsName) : CMAFramework::localHostName();
    status = steps(aps.getBuffer());
  } catch (...) {
    // Memory ran out somewhere between the steps.
    status = kStatusOutOfMemory;
  }
  if (status != kStatusOk) ActionLog::logStatusLine(status, "%s", failureLine);
  server.disconnect();
  framework.uninitialize();
  return status;
}

// 0 for success (200), 14 for out of memory (203), 1603 for any other status.
inline int toInstallerResult(int status) {
  if (status == kStatusOk) return 0;
  if (status == kStatusOutOfMemory) return 14;
  return 1603;
}

#endif  // KORVA_ACTIONS_RUNNER_BASE_H_
