// The installer custom action (the body of doPublish) through the installer
// stand-in: the modes in which it does nothing, properties too long for the
// installer buffer, the progress total and every message in order, the action
// texts, a source directory that cannot be counted.
#include <gtest/gtest.h>

#include <map>

#include "actions/action_entries.h"
#include "actions/installer_messages.h"
#include "actions/runner_test_util.h"

namespace runner_test {
namespace {

using Lines = std::vector<std::string>;
using Properties = std::map<std::string, std::string>;

class InstallerActionTest : public RunnerTest {
 protected:
  void SetUp() override {
    RunnerTest::SetUp();
    if (HasFatalFailure()) return;
    writeFile(src() / "F" / "x.rpt", "x");
    fs::create_directories(src() / "G");
    xml_ =
        instructions("<users><user name=\"u2\"/><user name=\"u1\"/></users><folders/><reports/>");
  }
  void TearDown() override {
    if (session_) korva::closeInstallerSession(session_);
  }

  // The properties of a run that publishes src() with xml_ into the log.
  Properties baseProperties() const {
    return {{"CA_VR_APSNAME", kAps},
            {"CA_VR_SRCFILE", xml_.string()},
            {"CA_VR_SRCPATH", src().string()},
            {"CA_VR_LOGFILE", logPath().string()}};
  }
  unsigned run(const Properties& properties, const std::vector<MSIRUNMODE>& modes = {}) {
    session_ = korva::openInstallerSession(properties, modes);
    EXPECT_NE(session_, 0u);
    return runPublishInstallerAction(session_);
  }
  Lines messages() const { return installerMessageLines(session_); }
  // Every message of a run that publishes u1, u2 and the walk of src() in
  // listing order: the total (F, G and x.rpt), the action start, the step,
  // then one message and tick for each object, named with the given words.
  Lines runMessages(const std::string& start, const std::string& userWord,
                    const std::string& folderWord, const std::string& reportWord) const {
    const std::string tick = "0A000000 I:2 I:100 I:0";
    Lines out = {"0A000000 I:0 I:300 I:0 I:0", "08000000 " + start, "0A000000 I:1 I:0 I:0",
                 "09000000 S:" + userWord + " S:u1 I:0", "09000000 S:" + userWord + " S:u2 I:0"};
    for (const std::string& name : listingOrder(src())) {
      out.push_back("09000000 S:" + folderWord + " S:" + name + " I:0");
      out.push_back(tick);
      if (name == "F") {
        out.push_back("09000000 S:" + reportWord + " S:x I:0");
        out.push_back(tick);
      }
    }
    return out;
  }

  fs::path xml_;
  MSIHANDLE session_ = 0;
};

TEST_F(InstallerActionTest, SendsTheTotalThenStartDataAndTicksInOrder) {
  EXPECT_EQ(run(baseProperties()), 0u);
  EXPECT_EQ(messages(), runMessages("S:Publish Custom Action S:Publishing Veltrane Enterprise "
                                    "Objects... S:Publishing the [1] object [2]...",
                                    "user", "folder", "report"));
  Lines lines = logLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), connectedLine());
  EXPECT_EQ(lines.back(), LOG_INFO_ACT "0 reports skipped.");
  EXPECT_EQ(korva::openInstallerRecordCount(), 0);
}

TEST_F(InstallerActionTest, ActionTextsComeFromTheirPropertiesWhenNotEmpty) {
  Properties properties = baseProperties();
  properties["CA_VR_ACTNAME"] = "Install reports";
  properties["CA_VR_ACTDESC"] = "";  // empty: the default
  properties["CA_VR_ACTTMPL"] = "[1]: [2]";
  properties["CA_VR_ACTUSRTAG"] = "account";
  properties["CA_VR_ACTFLDTAG"] = "directory";
  properties["CA_VR_ACTRPTTAG"] = "document";
  EXPECT_EQ(run(properties), 0u);
  EXPECT_EQ(messages(),
            runMessages("S:Install reports S:Publishing Veltrane Enterprise Objects... S:[1]: [2]",
                        "account", "directory", "document"));
}

TEST_F(InstallerActionTest, DoesNothingInRollbackMaintenanceOrScheduledRuns) {
  for (MSIRUNMODE mode : {MSIRUNMODE_ROLLBACK, MSIRUNMODE_MAINTENANCE, MSIRUNMODE_SCHEDULED}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(run(baseProperties(), {mode}), 0u);
    EXPECT_TRUE(messages().empty());
    EXPECT_FALSE(fs::exists(logPath()));
    korva::closeInstallerSession(session_);
    session_ = 0;
  }
  EXPECT_EQ(tree(), "(no folders or reports)\n");
}

TEST_F(InstallerActionTest, PropertiesOf512CharactersOrMoreTakeTheirDefaults) {
  Properties properties = baseProperties();
  // The log file and the action name do not fit the installer buffer: the
  // default log in the temporary directory and the default name are used.
  properties["CA_VR_LOGFILE"] = (work() / std::string(200, 'l')).string() + std::string(512, 'x');
  properties["CA_VR_ACTNAME"] = std::string(512, 'n');
  properties["CA_VR_APSUSER"] = std::string(600, 'u');
  // 511 characters still fit and are taken.
  std::string description(511, 'd');
  properties["CA_VR_ACTDESC"] = description;
  EXPECT_EQ(run(properties), 0u);
  Lines msgs = messages();
  ASSERT_GE(msgs.size(), 2u);
  EXPECT_EQ(msgs[1], "08000000 S:Publish Custom Action S:" + description +
                         " S:Publishing the [1] object [2]...");
  Lines lines = logLinesOf(work() / "tmp" / "publish.log");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), connectedLine());  // as Administrator
  EXPECT_EQ(lines.back(), LOG_INFO_ACT "0 reports skipped.");
}

TEST_F(InstallerActionTest, SourceThatCannotBeCountedPublishesNothingAndSaysSoInTheLog) {
  const std::string missing = (work() / "missing").string();
  // An entry that cannot be read is named first.
  fs::create_symlink(work() / "nowhere", src() / "dangling");
  const std::string dangling = (src() / "dangling").string();
  const std::pair<std::string, Lines> cases[] = {
      {missing, {}},
      {src().string(),
       {LOG_ERROR_ACT "The directory entry " + dangling +
        " cannot be read: No such file or directory."}},
  };
  for (const auto& [source, first] : cases) {
    SCOPED_TRACE(source);
    Properties properties = baseProperties();
    properties["CA_VR_SRCPATH"] = source;
    EXPECT_EQ(run(properties), 0u);
    EXPECT_TRUE(messages().empty());
    Lines expected = first;
    expected.push_back(LOG_ERROR_ACT "Failed to publish content of " + source +
                       " to Veltrane Enterprise. System function failed.");
    expected.push_back(LOG_ERROR_ACT
                       "Failed to publish Veltrane Enterprise objects. System "
                       "function failed.");
    EXPECT_EQ(logLines(), expected);
    EXPECT_EQ(userId("u1"), -1);
    korva::closeInstallerSession(session_);
    session_ = 0;
  }
}

TEST_F(InstallerActionTest, FailedRunStillAnswersZero) {
  Properties properties = baseProperties();
  properties["CA_VR_APSPASS"] = "wrong";
  EXPECT_EQ(run(properties), 0u);
  Lines lines = logLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), LOG_ERROR_ACT "Failed to publish Veltrane Enterprise objects.");
  EXPECT_EQ(korva::openInstallerRecordCount(), 0);
}

}  // namespace
}  // namespace runner_test
