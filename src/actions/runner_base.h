// CMARunnerBase: the abstract base of the two runs (publish and delete), and
// toInstallerResult, which turns a run's status into the result the exported
// string functions answer.
//
// Thread-safety: a runner is used by one thread, for one run.
// Ownership: the caller owns the runner; a runner owns what it builds for its
// run (the value map is only read).
#ifndef KORVA_ACTIONS_RUNNER_BASE_H_
#define KORVA_ACTIONS_RUNNER_BASE_H_

#include "actions/status.h"
#include "platform/installer.h"
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
};

// 0 for success (200), 14 for out of memory (203), 1603 for any other status.
inline int toInstallerResult(int status) {
  if (status == kStatusOk) return 0;
  if (status == kStatusOutOfMemory) return 14;
  return 1603;
}

#endif  // KORVA_ACTIONS_RUNNER_BASE_H_
