// `korvaserver serve` killed and under load. A server killed while a
// publish waits for a commit's answer fails the rest of that run: each object
// after it with the transport's text, or, when a new server was started on
// the same port meanwhile, with the refusal of a session that server never
// knew; a run against the server started again completes the repository to
// what an undisturbed run leaves. Eight runs at once, each into a folder of
// its own or all into the same one, store every object once, and each run's
// summary counts every object as added or updated.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e/served_repository.h"
#include "reliability/reliability_util.h"

namespace rel {
namespace {

using e2e::ServedRepository;
using Lines = std::vector<std::string>;

constexpr char kAps[] = "served";

class ServedRepositoryTest : public ::testing::Test {
 protected:
  // A server home with the repository; the runs' logs go beside it.
  e2e::ServerHome home(const std::string& name) const {
    fs::create_directories(work_.path() / name);
    e2e::ServerHome h(work_.path() / name);
    EXPECT_EQ(h.init(kAps).exitCode, 0);
    return h;
  }

  // korvapush in the background, its log in `log`: against the served
  // repository (a client home of its own trusting the served certificate),
  // or against the home's own repository when `served` is null.
  std::unique_ptr<Process> push(const ServedRepository* served, const std::string& home,
                                const fs::path& srcFile, const fs::path& srcPath,
                                const fs::path& log) const {
    const fs::path client = work_.path() / "client";
    fs::create_directories(client);
    const fs::path homeDir = work_.path() / home;
    std::vector<std::string> env = {"KORVA_SERVER_FAULTS", "TMPDIR=" + work_.path().string()};
    env.push_back("KORVA_SERVER_HOME=" + (served ? client : homeDir).string());
    env.push_back("KORVA_SERVER_CA=" + (homeDir / (std::string(kAps) + ".crt")).string());
    return std::make_unique<Process>(
        e2e::binPath("korvapush"),
        std::vector<std::string>{"-apsname", served ? served->aps() : kAps, "-srcfile",
                                 srcFile.string(), "-srcpath", srcPath.string(), "-logfile",
                                 log.string()},
        Process::Options{env, log.string() + ".out"});
  }

  fs::path path(const std::string& name) const { return work_.path() / name; }

  WorkDir work_;
};

TEST_F(ServedRepositoryTest, AServerKilledDuringAPublishFailsTheRestAndARunAfterwardsCompletes) {
  const TreeShape shape{2, 1, 1, {}, 0};  // F00 and F01, each with S0 and one report
  const fs::path tree = path("tree");
  buildTree(tree, shape);
  const PublishValues values;
  const fs::path instructions = path("publish.xml");
  writeInstructions(instructions, values);
  home("lone");
  ASSERT_EQ(push(nullptr, "lone", instructions, tree, path("lone.log"))->wait(), 0);
  const Lines undisturbed = canonicalDump(e2e::ServerHome(path("lone")).dump(kAps));
  const std::vector<std::string> top = e2e::listingOrder(tree);
  ASSERT_EQ(top.size(), 2u);

  const std::string unknownSession =
      "The report server keeps no such session: it ended, expired or never was.";
  struct Case {
    std::string name;
    bool restart;  // a new server on the same port before the client goes on
  };
  for (const Case& c : {Case{"killed", false}, Case{"restarted", true}}) {
    SCOPED_TRACE(c.name);
    const e2e::ServerHome served = home(c.name);
    auto server = std::make_unique<ServedRepository>(
        path(c.name), kAps, "127.0.0.1:0",
        std::vector<std::string>{"KORVA_SERVER_FAULTS=serve:commit#3"});
    const std::string aps = server->aps();
    ASSERT_FALSE(aps.empty());
    const fs::path log = path(c.name + ".log");
    std::unique_ptr<Process> run = push(server.get(), c.name, instructions, tree, log);
    // Commits 1 and 2 store the users; the client waits for the third's
    // answer (the first folder) and is held still while the server goes.
    ASSERT_TRUE(server->waitForLog("Holding the commit request (injected fault)."));
    run->kill(SIGSTOP);
    server->end(SIGKILL);
    server.reset();
    if (c.restart) server = std::make_unique<ServedRepository>(path(c.name), kAps, aps);
    run->kill(SIGCONT);
    EXPECT_EQ(run->wait(), 0) << e2e::readFile(log.string() + ".out");

    // After the failed commit the client looks for the folder (another run
    // may have stored it): that lookup's failure is the text it shows.
    const std::string cause =
        c.restart ? unknownSession
                  : "Cannot reach the report server " + aps + ": connection refused.";
    const e2e::Json dump = served.dump(kAps);
    Lines expected = {e2e::connected(aps),
                      e2e::addedLine("user", "alice", std::to_string(e2e::userIdOf(dump, "alice"))),
                      e2e::addedLine("user", "bob", std::to_string(e2e::userIdOf(dump, "bob")))};
    for (const std::string& folder : top) {
      e2e::append(
          &expected,
          {folder == top[0]
               ? LOG_ERROR_PUB "Failed to commit folder changes while adding folder " + folder + "."
               : LOG_ERROR_PUB "Failed to obtain the list of info objects of type 1 "
                               "belonging to parent 0.",
           LOG_DETAIL "The following error is returned from Veltrane Enterprise:",
           LOG_DETAIL + cause,
           LOG_ERROR_PUB "Failed to add folder " + folder + " to Veltrane Enterprise.",
           LOG_ERROR_ACT "Failed to add folder " + folder +
               ". All reports and folders within it would be skipped."});
    }
    e2e::append(&expected, e2e::publishSummary(instructions.string(), 2, 0, 0, 0, 0, 2, 0, 0, 0));
    EXPECT_EQ(logLines(log), expected);
    if (c.restart) {
      EXPECT_EQ(server->log(), (Lines{"127.0.0.1 - query 401 denied: " + unknownSession,
                                      "127.0.0.1 - query 401 denied: " + unknownSession,
                                      "127.0.0.1 - logoff 401 denied: " + unknownSession}));
    } else {
      server = std::make_unique<ServedRepository>(path(c.name), kAps);
    }
    const fs::path again = path(c.name + "-again.log");
    EXPECT_EQ(push(server.get(), c.name, instructions, tree, again)->wait(), 0);
    EXPECT_EQ(publishCounters(logLines(again)),
              (std::vector<int>{0, 2, 0, folderCount(shape), 0, 0, reportCount(shape), 0, 0}))
        << e2e::readFile(again);
    EXPECT_EQ(canonicalDump(served.dump(kAps)), undisturbed);
  }
}

// Phase one: run k publishes runs/k, whose one top folder Team<k> no other
// run has; phase two: every run publishes shared/, the folder Common. A lone
// run of all/ (every Team and Common) leaves what both phases leave.
TEST_F(ServedRepositoryTest, EightRunsAtOnceStoreEveryObjectOnce) {
  constexpr int kRuns = 8;
  TreeShape shape;  // F00, F01, each with S0, S1, each with three reports
  const int folders = 1 + folderCount(shape);
  const int reports = reportCount(shape);
  PublishValues values;
  values.users.clear();
  const fs::path instructions = path("publish.xml");
  writeInstructions(instructions, values);
  const fs::path all = path("all");
  auto place = [&](const std::string& folder, const fs::path& source) {
    buildTree(all / folder, shape);
    fs::create_directories(source / folder);
    fs::copy(all / folder, source / folder, fs::copy_options::recursive);
  };
  place("Common", path("shared"));
  for (int k = 0; k < kRuns; ++k)
    place("Team" + std::to_string(k), path("runs") / std::to_string(k));
  const e2e::ServerHome served = home("served");
  const ServedRepository server(path("served"), kAps);
  ASSERT_FALSE(server.aps().empty());

  for (const bool shared : {false, true}) {
    SCOPED_TRACE(shared ? "into the same folder" : "into folders of their own");
    std::vector<std::unique_ptr<Process>> runs;
    std::vector<fs::path> logs;
    for (int k = 0; k < kRuns; ++k) {
      logs.push_back(path((shared ? "shared-" : "own-") + std::to_string(k) + ".log"));
      const fs::path source = shared ? path("shared") : path("runs") / std::to_string(k);
      runs.push_back(push(&server, "served", instructions, source, logs.back()));
    }
    // Each run adds or finds (and updates) every object: one that another
    // run stored between its lookup and its commit counts as found.
    int added[2] = {0, 0};  // folders, reports
    for (int k = 0; k < kRuns; ++k) {
      EXPECT_EQ(runs[k]->wait(), 0) << e2e::readFile(logs[k].string() + ".out");
      const std::vector<int> c = publishCounters(logLines(logs[k]));
      ASSERT_EQ(c.size(), 9u) << e2e::readFile(logs[k]);
      EXPECT_EQ(c[0] + c[1] + c[2] + c[5] + c[8], 0) << e2e::readFile(logs[k]);
      EXPECT_EQ(c[3] + c[4], folders);
      EXPECT_EQ(c[6] + c[7], reports);
      added[0] += c[3];
      added[1] += c[6];
    }
    const int owners = shared ? 1 : kRuns;
    EXPECT_EQ(added[0], owners * folders);
    EXPECT_EQ(added[1], owners * reports);
  }
  EXPECT_EQ(repositoryProblems(path("served") / (std::string(kAps) + ".db"), all, values), Lines{});
  home("lone");
  ASSERT_EQ(push(nullptr, "lone", instructions, all, path("lone.log"))->wait(), 0);
  EXPECT_EQ(canonicalDump(served.dump(kAps)),
            canonicalDump(e2e::ServerHome(path("lone")).dump(kAps)));
}

}  // namespace
}  // namespace rel
