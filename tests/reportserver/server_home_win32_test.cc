// The server home on Windows: %LOCALAPPDATA%\Korva\servers when
// KORVA_SERVER_HOME is not set, "\" before the repository's file name, and a
// description naming the Windows variables when neither is set.
#include <filesystem>
#include <string>

#include "common/win32/scoped_code_page.h"
#include "reportserver/admin/repository_admin.h"
#include "reportserver/store/server_home.h"
#include "tests/reportserver/server_home_fixture.h"

namespace korva_rs_test {
namespace {

TEST_F(ServerHomeTest, FallsBackToTheLocalApplicationDataFolder) {
  korva_test::unsetEnvironmentVariable("KORVA_SERVER_HOME");
  korva_test::setEnvironmentVariable("LOCALAPPDATA", (home_.string() + "\\local\\").c_str());
  std::string name, path, error;
  ASSERT_TRUE(korva::repositoryLocation("ViaLocal", &name, &path, &error)) << error;
  EXPECT_EQ(path, home_.string() + "\\local\\Korva\\servers\\vialocal.db");
  ASSERT_TRUE(korva::initRepository("ViaLocal", "", &error)) << error;
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_TRUE(logon(L"Administrator", L"", L"vialocal"));

  korva_test::unsetEnvironmentVariable("LOCALAPPDATA");
  EXPECT_FALSE(korva::initRepository("nohome", "", &error));
  EXPECT_EQ(error, "Cannot find the server home: set KORVA_SERVER_HOME (or LOCALAPPDATA).");
}

// In code page 932 表 is 95 5C: a home whose name ends in it has no
// separator at its end to keep or to drop.
TEST_F(ServerHomeTest, AHomeEndingInADoubleByteCharacterGetsItsSeparator) {
  korva_test::ScopedCodePage page(932);
  ASSERT_TRUE(page.ok());
  const std::string home = home_.string() + "\\\x95\x5c";
  for (const std::string& given : {home, home + "\\"}) {
    korva_test::setEnvironmentVariable("KORVA_SERVER_HOME", given.c_str());
    std::string name, path, error;
    ASSERT_TRUE(korva::repositoryLocation("aps", &name, &path, &error)) << error;
    EXPECT_EQ(path, home + "\\aps.db") << given;
  }
}

}  // namespace
}  // namespace korva_rs_test
