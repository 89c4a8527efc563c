// The defaults the string entry points fill in before a run: the library's
// own directory for the instructions and the sources, the temporary
// directory for the log, the account, and the one word that means standard
// output.
#include <gtest/gtest.h>

#include "actions/delete_runner.h"
#include "actions/publish_runner.h"
#include "actions/runner_test_util.h"
#include "platform/module.h"

namespace runner_test {
namespace {

class RunDefaultsTest : public RunnerTest {};

TEST_F(RunDefaultsTest, EmptySettingsTakeTheDefaults) {
  // Both directories end in the platform's separator (appending "" adds it).
  std::string libraryDir =
      (fs::path(korva::modulePathOf(reinterpret_cast<const void*>(&engineLibraryDirectory)))
           .parent_path() /
       "")
          .string();
  std::string tmp = (work() / "tmp" / "").string();
  EXPECT_EQ(engineLibraryDirectory().getBuffer(), libraryDir);

  CMARunSettings publish;
  CMARunnerPublish::applyPublishDefaults(&publish);
  EXPECT_STREQ(publish.apsName.getBuffer(), "");  // the run uses the local host's name
  EXPECT_STREQ(publish.apsUser.getBuffer(), "Administrator");
  EXPECT_STREQ(publish.apsPass.getBuffer(), "");
  EXPECT_STREQ(publish.apsAuth.getBuffer(), "secEnterprise");
  EXPECT_EQ(publish.logFile.getBuffer(), tmp + "publish.log");
  EXPECT_EQ(publish.srcFile.getBuffer(), libraryDir + "publish.xml");
  EXPECT_EQ(publish.srcPath.getBuffer(), libraryDir);

  CMARunSettings remove;
  CMARunnerDelete::applyDeleteDefaults(&remove);
  EXPECT_STREQ(remove.apsUser.getBuffer(), "Administrator");
  EXPECT_STREQ(remove.apsAuth.getBuffer(), "secEnterprise");
  EXPECT_EQ(remove.logFile.getBuffer(), tmp + "delete.log");
  EXPECT_STREQ(remove.folderPath.getBuffer(), "");
  EXPECT_STREQ(remove.reportPath.getBuffer(), "");
}

TEST_F(RunDefaultsTest, OnlyTheExactWordStdoutMeansStandardOutput) {
  const struct {
    const char* given;
    const char* used;
  } cases[] = {{"stdout", ""},
               {"STDOUT", "STDOUT"},
               {"Stdout", "Stdout"},
               {"stdout ", "stdout "},
               {"/var/log/x.log", "/var/log/x.log"}};
  for (const auto& c : cases) {
    CMARunSettings settings;
    settings.logFile = c.given;
    CMARunnerPublish::applyPublishDefaults(&settings);
    EXPECT_STREQ(settings.logFile.getBuffer(), c.used) << c.given;
  }
}

TEST_F(RunDefaultsTest, GivenSettingsAreKept) {
  CMARunSettings settings;
  settings.apsName = "aps";
  settings.apsUser = "someone";
  settings.apsPass = "secret";
  settings.apsAuth = "secOther";
  settings.srcFile = "/x/i.xml";
  settings.srcPath = "/x/src";
  CMARunnerPublish::applyPublishDefaults(&settings);
  EXPECT_STREQ(settings.apsName.getBuffer(), "aps");
  EXPECT_STREQ(settings.apsUser.getBuffer(), "someone");
  EXPECT_STREQ(settings.apsPass.getBuffer(), "secret");
  EXPECT_STREQ(settings.apsAuth.getBuffer(), "secOther");
  EXPECT_STREQ(settings.srcFile.getBuffer(), "/x/i.xml");
  EXPECT_STREQ(settings.srcPath.getBuffer(), "/x/src");
}

}  // namespace
}  // namespace runner_test
