// korvapush and korvadrop as an administrator runs them: each test copies a
// program into a fresh directory next to a stand-in engine library (or none),
// runs it with LD_LIBRARY_PATH unset so only its RPATH (on Windows: its own
// directory) finds the library, and checks its output, its exit code, the
// seven arguments the library got and the locale in force when it was called.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_platform.h"
#include "platform/dynlib.h"

namespace {

namespace fs = std::filesystem;

// The usage texts: the title, the five options both programs share, then
// each program's own two.
const std::string kSharedUsage =
    "   -help      Print this message.\n"
    "   -apsname   The destination APS name. Default to local computer name.\n"
    "   -apsuser   The APS user name. Default to \"Administrator\".\n"
    "   -apspass   The APS user password. Default to \"\".\n"
    "   -apsauth   The APS authentication type. Default to \"secEnterprise\".\n";
const std::string kPushUsage =
    "Usage: korvapush [Options]\n" + kSharedUsage +
    "   -srcfile   The publish instructions XML file. Default to \"publish.xml\".\n"
    "   -srcpath   The path whose contents are published. Default to current path.\n";
const std::string kDropUsage =
    "Usage: korvadrop [Options]\n" + kSharedUsage +
    "   -delrpt    The report to be deleted. Separate folders with \"\\\".\n"
    "   -delfld    The folder to be deleted. Separate folders with \"\\\".\n";

// The engine library's file name on this platform ("libkorvalink.so",
// "korvalink.dll").
const std::string kLibraryFile = korva::sharedLibraryFileName("korvalink");
const std::string kNoLibrary = "Failed to load " + kLibraryFile + " from the current directory.\n";
const char kNoFunction[] = "Failed to load required function from support library.\n";

enum class Library { None, Entries, NoEntries };

struct ToolRun {
  int exitCode = -1;
  std::string out;
  std::string err;
  // The function the library was called through, then its seven arguments as
  // "<null>" or "[text]"; empty when the library was not called.
  std::vector<std::string> call;
  // The character type locale in force when the library was called.
  std::string locale;
};

// In text mode: a program's line ends ("\r\n" on Windows) read as "\n".
using korva_test_common::readText;

std::vector<std::string> readLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("korva_tools_" + std::to_string(std::random_device{}()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "bin");
    fs::create_directories(root_ / "lib");
  }
  void TearDown() override { fs::remove_all(root_); }

  // Puts the program into bin/ and the chosen library, under the engine
  // library's name, into bin/ (found through $ORIGIN) or lib/ (through
  // $ORIGIN/../lib).
  void install(const char* tool, Library library, const char* libraryDir = "bin") {
    const std::string file = korva_test::programFileName(tool);
    const fs::path program = root_ / "bin" / file;
    fs::remove(program);
    fs::copy_file(fs::path(KORVA_BIN_DIR) / file, program);
    for (const char* dir : {"bin", "lib"}) fs::remove(root_ / dir / kLibraryFile);
    if (library == Library::None) return;
    fs::copy_file(library == Library::Entries ? KORVA_TOOLS_ENTRY_STUB : KORVA_TOOLS_EMPTY_STUB,
                  root_ / libraryDir / kLibraryFile);
  }

  // Runs the program from bin/ with the given options in the working
  // directory cwd (the test's own when empty). The locale variables and
  // KORVA_APSPASS are not inherited; `env` adds "NAME=value" entries.
  ToolRun run(const char* tool, const std::vector<std::string>& options, int result = 0,
              const fs::path& cwd = {}, const std::vector<std::string>& extraEnv = {}) {
    const fs::path record = root_ / "call.txt";
    const fs::path locale = root_ / "locale.txt";
    const fs::path out = root_ / "out.txt";
    const fs::path err = root_ / "err.txt";
    fs::remove(record);
    fs::remove(locale);

    std::vector<std::string> env;
    for (const std::string& entry : korva_test::currentEnvironment()) {
      if (entry.rfind("LD_LIBRARY_PATH=", 0) == 0 || entry.rfind("KORVA_STUB_", 0) == 0 ||
          entry.rfind("KORVA_APSPASS=", 0) == 0 || entry.rfind("LC_", 0) == 0 ||
          entry.rfind("LANG=", 0) == 0) {
        continue;
      }
      env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    env.push_back("KORVA_STUB_RECORD=" + record.string());
    env.push_back("KORVA_STUB_LOCALE=" + locale.string());
    env.push_back("KORVA_STUB_RESULT=" + std::to_string(result));

    ToolRun r;
    const korva_test::ChildResult child =
        korva_test::runChild((root_ / "bin" / korva_test::programFileName(tool)).string(), options,
                             env, out.string(), err.string(), cwd.string());
    EXPECT_TRUE(child.started) << child.error;
    if (!child.started) return r;
    EXPECT_TRUE(child.exited) << child.error;
    if (child.exited) r.exitCode = child.exitCode;
    r.out = readText(out);
    r.err = readText(err);
    r.call = readLines(record);
    r.locale = readText(locale);
    return r;
  }

  fs::path root_;
};

TEST_F(ToolTest, HelpPrintsTheUsageTextExactlyWithoutCallingTheLibrary) {
  struct Case {
    const char* tool;
    std::vector<std::string> options;
    std::string usage;
  };
  const Case cases[] = {
      {"korvapush", {"-help"}, kPushUsage},
      {"korvapush", {"-HELP"}, kPushUsage},
      {"korvapush", {"--help"}, kPushUsage},
      {"korvapush", {"stray", "-help"}, kPushUsage},
      {"korvapush", {"-apsname", "server1", "-help", "me"}, kPushUsage},
      {"korvadrop", {"-help"}, kDropUsage},
      {"korvadrop", {"-delfld", "A\\B", "-Help"}, kDropUsage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.options.front());
    install(c.tool, Library::Entries);
    const ToolRun r = run(c.tool, c.options, 1603);
    EXPECT_EQ(r.out, c.usage);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.call.empty()) << "the library was called";
  }
}

TEST_F(ToolTest, OptionsMapToTheSevenArgumentsInOrder) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::vector<std::string> call;
  };
  const Case cases[] = {
      {"no options at all",
       {},
       {"doPublishA", "<null>", "<null>", "<null>", "<null>", "[stdout]", "<null>", "<null>"}},
      {"every option",
       {"-apsname", "server1", "-apsuser", "admin", "-apspass", "secret", "-apsauth", "secLDAP",
        "-logfile", "/var/log/p.log", "-srcfile", "my.xml", "-srcpath", "/data/reports"},
       {"doPublishA", "[server1]", "[admin]", "[secret]", "[secLDAP]", "[/var/log/p.log]",
        "[my.xml]", "[/data/reports]"}},
      {"names in any case, values kept as given",
       {"-APSNAME", "Server1", "-ApsUser", "Admin", "--SrcPath", "/Data"},
       {"doPublishA", "[Server1]", "[Admin]", "<null>", "<null>", "[stdout]", "<null>", "[/Data]"}},
      {"an option given twice keeps its last value",
       {"-srcpath", "/first", "-apsname", "a", "-SRCPATH", "/second"},
       {"doPublishA", "[a]", "<null>", "<null>", "<null>", "[stdout]", "<null>", "[/second]"}},
      {"options without values pass empty strings",
       {"-apsname", "-apsuser", "admin", "-apspass"},
       {"doPublishA", "[]", "[admin]", "[]", "<null>", "[stdout]", "<null>", "<null>"}},
      {"a value starting with a dash is an option of its own",
       {"-apsuser", "-admin"},
       {"doPublishA", "<null>", "[]", "<null>", "<null>", "[stdout]", "<null>", "<null>"}},
      {"an empty value is a value",
       {"-apspass", "", "-apsname", "s"},
       {"doPublishA", "[s]", "<null>", "[]", "<null>", "[stdout]", "<null>", "<null>"}},
      {"logfile without a value is empty, not stdout",
       {"-logfile"},
       {"doPublishA", "<null>", "<null>", "<null>", "<null>", "[]", "<null>", "<null>"}},
      {"unknown options and stray words are ignored",
       {"stray", "-delfld", "X", "-verbose", "-apsname", "s", "loose"},
       {"doPublishA", "[s]", "<null>", "<null>", "<null>", "[stdout]", "<null>", "<null>"}},
      {"korvadrop without options",
       {},
       {"doDeleteA", "<null>", "<null>", "<null>", "<null>", "[stdout]", "<null>", "<null>"}},
      {"korvadrop: folder sixth, report seventh",
       {"-delrpt", "Sales\\2003\\Q1", "-delfld", "Sales\\Old", "-logfile", "d.log", "-srcfile",
        "ignored.xml", "-apsname", "srv"},
       {"doDeleteA", "[srv]", "<null>", "<null>", "<null>", "[d.log]", "[Sales\\Old]",
        "[Sales\\2003\\Q1]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The row's entry point names the program that calls it.
    const char* tool = c.call[0] == "doDeleteA" ? "korvadrop" : "korvapush";
    install(tool, Library::Entries);
    const ToolRun r = run(tool, c.options);
    EXPECT_EQ(r.call, c.call);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitCode, 0);
  }
}

// Without -apspass the password comes from KORVA_APSPASS, so that it need not
// stand in the process list; -apspass, even empty, wins.
TEST_F(ToolTest, PasswordComesFromTheEnvironmentWhenNotGiven) {
  struct Case {
    const char* tool;
    std::vector<std::string> options;
    std::vector<std::string> env;
    const char* password;
  };
  const Case cases[] = {
      {"korvapush", {}, {"KORVA_APSPASS=from-env"}, "[from-env]"},
      {"korvadrop", {"-delfld", "A"}, {"KORVA_APSPASS=from-env"}, "[from-env]"},
      {"korvapush", {"-apspass", "given"}, {"KORVA_APSPASS=from-env"}, "[given]"},
      {"korvadrop", {"-APSPASS", ""}, {"KORVA_APSPASS=from-env"}, "[]"},
      {"korvapush", {}, {"KORVA_APSPASS="}, "[]"},
      {"korvapush", {}, {}, "<null>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + ::testing::PrintToString(c.options) + " " +
                 ::testing::PrintToString(c.env));
    install(c.tool, Library::Entries);
    const ToolRun r = run(c.tool, c.options, 0, {}, c.env);
    ASSERT_EQ(r.call.size(), 8u);
    EXPECT_EQ(r.call[3], c.password);
    EXPECT_EQ(r.out, "");
  }
}

// The engine converts names with the process's multibyte functions: where
// the environment leaves the plain "C" locale, the programs use UTF-8.
TEST_F(ToolTest, ThePlainLocaleBecomesUtf8) {
  if (!korva_test::programsPreferUtf8Locale()) {
    GTEST_SKIP() << "the programs use the ANSI code page's locale here";
  }
  struct Case {
    std::vector<std::string> env;
    const char* locale;
  };
  const Case cases[] = {
      {{}, "C.UTF-8"},
      {{"LC_ALL=C"}, "C.UTF-8"},
      {{"LC_ALL=POSIX"}, "C.UTF-8"},
      {{"LANG=C"}, "C.UTF-8"},
      {{"LANG=C.utf8", "LC_CTYPE=POSIX"}, "C.UTF-8"},
      {{"LC_CTYPE=C.utf8"}, "C.utf8"},
      // A locale the system does not have leaves "C", as the C library does.
      {{"LC_ALL=xx_NOWHERE.UTF-8"}, "C"},
  };
  for (const char* tool : {"korvapush", "korvadrop"}) {
    install(tool, Library::Entries);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(tool) + " " + ::testing::PrintToString(c.env));
      const ToolRun r = run(tool, {}, 0, {}, c.env);
      EXPECT_EQ(r.locale, c.locale);
      EXPECT_EQ(r.call.size(), 8u);
    }
  }
}

TEST_F(ToolTest, LibraryIsFoundBesideTheProgramOrInItsLibDirectory) {
  if (!korva_test::programsSearchLibDirectory()) {
    GTEST_SKIP() << "the programs look for their library in their own directory only";
  }
  install("korvapush", Library::Entries, "lib");
  const ToolRun r = run("korvapush", {"-apsname", "s"});
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_FALSE(r.call.empty());
  EXPECT_EQ(r.call[1], "[s]");
}

// Only the program's own directories are searched, never the directory the
// administrator happens to run it from.
TEST_F(ToolTest, LibraryInTheCurrentDirectoryIsNotLoaded) {
  install("korvapush", Library::None);
  const fs::path cwd = root_ / "cwd";
  fs::create_directories(cwd);
  fs::copy_file(KORVA_TOOLS_ENTRY_STUB, cwd / kLibraryFile);
  const ToolRun r = run("korvapush", {"-apsname", "s"}, 0, cwd);
  EXPECT_EQ(r.out, kNoLibrary);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.call.empty());
}

TEST_F(ToolTest, MissingLibraryOrFunctionExitsWithOne) {
  struct Case {
    const char* tool;
    Library library;
    std::vector<std::string> options;
    std::string message;
  };
  const Case cases[] = {
      {"korvapush", Library::None, {}, kNoLibrary},
      {"korvapush", Library::None, {"-help"}, kNoLibrary},
      {"korvadrop", Library::None, {"-delfld", "A"}, kNoLibrary},
      {"korvadrop", Library::None, {"-help"}, kNoLibrary},
      {"korvapush", Library::NoEntries, {}, kNoFunction},
      {"korvapush", Library::NoEntries, {"-help"}, kNoFunction},
      {"korvadrop", Library::NoEntries, {}, kNoFunction},
      {"korvadrop", Library::NoEntries, {"-help"}, kNoFunction},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + (c.options.empty() ? "" : " " + c.options.front()) +
                 (c.library == Library::None ? " without library" : " without function"));
    install(c.tool, c.library);
    const ToolRun r = run(c.tool, c.options);
    EXPECT_EQ(r.out, c.message);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.call.empty());
  }
}

TEST_F(ToolTest, ExitCodeIsTheFunctionsResult) {
  struct Case {
    int result;
    int byteExitCode;  // where the exit status keeps only the low byte
  };
  // There 256 would leave the process as 0, a failure reading as success: it
  // exits 1. Where the status carries the whole number, it is the result.
  const Case cases[] = {{0, 0}, {14, 14}, {1603, 1603 & 0xFF}, {256, 1}};
  for (const char* tool : {"korvapush", "korvadrop"}) {
    install(tool, Library::Entries);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(tool) + " " + std::to_string(c.result));
      const ToolRun r = run(tool, {"-apsname", "s"}, c.result);
      EXPECT_EQ(r.exitCode, korva_test::exitStatusIsWhole() ? c.result : c.byteExitCode);
      EXPECT_EQ(r.call.size(), 8u);
    }
  }
}

}  // namespace
