// The fixture of korvalink.dll's installer tests: a server home of the
// test's own (work()/servers) with the Administrator's repository of kAps in
// it, handed with TMP and TEMP in the work directory to every installation,
// and the settings of a publish to that repository.
//
// Thread-safety: one test at a time (the suite's RESOURCE_LOCK).
// Ownership: the fixture's work directory holds the server homes and logs.
#ifndef KORVA_TESTS_INSTALLER_KORVALINK_INSTALL_FIXTURE_H_
#define KORVA_TESTS_INSTALLER_KORVALINK_INSTALL_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/e2e_fixture.h"
#include "installer_test_util.h"

namespace installer_test {

inline constexpr char kAps[] = "korva-msi";
inline constexpr char kPassword[] = "Pw-4vQx-korvalink-msi";

// A server home with the Administrator's repository of kAps in it.
inline e2e::ServerHome initialisedHome(const std::string& dir) {
  std::filesystem::create_directories(dir);
  e2e::ServerHome home{std::filesystem::path(dir)};
  const e2e::ProgramRun init = home.init(kAps, kPassword);
  EXPECT_EQ(init.exitCode, 0) << init.out << init.err;
  return home;
}

inline std::string dumpText(const e2e::ServerHome& home) {
  const e2e::ProgramRun run = home.tool({"dump", "-apsname", kAps});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return run.out;
}

class KorvalinkInstallTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    std::filesystem::create_directories(tmp());
    setEnvironment({server().homeEnv(), "TMP=" + tmp(), "TEMP=" + tmp()});
    fresh_ = dumpText(initialisedHome(work() + "servers"));
  }

  std::string tmp() const { return work() + "tmp"; }
  std::string log() const { return work() + "publish.log"; }
  e2e::ServerHome server() const {
    return e2e::ServerHome(std::filesystem::path(work() + "servers"));
  }
  std::string dump() const { return dumpText(server()); }
  // What a fresh repository dumps.
  const std::string& fresh() const { return fresh_; }
  std::vector<std::string> settings(const std::string& password) const {
    return {std::string("CA_VR_APSNAME=") + kAps, "CA_VR_APSPASS=" + password,
            "CA_VR_LOGFILE=" + log()};
  }

 private:
  std::string fresh_;
};

}  // namespace installer_test

#endif  // KORVA_TESTS_INSTALLER_KORVALINK_INSTALL_FIXTURE_H_
