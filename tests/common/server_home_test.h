// Base fixture of the tests that run the embedded server in-process: a fresh
// server home per test under the system's temporary directory, named by
// KORVA_SERVER_HOME; the fault and plugin plans cleared before and after; the
// component runtime initialised on the test thread with no error description
// left over, and the server's classes registered with it for the test
// (common/server_classes.h). A derived fixture creates the repositories it
// needs.
//
// Thread-safety: tests run one at a time on one thread (the environment and
// the server's plans are process-wide).
// Ownership: the fixture owns the temporary home and removes it.
#ifndef KORVA_TESTS_COMMON_SERVER_HOME_TEST_H_
#define KORVA_TESTS_COMMON_SERVER_HOME_TEST_H_

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "com/bstr.h"
#include "common/server_classes.h"
#include "common/test_platform.h"
#include "platform/com.h"
#include "reportserver/com/com_support.h"
#include "reportserver/testing/fault_plan.h"
#include "server/report_server.h"

namespace korva_test_common {

// A text argument for the server: a BSTR that lives until the end of the
// call's full expression.
inline korva::Bstr B(const wchar_t* text) { return korva::Bstr(text); }
inline korva::Bstr B(const std::wstring& text) { return korva::Bstr(text); }

class ServerHomeTest : public ::testing::Test {
 protected:
  // The home is <temporary directory>/<prefix><process id>-<serial>.
  explicit ServerHomeTest(const char* prefix) : prefix_(prefix) {}

  void SetUp() override {
    static std::atomic<int> serial{0};
    home_ = std::filesystem::temp_directory_path() /
            (prefix_ + std::to_string(korva_test::processId()) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(home_);
    std::filesystem::create_directories(home_);
    korva_test::setEnvironmentVariable("KORVA_SERVER_HOME", home_.string());
    clearPlans();
    classes_.emplace();
    ASSERT_EQ(classes_->initResult(), S_OK);
    ASSERT_TRUE(classes_->registered());
    korva::clearLastErrorDescription();
  }

  void TearDown() override {
    clearPlans();
    classes_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

  std::filesystem::path home_;

 private:
  static void clearPlans() {
    korva_test::unsetEnvironmentVariable("KORVA_SERVER_FAULTS");
    korva_test::unsetEnvironmentVariable("KORVA_SERVER_PLUGINS");
    korva::clearServerFaultPlan();
    korva::clearServerPluginPlan();
  }

  std::string prefix_;
  std::optional<ServerClassRegistration> classes_;
};

}  // namespace korva_test_common

#endif  // KORVA_TESTS_COMMON_SERVER_HOME_TEST_H_
