// The installer tests' helpers: msiexec and msi_ui_host run as children
// (runChild of tests/common) in the environment the end-to-end helpers
// compose, the work directory under the temporary one.
#include "installer_test_util.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "common/test_platform.h"
#include "e2e/e2e_util.h"

namespace installer_test {
namespace {

namespace fs = std::filesystem;

std::string windowsPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string msiexecProgram() {
  const char* root = std::getenv("SystemRoot");
  return std::string(root ? root : "C:\\windows") + "\\system32\\msiexec.exe";
}

}  // namespace

std::string packagePath(const std::string& fileName) {
  return windowsPath(std::string(KORVA_INSTALLER_DIR) + "/" + fileName);
}

std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> linesBetween(const std::vector<std::string>& lines,
                                      const std::string& from, const std::string& to) {
  auto starts = [](const std::string& prefix) {
    return [prefix](const std::string& line) { return line.rfind(prefix, 0) == 0; };
  };
  const auto first = std::find_if(lines.begin(), lines.end(), starts(from));
  if (first == lines.end()) return {};
  const auto last = std::find_if(first + 1, lines.end(), starts(to));
  return std::vector<std::string>(first, last);
}

void InstallerTest::SetUp() {
  // A parameterised test's name holds a "/".
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(name.begin(), name.end(), '/', '_');
  const fs::path dir = fs::temp_directory_path() /
                       ("korva_installer_" + std::to_string(std::random_device{}()) + "_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  work_ = windowsPath(dir.string());
  if (work_.back() != '\\') work_ += '\\';
}

void InstallerTest::TearDown() {
  for (const std::string& package : installed_) {
    EXPECT_EQ(msiexecUninstall(package), 0) << "removing " << package;
  }
  // Without the final separator, which the C++ runtime's removal of the
  // directory itself does not take.
  std::error_code ignored;
  fs::remove_all(work_.substr(0, work_.size() - 1), ignored);
}

int InstallerTest::run(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> env;
  for (const std::string& entry : e2e::changedEnvironment(environment_)) {
    if (entry.rfind("KORVA_STUB_", 0) != 0) env.push_back(entry);
  }
  env.push_back("KORVA_STUB_REPORT=" + work_ + "stub-report.txt");
  // The installer's helper processes inherit the standard streams and may
  // outlive the installation: no file of the work directory is handed over.
  const korva_test::ChildResult child = korva_test::runChild(program, args, env, "NUL", "NUL", "");
  EXPECT_TRUE(child.started && child.exited) << program << ": " << child.error;
  return child.exitCode;
}

void InstallerTest::installed(const std::string& package, int result) {
  if (result == 0 && std::find(installed_.begin(), installed_.end(), package) == installed_.end()) {
    installed_.push_back(package);
  }
}

int InstallerTest::msiexecInstall(const std::string& package,
                                  const std::vector<std::string>& properties,
                                  const std::string& verboseLog) {
  std::vector<std::string> args = {"/i", package, "/qn", "INSTALLDIR=" + installDir()};
  args.insert(args.end(), properties.begin(), properties.end());
  if (!verboseLog.empty()) args.insert(args.end(), {"/l*v", verboseLog});
  const int result = run(msiexecProgram(), args);
  installed(package, result);
  return result;
}

int InstallerTest::msiexecUninstall(const std::string& package) {
  const int result = run(msiexecProgram(), {"/x", package, "/qn", "INSTALLDIR=" + installDir()});
  if (result == 0) installed_.erase(std::remove(installed_.begin(), installed_.end(), package),
                                    installed_.end());
  return result;
}

HostRun InstallerTest::hostInstall(const std::string& package, const std::string& properties) {
  const std::string out = work_ + "host-messages.txt";
  std::string commandLine = "INSTALLDIR=" + installDir();
  if (!properties.empty()) commandLine += " " + properties;
  HostRun r;
  const int result = run(windowsPath(KORVA_INSTALLER_HOST), {package, out, commandLine});
  installed(package, result);
  r.lines = readLines(out);
  // The last line is the result, which the exit status repeats.
  if (!r.lines.empty() && r.lines.back() == "result " + std::to_string(result)) {
    r.lines.pop_back();
    r.result = static_cast<unsigned>(result);
  }
  return r;
}

std::vector<std::vector<std::string>> InstallerTest::stubCalls() const {
  std::vector<std::vector<std::string>> calls(1);
  for (const std::string& line : readLines(work_ + "stub-report.txt")) {
    if (line == "end") {
      calls.emplace_back();
    } else {
      calls.back().push_back(line);
    }
  }
  if (calls.back().empty()) calls.pop_back();
  return calls;
}

}  // namespace installer_test
