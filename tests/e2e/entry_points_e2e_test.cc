// The engine library as a host sees it: a copy of libkorvalink.so loaded by
// path from a directory of its own (so that "beside the library" is a
// directory the test controls), its exported symbols, and the string entry
// points with every default; then the log destinations as korvapush and
// korvadrop select them.
#include <dlfcn.h>

#include <clocale>
#include <cstdlib>
#include <set>

#include "e2e/e2e_fixture.h"

namespace e2e {
namespace {

using PublishA = int (*)(const char*, const char*, const char*, const char*, const char*,
                         const char*, const char*);
using PublishW = int (*)(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                         const wchar_t*, const wchar_t*, const wchar_t*);
using TestFcnType = void (*)();

// Multibyte text in the process's current character type, as wide text.
std::wstring wide(const std::string& text) {
  std::wstring out(text.size() + 1, L'\0');
  size_t n = std::mbstowcs(out.data(), text.c_str(), out.size());
  EXPECT_NE(n, static_cast<size_t>(-1)) << text;
  out.resize(n == static_cast<size_t>(-1) ? 0 : n);
  return out;
}

// Sets an environment variable for the test's lifetime, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

// The character type of the process's locale for the test's lifetime.
class ScopedCType {
 public:
  explicit ScopedCType(const char* locale) : old_(std::setlocale(LC_CTYPE, nullptr)) {
    EXPECT_NE(std::setlocale(LC_CTYPE, locale), nullptr) << locale;
  }
  ~ScopedCType() { std::setlocale(LC_CTYPE, old_.c_str()); }

 private:
  std::string old_;
};

class EntryPointsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(lib());
    fs::create_directories(tmp());
    fs::copy_file(binPath("libkorvalink.so"), lib() / "libkorvalink.so");
    // Never closed: the library keeps process-wide objects (the framework,
    // the class registry) that other copies must not be confused with.
    handle_ = dlopen((lib() / "libkorvalink.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }

  template <typename F>
  F function(const char* name) {
    return reinterpret_cast<F>(dlsym(handle_, name));
  }

  fs::path lib() const { return work_.path() / "lib"; }
  fs::path tmp() const { return work_.path() / "tmp"; }
  fs::path home() const { return work_.path() / "servers"; }

  TempDir work_;
  void* handle_ = nullptr;
  ScopedEnv homeEnv_{"KORVA_SERVER_HOME", (work_.path() / "servers").string()};
  ScopedEnv tmpEnv_{"TMPDIR", (work_.path() / "tmp").string()};
  ServerHome server_{work_.path() / "servers"};
};

TEST_F(EntryPointsTest, ExportsExactlyTheSixEntryPoints) {
  ProgramRun nm = runProgram("/usr/bin/nm", {"-D", "--defined-only", binPath("libkorvalink.so")});
  ASSERT_EQ(nm.exitCode, 0) << nm.err;
  std::set<std::string> names;
  for (const std::string& line : splitLines(nm.out)) {
    std::string::size_type space = line.rfind(' ');
    std::string name = line.substr(space + 1);
    char type = line.size() > 17 ? line[17] : '?';
    // Absolute symbols are version nodes, not code or data.
    if (type != 'A') names.insert(name);
  }
  EXPECT_EQ(names, (std::set<std::string>{"doPublish", "doPublishA", "doPublishW", "doDeleteA",
                                          "doDeleteW", "TestFcn"}));
  auto testFcn = function<TestFcnType>("TestFcn");
  ASSERT_NE(testFcn, nullptr);
  testFcn();
}

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

  Lines lines = maskedLines(readFile(tmp() / "publish.log"));
  ASSERT_GE(lines.size(), 13u);
  EXPECT_EQ(lines[0], kWarnNoName);
  EXPECT_EQ(lines[1], kWarnOutside);
  EXPECT_EQ(lines[2], E2E_INFO_PUB "Successfully initialized connection to APS " + aps +
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
  Lines expected = {E2E_INFO_PUB "Successfully initialized connection to APS " + aps +
                    " as Administrator."};
  append(&expected, deleteSummary(0, 0, 0, 0));
  EXPECT_EQ(maskedLines(readFile(tmp() / "delete.log")), expected);
}

TEST_F(EntryPointsTest, WideEntryPointsCarryNonAsciiNames) {
  ScopedCType utf8("C.UTF-8");
  ASSERT_EQ(server_.init(kAps).exitCode, 0);
  fs::path source = work_.path() / u8"Quellen-\u00e4";
  writeFile(source / u8"B\u00fccher" / u8"\u00dcbersicht.rpt", "report bytes\n");
  fs::path instructions = work_.path() / u8"ver\u00f6ffentlichen.xml";
  writeFile(instructions,
            u8"<publish><users right=\"View\"><user name=\"j\u00f6rg\" full=\"J\u00f6rg "
            u8"M\u00fcller\"/></users>"
            u8"<folders><folder name=\"B\u00fccher\" desc=\"F\u00fcr alle\"/></folders>"
            u8"<reports><report name=\"\u00dcbersicht\" title=\"Jahres\u00fcbersicht\"/>"
            u8"</reports></publish>");
  fs::path log = work_.path() / u8"protokoll-\u00f6.log";

  auto publish = function<PublishW>("doPublishW");
  ASSERT_NE(publish, nullptr);
  std::wstring aps(kAps, kAps + sizeof kAps - 1);
  EXPECT_EQ(
      publish(aps.c_str(), L"Administrator", L"", L"secEnterprise", wide(log.string()).c_str(),
              wide(instructions.string()).c_str(), wide(source.string()).c_str()),
      0);

  Json server = server_.dump(kAps);
  int64_t user = userIdOf(server, u8"j\u00f6rg");
  int64_t folder = folderIdAt(server, u8"B\u00fccher");
  int64_t report = reportIdAt(server, u8"B\u00fccher", u8"Jahres\u00fcbersicht");
  ASSERT_GE(user, 0);
  ASSERT_GE(folder, 0);
  ASSERT_GE(report, 0);
  EXPECT_EQ((*findUser(server, u8"j\u00f6rg"))["fullName"].text, u8"J\u00f6rg M\u00fcller");
  EXPECT_EQ((*findObject(server, "Folder", u8"B\u00fccher", 0))["description"].text,
            u8"F\u00fcr alle");

  Lines expected = {
      std::string(E2E_INFO_PUB "Successfully initialized connection to APS ") + kAps +
          " as Administrator.",
      addedLine("user", u8"j\u00f6rg", std::to_string(user)),
      addedLine("folder", u8"B\u00fccher", std::to_string(folder)),
      rightLine("View", std::to_string(folder), std::to_string(user)),
      addedLine("report", u8"Jahres\u00fcbersicht", std::to_string(report)),
  };
  append(&expected, publishSummary(instructions.string(), 1, 0, 0, 1, 0, 0, 1, 0, 0));
  EXPECT_EQ(maskedLines(readFile(log)), expected);

  // And away again through the wide delete.
  auto remove = function<PublishW>("doDeleteW");
  ASSERT_NE(remove, nullptr);
  fs::path deleteLog = work_.path() / u8"l\u00f6schen.log";
  EXPECT_EQ(remove(aps.c_str(), nullptr, nullptr, nullptr, wide(deleteLog.string()).c_str(),
                   L"B\u00fccher", L"B\u00fccher\\Jahres\u00fcbersicht"),
            0);
  Lines deleted = {
      std::string(E2E_INFO_PUB "Successfully initialized connection to APS ") + kAps +
          " as Administrator.",
      E2E_INFO_PUB u8"Successfully deleted report Jahres\u00fcbersicht from Veltrane Enterprise.",
      E2E_INFO_PUB u8"Successfully deleted folder B\u00fccher from Veltrane Enterprise.",
  };
  append(&deleted, deleteSummary(1, 0, 1, 0));
  EXPECT_EQ(maskedLines(readFile(deleteLog)), deleted);
  EXPECT_EQ(server_.dump(kAps)["objects"].size(), 0u);
}

TEST_F(EntryPointsTest, WideTextTheEncodingCannotHoldFailsInsteadOfTakingADefault) {
  // In the "C" locale only ASCII converts: the password must not silently
  // become empty, nor the folder path silently name nothing.
  ScopedCType ascii("C");
  ASSERT_EQ(server_.init(kAps).exitCode, 0);
  std::wstring aps(kAps, kAps + sizeof kAps - 1);
  auto publish = function<PublishW>("doPublishW");
  auto remove = function<PublishW>("doDeleteW");
  ASSERT_TRUE(publish && remove);

  EXPECT_EQ(publish(aps.c_str(), nullptr, L"p\u00e4ss", nullptr, nullptr, nullptr, nullptr), 1603);
  EXPECT_EQ(maskedLines(readFile(tmp() / "publish.log")),
            (Lines{E2E_ERROR_ACT "The value of CA_VR_APSPASS cannot be converted to the "
                                 "process's multibyte encoding.",
                   E2E_ERROR_ACT "Failed to publish Veltrane Enterprise objects. System function "
                                 "failed."}));

  EXPECT_EQ(remove(aps.c_str(), nullptr, nullptr, nullptr, nullptr, L"B\u00fccher", nullptr), 1603);
  EXPECT_EQ(maskedLines(readFile(tmp() / "delete.log")),
            (Lines{E2E_ERROR_ACT "The value of CA_VR_DELFLD cannot be converted to the "
                                 "process's multibyte encoding.",
                   E2E_ERROR_ACT "Failed to delete Veltrane Enterprise objects. System function "
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
      {"korvapush", {"stdout"}, "", E2E_INFO_ACT "0 reports skipped."},
      // "STDOUT" is a file name like any other, in the working directory.
      {"korvapush", {"STDOUT"}, cwd / "STDOUT", E2E_INFO_ACT "3 reports skipped."},
      // -logfile without a value: the default file in the temporary directory.
      {"korvapush", {}, work() / "tmp" / "publish.log", E2E_INFO_ACT "3 reports skipped."},
      {"korvadrop", {}, work() / "tmp" / "delete.log", E2E_INFO_ACT "0 reports skipped."},
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
    Lines lines = maskedLines(c.log.empty() ? run.out : readFile(c.log));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), c.lastLine);
  }
  EXPECT_FALSE(fs::exists(cwd / "stdout"));
}

}  // namespace
}  // namespace e2e
