// Moving a server's content to another server in two commands: korvaserver
// export, then korvapush with what it wrote. Over trees the instructions
// file can say (the worked example, one of its folders alone, names beyond
// ASCII) the two servers then hold the same, ids and the Administrator
// apart. Refused exports leave nothing behind.
#include <algorithm>

#include "e2e/e2e_fixture.h"

namespace e2e {

namespace {

class ExportTest : public E2ETest {
 protected:
  ProgramRun korvaserver(std::vector<std::string> args) const {
    return runProgram(binPath("korvaserver"), args, environment({"KORVA_SERVER_PASSWORD"}));
  }
  ProgramRun publish(const std::string& aps, const std::string& srcFile,
                     const std::string& srcPath) const {
    return runProgram(binPath("korvapush"),
                      {"-apsname", aps, "-srcfile", srcFile, "-srcpath", srcPath}, environment({}));
  }
};

// Users, folders and reports with names beyond ASCII, a description with
// what XML escapes, a named user and an icon.
const char kNamesXml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<publish>\n"
    "  <users right=\"View\">\n"
    "    <user name=\"j\xc3\xbcrgen\" full=\"J\xc3\xbcrgen M\xc3\xbcller\" named=\"1\"\n"
    "          desc=\"Pr\xc3\xbc"
    "fer &amp; &quot;Leser&quot;&#10;&lt;zweite&gt; Zeile\"/>\n"
    "  </users>\n"
    "  <folders>\n"
    "    <folder name=\"\xc3\x9c"
    "bersicht\" desc=\"Zahlen f\xc3\xbcr Q1\"/>\n"
    "  </folders>\n"
    "  <reports>\n"
    "    <report name=\"Bilanz \xc3\xa9\" title=\"Jahresbilanz \xc3\x84rger\" "
    "desc=\"Gr\xc3\xb6\xc3\x9f"
    "e\" icon=\"rpt\"/>\n"
    "  </reports>\n"
    "</publish>\n";

TEST_F(ExportTest, APublishOfTheExportGivesTheSameContent) {
  struct Case {
    std::string name;
    std::string srcFile;
    fs::path srcPath;
    std::vector<std::string> options;
    std::string summary;             // of what, with %s for the APS name
    std::vector<std::string> names;  // that the programs must be able to spell
  };
  const fs::path names = work() / "names";
  writeFile(work() / "names.xml", kNamesXml);
  writeFile(names /
                fs::u8path("\xc3\x9c"
                           "bersicht") /
                fs::u8path("Bilanz \xc3\xa9.rpt"),
            "one");
  writeFile(names /
                fs::u8path("\xc3\x9c"
                           "bersicht") /
                fs::u8path("\xc3\x84rchiv") / fs::u8path("Bilanz \xc3\xa9.rpt"),
            "one");
  writeFile(names / fs::u8path("Caf\xc3\xa9.rpt"), "two");
  const std::vector<Case> cases = {
      {"the worked example",
       examplePublishXml(),
       tree(),
       {},
       "3 folders, 3 reports and 2 users of APS \"%s\"",
       {}},
      {"a folder alone",
       examplePublishXml(),
       tree(),
       {"-folder", "Finance", "-user", "Administrator"},
       "2 folders, 2 reports and 2 users of the folder \"Finance\" on APS \"%s\"",
       {}},
      {"names beyond ASCII",
       (work() / "names.xml").string(),
       names,
       {},
       "2 folders, 3 reports and 1 users of APS \"%s\"",
       {"\xc3\x9c"
        "bersicht",
        "Gr\xc3\xb6\xc3\x9f"
        "e"}},
  };
  std::string unspelled;
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    const bool spelled = std::all_of(c.names.begin(), c.names.end(), [](const std::string& n) {
      return !korva_test::programSpelling(n).empty();
    });
    if (!spelled) {
      unspelled = c.name;
      continue;
    }
    const std::string a = "from-" + std::to_string(i), b = "to-" + std::to_string(i);
    ASSERT_EQ(server().init(a).exitCode, 0);
    ASSERT_EQ(server().init(b).exitCode, 0);
    ProgramRun run = publish(a, c.srcFile, c.srcPath.string());
    ASSERT_EQ(run.exitCode, 0) << run.out;

    // An empty directory is as good as none.
    const fs::path out = work() / ("export-" + std::to_string(i));
    if (i == 1) fs::create_directories(out);
    std::vector<std::string> args = {"export", "-apsname", a, "-out", out.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    run = korvaserver(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::string summary = "Exported " + c.summary + " to \"" + out.string() + "\".\n";
    summary.replace(summary.find("%s"), 2, a);
    EXPECT_EQ(run.out, summary);
    EXPECT_EQ(run.err, "");

    run = publish(b, (out / "publish.xml").string(), (out / "reports").string());
    EXPECT_EQ(run.exitCode, 0) << run.out;
    const std::string top = c.options.empty() ? "" : c.options[1];
    EXPECT_EQ(contentOf(server().dump(b), ""), contentOf(server().dump(a), top));
  }
  if (!unspelled.empty()) GTEST_SKIP() << "the code page cannot spell the names of " << unspelled;
}

// What the export cannot carry is said before the summary, and the export
// still succeeds.
TEST_F(ExportTest, WarningsComeBeforeTheSummary) {
  writeFile(work() / "pass.xml",
            "<publish><users right=\"View\"><user name=\"sales1\" pass=\"secret\"/></users>"
            "</publish>");
  ASSERT_EQ(push((work() / "pass.xml").string(), tree().string()).exitCode, 0);
  const fs::path out = work() / "export";
  const ProgramRun run = korvaserver({"export", "-apsname", kAps, "-out", out.string()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "Warning: User \"sales1\" has a password, which is never exported; the user is "
            "published without one.\n"
            "Exported 3 folders, 3 reports and 1 users of APS \"korva-e2e\" to \"" +
                out.string() + "\".\n");
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(fs::is_regular_file(out / "publish.xml"));
}

TEST_F(ExportTest, RefusalsLeaveNothingBehind) {
  const fs::path full = work() / "full", file = work() / "file", fresh = work() / "fresh";
  writeFile(full / "keep.txt", "kept");
  writeFile(file, "kept");
  struct Case {
    fs::path out;
    std::vector<std::string> options;
    std::string err;
  };
  const std::vector<Case> cases = {
      {full,
       {},
       "\"" + full.string() +
           "\" exists and is not an empty directory. Nothing was "
           "exported."},
      {file,
       {},
       "\"" + file.string() +
           "\" exists and is not an empty directory. Nothing was "
           "exported."},
      {fresh,
       {"-folder", "Finance\\Nope"},
       "There is no folder \"Finance\\Nope\" on APS \"korva-e2e\"."},
      {fresh,
       {"-user", "Administrator", "-password", "wrong"},
       "Logon refused: the password of user \"Administrator\" is wrong."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    std::vector<std::string> args = {"export", "-apsname", kAps, "-out", c.out.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProgramRun run = korvaserver(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "korvaserver: " + c.err + "\n");
    EXPECT_FALSE(fs::exists(c.out.string() + ".partial-1"));
  }
  EXPECT_EQ(readFile(full / "keep.txt"), "kept");
  EXPECT_EQ(readFile(file), "kept");
  EXPECT_FALSE(fs::exists(fresh));
}

}  // namespace
}  // namespace e2e
