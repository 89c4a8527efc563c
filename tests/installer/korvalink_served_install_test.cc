// korvalink.dll's custom action publishing the example package to a
// repository that the POSIX build's `korvaserver serve` serves over TLS on
// the loopback, with a server home of its own that holds no repository: the
// installation succeeds, and the action logs what korvapush logs of the
// installed files into a local repository, the served APS name read as the
// local one. CTest serves the repository around the suite
// (tests/e2e/served_repository.py) and names its folder in
// KORVA_SERVED_REPOSITORY.
//
// Thread-safety: one test at a time (the suite's RESOURCE_LOCK).
// Ownership: the fixture's work directory holds the server homes and logs;
// the served repository is CTest's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "korvalink_install_fixture.h"

namespace {

using installer_test::kAps;
using installer_test::KorvalinkInstallTest;
using installer_test::kPassword;

// served_repository.py's "NAME VALUE" lines of the served repository: aps,
// password, certificate (relative to its folder).
std::map<std::string, std::string> servedRepository() {
  std::map<std::string, std::string> served;
  const char* dir = std::getenv("KORVA_SERVED_REPOSITORY");
  if (!dir) return served;
  for (const std::string& line : installer_test::readLines(std::string(dir) + "/served.txt")) {
    const size_t space = line.find(' ');
    if (space != std::string::npos) served[line.substr(0, space)] = line.substr(space + 1);
  }
  if (served.count("certificate")) served["certificate"] = dir + ("/" + served["certificate"]);
  return served;
}

TEST_F(KorvalinkInstallTest, PublishesToAServedRepositoryAsKorvapushDoesLocally) {
  std::map<std::string, std::string> served = servedRepository();
  ASSERT_FALSE(served["aps"].empty()) << "KORVA_SERVED_REPOSITORY names no served repository";
  const std::string client = work() + "client";
  std::filesystem::create_directories(client);
  setEnvironment({"KORVA_SERVER_HOME=" + client, "KORVA_SERVER_CA=" + served["certificate"],
                  "TMP=" + tmp(), "TEMP=" + tmp()});
  ASSERT_EQ(msiexecInstall(installer_test::packagePath("korva-example-binary-korvalink.msi"),
                           {"CA_VR_APSNAME=" + served["aps"], "CA_VR_APSPASS=" + served["password"],
                            "CA_VR_LOGFILE=" + log()}),
            0);

  const e2e::ProgramRun push =
      e2e::runProgram(e2e::binPath("korvapush"),
                      {"-apsname", kAps, "-apspass", kPassword, "-srcfile",
                       reportsDir() + "publish.xml", "-srcpath", reportsDir()},
                      {server().homeEnv()});
  EXPECT_EQ(push.exitCode, 0) << push.err;
  e2e::Lines logged = e2e::maskedFileLines(log());
  for (std::string& line : logged) {
    const size_t at = line.find(served["aps"]);
    if (at != std::string::npos) line.replace(at, served["aps"].size(), kAps);
  }
  EXPECT_EQ(logged, e2e::maskedLines(push.out));
}

}  // namespace
