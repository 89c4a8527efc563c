// The example product's packages in a real installation under wine's
// Windows Installer, with the stand-in library in place of korvalink.dll:
// the reports are installed and doPublish is called after them with the
// package's settings; a host with its own interface receives the action's
// records; a second installation, a deferred and a rollback run reach
// doPublish in those run modes; the verbose log never shows the password.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "installer_test_util.h"

namespace {

namespace fs = std::filesystem;
using installer_test::InstallerTest;

const char kPassword[] = "Pw-7f3kQ-in-the-package";

struct Carry {
  const char* name;
  const char* package;
  bool libraryInstalled;  // the library installed beside the reports, else a Binary stream
};

void PrintTo(const Carry& carry, std::ostream* os) { *os << carry.name; }

const Carry kCarries[] = {{"BinaryStream", "korva-example-binary.msi", false},
                          {"InstalledFile", "korva-example-installed.msi", true}};

class CarryTest : public InstallerTest, public ::testing::WithParamInterface<Carry> {
 protected:
  std::string package() const { return installer_test::packagePath(GetParam().package); }
};

// The report of a first installation, the library's own directory left out.
std::vector<std::string> firstRunReport(const std::string& logFile, const std::string& reportsDir,
                                        bool libraryInstalled) {
  const std::string srcPath = libraryInstalled ? "" : reportsDir;
  const std::string srcFile = libraryInstalled ? "" : reportsDir + "publish.xml";
  return {"call=doPublish",
          "rollback=0",
          "maintenance=0",
          "scheduled=0",
          "CA_VR_APSNAME=korva-msi",
          "CA_VR_APSUSER=Administrator",
          std::string("CA_VR_APSPASS=") + kPassword,
          "CA_VR_APSAUTH=secEnterprise",
          "CA_VR_LOGFILE=" + logFile,
          "CA_VR_SRCFILE=" + srcFile,
          "CA_VR_SRCPATH=" + srcPath,
          "CA_VR_ACTNAME=PublishExampleReports",
          "CA_VR_ACTDESC=Publishing the example reports",
          "CA_VR_ACTTMPL=Publishing [1] [2]",
          "CA_VR_ACTUSRTAG=reader",
          "CA_VR_ACTFLDTAG=shelf",
          "CA_VR_ACTRPTTAG=report"};
}

// Takes the "module=" line out of a report and answers its value.
std::string takeModule(std::vector<std::string>& report) {
  for (auto it = report.begin(); it != report.end(); ++it) {
    if (it->rfind("module=", 0) == 0) {
      const std::string value = it->substr(7);
      report.erase(it);
      return value;
    }
  }
  return "<none>";
}

TEST_P(CarryTest, InstallsTheReportsThenPublishesWithThePackagesSettings) {
  const std::string log = work() + "publish.log";
  ASSERT_EQ(msiexecInstall(package(), {"CA_VR_APSNAME=korva-msi",
                                       std::string("CA_VR_APSPASS=") + kPassword,
                                       "CA_VR_LOGFILE=" + log}),
            0);
  for (const char* file : {"publish.xml", "Finance\\Q1 Summary.rpt",
                           "Finance\\Archive\\Q1 Summary.rpt", "HR\\staff.rpt"}) {
    EXPECT_TRUE(fs::is_regular_file(reportsDir() + file)) << file;
  }
  auto calls = stubCalls();
  ASSERT_EQ(calls.size(), 1u);
  // Installed, the library's defaults start beside the reports; as a stream
  // it runs from wherever the installer extracted it.
  const std::string module = takeModule(calls[0]);
  if (GetParam().libraryInstalled) {
    EXPECT_EQ(module, reportsDir());
  } else {
    EXPECT_NE(module, reportsDir());
    EXPECT_FALSE(fs::exists(reportsDir() + "korvalink.dll"));
  }
  EXPECT_EQ(calls[0], firstRunReport(log, reportsDir(), GetParam().libraryInstalled));
}

TEST_P(CarryTest, HostWithItsOwnInterfaceReceivesTheActionsRecords) {
  const installer_test::HostRun run =
      hostInstall(package(), std::string("CA_VR_APSPASS=") + kPassword);
  EXPECT_EQ(run.result, 0u);
  // The installer starts the action, then passes on what the action sends;
  // it fills field 0 itself.
  EXPECT_EQ(installer_test::linesBetween(run.lines, "08000000 S:PublishReports ",
                                         "08000000 S:ForgetPublishPassword "),
            (std::vector<std::string>{
                "08000000 S:PublishReports - - 0:Action [Time]: [1]. [2]",
                "0A000000 I:0 I:200 I:0 I:0",
                "08000000 S:PublishExampleReports S:Publishing the example reports "
                "S:Publishing [1] [2] 0:Action [Time]: [1]. [2]",
                "0A000000 I:1 I:0 I:0",
                "09000000 S:shelf S:Finance I:0 0:{{PublishExampleReports: }}Publishing [1] [2]",
                "0A000000 I:2 I:100 I:0",
                "09000000 S:report S:Q1 Summary I:0 0:{{PublishExampleReports: }}Publishing [1] [2]",
                "0A000000 I:2 I:100 I:0",
            }));
}

TEST_P(CarryTest, SecondInstallationIsAMaintenanceRunAndRemovalCallsNothing) {
  ASSERT_EQ(msiexecInstall(package(), {}), 0);
  ASSERT_EQ(msiexecInstall(package(), {}), 0);
  ASSERT_EQ(msiexecUninstall(package()), 0);
  const auto calls = stubCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(calls[0].begin(), calls[0].begin() + 4),
            (std::vector<std::string>{"call=doPublish", "rollback=0", "maintenance=0",
                                      "scheduled=0"}));
  EXPECT_EQ(calls[1], (std::vector<std::string>{"call=doPublish", "rollback=0", "maintenance=1",
                                                "scheduled=0"}));
  EXPECT_FALSE(fs::exists(reportsDir() + "HR\\staff.rpt"));
}

INSTANTIATE_TEST_SUITE_P(Carries, CarryTest, ::testing::ValuesIn(kCarries),
                         [](const ::testing::TestParamInfo<Carry>& info) {
                           return std::string(info.param.name);
                         });

struct RunModesCase {
  const char* name;
  bool fail;
  int result;
  std::vector<std::vector<std::string>> calls;
};

void PrintTo(const RunModesCase& c, std::ostream* os) { *os << c.name; }

class RunModesTest : public InstallerTest, public ::testing::WithParamInterface<RunModesCase> {};

TEST_P(RunModesTest, DeferredAndRollbackCallsSeeTheirRunMode) {
  const std::string package = installer_test::packagePath("run-modes.msi");
  std::vector<std::string> properties;
  if (GetParam().fail) properties.push_back("KORVA_FAIL=1");
  EXPECT_EQ(msiexecInstall(package, properties), GetParam().result);
  EXPECT_EQ(stubCalls(), GetParam().calls);
  // A rolled back installation leaves nothing behind.
  EXPECT_EQ(fs::exists(installDir() + "publish.xml"), !GetParam().fail);
}

const std::vector<std::string> kDeferred = {"call=doPublish", "rollback=0", "maintenance=0",
                                            "scheduled=1"};
const std::vector<std::string> kRollback = {"call=doPublish", "rollback=1", "maintenance=0",
                                            "scheduled=1"};

INSTANTIATE_TEST_SUITE_P(Runs, RunModesTest,
                         ::testing::Values(RunModesCase{"Deferred", false, 0, {kDeferred}},
                                           RunModesCase{"RolledBack", true, 1603,
                                                        {kDeferred, kRollback}}),
                         [](const ::testing::TestParamInfo<RunModesCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(InstallerTest, VerboseLogNeverShowsThePassword) {
  const std::string log = work() + "install.log";
  ASSERT_EQ(msiexecInstall(installer_test::packagePath("korva-example-binary.msi"),
                           {std::string("CA_VR_APSPASS=") + kPassword}, log),
            0);
  std::ifstream in(log, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("PublishReports"), std::string::npos) << "no action in the log";
  EXPECT_NE(text.str().find("MsiHiddenProperties = CA_VR_APSPASS"), std::string::npos);
  EXPECT_EQ(text.str().find(kPassword), std::string::npos);
  // The action itself did get it.
  const auto calls = stubCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NE(std::find(calls[0].begin(), calls[0].end(), std::string("CA_VR_APSPASS=") + kPassword),
            calls[0].end());
}

}  // namespace
