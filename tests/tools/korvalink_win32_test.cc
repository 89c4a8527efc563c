// korvalink.dll holds no report server: korvapush.exe beside the real
// korvalink.dll, while korvaserver.dll is unregistered, fails at the
// creation of the session manager with the client's lines and result 1603.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "common/log_lines.h"
#include "common/test_platform.h"
#include "platform/class_registry.h"
#include "server/report_server.h"

namespace {

namespace fs = std::filesystem;

TEST(KorvalinkWin32, PublishWithoutARegisteredServerFailsAtTheSessionManager) {
  // The suite runs while korvaserver.dll is unregistered (regsvr32 /u).
  ASSERT_EQ(korva::registeredInprocServer(korva::CLSID_SessionManager), "");
  const fs::path root = fs::temp_directory_path() /
                        ("korva_korvalink_" + std::to_string(std::random_device{}()));
  fs::remove_all(root);
  fs::create_directories(root / "bin");
  fs::create_directories(root / "src");
  fs::copy_file(fs::path(KORVA_BIN_DIR) / "korvapush.exe", root / "bin" / "korvapush.exe");
  fs::copy_file(KORVA_KORVALINK_DLL, root / "bin" / "korvalink.dll");
  std::ofstream(root / "publish.xml") << "<publish/>";
  const fs::path log = root / "run.log";

  const korva_test::ChildResult child = korva_test::runChild(
      (root / "bin" / "korvapush.exe").string(),
      {"-apsname", "korva-none", "-srcfile", (root / "publish.xml").string(), "-srcpath",
       (root / "src").string(), "-logfile", log.string()},
      korva_test::currentEnvironment(), (root / "out.txt").string(), (root / "err.txt").string(),
      "");
  ASSERT_TRUE(child.started) << child.error;
  ASSERT_TRUE(child.exited) << child.error;
  EXPECT_EQ(child.exitCode, 1603);
  EXPECT_EQ(korva_test_common::maskedFileLines(log),
            (std::vector<std::string>{
                "--- ERROR --- (publish): Failed to create an instance of Veltrane Enterprise "
                "session manager.",
                "--- ERROR --- (publish): Failed to establish connection to APS korva-none as "
                "Administrator with secEnterprise authentication. System function failed.",
                "--- ERROR --- (action): Failed to publish Veltrane Enterprise objects. System "
                "function failed."}));
  // A helper process that wine started for the child may still hold its
  // output for a moment; the directory is then left to the system's cleaning.
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

}  // namespace
