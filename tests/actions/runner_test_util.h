// Helpers of the in-process runner tests: a temporary work directory with its
// own embedded server home (KORVA_SERVER_HOME and the temporary directory's
// variable point into it while the fixture lives), the server's classes
// registered for the test and one repository, files to build source trees,
// and the log lines of a run without their time stamps.
//
// Thread-safety: one test at a time. Ownership: the fixture owns its
// temporary directory and restores the environment it changed.
#ifndef KORVA_TESTS_ACTIONS_RUNNER_TEST_UTIL_H_
#define KORVA_TESTS_ACTIONS_RUNNER_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/log_lines.h"
#include "common/server_classes.h"

namespace runner_test {

namespace fs = std::filesystem;

// The APS name of the fixture's repository.
constexpr char kAps[] = "korva-runner";

class RunnerTest : public ::testing::Test {
 protected:
  RunnerTest();
  ~RunnerTest() override;
  void SetUp() override;

  fs::path work() const { return work_; }
  fs::path src() const { return work_ / "src"; }
  fs::path logPath() const { return work_ / "run.log"; }
  // The log's lines from the message on (common/log_lines.h).
  std::vector<std::string> logLines() const { return logLinesOf(logPath()); }
  static std::vector<std::string> logLinesOf(const fs::path& path) {
    return korva_test_common::maskedFileLines(path);
  }

  // Writes a file, creating its directories.
  static void writeFile(const fs::path& path, const std::string& content);
  // Names in a directory in the order the publish walk lists them.
  static std::vector<std::string> listingOrder(const fs::path& dir);
  // The instructions file with the given body inside <publish>...</publish>.
  fs::path instructions(const std::string& body) const;

  // Server ids, through the repository's tree and user listings.
  int userId(const std::string& name) const;
  std::string tree() const;

  static std::string connectedLine();
  static std::vector<std::string> summary(const std::string& srcFile, const std::vector<int>& n);

 private:
  fs::path work_;
  std::optional<korva_test_common::ServerClassRegistration> classes_;
  std::string oldHome_;
  std::string oldTmp_;
  bool hadHome_ = false;
  bool hadTmp_ = false;
};

}  // namespace runner_test

#endif  // KORVA_TESTS_ACTIONS_RUNNER_TEST_UTIL_H_
