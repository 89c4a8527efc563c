// The fixture of the publish runner's in-process tests: a run of the runner
// on an instructions file and a source directory into the fixture's log, its
// counters in the order of the run's summary, and the id a log line names.
//
// Thread-safety: one test at a time. Ownership: the fixture owns its runner.
#ifndef KORVA_TESTS_ACTIONS_PUBLISH_RUNNER_FIXTURE_H_
#define KORVA_TESTS_ACTIONS_PUBLISH_RUNNER_FIXTURE_H_

#include <string>
#include <vector>

#include "actions/publish_runner.h"
#include "actions/runner_test_util.h"

namespace runner_test {

using Lines = std::vector<std::string>;

class PublishRunnerTest : public RunnerTest {
 protected:
  int publish(const fs::path& xml, const fs::path& source) {
    runner_.readActionTexts(0);
    return runner_.publishRun(0, kAps, "Administrator", "", "secEnterprise",
                              logPath().string().c_str(), xml.string().c_str(),
                              source.string().c_str());
  }
  static std::vector<int> counts(const CMAPublishCounters& c) {
    return {c.usersAdded,     c.usersUpdated, c.usersSkipped,   c.foldersAdded,  c.foldersUpdated,
            c.foldersSkipped, c.reportsAdded, c.reportsUpdated, c.reportsSkipped};
  }

  CMARunnerPublish runner_;
};

// Reads the id after "with id " in a line of the log that starts with prefix.
inline int idIn(const Lines& lines, const std::string& prefix) {
  for (const std::string& line : lines) {
    if (line.compare(0, prefix.size(), prefix) == 0) {
      std::string::size_type at = line.find(" with id ");
      if (at != std::string::npos) return std::stoi(line.substr(at + 9));
    }
  }
  return -1;
}

}  // namespace runner_test

#endif  // KORVA_TESTS_ACTIONS_PUBLISH_RUNNER_FIXTURE_H_
