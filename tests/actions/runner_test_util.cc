// Helpers of the in-process runner tests (see runner_test_util.h).
#include "actions/runner_test_util.h"

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "common/test_platform.h"
#include "reportserver/admin/repository_admin.h"
#include "reportserver/admin/repository_views.h"
#include "reportserver/testing/fault_plan.h"
#include "support/file_sys.h"

namespace runner_test {

namespace {

void remember(const char* name, std::string* old, bool* had) {
  const char* value = std::getenv(name);
  *had = value != nullptr;
  if (value) *old = value;
}

void restore(const char* name, const std::string& old, bool had) {
  if (had) {
    korva_test::setEnvironmentVariable(name, old);
  } else {
    korva_test::unsetEnvironmentVariable(name);
  }
}

}  // namespace

RunnerTest::RunnerTest() {
  // <temporary directory>/korva-runner-<process id>-<serial>, as the
  // environment names it before the fixture points it into the work
  // directory.
  static int serial = 0;
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  if (!error) {
    fs::path dir = base / ("korva-runner-" + std::to_string(korva_test::processId()) + "-" +
                           std::to_string(serial++));
    fs::remove_all(dir, error);
    if (fs::create_directories(dir, error)) work_ = dir;
  }
  remember("KORVA_SERVER_HOME", &oldHome_, &hadHome_);
  remember(korva_test::temporaryDirectoryVariable(), &oldTmp_, &hadTmp_);
}

RunnerTest::~RunnerTest() {
  korva::clearServerFaultPlan();
  classes_.reset();
  restore("KORVA_SERVER_HOME", oldHome_, hadHome_);
  restore(korva_test::temporaryDirectoryVariable(), oldTmp_, hadTmp_);
  std::error_code ignored;
  if (!work_.empty()) fs::remove_all(work_, ignored);
}

void RunnerTest::SetUp() {
  ASSERT_FALSE(work_.empty());
  fs::create_directories(work_ / "servers");
  fs::create_directories(work_ / "tmp");
  fs::create_directories(src());
  korva_test::setEnvironmentVariable("KORVA_SERVER_HOME", (work_ / "servers").string());
  korva_test::setEnvironmentVariable(korva_test::temporaryDirectoryVariable(),
                                     (work_ / "tmp").string());
  korva::clearServerFaultPlan();
  classes_.emplace();
  ASSERT_TRUE(classes_->registered());
  std::string error;
  ASSERT_TRUE(korva::initRepository(kAps, "", &error)) << error;
}

void RunnerTest::writeFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::vector<std::string> RunnerTest::listingOrder(const fs::path& dir) {
  SIArray<FileProp> entries;
  SFileSys::listing(SAnsiString(dir.string().c_str()), SAnsiString("*"), entries);
  std::vector<std::string> names;
  for (int i = 0; i < entries.getCount(); ++i) names.emplace_back(entries[i].name.getBuffer());
  return names;
}

fs::path RunnerTest::instructions(const std::string& body) const {
  fs::path path = work_ / "publish.xml";
  writeFile(path, "<publish>" + body + "</publish>");
  return path;
}

int RunnerTest::userId(const std::string& name) const {
  std::string text;
  std::string error;
  if (!korva::viewLocalRepository(kAps, korva::describeUsers, &text, &error)) return -1;
  std::smatch m;
  std::regex line("User ([0-9]+) \"" + name + "\"");
  return std::regex_search(text, m, line) ? std::stoi(m[1]) : -1;
}

std::string RunnerTest::tree() const {
  std::string text;
  std::string error;
  EXPECT_TRUE(korva::viewLocalRepository(kAps, korva::describeTree, &text, &error)) << error;
  return text;
}

std::string RunnerTest::connectedLine() {
  return std::string(LOG_INFO_PUB "Successfully initialized connection to APS ") + kAps +
         " as Administrator.";
}

std::vector<std::string> RunnerTest::summary(const std::string& srcFile,
                                             const std::vector<int>& n) {
  static const char* const kinds[] = {"users added",   "users updated",   "users skipped",
                                      "folders added", "folders updated", "folders skipped",
                                      "reports added", "reports updated", "reports skipped"};
  std::vector<std::string> lines = {
      LOG_INFO_ACT "Successfully added/updated users, folders, and reports based on " + srcFile +
      "."};
  for (size_t i = 0; i < n.size() && i < 9; ++i) {
    lines.push_back(LOG_INFO_ACT + std::to_string(n[i]) + " " + kinds[i] + ".");
  }
  return lines;
}

}  // namespace runner_test
