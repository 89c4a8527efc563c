// korvalink.dll's doPublish as the example product's custom action, in real
// installations under wine's Windows Installer, publishing through the
// registered korvaserver.dll into a server home of the test's own: the
// messages a host with its own interface receives, the published tree (the
// same as korvapush makes of the same files) and the action log; the run
// modes and the failed logon that publish nothing, while the installation
// still succeeds; the password kept out of the installer's verbose log.
//
// Thread-safety: one test at a time (the suite's RESOURCE_LOCK).
// Ownership: the fixture's work directory holds the server homes and logs.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "korvalink_install_fixture.h"

namespace {

namespace fs = std::filesystem;
using e2e::Lines;
using installer_test::dumpText;
using installer_test::initialisedHome;
using installer_test::kAps;
using installer_test::KorvalinkInstallTest;
using installer_test::kPassword;
using installer_test::packagePath;

// The lines the walk of the installed reports gives, in the listing's order:
// folder(name, path) for a directory, report(base name, folder path) for a
// ".rpt" file; other files give none.
Lines walkLines(const fs::path& top,
                const std::function<Lines(const std::string&, const std::string&)>& folder,
                const std::function<Lines(const std::string&, const std::string&)>& report) {
  Lines out;
  e2e::appendWalkLines(&out, top, [&](const std::string& path) -> Lines {
    const fs::path relative(path);
    if (fs::is_directory(top / relative)) return folder(relative.filename().string(), path);
    if (relative.extension() != ".rpt") return {};
    return report(relative.stem().string(), relative.parent_path().generic_string());
  }, [](const std::string&) { return true; });
  return out;
}

// The host's messages and what installs it: the example's own texts from a
// Binary-table stream, the defaults (the texts' properties emptied on the
// command line) from the library installed with the reports.
struct TextsCase {
  const char* name;
  const char* package;
  const char* properties;
  const char* actionStart;   // the action's own start: fields 1 to 3 and field 0
  const char* words[3];      // user, folder, report
  const char* dataTemplate;  // field 0 of each action-data message
};

void PrintTo(const TextsCase& c, std::ostream* os) { *os << c.name; }

class KorvalinkHostTest : public KorvalinkInstallTest,
                          public ::testing::WithParamInterface<TextsCase> {};

TEST_P(KorvalinkHostTest, ReceivesTheWholePublishSequence) {
  std::string properties = GetParam().properties;
  for (const std::string& setting : settings(kPassword)) properties += " " + setting;
  const installer_test::HostRun run = hostInstall(packagePath(GetParam().package), properties);
  EXPECT_EQ(run.result, 0u);
  auto data = [&](int word, const std::string& name) {
    return std::string("09000000 S:") + GetParam().words[word] + " S:" + name + " I:0 0:" +
           GetParam().dataTemplate;
  };
  const std::string tick = "0A000000 I:2 I:100 I:0";
  // The bar holds 100 ticks for each of the example's three folders and
  // three reports; the users move it not.
  Lines expected = {"08000000 S:PublishReports - - 0:Action [Time]: [1]. [2]",
                    "0A000000 I:0 I:600 I:0 I:0",
                    std::string("08000000 ") + GetParam().actionStart,
                    "0A000000 I:1 I:0 I:0",
                    data(0, "audit1"),
                    data(0, "sales1")};
  e2e::append(&expected, walkLines(
      reportsDir(), [&](const std::string& name, const std::string&) {
        return Lines{data(1, name), tick};
      }, [&](const std::string& name, const std::string&) { return Lines{data(2, name), tick}; }));
  EXPECT_EQ(installer_test::linesBetween(run.lines, "08000000 S:PublishReports ",
                                         "08000000 S:ForgetPublishPassword "),
            expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, KorvalinkHostTest,
    ::testing::Values(
        TextsCase{"PackageTexts", "korva-example-binary-korvalink.msi", "",
                  "S:PublishExampleReports S:Publishing the example reports "
                  "S:Publishing [1] [2] 0:Action [Time]: [1]. [2]",
                  {"reader", "shelf", "report"},
                  "{{PublishExampleReports: }}Publishing [1] [2]"},
        TextsCase{"Defaults", "korva-example-installed-korvalink.msi",
                  "CA_VR_ACTNAME=\"\" CA_VR_ACTDESC=\"\" CA_VR_ACTTMPL=\"\" "
                  "CA_VR_ACTUSRTAG=\"\" CA_VR_ACTFLDTAG=\"\" CA_VR_ACTRPTTAG=\"\"",
                  "S:Publish Custom Action S:Publishing Veltrane Enterprise Objects... "
                  "S:Publishing the [1] object [2]... 0:Action [Time]: [1]. [2]",
                  {"user", "folder", "report"},
                  "{{Publish Custom Action: }}Publishing the [1] object [2]..."}),
    [](const ::testing::TestParamInfo<TextsCase>& info) { return std::string(info.param.name); });

class KorvalinkCarryTest : public KorvalinkInstallTest,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(KorvalinkCarryTest, PublishesWhatKorvapushPublishesAndLogsTheRun) {
  ASSERT_EQ(msiexecInstall(packagePath(GetParam()), settings(kPassword)), 0);
  const e2e::Json server = e2e::parseJson(dump());
  const std::string audit1 = std::to_string(e2e::userIdOf(server, "audit1"));
  const std::string sales1 = std::to_string(e2e::userIdOf(server, "sales1"));
  Lines expected = {e2e::kWarnNoName, e2e::kWarnOutside, e2e::connected(kAps),
                    e2e::addedLine("user", "audit1", audit1),
                    e2e::addedLine("user", "sales1", sales1)};
  e2e::append(&expected, walkLines(
      reportsDir(), [&](const std::string& name, const std::string& path) {
        const std::string id = std::to_string(e2e::folderIdAt(server, path));
        Lines lines = {e2e::addedLine("folder", name, id)};
        if (path == name) {  // a top-level folder: the users' rights
          lines.push_back(e2e::rightLine("FullControl", id, audit1));
          lines.push_back(e2e::rightLine("View", id, sales1));
        }
        return lines;
      }, [&](const std::string& name, const std::string& folder) {
        const std::string title = name == "Q1 Summary" ? "First Quarter Summary" : name;
        return Lines{e2e::addedLine("report", title,
                                    std::to_string(e2e::reportIdAt(server, folder, title)))};
      }));
  e2e::append(&expected,
              e2e::publishSummary(reportsDir() + "publish.xml", 2, 0, 0, 3, 0, 0, 3, 0, 0));
  EXPECT_EQ(e2e::maskedFileLines(log()), expected);

  // The console program, on the installed files, into a repository of the
  // same name in a second home: the same objects under the same ids, the
  // same lines.
  const e2e::ServerHome pushed = initialisedHome(work() + "pushed");
  const e2e::ProgramRun push = e2e::runProgram(
      e2e::binPath("korvapush"),
      {"-apsname", kAps, "-apspass", kPassword, "-srcfile", reportsDir() + "publish.xml",
       "-srcpath", reportsDir()},
      {pushed.homeEnv()});
  EXPECT_EQ(push.exitCode, 0) << push.err;
  EXPECT_EQ(dumpText(pushed), dump());
  EXPECT_EQ(e2e::maskedLines(push.out), expected);
}

INSTANTIATE_TEST_SUITE_P(Carries, KorvalinkCarryTest,
                         ::testing::Values("korva-example-binary-korvalink.msi",
                                           "korva-example-installed-korvalink.msi"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.index == 0 ? "BinaryStream" : "InstalledFile");
                         });

// Names beyond ASCII in the files and in the instructions: the custom action,
// in an installer that selects no locale, reads them as korvapush does.
TEST_F(KorvalinkInstallTest, NamesBeyondAsciiPublishAsKorvapushPublishesThem) {
  const char kEuro[] = "\xe2\x82\xac" "uro";            // €uro
  const char kTitle[] = "Ums\xc3\xa4tze \xe2\x82\xac";  // Umsätze €
  ASSERT_FALSE(korva_test::programSpelling(kEuro).empty());
  const fs::path src = fs::path(work()) / "names";
  e2e::writeFile(src / fs::u8path(kEuro) / "q1.rpt", "Q");
  const std::string xml = work() + "names.xml";
  e2e::writeFile(xml, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><publish>") +
                          "<folders><folder name=\"" + kEuro + "\" desc=\"" + kEuro +
                          "\"/></folders><reports><report name=\"q1\" title=\"" + kTitle +
                          "\"/></reports></publish>");
  std::vector<std::string> properties = settings(kPassword);
  properties.push_back("CA_VR_SRCFILE=" + xml);
  properties.push_back("CA_VR_SRCPATH=" + src.string());
  ASSERT_EQ(msiexecInstall(packagePath("korva-example-binary-korvalink.msi"), properties), 0);
  const e2e::Json server = e2e::parseJson(dump());
  EXPECT_GE(e2e::folderIdAt(server, kEuro), 0);
  EXPECT_GE(e2e::reportIdAt(server, kEuro, kTitle), 0);

  // korvapush, on the same files, into a repository of the same name in a
  // second home: the same objects, the same lines.
  const e2e::ServerHome pushed = initialisedHome(work() + "pushed");
  const e2e::ProgramRun push = e2e::runProgram(
      e2e::binPath("korvapush"),
      {"-apsname", kAps, "-apspass", kPassword, "-srcfile", xml, "-srcpath", src.string(),
       "-logfile", work() + "pushed.log"},
      {pushed.homeEnv()});
  EXPECT_EQ(push.exitCode, 0) << push.err;
  EXPECT_EQ(dumpText(pushed), dump());
  EXPECT_EQ(e2e::maskedFileLines(work() + "pushed.log"), e2e::maskedFileLines(log()));
}

TEST_F(KorvalinkInstallTest, SecondInstallationPublishesNothing) {
  const std::string package = packagePath("korva-example-binary-korvalink.msi");
  ASSERT_EQ(msiexecInstall(package, settings(kPassword)), 0);
  const std::string published = dump();
  const std::string firstLog = e2e::readFile(log());
  ASSERT_NE(published, fresh());
  // The maintenance run neither publishes nor opens the log.
  EXPECT_EQ(msiexecInstall(package, settings(kPassword)), 0);
  EXPECT_EQ(dump(), published);
  EXPECT_EQ(e2e::readFile(log()), firstLog);
}

struct RunModesCase {
  const char* name;
  bool fail;
  int result;
};

void PrintTo(const RunModesCase& c, std::ostream* os) { *os << c.name; }

class KorvalinkRunModesTest : public KorvalinkInstallTest,
                              public ::testing::WithParamInterface<RunModesCase> {};

TEST_P(KorvalinkRunModesTest, DeferredAndRollbackRunsPublishNothing) {
  std::vector<std::string> properties = settings(kPassword);
  if (GetParam().fail) properties.push_back("KORVA_FAIL=1");
  EXPECT_EQ(msiexecInstall(packagePath("run-modes-korvalink.msi"), properties),
            GetParam().result);
  EXPECT_EQ(dump(), fresh());
  // No log either, neither the one named (which a deferred action cannot
  // read) nor the default one.
  EXPECT_FALSE(fs::exists(log()));
  EXPECT_FALSE(fs::exists(tmp() + "\\publish.log"));
}

INSTANTIATE_TEST_SUITE_P(Runs, KorvalinkRunModesTest,
                         ::testing::Values(RunModesCase{"Deferred", false, 0},
                                           RunModesCase{"RolledBack", true, 1603}),
                         [](const ::testing::TestParamInfo<RunModesCase>& info) {
                           return std::string(info.param.name);
                         });

// A publish that fails: the installation still succeeds (doPublish answers
// 0), nothing reaches the server, and the action log says why. "<work>" in a
// row stands for the test's work directory.
struct FailedPublishCase {
  const char* name;
  std::vector<std::string> properties;  // after the right settings, replacing them
  Lines log;
};

void PrintTo(const FailedPublishCase& c, std::ostream* os) { *os << c.name; }

class KorvalinkFailedPublishTest : public KorvalinkInstallTest,
                                   public ::testing::WithParamInterface<FailedPublishCase> {
 protected:
  std::string inWork(std::string text) const {
    for (size_t at; (at = text.find("<work>")) != std::string::npos;) {
      text.replace(at, 6, work());
    }
    return text;
  }
};

TEST_P(KorvalinkFailedPublishTest, StillInstallsAndTheLogSaysWhy) {
  std::vector<std::string> properties;
  auto name = [](const std::string& property) { return property.substr(0, property.find('=')); };
  for (const std::string& setting : settings(kPassword)) {
    bool replaced = false;
    for (const std::string& property : GetParam().properties) {
      replaced = replaced || name(property) == name(setting);
    }
    if (!replaced) properties.push_back(setting);
  }
  for (const std::string& property : GetParam().properties) properties.push_back(inWork(property));
  ASSERT_EQ(msiexecInstall(packagePath("korva-example-binary-korvalink.msi"), properties), 0);
  EXPECT_TRUE(fs::is_regular_file(reportsDir() + "HR\\staff.rpt"));
  EXPECT_EQ(dump(), fresh());
  Lines expected;
  for (const std::string& line : GetParam().log) expected.push_back(inWork(line));
  EXPECT_EQ(e2e::maskedFileLines(log()), expected);
}

const char kAsAdministrator[] = " as Administrator with secEnterprise authentication.";

INSTANTIATE_TEST_SUITE_P(
    Failures, KorvalinkFailedPublishTest,
    ::testing::Values(FailedPublishCase{
        "MissingInstructions",
        {"CA_VR_SRCFILE=<work>missing.xml"},
        {"--- ERROR --- (config): Error occurred while parsing the XML file <work>missing.xml.",
         LOG_ERROR_ACT "Failed to publish Veltrane Enterprise objects."}}),
    [](const ::testing::TestParamInfo<FailedPublishCase>& info) {
      return std::string(info.param.name);
    });

// The server refuses the logon and keeps an error description for the
// custom action's thread: the thread still ends (korvaserver.dll keeps that
// description in storage that needs no clean-up at the thread's end), and
// the installation with it.
INSTANTIATE_TEST_SUITE_P(
    ServerRefuses, KorvalinkFailedPublishTest,
    ::testing::Values(FailedPublishCase{
        "WrongPassword",
        {"CA_VR_APSPASS=not-the-password"},
        {e2e::kWarnNoName, e2e::kWarnOutside,
         LOG_ERROR_PUB "Failed to logon to APS " + std::string(kAps) + kAsAdministrator,
         LOG_DETAIL "The following error is returned from Veltrane Enterprise:",
         LOG_DETAIL "Logon refused: the password of user \"Administrator\" is wrong.",
         LOG_ERROR_PUB "Failed to establish connection to APS " + std::string(kAps) +
             kAsAdministrator,
         LOG_ERROR_ACT "Failed to publish Veltrane Enterprise objects."}}),
    [](const ::testing::TestParamInfo<FailedPublishCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(KorvalinkInstallTest, VerboseLogNeverShowsThePasswordThePublishUsed) {
  const std::string verbose = work() + "install.log";
  ASSERT_EQ(msiexecInstall(packagePath("korva-example-binary-korvalink.msi"),
                           settings(kPassword), verbose),
            0);
  EXPECT_GE(e2e::userIdOf(e2e::parseJson(dump()), "sales1"), 0) << "nothing published";
  const std::string text = e2e::readFile(verbose);
  EXPECT_NE(text.find("PublishReports"), std::string::npos) << "no action in the log";
  EXPECT_EQ(text.find(kPassword), std::string::npos);
}

}  // namespace
