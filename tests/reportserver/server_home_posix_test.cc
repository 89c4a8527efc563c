// The server home on POSIX: the XDG fall-backs, and the owner-only
// permissions of a new repository and of a home made for it.
#include <filesystem>
#include <string>

#include "reportserver/admin/repository_admin.h"
#include "tests/reportserver/server_home_fixture.h"

namespace korva_rs_test {
namespace {

TEST_F(ServerHomeTest, FallsBackToXdgDataHomeThenHome) {
  std::string error;
  korva_test::unsetEnvironmentVariable("KORVA_SERVER_HOME");
  korva_test::setEnvironmentVariable("XDG_DATA_HOME", (home_ / "xdg").string().c_str());
  ASSERT_TRUE(korva::initRepository("viaxdg", "", &error)) << error;
  EXPECT_TRUE(std::filesystem::exists(home_ / "xdg/korva/servers/viaxdg.db"));
  EXPECT_TRUE(logon(L"Administrator", L"", L"viaxdg"));

  korva_test::unsetEnvironmentVariable("XDG_DATA_HOME");
  korva_test::setEnvironmentVariable("HOME", (home_ / "user").string().c_str());
  ASSERT_TRUE(korva::initRepository("viahome", "", &error)) << error;
  EXPECT_TRUE(std::filesystem::exists(home_ / "user/.local/share/korva/servers/viahome.db"));
  EXPECT_TRUE(logon(L"Administrator", L"", L"viahome"));
  // Read at every logon: the repository of the first home is not seen from here.
  EXPECT_FALSE(logon(L"Administrator", L"", L"viaxdg"));

  korva_test::unsetEnvironmentVariable("HOME");
  EXPECT_FALSE(korva::initRepository("nohome", "", &error));
  EXPECT_EQ(error,
            "Cannot find the server home: set KORVA_SERVER_HOME (or XDG_DATA_HOME or HOME).");
}

TEST_F(ServerHomeTest, ANewRepositoryAndAHomeMadeForItAreTheOwnersAlone) {
  namespace fs = std::filesystem;
  korva_test::setEnvironmentVariable("KORVA_SERVER_HOME", (home_ / "made/here").string().c_str());
  std::string error;
  ASSERT_TRUE(korva::initRepository("private", "", &error)) << error;
  EXPECT_EQ(fs::status(home_ / "made/here").permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(fs::status(home_ / "made/here/private.db").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  // An existing home keeps its permissions.
  korva_test::setEnvironmentVariable("KORVA_SERVER_HOME", home_.string().c_str());
  fs::permissions(home_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  ASSERT_TRUE(korva::initRepository("shared", "", &error)) << error;
  EXPECT_EQ(fs::status(home_).permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  EXPECT_EQ(fs::status(home_ / "shared.db").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace korva_rs_test
