// Hostile source trees: unreadable files and directories, a FIFO named like a
// report, a file that vanishes during the walk, and a directory symbolic link
// that loops back.
// Each run must end with the documented failure lines, never a crash.
//
// Unreadable entries: the real programs run as an unprivileged user (when
// the tests run as root, "nobody": root ignores permission bits), so the
// operating system itself refuses the reads. Vanishing files: the publish
// runs in this process with a file-system service (the platform layer's test
// hook) that deletes the file at the exact moment of the walk under test.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "actions/publish_runner.h"
#include "platform/filesys.h"
#include "reliability/reliability_util.h"
#include "reportserver/admin/repository_admin.h"

namespace rel {
namespace {

using e2e::addedLine;
using e2e::append;
using e2e::connected;

// Ids vary from run to run: "with id 12" reads "with id #".
std::vector<std::string> withoutIds(std::vector<std::string> lines) {
  static const std::regex id("with id -?[0-9]+");
  for (std::string& line : lines) line = std::regex_replace(line, id, "with id #");
  return lines;
}

// The lines of a report whose file the server refused with that detail.
std::vector<std::string> refusedFileLines(const std::string& path, const std::string& name,
                                          const std::string& detail) {
  return {
      LOG_ERROR_PUB "Failed to associate the file " + path + " to report " + name + ".",
      LOG_DETAIL "The following error is returned from Veltrane Enterprise:", LOG_DETAIL + detail,
      LOG_ERROR_PUB "Failed to add report " + name + " to Veltrane Enterprise."};
}

std::vector<std::string> reportFailure(const std::string& path, const std::string& name,
                                       const std::string& reason) {
  return refusedFileLines(path, name,
                          "Cannot open the report file \"" + path + "\": " + reason + ".");
}

class SourceTreeTest : public ::testing::Test {
 protected:
  fs::path tree() const { return work_.path() / "tree"; }
  fs::path xml() const { return work_.path() / "publish.xml"; }
  e2e::ServerHome server() const { return e2e::ServerHome(work_.path() / "home"); }

  void SetUp() override {
    fs::create_directories(work_.path() / "home");
    e2e::writeFile(xml(), "<publish><folders/><reports/></publish>\n");
  }

  WorkDir work_;
};

// ---- unreadable entries, as an unprivileged user -----------------------------

TEST_F(SourceTreeTest, UnreadableFilesAndDirectoriesEndWithTheirFailureLines) {
  uid_t uid;
  gid_t gid;
  if (!unprivilegedUser(&uid, &gid)) GTEST_SKIP() << "no unprivileged account to run as";
  ASSERT_EQ(server().init("locked").exitCode, 0);
  e2e::writeFile(tree() / "A" / "ok.rpt", "readable\n");
  e2e::writeFile(tree() / "A" / "secret.rpt", "unreadable\n");
  e2e::writeFile(tree() / "Locked" / "in.rpt", "behind a locked door\n");
  e2e::writeFile(tree() / "B" / "b.rpt", "readable\n");
  e2e::writeFile(work_.path() / "closed" / "c.rpt", "in a closed source\n");
  const fs::path closedXml = work_.path() / "closed.xml";
  e2e::writeFile(closedXml, "<publish/>\n");
  chownTree(work_.path(), uid, gid);
  ASSERT_EQ(::chmod((tree() / "A" / "secret.rpt").c_str(), 0), 0);
  ASSERT_EQ(::chmod((tree() / "Locked").c_str(), 0), 0);
  ASSERT_EQ(::chmod((work_.path() / "closed").c_str(), 0), 0);
  ASSERT_EQ(::chmod(closedXml.c_str(), 0), 0);

  auto push = [&](const fs::path& instructions, const fs::path& source) {
    const fs::path output = work_.path() / "push.out";
    Process run(
        e2e::binPath("korvapush"),
        {"-apsname", "locked", "-srcfile", instructions.string(), "-srcpath", source.string()},
        {{server().homeEnv(), "KORVA_SERVER_FAULTS", "HOME=" + work_.path().string()},
         output.string(),
         uid,
         gid});
    const int exitCode = run.wait();
    return std::make_pair(exitCode, withoutIds(logLines(output)));
  };
  // The programs must be reachable by that user at all.
  Process probe(e2e::binPath("korvapush"), {"-help"}, {{}, "", uid, gid});
  if (probe.wait() != 0) GTEST_SKIP() << "the build is not readable by the unprivileged user";

  // An unreadable file fails as its report; an unreadable directory is a
  // folder whose content cannot be listed; the run goes on and succeeds.
  std::vector<std::string> expected = {connected("locked")};
  for (const std::string& name : e2e::listingOrder(tree())) {
    expected.push_back(addedLine("folder", name, "#"));
    if (name == "Locked") {
      expected.push_back(LOG_ERROR_ACT "Failed to publish content of " + (tree() / name).string() +
                         " to Veltrane Enterprise. System function failed.");
      continue;
    }
    for (const std::string& file : e2e::listingOrder(tree() / name)) {
      const std::string base = fs::path(file).stem().string();
      if (file == "secret.rpt") {
        append(&expected,
               reportFailure((tree() / name / file).string(), base, "Permission denied"));
      } else {
        expected.push_back(addedLine("report", base, "#"));
      }
    }
  }
  append(&expected, e2e::publishSummary(xml().string(), 0, 0, 0, 3, 0, 0, 2, 0, 1));
  auto [exitCode, lines] = push(xml(), tree());
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(lines, expected);

  // A source directory that cannot be listed fails the run.
  std::tie(exitCode, lines) = push(xml(), work_.path() / "closed");
  EXPECT_EQ(exitCode, e2e::kExitFatal);
  EXPECT_EQ(
      lines,
      (std::vector<std::string>{
          connected("locked"),
          LOG_ERROR_ACT "Failed to publish content of " + (work_.path() / "closed").string() +
              " to Veltrane Enterprise. System function failed.",
          LOG_ERROR_ACT "Failed to publish Veltrane Enterprise objects. System function failed."}));

  // So does an instructions file that cannot be read.
  std::tie(exitCode, lines) = push(closedXml, tree());
  EXPECT_EQ(exitCode, e2e::kExitFatal);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       LOG_ERROR_CFG "Error occurred while parsing the XML file " +
                           closedXml.string() + ".",
                       LOG_ERROR_ACT "Failed to publish Veltrane Enterprise objects."}));
}

// ---- a report file that would block ----------------------------------------------------

TEST_F(SourceTreeTest, AFifoNamedLikeAReportFailsThatReportAndTheRunGoesOn) {
  ASSERT_EQ(server().init("fifo").exitCode, 0);
  e2e::writeFile(tree() / "A" / "kept.rpt", "stays\n");
  const fs::path fifo = tree() / "A" / "x.rpt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // nobody writes: opening it to read would wait
  const fs::path output = work_.path() / "push.out";
  Process run(e2e::binPath("korvapush"),
              {"-apsname", "fifo", "-srcfile", xml().string(), "-srcpath", tree().string()},
              {{server().homeEnv(), "KORVA_SERVER_FAULTS"}, output.string()});
  EXPECT_EQ(run.wait(), 0);
  std::vector<std::string> expected = {connected("fifo"), addedLine("folder", "A", "#")};
  for (const std::string& file : e2e::listingOrder(tree() / "A")) {
    if (file == "x.rpt") {
      append(&expected, refusedFileLines(fifo.string(), "x",
                                         "Cannot attach \"" + fifo.string() +
                                             "\" to the report: it is not a regular file."));
    } else {
      expected.push_back(addedLine("report", "kept", "#"));
    }
  }
  append(&expected, e2e::publishSummary(xml().string(), 0, 0, 0, 1, 0, 0, 1, 0, 1));
  EXPECT_EQ(withoutIds(logLines(output)), expected);
}

// ---- a file that vanishes, in this process -----------------------------------------

// Forwards to the real file system, and deletes one file at a chosen moment:
// right after its directory's enumeration handed out its name (before the
// walk takes the file's status), or right after the walk took its status
// (before the report server reads the file).
class VanishingFileSystem : public korva::FileSystemWrapper {
 public:
  enum class Moment { AfterListed, AfterStatus };
  VanishingFileSystem(fs::path file, Moment moment) : file_(std::move(file)), moment_(moment) {}

  int openDirectory(const std::string& path,
                    std::unique_ptr<korva::DirectoryReader>* reader) override {
    int error = target_.openDirectory(path, reader);
    if (error == 0 && moment_ == Moment::AfterListed && same(path, file_.parent_path())) {
      *reader = std::make_unique<Reader>(std::move(*reader), file_);
    }
    return error;
  }
  int getStatus(const std::string& path, korva::FileStatus* status) override {
    int error = target_.getStatus(path, status);
    if (moment_ == Moment::AfterStatus && same(path, file_)) fs::remove(file_);
    return error;
  }

 private:
  class Reader : public korva::DirectoryReader {
   public:
    Reader(std::unique_ptr<korva::DirectoryReader> inner, fs::path file)
        : inner_(std::move(inner)), file_(std::move(file)) {}
    bool next(std::string* name, int* error) override {
      bool more = inner_->next(name, error);
      if (more && *name == file_.filename().string()) fs::remove(file_);
      return more;
    }

   private:
    std::unique_ptr<korva::DirectoryReader> inner_;
    fs::path file_;
  };

  static bool same(const std::string& a, const fs::path& b) {
    std::string x = fs::path(a).lexically_normal().string();
    std::string y = b.lexically_normal().string();
    while (x.size() > 1 && x.back() == '/') x.pop_back();
    while (y.size() > 1 && y.back() == '/') y.pop_back();
    return x == y;
  }

  fs::path file_;
  Moment moment_;
};

class VanishingFileTest : public SourceTreeTest {
 protected:
  void SetUp() override {
    SourceTreeTest::SetUp();
    const char* home = std::getenv("KORVA_SERVER_HOME");
    hadHome_ = home != nullptr;
    if (home) oldHome_ = home;
    ::setenv("KORVA_SERVER_HOME", (work_.path() / "home").c_str(), 1);
    std::string error;
    ASSERT_TRUE(korva::initRepository("vanish", "", &error)) << error;
  }
  void TearDown() override {
    if (hadHome_) {
      ::setenv("KORVA_SERVER_HOME", oldHome_.c_str(), 1);
    } else {
      ::unsetenv("KORVA_SERVER_HOME");
    }
  }

  // Publishes A/gone.rpt and A/kept.rpt in this process, gone.rpt deleted
  // at the moment given.
  std::vector<std::string> publish(VanishingFileSystem::Moment moment, int* status) {
    e2e::writeFile(tree() / "A" / "gone.rpt", "soon gone\n");
    e2e::writeFile(tree() / "A" / "kept.rpt", "stays\n");
    VanishingFileSystem fileSystem(tree() / "A" / "gone.rpt", moment);
    const fs::path log = work_.path() / "run.log";
    korva::ScopedFileSystemForTesting scoped(&fileSystem);
    CMARunnerPublish runner;
    runner.readActionTexts(0);
    *status = runner.publishRun(0, "vanish", "Administrator", "", "secEnterprise", log.c_str(),
                                xml().c_str(), tree().c_str());
    ActionLog::open(nullptr);  // let go of the file
    return withoutIds(logLines(log));
  }

  bool hadHome_ = false;
  std::string oldHome_;
};

TEST_F(VanishingFileTest, AFileGoneBeforeTheWalkTakesItsStatusFailsItsDirectory) {
  int status = 0;
  const std::vector<std::string> lines = publish(VanishingFileSystem::Moment::AfterListed, &status);
  EXPECT_EQ(status, 200);
  // The listing of A fails as a whole: nothing in it is published.
  std::vector<std::string> expected = {
      connected("vanish"), addedLine("folder", "A", "#"),
      LOG_ERROR_ACT "The directory entry " + (tree() / "A" / "gone.rpt").string() +
          " cannot be read: No such file or directory.",
      LOG_ERROR_ACT "Failed to publish content of " + (tree() / "A").string() +
          " to Veltrane Enterprise. System function failed."};
  append(&expected, e2e::publishSummary(xml().string(), 0, 0, 0, 1, 0, 0, 0, 0, 0));
  EXPECT_EQ(lines, expected);
}

TEST_F(VanishingFileTest, AFileGoneBeforeTheServerReadsItFailsItsReport) {
  int status = 0;
  const std::vector<std::string> lines = publish(VanishingFileSystem::Moment::AfterStatus, &status);
  EXPECT_EQ(status, 200);
  std::vector<std::string> expected = {connected("vanish"), addedLine("folder", "A", "#")};
  for (const std::string& file : e2e::listingOrder(tree() / "A")) {  // kept.rpt only now
    expected.push_back(addedLine("report", fs::path(file).stem().string(), "#"));
  }
  // gone.rpt was listed first or last; its lines stand at its place.
  std::vector<std::string> gone =
      reportFailure((tree() / "A" / "gone.rpt").string(), "gone", "No such file or directory");
  std::vector<std::string> first = expected, last = expected;
  first.insert(first.begin() + 2, gone.begin(), gone.end());
  append(&last, gone);
  append(&first, e2e::publishSummary(xml().string(), 0, 0, 0, 1, 0, 0, 1, 0, 1));
  append(&last, e2e::publishSummary(xml().string(), 0, 0, 0, 1, 0, 0, 1, 0, 1));
  EXPECT_TRUE(lines == first || lines == last) << ::testing::PrintToString(lines);
}

// ---- a directory link that loops ------------------------------------------------------

TEST_F(SourceTreeTest, ADirectoryLinkLoopIsReportedAndSkipped) {
  ASSERT_EQ(server().init("loop").exitCode, 0);
  e2e::writeFile(tree() / "A" / "r.rpt", "report\n");
  fs::create_directory_symlink("..", tree() / "A" / "up");  // back to the source directory
  fs::create_directories(tree() / "B");
  fs::create_directory_symlink(".", tree() / "B" / "self");  // to itself

  e2e::ProgramRun run =
      e2e::runProgram(e2e::binPath("korvapush"),
                      {"-apsname", "loop", "-srcfile", xml().string(), "-srcpath", tree().string()},
                      {server().homeEnv(), "KORVA_SERVER_FAULTS"});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  std::vector<std::string> expected = {connected("loop")};
  for (const std::string& name : e2e::listingOrder(tree())) {
    expected.push_back(addedLine("folder", name, "#"));
    for (const std::string& entry : e2e::listingOrder(tree() / name)) {
      if (entry == "r.rpt") {
        expected.push_back(addedLine("report", "r", "#"));
        continue;
      }
      expected.push_back(LOG_ERROR_ACT "The directory " + (tree() / name / entry).string() +
                         " leads back to a directory that contains it.");
      expected.push_back(LOG_ERROR_ACT "Failed to add folder " + entry +
                         ". All reports and folders within it would be skipped.");
    }
  }
  append(&expected, e2e::publishSummary(xml().string(), 0, 0, 0, 2, 0, 2, 1, 0, 0));
  EXPECT_EQ(withoutIds(e2e::maskedLines(run.out)), expected);
}

}  // namespace
}  // namespace rel
