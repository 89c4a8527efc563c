// Crash safety: korvapush publishing a tree of a few thousand reports is
// killed with SIGKILL at random moments (seeded; the seed is printed and
// KORVA_CRASH_SEED replays it), chosen by watching its log grow. After each
// kill the repository must pass SQLite's integrity check and hold no object
// without what its commit gave it; the following run must complete; and the
// repository must then hold exactly what a run that was never killed gives.
//
// Every other kill hits a first run into an empty repository (adding), the
// others a run over a complete one (updating: content rewritten in place).
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "reliability/reliability_util.h"

namespace rel {
namespace {

constexpr char kAps[] = "crash";

struct Load {
  TreeShape shape;
  int kills;
};

// A few thousand reports in the normal build on fast storage; lighter where
// each run costs more (sanitizer, or a disk that syncs every commit).
Load chooseLoad(bool fastStorage) {
  Load load;
  load.shape.subFolders = 3;
  load.shape.reports = 40;
  load.shape.folders = underSanitizer() ? 6 : 20;
  if (!fastStorage) load.shape.folders = underSanitizer() ? 2 : 5;
  load.kills = underSanitizer() ? 10 : 20;
  // Files of several storage chunks, so that a kill can land inside one.
  load.shape.big = {"F00/S0/R00.rpt", "F01/S1/R07.rpt"};
  load.shape.bigBytes = 2500 * 1024;
  return load;
}

class CrashSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    load_ = chooseLoad(work_.fast());
    tree_ = work_.path() / "tree";
    buildTree(tree_, load_.shape);
    instructions_ = work_.path() / "publish.xml";
    writeInstructions(instructions_, values_);
    fs::create_directories(work_.path() / "ref");
    fs::create_directories(work_.path() / "run");
  }

  e2e::ServerHome reference() const { return e2e::ServerHome(work_.path() / "ref"); }
  e2e::ServerHome target() const { return e2e::ServerHome(work_.path() / "run"); }
  fs::path targetDb() const { return work_.path() / "run" / (std::string(kAps) + ".db"); }

  void initTarget() {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"}) {
      fs::remove(targetDb().string() + suffix, ignored);
    }
    e2e::ProgramRun init = target().init(kAps, kAdminPassword);
    ASSERT_EQ(init.exitCode, 0) << init.err;
  }

  // korvapush into a home, its log in logFile.
  std::unique_ptr<Process> startPush(const e2e::ServerHome& home, const fs::path& logFile) const {
    return std::make_unique<Process>(
        e2e::binPath("korvapush"),
        std::vector<std::string>{"-apsname", kAps, "-apspass", kAdminPassword, "-srcfile",
                                 instructions_.string(), "-srcpath", tree_.string(), "-logfile",
                                 logFile.string()},
        Process::Options{{home.homeEnv(), "KORVA_SERVER_FAULTS", "TMPDIR=" + work_.path().string()},
                         logFile.string() + ".out"});
  }

  // A whole run: exit 0 and a summary in which nothing was skipped and
  // every object was added or updated.
  void runToCompletion(const e2e::ServerHome& home, const fs::path& logFile) const {
    std::unique_ptr<Process> run = startPush(home, logFile);
    ASSERT_EQ(run->wait(), 0) << e2e::readFile(logFile.string() + ".out");
    std::vector<int> c = publishCounters(logLines(logFile));
    ASSERT_EQ(c.size(), 9u) << e2e::readFile(logFile);
    EXPECT_EQ(c[0] + c[1], 2);
    EXPECT_EQ(c[3] + c[4], folderCount(load_.shape));
    EXPECT_EQ(c[6] + c[7], reportCount(load_.shape));
    EXPECT_EQ(c[2] + c[5] + c[8], 0) << e2e::readFile(logFile);
  }

  static constexpr const char* kAdminPassword = "Crash-Admin-5511";
  WorkDir work_;
  Load load_;
  fs::path tree_;
  fs::path instructions_;
  PublishValues values_;
};

TEST_F(CrashSafetyTest, KilledRunsLeaveASoundRepositoryAndTheNextRunCompletesIt) {
  const char* seedText = std::getenv("KORVA_CRASH_SEED");
  const uint32_t seed = seedText ? static_cast<uint32_t>(std::strtoul(seedText, nullptr, 10))
                                 : std::random_device()();
  std::cout << "[ seed     ] KORVA_CRASH_SEED=" << seed << " (" << reportCount(load_.shape)
            << " reports, " << load_.kills << " kills, "
            << (work_.fast() ? "memory file system" : "disk") << ")" << std::endl;
  RecordProperty("seed", std::to_string(seed));
  std::mt19937 random(seed);

  // The run that is never killed.
  ASSERT_EQ(reference().init(kAps, kAdminPassword).exitCode, 0);
  const fs::path referenceLog = work_.path() / "reference.log";
  ASSERT_NO_FATAL_FAILURE(runToCompletion(reference(), referenceLog));
  const int fullLines = static_cast<int>(logLines(referenceLog).size());
  const std::vector<std::string> expected = canonicalDump(reference().dump(kAps));
  ASSERT_EQ(repositoryProblems(work_.path() / "ref" / "crash.db", tree_, values_),
            std::vector<std::string>{});

  const fs::path log = work_.path() / "run.log";
  int kills = 0;
  int attempts = 0;
  while (kills < load_.kills) {
    ASSERT_LT(++attempts, 10 * load_.kills) << "the runs keep ending before their kill";
    const bool fresh = kills % 2 == 0;
    if (fresh || attempts == 1) {
      ASSERT_NO_FATAL_FAILURE(initTarget());
    }
    // Kill once the log holds `line` lines, after a short busy spin so that
    // the moment is not always just after a line was written. The spin does
    // not yield: on a loaded machine a yield can cost a whole time slice, and
    // the run would end before its kill. The last lines (the summary) come
    // too fast to aim at.
    const int line = std::uniform_int_distribution<int>(1, fullLines - 12)(random);
    const int spin = std::uniform_int_distribution<int>(0, 20000)(random);
    std::error_code ignored;
    fs::remove(log, ignored);
    LogWatcher watcher(log);
    std::unique_ptr<Process> run = startPush(target(), log);
    if (!watcher.waitForLines(line, *run)) {
      EXPECT_EQ(run->wait(), 0);
      continue;  // it ended before the moment: try another
    }
    for (volatile int i = 0; i < spin; i = i + 1) {
    }
    run->kill(SIGKILL);
    const int exitCode = run->wait();
    if (exitCode != 128 + SIGKILL) {
      EXPECT_EQ(exitCode, 0);
      continue;
    }
    ++kills;
    SCOPED_TRACE("kill " + std::to_string(kills) + " after line " + std::to_string(line) +
                 " of a " + (fresh ? "first" : "repeated") + " run (seed " +
                 std::to_string(seed) + ")");

    EXPECT_EQ(repositoryProblems(targetDb(), tree_, values_), std::vector<std::string>{});
    ASSERT_NO_FATAL_FAILURE(runToCompletion(target(), work_.path() / "after.log"));
    EXPECT_EQ(repositoryProblems(targetDb(), tree_, values_), std::vector<std::string>{});
    EXPECT_EQ(stagingLeftovers(targetDb()), std::vector<std::string>{});
    ASSERT_EQ(canonicalDump(target().dump(kAps)), expected);
  }
}

// The checks above are only worth what they notice: each kind of damage a
// half-done commit could leave must show.
TEST(RepositoryCheckTest, NoticesEveryKindOfDamage) {
  WorkDir work;
  TreeShape shape;
  buildTree(work.path() / "tree", shape);
  PublishValues values;
  writeInstructions(work.path() / "publish.xml", values);
  fs::create_directories(work.path() / "home");
  e2e::ServerHome home(work.path() / "home");
  ASSERT_EQ(home.init("check").exitCode, 0);
  e2e::ProgramRun run = e2e::runProgram(
      e2e::binPath("korvapush"),
      {"-apsname", "check", "-srcfile", (work.path() / "publish.xml").string(), "-srcpath",
       (work.path() / "tree").string()},
      {home.homeEnv(), "KORVA_SERVER_FAULTS"});
  ASSERT_EQ(run.exitCode, 0) << run.out;
  const fs::path sound = work.path() / "home" / "check.db";
  ASSERT_EQ(repositoryProblems(sound, work.path() / "tree", values), std::vector<std::string>{});
  EXPECT_EQ(stagingLeftovers(sound), std::vector<std::string>{});

  const char* const damages[] = {
      "DELETE FROM content_chunks WHERE content_id = (SELECT content_id FROM reports"
      " WHERE id = (SELECT MAX(id) FROM reports))",
      "UPDATE content_chunks SET data = X'00' WHERE content_id = (SELECT content_id FROM reports"
      " WHERE id = (SELECT MIN(id) FROM reports))",
      "UPDATE contents SET size = size + 1 WHERE id = (SELECT MIN(content_id) FROM reports)",
      "INSERT INTO contents(size, sha256) VALUES(0, '')",
      "INSERT INTO loose_contents(content_id) SELECT MIN(content_id) FROM reports",
      "UPDATE reports SET file_name = NULL WHERE id = (SELECT MIN(id) FROM reports)",
      "UPDATE reports SET report_type = '' WHERE id = (SELECT MIN(id) FROM reports)",
      "UPDATE objects SET parent_id = 99999 WHERE id = (SELECT MIN(id) FROM reports)",
      "UPDATE objects SET description = '' WHERE id = (SELECT MIN(o.id) FROM objects o"
      " JOIN plugins k ON k.type_id = o.type_id WHERE k.kind = 'folder')",
      "UPDATE users SET password = NULL WHERE id = (SELECT id FROM objects WHERE title = 'bob')",
      "PRAGMA foreign_keys = OFF; DELETE FROM reports WHERE id = (SELECT MIN(id) FROM reports)",
      "INSERT INTO objects(id, type_id, parent_id, title, description) SELECT"
      " (SELECT next_id FROM id_sequence), type_id, parent_id, title, description FROM objects"
      " WHERE id = (SELECT MAX(id) FROM objects WHERE parent_id = 0 AND type_id <> 16);"
      " UPDATE id_sequence SET next_id = next_id + 1",
      "UPDATE id_sequence SET next_id = 1",
  };
  for (const char* damage : damages) {
    SCOPED_TRACE(damage);
    const fs::path copy = work.path() / "damaged.db";
    fs::copy_file(sound, copy, fs::copy_options::overwrite_existing);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(copy.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, damage, nullptr, nullptr, &message), SQLITE_OK) << message;
    sqlite3_free(message);
    sqlite3_close(db);
    EXPECT_NE(repositoryProblems(copy, work.path() / "tree", values), std::vector<std::string>{});
  }
  // The file's own structure broken: the headers of a few pages overwritten.
  const fs::path copy = work.path() / "damaged.db";
  fs::copy_file(sound, copy, fs::copy_options::overwrite_existing);
  std::string bytes = e2e::readFile(copy);
  ASSERT_GT(bytes.size(), 5 * 4096u);
  for (size_t page = 1; page < 5; ++page) {
    for (size_t i = 0; i < 12; ++i) bytes[page * 4096 + i] = static_cast<char>(0x0D + i * 31);
  }
  e2e::writeFile(copy, bytes);
  EXPECT_NE(repositoryProblems(copy, work.path() / "tree", values), std::vector<std::string>{});
}

}  // namespace
}  // namespace rel
