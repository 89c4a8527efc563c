// The worked example through `korvaserver serve`: korvapush and korvadrop,
// with a server home of their own that holds no repository, publish, publish
// again and delete on a server in another home over TLS on the loopback. Each
// run logs what the same run logs against a local repository, and the served
// repository ends as the local one does; korvaserver reads it back through
// the network. One report is larger than the files a commit carries, so that
// it goes up as an upload of its own.
#include <map>
#include <memory>

#include "e2e/e2e_fixture.h"
#include "e2e/served_repository.h"
#include "reportserver/wire/wire_protocol.h"

namespace e2e {
namespace {

class RemotePublishTest : public E2ETest {
 protected:
  void SetUp() override {
    E2ETest::SetUp();
    if (HasFatalFailure()) return;
    fs::create_directories(clientHome());
    ASSERT_EQ(servedHome_.init(kAps).exitCode, 0);
    served_ = std::make_unique<ServedRepository>(work() / "served", kAps);
    ASSERT_FALSE(served_->aps().empty());
  }

  fs::path clientHome() const { return work() / "client-home"; }
  std::vector<std::string> remoteEnv() const {
    return {"KORVA_SERVER_HOME=" + clientHome().string(),
            "KORVA_SERVER_CA=" + (work() / "served" / (std::string(kAps) + ".crt")).string()};
  }
  // The run's masked log with the remote APS name where the local one stands.
  Lines asLocal(const ProgramRun& run) const {
    Lines lines = maskedLines(run.out);
    for (std::string& line : lines) {
      const size_t at = line.find(served_->aps());
      if (at != std::string::npos) line.replace(at, served_->aps().size(), kAps);
    }
    return lines;
  }
  ProgramRun remote(const char* program, std::vector<std::string> args) const {
    args.insert(args.begin(), {"-apsname", served_->aps()});
    return runProgram(binPath(program), args, environment(remoteEnv()));
  }

  ServerHome servedHome_{work() / "served"};
  std::unique_ptr<ServedRepository> served_;
};

TEST_F(RemotePublishTest, PublishTwiceAndDeleteLogAndStoreAsLocally) {
  const std::vector<std::string> publish = {"-srcfile", examplePublishXml(), "-srcpath",
                                            tree().string()};
  fs::resize_file(tree() / "HR" / "staff.rpt", korva::wire::kMaxSentWithCommit + 1);
  for (int round = 1; round <= 2; ++round) {
    const ProgramRun local = push(examplePublishXml(), tree().string());
    const ProgramRun served = remote("korvapush", publish);
    EXPECT_EQ(served.exitCode, local.exitCode) << round;
    EXPECT_EQ(asLocal(served), maskedLines(local.out)) << round;
  }
  const ProgramRun local = drop({"-delfld", "HR"});
  const ProgramRun served = remote("korvadrop", {"-delfld", "HR"});
  EXPECT_EQ(served.exitCode, 0) << served.out;
  EXPECT_EQ(asLocal(served), maskedLines(local.out));
  const ProgramRun servedDump = servedHome_.tool({"dump", "-apsname", kAps});
  EXPECT_EQ(servedDump.exitCode, 0);
  EXPECT_EQ(servedDump.out, server().tool({"dump", "-apsname", kAps}).out);

  // A wrong password: the server's own refusal.
  const ProgramRun refused =
      remote("korvapush",
             {"-apspass", "wrong", "-srcfile", examplePublishXml(), "-srcpath", tree().string()});
  const ProgramRun refusedHere = push(examplePublishXml(), tree().string(), {"-apspass", "wrong"});
  EXPECT_EQ(refused.exitCode, kExitFatal);
  EXPECT_EQ(asLocal(refused), maskedLines(refusedHere.out));
}

// korvaserver reads the served repository through the network as the user
// it logs on as: the Administrator's dump is the served home's own, and a
// wrong password gets the server's refusal.
TEST_F(RemotePublishTest, KorvaserverDumpsTheServedRepositoryAsItsUser) {
  ASSERT_EQ(
      remote("korvapush", {"-srcfile", examplePublishXml(), "-srcpath", tree().string()}).exitCode,
      0);
  const ProgramRun here = servedHome_.tool({"dump", "-apsname", kAps});
  ASSERT_EQ(here.exitCode, 0) << here.err;
  struct Case {
    std::string password;  // "-": an empty line on standard input
    int exitCode;
    std::string out, err;
  };
  const std::vector<Case> cases = {
      {"-", 0, here.out, ""},
      {"wrong", 1, "",
       "korvaserver: Logon refused: the password of user \"Administrator\" is wrong.\n"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = runProgram(
        binPath("korvaserver"),
        {"dump", "-apsname", served_->aps(), "-user", "Administrator", "-password", c.password},
        environment(remoteEnv()), "", std::string("\n"));
    EXPECT_EQ(run.exitCode, c.exitCode) << c.password;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
  }
}

// The files under a directory, by their path from it, with their bytes.
std::map<std::string, std::string> filesUnder(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string path = fs::relative(entry.path(), dir).string();
    files[path] = entry.is_regular_file() ? readFile(entry.path()) : "(directory)";
  }
  return files;
}

// korvaserver export through a logon to the served repository writes what
// an export through a logon to a local one writes.
TEST_F(RemotePublishTest, ExportWritesWhatALocalExportWrites) {
  const std::vector<std::string> publish = {"-srcfile", examplePublishXml(), "-srcpath",
                                            tree().string()};
  ASSERT_EQ(push(examplePublishXml(), tree().string()).exitCode, 0);
  ASSERT_EQ(remote("korvapush", publish).exitCode, 0);
  const fs::path local = work() / "local-export", served = work() / "served-export";
  const std::vector<std::string> logon = {"-user", "Administrator"};
  std::vector<std::string> args = {"export", "-apsname", kAps, "-out", local.string()};
  args.insert(args.end(), logon.begin(), logon.end());
  const ProgramRun here =
      runProgram(binPath("korvaserver"), args, environment({"KORVA_SERVER_PASSWORD"}));
  ASSERT_EQ(here.exitCode, 0) << here.err;
  args = {"export", "-apsname", served_->aps(), "-out", served.string()};
  args.insert(args.end(), logon.begin(), logon.end());
  std::vector<std::string> env = remoteEnv();
  env.push_back("KORVA_SERVER_PASSWORD");
  const ProgramRun there = runProgram(binPath("korvaserver"), args, environment(env));
  ASSERT_EQ(there.exitCode, 0) << there.err;
  EXPECT_EQ(there.err, "");
  // The summary names the export's directory, and the APS as the server
  // knows it.
  std::string out = there.out;
  for (const auto& swap : {std::make_pair(served.string(), local.string()),
                           std::make_pair(served_->aps(), std::string(kAps))}) {
    const size_t at = out.find(swap.first);
    if (at != std::string::npos) out.replace(at, swap.first.size(), swap.second);
  }
  EXPECT_EQ(out, here.out);
  EXPECT_EQ(filesUnder(served), filesUnder(local));
}

// The transport's failures end the run as a refused logon does, with the
// report server's host and the cause as the server's text.
TEST_F(RemotePublishTest, AnUntrustedCertificateAndAnUnreachableServerFailTheRun) {
  struct Case {
    std::string aps;
    std::vector<std::string> env;
    std::string text;
  };
  const std::vector<Case> cases = {
      {served_->aps(),
       {"KORVA_SERVER_HOME=" + clientHome().string(), "KORVA_SERVER_CA"},
       "The report server " + served_->aps() + " presented a certificate that is not trusted."},
      {"127.0.0.1:1", remoteEnv(),
       "Cannot reach the report server 127.0.0.1:1: connection refused."},
  };
  for (const Case& c : cases) {
    const ProgramRun run = runProgram(
        binPath("korvapush"),
        {"-apsname", c.aps, "-srcfile", examplePublishXml(), "-srcpath", tree().string()},
        environment(c.env));
    EXPECT_EQ(run.exitCode, kExitFatal) << c.aps;
    const std::string as = " as Administrator with secEnterprise authentication.";
    const Lines expected = {
        kWarnNoName,
        kWarnOutside,
        LOG_ERROR_PUB "Failed to logon to APS " + c.aps + as,
        LOG_DETAIL "The following error is returned from Veltrane Enterprise:",
        LOG_DETAIL + c.text,
        LOG_ERROR_PUB "Failed to establish connection to APS " + c.aps + as,
        kPublishFailed,
    };
    EXPECT_EQ(maskedLines(run.out), expected);
  }
}

}  // namespace
}  // namespace e2e
