// korvaserver, run as a program: init (with the password from the command
// line, the environment or standard input), tree, users and dump with their
// exact output (whole, or as a user may see it), and errors on standard
// error with exit code 1.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/test_platform.h"
#include "platform/net.h"
#include "platform/server_home_default.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

struct ProgramRun {
  int code = -1;
  std::string out;
  std::string err;
};

class KorvaserverTest : public ServerTest {
 protected:
  // Runs korvaserver with the text as its standard input.
  ProgramRun korvaserver(const std::vector<std::string>& args, const std::string& input = "") {
    const std::string program =
        std::string(KORVA_BIN_DIR) + "/" + korva_test::programFileName("korvaserver");
    const std::string inPath = writeFile("stdin.txt", input);
    const std::string outPath = (home_ / "stdout.txt").string();
    const std::string errPath = (home_ / "stderr.txt").string();
    korva_test::ChildResult child = korva_test::runChild(
        program, args, korva_test::currentEnvironment(), outPath, errPath, "", inPath);
    ProgramRun run;
    EXPECT_TRUE(child.exited) << child.error;
    if (child.exited) run.code = child.exitCode;
    run.out = readText(outPath);
    run.err = readText(errPath);
    return run;
  }

  // The repository the output tests show (ids in comments).
  void fill() {
    Connection c = connect();
    int32_t alice = addUser(c, L"Alice", L"pw");  // 8
    {
      Ref<korva::InfoObjects> list = query(c, L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_ID=8");
      Ref<korva::UserObject> details;
      ASSERT_EQ(itemOf(list, 1).query(&details), S_OK);
      details->setFullName(B(L"Alice A."));
      details->setLicenseType(0);
      ASSERT_EQ(c.store->commit(list.get()), S_OK);
    }
    int32_t finance = addFolder(c, L"Finance", 0, L"Quarterly numbers");  // 9
    addReport(c, L"Q1", finance, writeFile("q1.rpt", "abc"), [](Ref<korva::InfoObject>& report) {
      Ref<korva::ReportObject> details;
      ASSERT_EQ(report.query(&details), S_OK);
      details->setThumbnail(true);
    });  // 10
    int32_t sub =
        addFolder(c, L"Sub", finance, L"Tab\tand \"quote\" and \\ and \x00e9\x0001\n");  // 11
    addReport(c, L"Q2", sub, "", [](Ref<korva::InfoObject>& report) {
      report->setProperty(B(L"SI_REPORTTYPE"), Variant::fromString(L"rpt"));
    });                                      // 12
    int32_t other = addFolder(c, L"Other");  // 13
    ASSERT_EQ(other, 13);
    ASSERT_EQ(grant(c, finance, alice, 2), S_OK) << lastError();
    ASSERT_EQ(grant(c, other, 7, 5), S_OK) << lastError();
  }
};

TEST_F(KorvaserverTest, InitCreatesOnceForTheLocalHostByDefault) {
  std::string host;
  ASSERT_TRUE(korva::officialHostName("localhost", &host));
  std::string name = host;
  for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  std::filesystem::remove(repositoryPath(name));
  ProgramRun first = korvaserver({"init", "-password", "pw"});
  EXPECT_EQ(first.code, 0) << first.err;
  EXPECT_EQ(first.out,
            "Created the repository of APS \"" + name + "\" at " + repositoryPath(name) + ".\n");
  EXPECT_EQ(first.err, "");
  EXPECT_TRUE(logon(L"Administrator", L"pw", widen(name)));

  ProgramRun second = korvaserver({"init", "-APSNAME", host});
  EXPECT_EQ(second.code, 1);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err, "korvaserver: The repository " + repositoryPath(name) +
                            " already exists; it is never overwritten.\n");
  EXPECT_TRUE(logon(L"Administrator", L"pw", widen(name)));
}

TEST_F(KorvaserverTest, InitTakesThePasswordFromTheEnvironmentOrStandardInput) {
  struct Case {
    std::string aps;
    std::vector<std::string> options;
    const char* environment;  // KORVA_SERVER_PASSWORD, or null for unset
    std::string input;
    std::wstring password;  // the one logon then takes
  };
  const std::vector<Case> cases = {
      {"env", {}, "from env", "", L"from env"},
      {"stdin", {"-password", "-"}, "from env", "first line\nsecond\n", L"first line"},
      {"crlf", {"-password", "-"}, nullptr, "typed\r\n", L"typed"},
      {"noend", {"-password", "-"}, nullptr, "no line end", L"no line end"},
      {"given", {"-password", "given"}, "from env", "", L"given"},
      {"none", {}, nullptr, "", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.aps);
    if (c.environment) {
      korva_test::setEnvironmentVariable("KORVA_SERVER_PASSWORD", c.environment);
    } else {
      korva_test::unsetEnvironmentVariable("KORVA_SERVER_PASSWORD");
    }
    std::vector<std::string> args = {"init", "-apsname", c.aps};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ProgramRun run = korvaserver(args, c.input);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(logon(L"Administrator", c.password, widen(c.aps))) << lastError();
  }
  korva_test::unsetEnvironmentVariable("KORVA_SERVER_PASSWORD");
  // Asked for standard input, an empty one is an error: nothing is created.
  ProgramRun run = korvaserver({"init", "-apsname", "empty", "-password", "-"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "korvaserver: -password -: standard input holds no password line.\n");
  EXPECT_FALSE(std::filesystem::exists(repositoryPath("empty")));
}

TEST_F(KorvaserverTest, ShowsTheTree) {
  fill();
  // A file name with control characters is shown escaped, never raw (where
  // file names may hold them: Windows' may not).
  const std::string esc = writeFile("esc\x1b[2J\a\tname\n.rpt", "esc");
  const bool escMade = std::filesystem::exists(esc);
  if (escMade) {
    Connection c = connect();
    addReport(c, L"Esc", 13, esc);  // 14
  }
  ProgramRun run = korvaserver({"tree", "-apsname", "localhost"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(
      run.out,
      "Folder 9 \"Finance\": \"Quarterly numbers\"\n"
      "  Report 10 \"Q1\", file q1.rpt, 3 bytes\n"
      "  Folder 11 \"Sub\": \"Tab\\tand \\\"quote\\\" and \\\\ and \xc3\xa9\\u0001\\n\"\n"
      "    Report 12 \"Q2\", no file\n"
      "Folder 13 \"Other\"\n" +
          std::string(escMade ? "  Report 14 \"Esc\", file esc\\u001b[2J\\u0007\\tname\\n.rpt, "
                                "3 bytes\n"
                              : ""));
  std::filesystem::remove(repositoryPath());
  std::string error;
  ASSERT_TRUE(korva::initRepository("localhost", "", &error)) << error;
  run = korvaserver({"tree", "-apsname", "localhost"});
  EXPECT_EQ(run.out, "(no folders or reports)\n");
}

TEST_F(KorvaserverTest, TreeEscapesC1ControlCharacters) {
  // U+009B is a terminal's CSI, as ESC [ is.
  Connection c = connect();
  addFolder(c, std::wstring(L"csi\x009b") + L"2J", 0, L"\x0085next line");  // 8
  ProgramRun run = korvaserver({"tree", "-apsname", "localhost"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Folder 8 \"csi\\u009b2J\": \"\\u0085next line\"\n");
}

TEST_F(KorvaserverTest, WithAUserShowsWhatThatUserMaySee) {
  fill();
  {
    Connection c = connect();
    ASSERT_EQ(grant(c, 13, 8, 1), S_OK) << lastError();  // Alice: NoAccess on Other
  }
  const ProgramRun whole = korvaserver({"tree", "-apsname", "localhost"});
  const std::string other = "Folder 13 \"Other\"\n";
  ASSERT_NE(whole.out.find(other), std::string::npos) << whole.out;
  const ProgramRun alice =
      korvaserver({"tree", "-apsname", "localhost", "-user", "Alice", "-password", "-"}, "pw\n");
  EXPECT_EQ(alice.code, 0) << alice.err;
  EXPECT_EQ(alice.out, whole.out.substr(0, whole.out.find(other)));
  const ProgramRun refused =
      korvaserver({"users", "-apsname", "localhost", "-user", "Alice", "-password", "wrong"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.err, "korvaserver: Logon refused: the password of user \"Alice\" is wrong.\n");
}

TEST_F(KorvaserverTest, ShowsTheUsersWithTheirRights) {
  fill();
  ProgramRun run = korvaserver({"users", "-apsname", "LOCALHOST"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out,
            "User 7 \"Administrator\", full name \"\", licence 1 (concurrent), password no\n"
            "  FullControl (5) on Folder 13 \"Other\"\n"
            "User 8 \"Alice\", full name \"Alice A.\", licence 0 (named), password yes\n"
            "  View (2) on Folder 9 \"Finance\"\n");
}

TEST_F(KorvaserverTest, DumpsTheWholeRepositoryAsJson) {
  fill();
  ProgramRun run = korvaserver({"dump", "-apsname", "localhost"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(
      run.out,
      "{\"aps\": \"localhost\",\n"
      " \"plugins\": [{\"name\": \"Folder\", \"typeId\": 1}, {\"name\": \"Report\", \"typeId\": "
      "2}, "
      "{\"name\": \"Program\", \"typeId\": 8}, {\"name\": \"Shortcut\", \"typeId\": 11}, "
      "{\"name\": \"User\", \"typeId\": 16}, {\"name\": \"Calendar\", \"typeId\": 19}],\n"
      " \"users\": [{\"id\": 7, \"name\": \"Administrator\", \"fullName\": \"\", \"description\": "
      "\"\",\n"
      "            \"licenseType\": 1, \"hasPassword\": false, \"passwordOptions\": [false, false, "
      "false]},\n"
      "           {\"id\": 8, \"name\": \"Alice\", \"fullName\": \"Alice A.\", \"description\": "
      "\"\",\n"
      "            \"licenseType\": 0, \"hasPassword\": true, \"passwordOptions\": [false, false, "
      "false]}],\n"
      " \"objects\": [{\"id\": 9, \"type\": \"Folder\", \"parentId\": 0, \"title\": \"Finance\", "
      "\"description\": \"Quarterly numbers\",\n"
      "              \"rights\": [{\"userId\": 8, \"role\": 2}]},\n"
      "             {\"id\": 10, \"type\": \"Report\", \"parentId\": 9, \"title\": \"Q1\", "
      "\"description\": \"\",\n"
      "              \"reportType\": \"\", \"thumbnail\": true,\n"
      "              \"file\": {\"name\": \"q1.rpt\", \"size\": 3, \"sha256\": "
      "\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\"}, \"rights\": []},\n"
      "             {\"id\": 11, \"type\": \"Folder\", \"parentId\": 9, \"title\": \"Sub\", "
      "\"description\": "
      "\"Tab\\tand \\\"quote\\\" and \\\\ and \xc3\xa9\\u0001\\n\",\n"
      "              \"rights\": []},\n"
      "             {\"id\": 12, \"type\": \"Report\", \"parentId\": 11, \"title\": \"Q2\", "
      "\"description\": \"\",\n"
      "              \"reportType\": \"rpt\", \"thumbnail\": false,\n"
      "              \"file\": null, \"rights\": []},\n"
      "             {\"id\": 13, \"type\": \"Folder\", \"parentId\": 0, \"title\": \"Other\", "
      "\"description\": \"\",\n"
      "              \"rights\": [{\"userId\": 7, \"role\": 5}]}]}\n");
}

TEST_F(KorvaserverTest, ErrorsGoToStandardErrorWithExitCodeOne) {
  const std::string usage =
      "usage: korvaserver init  [-apsname N] [-password P]\n"
      "       korvaserver tree  [-apsname N] [-user U [-password P]]\n"
      "       korvaserver users [-apsname N] [-user U [-password P]]\n"
      "       korvaserver dump  [-apsname N] [-user U [-password P]]\n"
      "       korvaserver serve -apsname N [-listen HOST:PORT] [-cert FILE -key FILE]\n"
      "       korvaserver export [-apsname N] [-user U [-password P]] [-folder 'A\\B'] -out DIR\n"
      "With -user the views and export show what that user may see of the APS (a\n"
      "repository here, or a report server HOST:PORT); \"-password -\" reads the\n"
      "password from standard input.\n"
      "The APS name defaults to the local host's name; repositories live in\n" +
      std::string(korva::serverHomeUsage()) + ".\n";
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{}, "korvaserver: no command given.\n" + usage},
      {{"show"}, "korvaserver: unknown command \"show\".\n" + usage},
      {{"tree", "-aps", "x"}, "korvaserver: unknown option \"-aps\".\n" + usage},
      {{"tree", "-apsname"}, "korvaserver: option -apsname needs a value.\n" + usage},
      {{"dump", "-password", "x"},
       "korvaserver: -password applies to init, and to tree, users, dump and export with -user.\n" +
           usage},
      {{"serve", "-user", "x"},
       "korvaserver: -user applies to tree, users, dump and export only.\n" + usage},
      {{"init", "-user", "x"},
       "korvaserver: -user applies to tree, users, dump and export only.\n" + usage},
      {{"tree", "-user", "Alice", "-password", "-"},
       "korvaserver: -password -: standard input holds no password line.\n"},
      {{"tree", "-out", "x"}, "korvaserver: -out applies to export only.\n" + usage},
      {{"export", "-apsname", "localhost"}, "korvaserver: export needs -out.\n" + usage},
      {{"export", "-out", "x", "-password", "x"},
       "korvaserver: -password applies to init, and to tree, users, dump and export with -user.\n" +
           usage},
      {{"tree", "-listen", "x"}, "korvaserver: -listen applies to serve only.\n" + usage},
      {{"serve", "-listen", "x"}, "korvaserver: serve needs -apsname.\n" + usage},
      {{"dump", "-apsname", "nothere"},
       "korvaserver: There is no repository for APS \"nothere\" (" + repositoryPath("nothere") +
           "); create it with \"korvaserver init -apsname nothere\".\n"},
      {{"users", "-apsname", "bad\x1b]2;title\a"},
       "korvaserver: \"bad\\x1b]2;title\\x07\" is not a valid APS name: use a host name "
       "(letters, digits, \"-\" and \".\", optionally \":\" and a port).\n"},
      {{"users", "-apsname", "../etc/x"},
       "korvaserver: \"../etc/x\" is not a valid APS name: use a host name (letters, digits, "
       "\"-\" and \".\", optionally \":\" and a port).\n"},
      {{"init", "-apsname", "a/b"},
       "korvaserver: \"a/b\" is not a valid APS name: use a host name (letters, digits, \"-\" "
       "and \".\", optionally \":\" and a port).\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    ProgramRun run = korvaserver(c.args);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
  }
  ProgramRun help = korvaserver({"help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out, usage);
}

}  // namespace
}  // namespace korva_rs_test
