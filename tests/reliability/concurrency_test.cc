// Runs at the same time: two korvapush runs and one korvadrop run on one
// repository. Each must end with its documented lines and result: success,
// or for an object the other run took a clear failure of that object (and
// only such failures); the repository must stay sound, without twins; and a
// run afterwards must bring it to what a lone run gives.
//
// The engine of the embedded server refuses to store an object that another
// session stored after this session's query read the folder (the two runs
// would otherwise each find nothing and both add it); the first test shows
// that rule on its own.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "reliability/reliability_util.h"
#include "reportserver/server_fixture.h"

namespace rel {
namespace {

// ---- the rule of the server, in one process with two sessions ----------------

using korva::Ref;
using korva::Variant;
using korva_test_common::B;

class TwinRuleTest : public korva_rs_test::ServerTest {};

TEST_F(TwinRuleTest, AnObjectAnotherSessionStoredAfterTheReadIsNotStoredAgain) {
  Connection a = connect();
  Connection b = connect();
  ASSERT_TRUE(a.store && b.store);
  const int32_t parent = addFolder(a, L"Parent");

  struct Case {
    std::string kind;
    int32_t parent;
    std::string where;
  } cases[] = {{"Folder", 0, "at the top level"},
               {"Report", parent, "in folder " + std::to_string(parent)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    // A reads the folder (no "Sales" in it), then B stores "Sales" there.
    Ref<korva::InfoObjects> seenByA = children(a, c.parent, c.kind);
    const int32_t taken = c.kind == "Folder" ? addFolder(b, L"Sales", c.parent) : [&] {
      Ref<korva::InfoObjects> list = children(b, c.parent, c.kind);
      Ref<korva::InfoObject> report;
      EXPECT_EQ(list->add(b.plugins["Report"].get(), report.put()), S_OK);
      report->setTitle(B(L"Sales"));
      report->setProperty(B(L"SI_PARENTID"), Variant::fromInt(c.parent));
      EXPECT_EQ(b.store->commit(list.get()), S_OK) << lastError();
      return idOf(report);
    }();

    Ref<korva::InfoObject> twin;
    ASSERT_EQ(seenByA->add(a.plugins[c.kind].get(), twin.put()), S_OK);
    twin->setTitle(B(L"Sales"));
    twin->setProperty(B(L"SI_PARENTID"), Variant::fromInt(c.parent));
    EXPECT_EQ(a.store->commit(seenByA.get()), E_FAIL);
    std::string kind = c.kind == "Folder" ? "folder" : "report";
    EXPECT_EQ(lastError(), "Nothing was committed. Another session added a " + kind +
                               " titled \"Sales\" " + c.where + " (id " + std::to_string(taken) +
                               ") after this one read the folder.");
    EXPECT_EQ(countOf(children(a, c.parent, c.kind)), c.kind == "Folder" ? 2 : 1);

    // Read again, a twin is the client's own choice and is stored.
    Ref<korva::InfoObjects> fresh = children(a, c.parent, c.kind);
    Ref<korva::InfoObject> chosen;
    ASSERT_EQ(fresh->add(a.plugins[c.kind].get(), chosen.put()), S_OK);
    chosen->setTitle(B(L"Sales"));
    chosen->setProperty(B(L"SI_PARENTID"), Variant::fromInt(c.parent));
    EXPECT_EQ(a.store->commit(fresh.get()), S_OK) << lastError();
  }
}

// ---- the programs ------------------------------------------------------------------

constexpr char kAps[] = "shared";

// Lines a publish or delete run may write when another run works on the
// same repository. Detail lines (25 blanks) carry the server's reason, which
// must be one that another run's work explains.
const std::vector<std::regex>& documentedLines() {
  static const std::vector<std::regex> lines = [] {
    std::vector<std::string> forms = {
        R"(--- INFO  --- \(publish\): Successfully initialized connection to APS shared as Administrator\.)",
        R"(--- INFO  --- \(publish\): Successfully (added|updated) (user|folder|report) .+ with id \d+ to Veltrane Enterprise\.)",
        R"(--- INFO  --- \(publish\): Successfully set the right to (View|FullControl) on object \d+ for user \d+\.)",
        R"(--- INFO  --- \(publish\): Successfully deleted (folder|report) .+ from Veltrane Enterprise\.)",
        R"(--- ERROR --- \(publish\): Failed to commit (user|folder|report) changes while (adding|deleting) (user|folder|report) .+\.)",
        R"(--- ERROR --- \(publish\): Failed to add (user|folder|report) .+ to Veltrane Enterprise\.)",
        R"(--- ERROR --- \(publish\): Failed to commit changes while setting the right for object \d+\.)",
        R"(--- ERROR --- \(publish\): Failed to set the right to \S+ on object \d+ for user \d+\.)",
        R"(--- ERROR --- \(publish\): Failed to (get|delete) (folder|report) .+ as the (folder|report) does not exist\.)",
        R"(--- ERROR --- \(publish\): Failed to (get|delete) (folder|report) .+ from Veltrane Enterprise\.)",
        R"(--- ERROR --- \(action\): Failed to add folder .+\. All reports and folders within it would be skipped\.)",
        R"( {25}The following error is returned from Veltrane Enterprise:)",
        R"( {25}Nothing was committed\. A user named ".+" already exists\.)",
        R"( {25}Nothing was committed\. Another session added a (folder|report) titled ".+" (at the top level|in folder \d+) \(id \d+\) after this one read the folder\.)",
        R"( {25}Nothing was committed\. The parent folder \d+ of the .+ does not exist\.)",
        R"( {25}Nothing was committed\. The .+ no longer exists\.)",
        R"(--- INFO  --- \(action\): Successfully added/updated users, folders, and reports based on .+\.)",
        R"(--- INFO  --- \(action\): \d+ (users|folders|reports) (added|updated|skipped)\.)",
        R"(--- INFO  --- \(action\): Successfully deleted folder and/or report\.)",
        R"(--- INFO  --- \(action\): \d+ (folders|reports) (deleted|skipped)\.)",
    };
    std::vector<std::regex> out;
    for (const std::string& f : forms) out.emplace_back(f);
    return out;
  }();
  return lines;
}

std::vector<std::string> undocumented(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    bool known = false;
    for (const std::regex& form : documentedLines()) known = known || std::regex_match(line, form);
    if (!known) out.push_back(line);
  }
  return out;
}

int countMatching(const std::vector<std::string>& lines, const std::string& pattern) {
  const std::regex re(pattern);
  int n = 0;
  for (const std::string& line : lines) n += std::regex_match(line, re) ? 1 : 0;
  return n;
}

class ConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shape_.folders = 8;
    shape_.subFolders = 2;
    shape_.reports = 12;
    tree_ = work_.path() / "tree";
    buildTree(tree_, shape_);
    instructions_ = work_.path() / "publish.xml";
    writeInstructions(instructions_, values_);
    ASSERT_EQ(home().init(kAps).exitCode, 0);
  }

  e2e::ServerHome home() const { return e2e::ServerHome(work_.path() / "home"); }
  fs::path db() const { return work_.path() / "home" / "shared.db"; }

  std::unique_ptr<Process> start(const char* program, const std::vector<std::string>& more,
                                 const fs::path& log, const e2e::ServerHome& where) const {
    std::vector<std::string> args = {"-apsname", kAps, "-logfile", log.string()};
    args.insert(args.end(), more.begin(), more.end());
    return std::make_unique<Process>(
        e2e::binPath(program), args,
        Process::Options{{where.homeEnv(), "KORVA_SERVER_FAULTS", "TMPDIR=" + work_.path().string()},
                         log.string() + ".out"});
  }
  std::vector<std::string> pushArgs() const {
    return {"-srcfile", instructions_.string(), "-srcpath", tree_.string()};
  }

  // The canonical dump of a lone run of the whole tree.
  std::vector<std::string> loneRunDump() const {
    e2e::ServerHome lone(work_.path() / "lone");
    fs::create_directories(work_.path() / "lone");
    EXPECT_EQ(lone.init(kAps).exitCode, 0);
    EXPECT_EQ(start("korvapush", pushArgs(), work_.path() / "lone.log", lone)->wait(), 0);
    return canonicalDump(lone.dump(kAps));
  }

  // Both publish runs, and the delete run once both have made headway.
  void runTogether() {
    const fs::path logs[2] = {work_.path() / "push1.log", work_.path() / "push2.log"};
    LogWatcher watch0(logs[0]);
    LogWatcher watch1(logs[1]);
    std::unique_ptr<Process> push[2] = {start("korvapush", pushArgs(), logs[0], home()),
                                        start("korvapush", pushArgs(), logs[1], home())};
    watch0.waitForLines(40, *push[0]);
    watch1.waitForLines(40, *push[1]);
    const fs::path dropLog = work_.path() / "drop.log";
    std::unique_ptr<Process> drop =
        start("korvadrop", {"-delfld", "F02", "-delrpt", "F01\\S0\\R03"}, dropLog, home());

    for (int i = 0; i < 2; ++i) {
      SCOPED_TRACE("publish run " + std::to_string(i + 1));
      EXPECT_EQ(push[i]->wait(), 0) << e2e::readFile(logs[i].string() + ".out");
      const std::vector<std::string> lines = logLines(logs[i]);
      EXPECT_EQ(undocumented(lines), std::vector<std::string>{});
      const std::vector<int> c = publishCounters(lines);
      ASSERT_EQ(c.size(), 9u);
      // Every skipped object has its failure line; users are all accounted for.
      EXPECT_EQ(c[0] + c[1] + c[2], 2);
      EXPECT_EQ(c[2], countMatching(lines, ".*Failed to add user .+ to Veltrane Enterprise\\."));
      EXPECT_EQ(c[5], countMatching(lines, ".*Failed to add folder .+ to Veltrane Enterprise\\."));
      EXPECT_EQ(c[8], countMatching(lines, ".*Failed to add report .+ to Veltrane Enterprise\\."));
      EXPECT_LE(c[3] + c[4] + c[5], folderCount(shape_));
      EXPECT_LE(c[6] + c[7] + c[8], reportCount(shape_));
      added_[0] += c[0];
      added_[1] += c[3];
      added_[2] += c[6];
    }
    EXPECT_EQ(drop->wait(), 0) << e2e::readFile(dropLog.string() + ".out");
    const std::vector<std::string> dropLines = logLines(dropLog);
    EXPECT_EQ(undocumented(dropLines), std::vector<std::string>{});
    ASSERT_GE(dropLines.size(), 5u);
    const std::vector<std::string> tail(dropLines.end() - 5, dropLines.end());
    EXPECT_EQ(tail[0], "--- INFO  --- (action): Successfully deleted folder and/or report.");
    EXPECT_EQ(countMatching(tail, R"(.*\(action\): [01] (folders|reports) (deleted|skipped)\.)"), 4);

    EXPECT_EQ(repositoryProblems(db(), tree_, values_), std::vector<std::string>{});
  }

  // A run afterwards completes and leaves what a lone run leaves.
  void completeAfterwards() {
    const fs::path log = work_.path() / "after.log";
    ASSERT_EQ(start("korvapush", pushArgs(), log, home())->wait(), 0);
    const std::vector<int> c = publishCounters(logLines(log));
    ASSERT_EQ(c.size(), 9u);
    EXPECT_EQ(c[2] + c[5] + c[8], 0) << e2e::readFile(log);
    EXPECT_EQ(repositoryProblems(db(), tree_, values_), std::vector<std::string>{});
    EXPECT_EQ(canonicalDump(home().dump(kAps)), loneRunDump());
  }

  WorkDir work_;
  TreeShape shape_;
  fs::path tree_;
  fs::path instructions_;
  PublishValues values_;
  int added_[3] = {0, 0, 0};  // users, folders, reports added by both runs
};

TEST_F(ConcurrencyTest, RunsIntoAnEmptyRepositoryAddEachObjectOnce) {
  ASSERT_NO_FATAL_FAILURE(runTogether());
  // Whatever one run added, the other found or was refused: never both.
  // (F02 with its sub-folders and reports, and the report F01\S0\R03, may be
  // added once more after the delete run removed them.)
  EXPECT_EQ(added_[0], 2);
  EXPECT_LE(added_[1], folderCount(shape_) + 1 + shape_.subFolders);
  EXPECT_LE(added_[2], reportCount(shape_) + shape_.subFolders * shape_.reports + 1);
  ASSERT_NO_FATAL_FAILURE(completeAfterwards());
}

TEST_F(ConcurrencyTest, RunsOverAPublishedRepositoryUpdateWhileAFolderIsDeleted) {
  const fs::path first = work_.path() / "first.log";
  ASSERT_EQ(start("korvapush", pushArgs(), first, home())->wait(), 0);
  ASSERT_NO_FATAL_FAILURE(runTogether());
  EXPECT_EQ(added_[0], 0);
  ASSERT_NO_FATAL_FAILURE(completeAfterwards());
}

}  // namespace
}  // namespace rel
