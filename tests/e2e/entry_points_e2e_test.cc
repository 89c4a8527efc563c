// The engine library as a host sees it (entry_points_fixture.h): the string
// entry points with every default, and wide text the process's encoding
// cannot hold; then the log destinations as korvapush and korvadrop select
// them.
#include "e2e/entry_points_fixture.h"

namespace e2e {
namespace {

TEST_F(EntryPointsTest, PublishWithEveryArgumentNullTakesEveryDefault) {
  // Instructions and source tree beside the library; the server under the
  // local host's name, as korvaserver chooses it too.
  fs::copy_file(sourcePath("examples/publish.xml"), lib() / "publish.xml");
  copyExampleTree(lib());
  ProgramRun init = server_.init("");
  ASSERT_EQ(init.exitCode, 0) << init.err;
  std::string aps = server_.dump("")["aps"].text;
  ASSERT_FALSE(aps.empty());

  auto publish = function<PublishA>("doPublishA");
  ASSERT_NE(publish, nullptr);
  EXPECT_EQ(publish(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);

  Lines lines = maskedFileLines(tmp() / "publish.log");
  ASSERT_GE(lines.size(), 13u);
  EXPECT_EQ(lines[0], kWarnNoName);
  EXPECT_EQ(lines[1], kWarnOutside);
  EXPECT_EQ(lines[2], LOG_INFO_PUB "Successfully initialized connection to APS " + aps +
                          " as Administrator.");
  Lines tail(lines.end() - 10, lines.end());
  EXPECT_EQ(tail, publishSummary((lib() / "publish.xml").string(), 2, 0, 0, 3, 0, 0, 3, 0, 0));
  Json server = server_.dump("");
  EXPECT_GE(folderIdAt(server, "Finance/Archive"), 0);
  EXPECT_GE(reportIdAt(server, "HR", "staff"), 0);

  // Delete with nothing named: connects, deletes nothing, counts zero, into
  // its own default log.
  auto remove = function<PublishA>("doDeleteA");
  ASSERT_NE(remove, nullptr);
  EXPECT_EQ(remove(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  Lines expected = {LOG_INFO_PUB "Successfully initialized connection to APS " + aps +
                    " as Administrator."};
  append(&expected, deleteSummary(0, 0, 0, 0));
  EXPECT_EQ(maskedFileLines(tmp() / "delete.log"), expected);
}

TEST_F(EntryPointsTest, WideTextTheEncodingCannotHoldFailsInsteadOfTakingADefault) {
  // The "C" locale holds no character above U+00FF (glibc's only ASCII): the
  // password must not silently become empty, nor the folder path silently
  // name nothing.
  ScopedCType ascii("C");
  ASSERT_EQ(server_.init(kAps).exitCode, 0);
  std::wstring aps(kAps, kAps + sizeof kAps - 1);
  auto publish = function<PublishW>("doPublishW");
  auto remove = function<PublishW>("doDeleteW");
  ASSERT_TRUE(publish && remove);

  EXPECT_EQ(publish(aps.c_str(), nullptr, L"p\u0101ss", nullptr, nullptr, nullptr, nullptr),
            1603);
  EXPECT_EQ(maskedFileLines(tmp() / "publish.log"),
            (Lines{LOG_ERROR_ACT "The value of CA_VR_APSPASS cannot be converted to the "
                                 "process's multibyte encoding.",
                   LOG_ERROR_ACT "Failed to publish Veltrane Enterprise objects. System function "
                                 "failed."}));

  EXPECT_EQ(remove(aps.c_str(), nullptr, nullptr, nullptr, nullptr, L"B\u0101cher", nullptr), 1603);
  EXPECT_EQ(maskedFileLines(tmp() / "delete.log"),
            (Lines{LOG_ERROR_ACT "The value of CA_VR_DELFLD cannot be converted to the "
                                 "process's multibyte encoding.",
                   LOG_ERROR_ACT "Failed to delete Veltrane Enterprise objects. System function "
                                 "failed."}));
}

// ---- log destinations through the programs ------------------------------

using LogDestinationTest = E2ETest;

TEST_F(LogDestinationTest, OnlyTheExactWordStdoutSelectsStandardOutput) {
  fs::path cwd = work() / "cwd";
  fs::create_directories(cwd);
  const std::vector<std::string> push = {"-apsname", kAps, "-srcfile", examplePublishXml(),
                                         "-srcpath", tree().string(), "-logfile"};
  const struct {
    const char* program;
    std::vector<std::string> args;
    fs::path log;  // empty: standard output
    const char* lastLine;
  } cases[] = {
      // Explicit "stdout": standard output, no file.
      {"korvapush", {"stdout"}, "", LOG_INFO_ACT "0 reports skipped."},
      // "STDOUT" is a file name like any other, in the working directory.
      {"korvapush", {"STDOUT"}, cwd / "STDOUT", LOG_INFO_ACT "3 reports skipped."},
      // -logfile without a value: the default file in the temporary directory.
      {"korvapush", {}, work() / "tmp" / "publish.log", LOG_INFO_ACT "3 reports skipped."},
      {"korvadrop", {}, work() / "tmp" / "delete.log", LOG_INFO_ACT "0 reports skipped."},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = std::string(c.program) == "korvapush"
                                         ? push
                                         : std::vector<std::string>{"-apsname", kAps, "-logfile"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.program + (" " + args.back()));
    ProgramRun run = runProgram(binPath(c.program), args, environment({}), cwd.string());
    EXPECT_EQ(run.exitCode, 0);
    if (!c.log.empty()) {
      EXPECT_EQ(run.out, "");
    }
    Lines lines = c.log.empty() ? maskedLines(run.out) : maskedFileLines(c.log);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), c.lastLine);
  }
  // "stdout" made no file; names are compared as listed, since Windows
  // would find "STDOUT" under "stdout" too.
  EXPECT_EQ(listingOrder(cwd), std::vector<std::string>{"STDOUT"});
}

}  // namespace
}  // namespace e2e
