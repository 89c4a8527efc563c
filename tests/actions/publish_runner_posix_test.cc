// The publish runner's walk over trees with symbolic links (POSIX only: on
// Windows creating a link needs a privilege a test account does not have):
// links that lead back to where the walk already is, a second way into a
// directory, an entry whose status cannot be read, and links that another
// user planted in a directory that others can write. Also the names that
// only POSIX allows: ones that hold "\" or control characters.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <map>
#include <string>

#include "actions/action_entries.h"
#include "actions/installer_messages.h"
#include "actions/publish_runner_fixture.h"

namespace runner_test {
namespace {

// Src/Top/r.rpt, Src/Top/Inner/i.rpt, and two links that lead back to a
// directory the walk is inside: Top/self -> Top and Top/Inner/up -> Src.
class LoopingTreeTest : public PublishRunnerTest {
 protected:
  void SetUp() override {
    PublishRunnerTest::SetUp();
    if (HasFatalFailure()) return;
    writeFile(src() / "Top" / "r.rpt", "r");
    writeFile(src() / "Top" / "Inner" / "i.rpt", "i");
    fs::create_directory_symlink(".", src() / "Top" / "self");
    fs::create_directory_symlink("../..", src() / "Top" / "Inner" / "up");
  }
};

TEST_F(LoopingTreeTest, LinkBackToAnAncestorIsReportedAndSkippedLikeAFailedFolder) {
  fs::path xml = instructions("<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines lines = logLines();
  int top = idIn(lines, LOG_INFO_PUB "Successfully added folder Top");
  int inner = idIn(lines, LOG_INFO_PUB "Successfully added folder Inner");
  int r = idIn(lines, LOG_INFO_PUB "Successfully added report r");
  int i = idIn(lines, LOG_INFO_PUB "Successfully added report i");

  auto loop = [](const fs::path& path) {
    return Lines{LOG_ERROR_ACT "The directory " + path.string() +
                     " leads back to a directory that contains it.",
                 LOG_ERROR_ACT "Failed to add folder " + path.filename().string() +
                     ". All reports and folders within it would be skipped."};
  };
  Lines expected = {connectedLine(), LOG_INFO_PUB "Successfully added folder Top with id " +
                                         std::to_string(top) + " to Veltrane Enterprise."};
  for (const std::string& name : listingOrder(src() / "Top")) {
    if (name == "r.rpt") {
      expected.push_back(LOG_INFO_PUB "Successfully added report r with id " + std::to_string(r) +
                         " to Veltrane Enterprise.");
    } else if (name == "self") {
      for (const std::string& l : loop(src() / "Top" / "self")) expected.push_back(l);
    } else if (name == "Inner") {
      expected.push_back(LOG_INFO_PUB "Successfully added folder Inner with id " +
                         std::to_string(inner) + " to Veltrane Enterprise.");
      for (const std::string& n : listingOrder(src() / "Top" / "Inner")) {
        if (n == "i.rpt") {
          expected.push_back(LOG_INFO_PUB "Successfully added report i with id " +
                             std::to_string(i) + " to Veltrane Enterprise.");
        } else {
          for (const std::string& l : loop(src() / "Top" / "Inner" / "up")) {
            expected.push_back(l);
          }
        }
      }
    }
  }
  for (const std::string& l : summary(xml.string(), {0, 0, 0, 2, 0, 2, 2, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
}

TEST_F(LoopingTreeTest, CountTakesEachLoopingDirectoryOnceWithoutEnteringIt) {
  int count = 0;
  EXPECT_EQ(CMARunnerPublish::countItems(SAnsiString(src().string().c_str()), &count), kStatusOk);
  // Top, Inner, self, up and the two reports.
  EXPECT_EQ(count, 6);
}

TEST_F(LoopingTreeTest, LinkToADirectoryOutsideTheWalksPathIsPublishedAsAnyOther) {
  // Src/Alias -> Top/Inner: a second way into Inner, not a loop; inside it,
  // up -> Src is a loop again.
  fs::create_directory_symlink("Top/Inner", src() / "Alias");
  fs::path xml = instructions("<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  // Top, Inner, Alias added; self, up (under Inner) and up (under Alias)
  // skipped; r, i and i again.
  EXPECT_EQ(counts(runner_.counters()), (std::vector<int>{0, 0, 0, 3, 0, 3, 3, 0, 0}));
  int count = 0;
  EXPECT_EQ(CMARunnerPublish::countItems(SAnsiString(src().string().c_str()), &count), kStatusOk);
  EXPECT_EQ(count, 9);
}

TEST_F(PublishRunnerTest, AnEntryThatCannotBeReadIsNamedBeforeItsDirectoryFails) {
  writeFile(src() / "Top" / "r.rpt", "r");
  fs::create_symlink(work() / "nowhere", src() / "Top" / "dangling");
  fs::path xml = instructions("<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines lines = logLines();
  int top = idIn(lines, LOG_INFO_PUB "Successfully added folder Top");
  Lines expected = {
      connectedLine(),
      LOG_INFO_PUB "Successfully added folder Top with id " + std::to_string(top) +
          " to Veltrane Enterprise.",
      LOG_ERROR_ACT "The directory entry " + (src() / "Top" / "dangling").string() +
          " cannot be read: No such file or directory.",
      LOG_ERROR_ACT "Failed to publish content of " + (src() / "Top").string() +
          " to Veltrane Enterprise. System function failed.",
  };
  for (const std::string& l : summary(xml.string(), {0, 0, 0, 1, 0, 0, 0, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
}

// Src/Top/r.rpt, Top/self -> Top (a loop), Top/Dead whose listing fails on a
// dangling link, A\B/inner.rpt and x\y.rpt (names that hold "\"), notes.txt:
// an installer run's progress total is the number of ticks its walk sends.
TEST_F(PublishRunnerTest, ProgressTotalOfAnInstallerRunIsTheTicksItsWalkSends) {
  writeFile(src() / "Top" / "r.rpt", "r");
  fs::create_directory_symlink(".", src() / "Top" / "self");
  writeFile(src() / "Top" / "Dead" / "d.rpt", "d");
  fs::create_symlink(work() / "nowhere", src() / "Top" / "Dead" / "dangling");
  writeFile(src() / "A\\B" / "inner.rpt", "i");
  writeFile(src() / "x\\y.rpt", "x");
  writeFile(src() / "notes.txt", "n");
  fs::path xml = instructions("<folders/><reports/>");
  MSIHANDLE session = korva::openInstallerSession({{"CA_VR_APSNAME", kAps},
                                                   {"CA_VR_SRCFILE", xml.string()},
                                                   {"CA_VR_SRCPATH", src().string()},
                                                   {"CA_VR_LOGFILE", logPath().string()}},
                                                  {});
  ASSERT_NE(session, 0u);
  EXPECT_EQ(runPublishInstallerAction(session), 0u);
  Lines messages = installerMessageLines(session);
  korva::closeInstallerSession(session);
  ASSERT_FALSE(messages.empty());
  auto ticks = std::count(messages.begin(), messages.end(), "0A000000 I:2 I:100 I:0");
  // Top, r, self, Dead, A\B and x\y: nothing inside Dead or A\B.
  EXPECT_EQ(ticks, 6);
  EXPECT_EQ(messages.front(), "0A000000 I:0 I:" + std::to_string(ticks * 100) + " I:0 I:0");
  EXPECT_EQ(logLines().back(), LOG_INFO_ACT "1 reports skipped.");
}

// The lines of a directory's entries in the walk's order of their names; a
// name without lines is left out.
Lines inListingOrder(const Lines& order, const std::map<std::string, Lines>& byName) {
  Lines lines;
  for (const std::string& name : order) {
    auto it = byName.find(name);
    if (it != byName.end()) lines.insert(lines.end(), it->second.begin(), it->second.end());
  }
  return lines;
}

std::string separatorLine(const std::string& what, const fs::path& path) {
  return LOG_ERROR_ACT "The " + what + " " + path.string() +
         " is skipped: its name holds \"\\\", the separator of Veltrane Enterprise paths.";
}

TEST_F(PublishRunnerTest, DirectoryAndReportFileWhoseNamesHoldTheSeparatorAreSkipped) {
  writeFile(src() / "A\\B" / "inner.rpt", "i");
  writeFile(src() / "x\\y.rpt", "x");
  fs::path xml = instructions("<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines expected = {connectedLine()};
  for (const std::string& l :
       inListingOrder(listingOrder(src()),
                      {{"A\\B",
                        {separatorLine("directory", src() / "A\\B"), LOG_ERROR_ACT
                         "Failed to add folder A\\B. All reports and folders within it "
                         "would be skipped."}},
                       {"x\\y.rpt", {separatorLine("report file", src() / "x\\y.rpt")}}})) {
    expected.push_back(l);
  }
  for (const std::string& l : summary(xml.string(), {0, 0, 0, 0, 0, 1, 0, 0, 1})) {
    expected.push_back(l);
  }
  EXPECT_EQ(logLines(), expected);
  EXPECT_EQ(tree(), "(no folders or reports)\n");
  int count = 0;
  EXPECT_EQ(CMARunnerPublish::countItems(SAnsiString(src().string().c_str()), &count), kStatusOk);
  EXPECT_EQ(count, 2);  // the directory (not entered) and the file, as the walk sends them
}

// The character type locale for the life of the object, as the programs set
// it for their names.
class ScopedCharacterLocale {
 public:
  explicit ScopedCharacterLocale(const char* name) : saved_(std::setlocale(LC_CTYPE, nullptr)) {
    ok_ = std::setlocale(LC_CTYPE, name) != nullptr;
  }
  ~ScopedCharacterLocale() { std::setlocale(LC_CTYPE, saved_.c_str()); }
  ScopedCharacterLocale(const ScopedCharacterLocale&) = delete;
  ScopedCharacterLocale& operator=(const ScopedCharacterLocale&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_ = false;
};

TEST_F(PublishRunnerTest, ControlCharactersOfDirectoryAndFileNamesAreEscapedInTheLog) {
  // UTF-8 names, as the programs read them where the environment says C.
  ScopedCharacterLocale utf8("C.UTF-8");
  if (!utf8.ok()) GTEST_SKIP() << "the system has no C.UTF-8 locale";
  // A line end, an escape sequence, the C1 CSI (U+009B) and DEL.
  struct Name {
    std::string onDisk;
    std::string logged;
  };
  const Name folders[] = {{"two\nlines", "two\\nlines"},
                          {"red\x1b[31m", "red\\x1b[31m"},
                          {"csi\xc2\x9b"
                           "2J",
                           "csi\\u009b2J"}};
  for (const Name& n : folders) fs::create_directories(src() / n.onDisk);
  writeFile(src() / "del\x7f.rpt", "d");
  fs::path xml = instructions("<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines lines = logLines();
  std::map<std::string, Lines> byName;
  for (const Name& n : folders) {
    const std::string prefix = LOG_INFO_PUB "Successfully added folder " + n.logged;
    byName[n.onDisk] = {prefix + " with id " + std::to_string(idIn(lines, prefix)) +
                        " to Veltrane Enterprise."};
  }
  const std::string report = LOG_INFO_PUB "Successfully added report del\\x7f";
  byName["del\x7f.rpt"] = {report + " with id " + std::to_string(idIn(lines, report)) +
                           " to Veltrane Enterprise."};
  Lines expected = {connectedLine()};
  for (const std::string& l : inListingOrder(listingOrder(src()), byName)) expected.push_back(l);
  for (const std::string& l : summary(xml.string(), {0, 0, 0, 3, 0, 0, 1, 0, 0})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
}

// A shared drop directory (sticky, writable by everyone) into which another
// user (65534) planted links: to a report file only we may read and to a
// directory outside. Beside them a link of our own, a private directory
// holding that user's link, and that user's own directory holding another.
class PlantedLinksTest : public PublishRunnerTest {
 protected:
  static constexpr uid_t kOtherUser = 65534;

  void SetUp() override {
    PublishRunnerTest::SetUp();
    if (HasFatalFailure()) return;
    if (::geteuid() != 0) {
      GTEST_SKIP() << "giving a link to another user (lchown) needs root";
    }
    writeFile(work() / "secret.rpt", "secret");
    writeFile(work() / "Outside" / "o.rpt", "o");
    fs::create_directories(src() / "Private");
    fs::create_directories(src() / "Theirs");
    fs::permissions(src(), fs::perms::all | fs::perms::sticky_bit);
    fs::permissions(src() / "Private", fs::perms::owner_all | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read |
                                           fs::perms::others_exec);
    planted(work() / "secret.rpt", src() / "leak.rpt");
    planted(work() / "Outside", src() / "Outside");
    fs::create_symlink(work() / "secret.rpt", src() / "mine.rpt");
    planted(work() / "secret.rpt", src() / "Private" / "theirs.rpt");
    planted(work() / "secret.rpt", src() / "Theirs" / "x.rpt");
    ASSERT_EQ(::chown((src() / "Theirs").c_str(), kOtherUser, kOtherUser), 0);
  }

  static void planted(const fs::path& target, const fs::path& link) {
    fs::create_symlink(target, link);
    ASSERT_EQ(::lchown(link.c_str(), kOtherUser, kOtherUser), 0);
  }

  static std::string refusedLine(const fs::path& link) {
    return LOG_ERROR_ACT "The link " + link.string() +
           " is not followed: another user owns it in a directory that others can write.";
  }
};

TEST_F(PlantedLinksTest, AnotherUsersLinkInADirectoryOthersCanWriteIsNotFollowed) {
  fs::path xml = instructions("<folders/><reports/>");
  EXPECT_EQ(publish(xml, src()), kStatusOk);
  Lines lines = logLines();
  auto added = [&](const std::string& kind, const std::string& name) {
    const std::string prefix = LOG_INFO_PUB "Successfully added " + kind + " " + name;
    return prefix + " with id " + std::to_string(idIn(lines, prefix)) + " to Veltrane Enterprise.";
  };
  std::map<std::string, Lines> byName = {
      {"leak.rpt", {refusedLine(src() / "leak.rpt")}},
      {"Outside", {refusedLine(src() / "Outside")}},
      {"mine.rpt", {added("report", "mine")}},
      {"Private", {added("folder", "Private"), added("report", "theirs")}},
      {"Theirs", {added("folder", "Theirs"), refusedLine(src() / "Theirs" / "x.rpt")}},
  };
  Lines expected = {connectedLine()};
  for (const std::string& l : inListingOrder(listingOrder(src()), byName)) expected.push_back(l);
  for (const std::string& l : summary(xml.string(), {0, 0, 0, 2, 0, 0, 2, 0, 2})) {
    expected.push_back(l);
  }
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(tree().find("o.rpt"), std::string::npos);
  int count = 0;
  EXPECT_EQ(CMARunnerPublish::countItems(SAnsiString(src().string().c_str()), &count), kStatusOk);
  // Private, theirs, Theirs, x, leak and mine: each item the walk sends.
  EXPECT_EQ(count, 6);
}

}  // namespace
}  // namespace runner_test
