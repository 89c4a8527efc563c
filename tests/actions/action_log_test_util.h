// Helpers of the action log's tests: the log's lines with their time stamps
// checked and cut off, and a fixture with a fresh
// directory that lets go of the log before removing it.
//
// Thread-safety: one test at a time. Ownership: the fixture owns its directory.
#ifndef KORVA_TESTS_ACTIONS_ACTION_LOG_TEST_UTIL_H_
#define KORVA_TESTS_ACTIONS_ACTION_LOG_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/action_log.h"
#include "common/log_lines.h"

namespace action_log_test {

namespace fs = std::filesystem;

// The lines of a text with the stamp checked and cut off, each still starting
// with " - " (common/log_lines.h); the last line must be ended.
inline std::vector<std::string> maskedLines(const std::string& text) {
  EXPECT_TRUE(text.empty() || text.back() == '\n') << "last line not ended";
  std::vector<std::string> lines = korva_test_common::maskedLines(text);
  for (std::string& line : lines) line.insert(0, " - ");
  return lines;
}

class ActionLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("korva_action_log_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    ActionLog::open(nullptr);  // let go of the file before removing it
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

}  // namespace action_log_test

#endif  // KORVA_TESTS_ACTIONS_ACTION_LOG_TEST_UTIL_H_
