// Hostile input: APS names that try to leave the server home, instructions
// files with external entities and entity bombs, names holding printf
// directives, line ends and non-ASCII text, and passwords that must stay out
// of every log, the repository's files and the server's dump.
//
// The programs run with the UTF-8 locale (LC_ALL=C.UTF-8), as on a usual
// system.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "reliability/reliability_util.h"
#include "reportserver/store/repository.h"
#include "reportserver/store/sqlite_db.h"

namespace rel {
namespace {

constexpr char kAps[] = "hostile";
constexpr char kAdminPassword[] = "Adm1n-Hostile-Zq81";

class HostileInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(home());
    ASSERT_EQ(server().init(kAps, kAdminPassword).exitCode, 0);
    e2e::writeFile(tree() / "A" / "r.rpt", "a report\n");
  }

  fs::path home() const { return work_.path() / "home"; }
  fs::path tree() const { return work_.path() / "tree"; }
  e2e::ServerHome server() const { return e2e::ServerHome(home()); }
  std::vector<std::string> env() const {
    return {server().homeEnv(), "KORVA_SERVER_FAULTS", "LC_ALL=C.UTF-8",
            "TMPDIR=" + work_.path().string()};
  }

  // korvapush against the server, the log on standard output.
  e2e::ProgramRun push(const fs::path& instructions, const fs::path& source,
                       std::vector<std::string> more = {}) const {
    std::vector<std::string> args = {"-apsname",  kAps, "-apspass", kAdminPassword, "-srcfile",
                                     instructions.string(), "-srcpath", source.string()};
    args.insert(args.end(), more.begin(), more.end());
    return e2e::runProgram(e2e::binPath("korvapush"), args, env());
  }

  fs::path writeXml(const std::string& name, const std::string& text) const {
    e2e::writeFile(work_.path() / name, text);
    return work_.path() / name;
  }

  WorkDir work_;
};

// ---- APS names ---------------------------------------------------------------------

// Every path under dir, links not followed.
std::set<std::string> allPaths(const fs::path& dir) {
  std::set<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    out.insert(it->path().string());
  }
  return out;
}

TEST_F(HostileInputTest, ApsNamesWithSlashesOrDotsNeverTouchAFileOutsideTheServerHome) {
  const std::vector<std::string> names = {"../escape", "..",         "../../escape2", "a/b",
                                          "/abs",      "x/../../y",  "..\\up",        "./here",
                                          "a/..",      "home/../../z"};
  const fs::path instructions = writeXml("plain.xml", "<publish/>");
  const std::set<std::string> before = allPaths(work_.path());
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string refusal = LOG_DETAIL "\"" + name +
                                "\" is not a valid APS name: use a host name (letters, digits, "
                                "\"-\" and \".\", optionally \":\" and a port).";
    std::string escaped;
    for (char c : name) escaped += c == '&' ? std::string("&amp;") : std::string(1, c);
    const fs::path fromFile = writeXml("aps.xml", "<publish apsname=\"" + escaped + "\"/>");
    // The name on the command line and in the instructions file; korvadrop.
    const std::pair<e2e::ProgramRun, const char*> runs[] = {
        {e2e::runProgram(e2e::binPath("korvapush"),
                         {"-apsname", name, "-srcfile", instructions.string(), "-srcpath",
                          tree().string()},
                         env()),
         "publish"},
        {push(fromFile, tree()), "publish"},
        {e2e::runProgram(e2e::binPath("korvadrop"), {"-apsname", name, "-delfld", "A"}, env()),
         "delete"}};
    for (const auto& [run, action] : runs) {
      EXPECT_EQ(run.exitCode, e2e::kExitFatal);
      EXPECT_EQ(
          e2e::maskedLines(run.out),
          (std::vector<std::string>{
              LOG_ERROR_PUB "Failed to logon to APS " + name +
                  " as Administrator with secEnterprise authentication.",
              LOG_DETAIL "The following error is returned from Veltrane Enterprise:", refusal,
              LOG_ERROR_PUB "Failed to establish connection to APS " + name +
                  " as Administrator with secEnterprise authentication.",
              LOG_ERROR_ACT "Failed to " + std::string(action) + " Veltrane Enterprise objects."}));
    }

    for (const char* command : {"init", "dump", "tree", "users"}) {
      e2e::ProgramRun admin = server().tool({command, "-apsname", name});
      EXPECT_EQ(admin.exitCode, 1) << command;
      EXPECT_EQ(admin.err, "korvaserver: " + refusal.substr(25) + "\n") << command;
    }
  }
  std::set<std::string> after = allPaths(work_.path());
  after.erase((work_.path() / "aps.xml").string());
  EXPECT_EQ(after, before);
  // Nor anywhere a name would lead if it were used as a file name.
  for (std::string name : names) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* suffix : {".db", ".db-wal", ".db-shm", ".db-journal"}) {
      const fs::path target = fs::path(home().string() + "/" + name + suffix).lexically_normal();
      EXPECT_FALSE(fs::exists(target)) << target;
    }
  }
}

// ---- external entities and entity bombs -------------------------------------

// Records whether a file is opened or read while it watches.
class OpenWatch {
 public:
  explicit OpenWatch(const fs::path& file) {
    fd_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd_ >= 0) ::inotify_add_watch(fd_, file.c_str(), IN_OPEN | IN_ACCESS);
  }
  ~OpenWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool valid() const { return fd_ >= 0; }
  // Whether any open or read happened since the last call.
  bool touched() {
    bool any = false;
    char events[4096];
    while (::read(fd_, events, sizeof events) > 0) any = true;
    return any;
  }

 private:
  int fd_ = -1;
};

TEST_F(HostileInputTest, AnInstructionsFileNeverReadsTheFileAnExternalEntityNames) {
  const fs::path secret = work_.path() / "secret.txt";
  e2e::writeFile(secret, "TOP-SECRET-CONTENT");
  const std::string url = "file://" + secret.string();
  struct Case {
    const char* what;
    std::string xml;
    bool parses;  // whether the document is still read (the entity is not needed)
  } cases[] = {
      {"entity in an attribute",
       "<!DOCTYPE publish [<!ENTITY x SYSTEM \"" + url + "\">]><publish apsuser=\"&x;\"/>", false},
      {"entity in content", "<!DOCTYPE publish [<!ENTITY x SYSTEM \"" + url +
                                "\">]><publish><users>&x;</users></publish>",
       false},
      {"entity by relative name",
       "<!DOCTYPE publish [<!ENTITY x SYSTEM \"secret.txt\">]><publish>&x;</publish>", false},
      {"parameter entity", "<!DOCTYPE publish [<!ENTITY % p SYSTEM \"" + url + "\"> %p;]><publish/>",
       true},
      {"external document type", "<!DOCTYPE publish SYSTEM \"" + url + "\"><publish/>", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path xml = writeXml("entity.xml", "<?xml version=\"1.0\"?>\n" + c.xml + "\n");
    OpenWatch watch(secret);
    ASSERT_TRUE(watch.valid());
    e2e::ProgramRun run = push(xml, tree());
    EXPECT_FALSE(watch.touched()) << "the named file was opened";
    EXPECT_EQ(run.out.find("TOP-SECRET"), std::string::npos);
    if (c.parses) {
      EXPECT_EQ(run.exitCode, 0) << run.out;
    } else {
      EXPECT_EQ(run.exitCode, e2e::kExitFatal);
      EXPECT_EQ(e2e::maskedLines(run.out),
                (std::vector<std::string>{
                    LOG_ERROR_CFG "Error occurred while parsing the XML file " + xml.string() + ".",
                    LOG_ERROR_ACT "Failed to publish Veltrane Enterprise objects."}));
    }
  }
  e2e::ProgramRun dump = server().tool({"dump", "-apsname", kAps});
  EXPECT_EQ(dump.out.find("TOP-SECRET"), std::string::npos);
}

TEST_F(HostileInputTest, EntityBombsFailFastWithoutEatingMemory) {
  std::string laughs = "<!DOCTYPE publish [<!ENTITY l0 \"lol\">";
  for (int i = 1; i <= 9; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><publish><users><user name=\"&l9;\"/></users></publish>";
  // One large entity used many times: no nesting, still gigabytes.
  std::string quadratic = "<!DOCTYPE publish [<!ENTITY big \"" + std::string(100000, 'x') +
                          "\">]><publish><users><user name=\"";
  for (int i = 0; i < 20000; ++i) quadratic += "&big;";
  quadratic += "\"/></users></publish>";

  for (const auto& [what, text] : {std::pair<const char*, std::string>{"nested", laughs},
                                   {"repeated", quadratic}}) {
    SCOPED_TRACE(what);
    const fs::path xml = writeXml("bomb.xml", "<?xml version=\"1.0\"?>\n" + text);
    const fs::path output = work_.path() / "bomb.out";
    Process run(e2e::binPath("korvapush"),
                {"-apsname", kAps, "-apspass", kAdminPassword, "-srcfile", xml.string(),
                 "-srcpath", tree().string()},
                {env(), output.string()});
    EXPECT_EQ(run.wait(), e2e::kExitFatal);
    EXPECT_EQ(logLines(output),
              (std::vector<std::string>{
                  LOG_ERROR_CFG "Error occurred while parsing the XML file " + xml.string() + ".",
                  LOG_ERROR_ACT "Failed to publish Veltrane Enterprise objects."}));
    // The expansion is stopped early, not run until memory is gone.
    EXPECT_LT(run.maxResidentKb(), (underSanitizer() ? 600 : 150) * 1024);
    std::cout << "[ memory   ] " << what << ": " << run.maxResidentKb() / 1024 << " MiB at most"
              << std::endl;
  }
}

// ---- names ---------------------------------------------------------------------------

// Directives are logged as they are; line ends are logged escaped, never raw.
TEST_F(HostileInputTest, NamesWithDirectivesLineEndsAndNonAsciiTextAreLoggedSafelyAndStored) {
  const fs::path src = work_.path() / "names";
  e2e::writeFile(src / "100%s%n" / "r%n%s.rpt", "one\n");
  e2e::writeFile(src / "line\nbreak" / "two\nlines.rpt", "two\n");
  e2e::writeFile(src / "Ünïcødé ☃" / "Große Zahl.rpt", "three\n");
  const fs::path xml = writeXml(
      "names.xml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<publish><users right=\"View\">"
      "<user name=\"pct%s%n%x\" pass=\"p1\" full=\"%s%s%s%s\"/><user name=\"Jörg ☃\" pass=\"p2\"/>"
      "<user name=\"a&#10;b\" pass=\"p3\"/></users><folders desc=\"d%s%n\"/>"
      "<reports desc=\"r%n\" icon=\"%x%x\"/></publish>\n");
  e2e::ProgramRun run = push(xml, src);
  ASSERT_EQ(run.exitCode, 0) << run.out;
  for (const char* expected :
       {"Successfully added user pct%s%n%x with id ", "Successfully added user Jörg ☃ with id ",
        "Successfully added user a\\nb with id ", "Successfully added folder 100%s%n with id ",
        "Successfully added folder line\\nbreak with id ",
        "Successfully added folder Ünïcødé ☃ with id ", "Successfully added report r%n%s with id ",
        "Successfully added report two\\nlines with id ",
        "Successfully added report Große Zahl with id "}) {
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected;
  }

  const e2e::Json dump = server().dump(kAps);
  const e2e::Json* user = e2e::findUser(dump, "pct%s%n%x");
  ASSERT_NE(user, nullptr);
  EXPECT_EQ((*user)["fullName"].text, "%s%s%s%s");
  EXPECT_NE(e2e::findUser(dump, "Jörg ☃"), nullptr);
  EXPECT_NE(e2e::findUser(dump, "a\nb"), nullptr);
  for (const auto& [folder, report] :
       {std::pair<std::string, std::string>{"100%s%n", "r%n%s"}, {"line\nbreak", "two\nlines"},
        {"Ünïcødé ☃", "Große Zahl"}}) {
    SCOPED_TRACE(folder);
    const e2e::Json* f = e2e::findObject(dump, "Folder", folder, 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ((*f)["description"].text, "d%s%n");
    const e2e::Json* r = e2e::findObject(dump, "Report", report, (*f)["id"].integer());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ((*r)["description"].text, "r%n");
    EXPECT_EQ((*r)["reportType"].text, "%x%x");
    EXPECT_EQ((*r)["file"]["name"].text, report + ".rpt");
  }

  const struct {
    std::vector<std::string> paths;
    std::vector<std::string> logged;
  } drops[] = {
      {{"-delfld", "100%s%n", "-delrpt", "Ünïcødé ☃\\Große Zahl"},
       {"Successfully deleted folder 100%s%n from Veltrane Enterprise.",
        "Successfully deleted report Große Zahl from Veltrane Enterprise."}},
      {{"-delrpt", "line\nbreak\\two\nlines", "-delfld", "%n%n%n%n"},
       {"Successfully deleted report two\\nlines from Veltrane Enterprise.",
        "Failed to delete folder %n%n%n%n as the folder does not exist."}},
  };
  for (const auto& d : drops) {
    std::vector<std::string> args = {"-apsname", kAps, "-apspass", kAdminPassword};
    args.insert(args.end(), d.paths.begin(), d.paths.end());
    e2e::ProgramRun drop = e2e::runProgram(e2e::binPath("korvadrop"), args, env());
    EXPECT_EQ(drop.exitCode, 0) << drop.out;
    for (const std::string& line : d.logged) {
      EXPECT_NE(drop.out.find(line), std::string::npos) << line << "\n" << drop.out;
    }
  }
}

// ---- passwords -------------------------------------------------------------------------

// The forms in which a password could sit in a file: as UTF-8 and as wide text.
std::vector<std::string> encodings(const std::string& ascii) {
  std::string utf16, utf32;
  for (char c : ascii) {
    utf16 += c;
    utf16 += '\0';
    utf32 += c;
    utf32 += std::string(3, '\0');
  }
  return {ascii, utf16, utf32};
}

// Where any of the passwords shows up: "<password> in <where>".
std::vector<std::string> leaks(const std::vector<std::string>& passwords,
                               const std::vector<std::pair<std::string, std::string>>& places) {
  std::vector<std::string> found;
  for (const std::string& password : passwords) {
    for (const auto& [where, bytes] : places) {
      for (const std::string& form : encodings(password)) {
        if (bytes.find(form) != std::string::npos) found.push_back(password + " in " + where);
      }
    }
  }
  return found;
}

TEST_F(HostileInputTest, PasswordsNeverAppearInALogTheRepositoryFilesOrTheDump) {
  const std::vector<std::string> passwords = {kAdminPassword, "Us3r-Secret-Kq72",
                                              "Other-Secret-Mw55", "Wrong-Guess-Pz09"};
  const fs::path xml = writeXml(
      "users.xml",
      "<publish apspass=\"" + std::string(kAdminPassword) +
          "\"><users right=\"View\"><user name=\"alice\" pass=\"Us3r-Secret-Kq72\"/>"
          "<user name=\"bob\" pass=\"Other-Secret-Mw55\"/></users></publish>");
  const fs::path db = home() / "hostile.db";
  std::vector<std::pair<std::string, std::string>> places;
  auto addFiles = [&](const std::string& when) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
      const fs::path file = db.string() + suffix;
      if (fs::exists(file)) places.emplace_back(file.filename().string() + " " + when,
                                                e2e::readFile(file));
    }
  };

  // Killed once both users are stored: their rows are still in the WAL. A
  // reader of the repository stays open meanwhile, so that a run that ends
  // before the kill does not take the WAL with it either.
  const fs::path log = work_.path() / "run.log";
  {
    korva::Database reader;
    std::string error;
    ASSERT_TRUE(korva::openRepository(db.string(), &reader, &error)) << error;
    korva::Statement read(reader, "SELECT count(*) FROM objects");
    ASSERT_EQ(read.step(), SQLITE_ROW);
    LogWatcher watcher(log);
    Process run(e2e::binPath("korvapush"),
                {"-apsname", kAps, "-srcfile", xml.string(), "-srcpath", tree().string(),
                 "-logfile", log.string()},
                {env(), log.string() + ".out"});
    ASSERT_TRUE(watcher.waitForLines(3, run));  // connected, alice, bob
    run.kill(SIGKILL);
    run.wait();
    EXPECT_TRUE(fs::exists(db.string() + "-wal"));
    addFiles("after a kill");
    places.emplace_back("the log of the killed run", e2e::readFile(log));
  }
  // A whole run, with the log in a file and on standard output.
  e2e::ProgramRun run = push(xml, tree(), {"-logfile", log.string()});
  EXPECT_EQ(run.exitCode, 0);
  places.emplace_back("the log file", e2e::readFile(log));
  places.emplace_back("standard output", run.out + run.err);
  run = push(xml, tree());
  EXPECT_EQ(run.exitCode, 0) << run.out;
  places.emplace_back("the log on standard output", run.out + run.err);
  // The password in the environment instead of on the command line.
  std::vector<std::string> passwordEnv = env();
  passwordEnv.push_back(std::string("KORVA_APSPASS=") + kAdminPassword);
  e2e::ProgramRun fromEnv = e2e::runProgram(
      e2e::binPath("korvapush"),
      {"-apsname", kAps, "-srcfile", writeXml("plain.xml", "<publish/>").string(), "-srcpath",
       tree().string()},
      passwordEnv);
  EXPECT_EQ(fromEnv.exitCode, 0) << fromEnv.out;
  places.emplace_back("the log of a push with KORVA_APSPASS", fromEnv.out + fromEnv.err);
  e2e::ProgramRun dropFromEnv = e2e::runProgram(
      e2e::binPath("korvadrop"), {"-apsname", kAps, "-delfld", "A"}, passwordEnv);
  EXPECT_EQ(dropFromEnv.exitCode, 0) << dropFromEnv.out;
  EXPECT_NE(dropFromEnv.out.find("Successfully deleted folder A from Veltrane Enterprise."),
            std::string::npos)
      << dropFromEnv.out;
  places.emplace_back("the log of a drop with KORVA_APSPASS", dropFromEnv.out + dropFromEnv.err);
  addFiles("after the runs");
  // A wrong password, given on the command line and in the file.
  e2e::ProgramRun wrong = e2e::runProgram(
      e2e::binPath("korvapush"),
      {"-apsname", kAps, "-apspass", "Wrong-Guess-Pz09", "-srcfile",
       writeXml("wrong.xml", "<publish/>").string(), "-srcpath", tree().string()},
      env());
  EXPECT_EQ(wrong.exitCode, e2e::kExitFatal);
  places.emplace_back("the log of a refused logon", wrong.out + wrong.err);
  e2e::ProgramRun wrongInFile = push(
      writeXml("wrong2.xml", "<publish apspass=\"Wrong-Guess-Pz09\"/>"), tree());
  EXPECT_EQ(wrongInFile.exitCode, e2e::kExitFatal);
  places.emplace_back("the log of a refused logon (file)", wrongInFile.out + wrongInFile.err);
  for (const char* command : {"dump", "users", "tree"}) {
    e2e::ProgramRun view = server().tool({command, "-apsname", kAps});
    EXPECT_EQ(view.exitCode, 0);
    places.emplace_back(std::string("korvaserver ") + command, view.out + view.err);
  }
  EXPECT_EQ(leaks(passwords, places), std::vector<std::string>{});
  // The users do have their passwords.
  const e2e::Json dump = server().dump(kAps);
  ASSERT_NE(e2e::findUser(dump, "alice"), nullptr);
  EXPECT_TRUE((*e2e::findUser(dump, "alice"))["hasPassword"].boolean);
}

}  // namespace
}  // namespace rel
