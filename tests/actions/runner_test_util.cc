// Helpers of the in-process runner tests (see runner_test_util.h).
#include "actions/runner_test_util.h"

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "reportserver/fault_plan.h"
#include "reportserver/repository_admin.h"
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
    setenv(name, old.c_str(), 1);
  } else {
    unsetenv(name);
  }
}

}  // namespace

RunnerTest::RunnerTest() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/korva-runner-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data())) work_ = buffer.data();
  remember("KORVA_SERVER_HOME", &oldHome_, &hadHome_);
  remember("TMPDIR", &oldTmp_, &hadTmp_);
}

RunnerTest::~RunnerTest() {
  korva::clearServerFaultPlan();
  restore("KORVA_SERVER_HOME", oldHome_, hadHome_);
  restore("TMPDIR", oldTmp_, hadTmp_);
  std::error_code ignored;
  if (!work_.empty()) fs::remove_all(work_, ignored);
}

void RunnerTest::SetUp() {
  ASSERT_FALSE(work_.empty());
  fs::create_directories(work_ / "servers");
  fs::create_directories(work_ / "tmp");
  fs::create_directories(src());
  setenv("KORVA_SERVER_HOME", (work_ / "servers").c_str(), 1);
  setenv("TMPDIR", (work_ / "tmp").c_str(), 1);
  korva::clearServerFaultPlan();
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
  SFileSys::listing(SAnsiString(dir.c_str()), SAnsiString("*"), entries);
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
  if (!korva::describeUsers(kAps, &text, &error)) return -1;
  std::smatch m;
  std::regex line("User ([0-9]+) \"" + name + "\"");
  return std::regex_search(text, m, line) ? std::stoi(m[1]) : -1;
}

std::string RunnerTest::tree() const {
  std::string text;
  std::string error;
  EXPECT_TRUE(korva::describeTree(kAps, &text, &error)) << error;
  return text;
}

std::string RunnerTest::connectedLine() {
  return std::string(RT_INFO_PUB "Successfully initialized connection to APS ") + kAps +
         " as Administrator.";
}

std::vector<std::string> RunnerTest::summary(const std::string& srcFile,
                                             const std::vector<int>& n) {
  static const char* const kinds[] = {"users added",   "users updated",   "users skipped",
                                      "folders added", "folders updated", "folders skipped",
                                      "reports added", "reports updated", "reports skipped"};
  std::vector<std::string> lines = {
      RT_INFO_ACT "Successfully added/updated users, folders, and reports based on " + srcFile +
      "."};
  for (size_t i = 0; i < n.size() && i < 9; ++i) {
    lines.push_back(RT_INFO_ACT + std::to_string(n[i]) + " " + kinds[i] + ".");
  }
  return lines;
}

std::vector<std::string> installerMessageLines(MSIHANDLE session) {
  std::vector<std::string> lines;
  for (const korva::InstallerMessage& m : korva::installerMessages(session)) {
    char type[16];
    std::snprintf(type, sizeof type, "%08X", static_cast<unsigned>(m.type));
    std::string out = type;
    for (const auto& f : m.fields) {
      switch (f.kind) {
        case korva::InstallerField::Kind::Integer:
          out += " I:" + std::to_string(f.integer);
          break;
        case korva::InstallerField::Kind::String:
          out += " S:" + f.text;
          break;
        default:
          out += " -";
      }
    }
    lines.push_back(out);
  }
  return lines;
}

}  // namespace runner_test
