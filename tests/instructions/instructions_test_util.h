// Helpers shared by the instructions reader tests: a private temporary
// directory, files written into it, the action log captured into a file and
// read back with the time stamps masked, a locale guard, and the fixture of
// the publish handler tests.
//
// Thread-safety: test-only, one thread. Ownership: a TempDir (common/test_files.h)
// removes its tree.
#ifndef KORVA_TESTS_INSTRUCTIONS_TEST_UTIL_H_
#define KORVA_TESTS_INSTRUCTIONS_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/action_log.h"
#include "common/log_lines.h"
#include "common/test_files.h"
#include "instructions/handler_publish.h"
#include "platform/com.h"

namespace korva_test {

namespace fs = std::filesystem;

using korva_test_common::TempDir;

// Sends the action log to a file of its own while alive; lines() answers what
// was written, each line without its time stamp but still starting with " - "
// (common/log_lines.h).
class LogCapture {
 public:
  explicit LogCapture(const TempDir& dir) : path_(dir.file("action.log")) {
    ActionLog::open(path_.c_str());
  }
  ~LogCapture() { ActionLog::open(nullptr); }

  std::vector<std::string> lines() const {
    std::vector<std::string> out = korva_test_common::maskedFileLines(path_);
    for (std::string& line : out) line.insert(0, " - ");
    return out;
  }
  std::string raw() const { return korva_test_common::readFile(path_); }

 private:
  std::string path_;
};

// Sets LC_CTYPE for a scope and puts "C" back afterwards.
class CtypeLocale {
 public:
  explicit CtypeLocale(const char* name) { ok_ = std::setlocale(LC_CTYPE, name) != nullptr; }
  ~CtypeLocale() { std::setlocale(LC_CTYPE, "C"); }
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

// COM on the test thread for the whole test.
class ComFixture : public ::testing::Test {
 protected:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override { CoUninitialize(); }
};

// A publish handler initialised for a run, reading files of a private
// directory; each read keeps the log it wrote.
class PublishHandlerTest : public ComFixture {
 protected:
  void SetUp() override {
    ComFixture::SetUp();
    ASSERT_EQ(handler.initialize("aps.example", "runuser", "runpass", "secEnterprise"), 200);
  }

  // Reads the file at `path`; its log goes to lines (unstamped) and logText.
  int readPath(const std::string& path) {
    LogCapture log(dir);
    const int status = handler.parseFile(path.c_str());
    lines = log.lines();
    logText = log.raw();
    return status;
  }

  // Writes the document as publish.xml and reads it.
  int read(const std::string& xml) { return readPath(dir.write("publish.xml", xml)); }

  TempDir dir;
  CMAHandlerPublish handler;
  std::vector<std::string> lines;
  std::string logText;
};

}  // namespace korva_test

#endif  // KORVA_TESTS_INSTRUCTIONS_TEST_UTIL_H_
