// Helpers of the installer tests: a fresh work directory per test, with the
// product's install directory in it; installing and removing the build's
// packages with msiexec and through msi_ui_host; and reading back what the
// stand-in library (stub/stub_action.cc) reported of each call.
//
// Every path handed to the installer is a Windows path (backslashes); the
// installer and its custom actions run as child processes of the test, with
// the test's environment, the fixture's changes to it (setEnvironment) and
// KORVA_STUB_REPORT pointing into the work directory.
//
// Thread-safety: one test at a time (and, across processes, one installation
// at a time: the suite's ctest RESOURCE_LOCK). Ownership: the fixture owns
// its work directory and removes, when it ends, every product it installed.
#ifndef KORVA_TESTS_INSTALLER_INSTALLER_TEST_UTIL_H_
#define KORVA_TESTS_INSTALLER_INSTALLER_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace installer_test {

// A package the build made (tests/installer in the build tree), e.g.
// "korva-example-binary.msi".
std::string packagePath(const std::string& fileName);

// The lines of a text file (line ends "\r\n" or "\n"); none for a missing file.
std::vector<std::string> readLines(const std::string& path);

// From the first line that starts with `from` up to, not including, the
// first later line that starts with `to` (or the end).
std::vector<std::string> linesBetween(const std::vector<std::string>& lines,
                                      const std::string& from, const std::string& to);

struct HostRun {
  unsigned result = 0xFFFFFFFFu;   // MsiInstallProductA's answer
  std::vector<std::string> lines;  // one per message received (msi_ui_host's form)
};

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Both end with a backslash.
  const std::string& work() const { return work_; }
  std::string installDir() const { return work_ + "product\\"; }
  std::string reportsDir() const { return installDir() + "reports\\"; }

  // msiexec /i PACKAGE /qn INSTALLDIR=<installDir> PROPERTIES... [/l*v LOG]:
  // its exit status, the installation's result.
  int msiexecInstall(const std::string& package, const std::vector<std::string>& properties,
                     const std::string& verboseLog = "");
  // msiexec /x PACKAGE /qn INSTALLDIR=<installDir>: wine resolves the
  // directories of a removal afresh, so the removal is told where the
  // product went.
  int msiexecUninstall(const std::string& package);
  // msi_ui_host PACKAGE OUT "INSTALLDIR=<installDir> PROPERTIES".
  HostRun hostInstall(const std::string& package, const std::string& properties);

  // The stand-in library's report, one block per call without its "end".
  std::vector<std::vector<std::string>> stubCalls() const;

  // Entries ("NAME=value") added to, or replacing those of, the environment
  // of every later msiexec and msi_ui_host run, down to the custom actions.
  void setEnvironment(const std::vector<std::string>& entries) { environment_ = entries; }

 private:
  int run(const std::string& program, const std::vector<std::string>& args);
  void installed(const std::string& package, int result);

  std::string work_;
  std::vector<std::string> installed_;
  std::vector<std::string> environment_;
};

}  // namespace installer_test

#endif  // KORVA_TESTS_INSTALLER_INSTALLER_TEST_UTIL_H_
