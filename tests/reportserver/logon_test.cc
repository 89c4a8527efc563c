// Logon: every refusal with its own description, the accepted forms, the
// password records, and where repositories are looked for.
#include <cstdlib>
#include <string>
#include <vector>

#include "reportserver/store/repository.h"
#include "tests/reportserver/server_home_fixture.h"

namespace korva_rs_test {
namespace {

class LogonTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    Connection admin = connect();
    aliceId_ = addUser(admin, L"Alice", L"wonderland");
  }
  int32_t aliceId_ = 0;
};

struct LogonCase {
  const wchar_t* user;
  const wchar_t* password;
  const wchar_t* aps;
  const wchar_t* auth;
  HRESULT hr;
  std::string description;  // "<home>" stands for the server home
};

TEST_F(LogonTest, RefusalsHaveTheirOwnDescriptions) {
  const std::string nameRule =
      " is not a valid APS name: use a host name (letters, digits, \"-\" and \".\", optionally "
      "\":\" and a port).";
  const std::vector<LogonCase> cases = {
      {L"Administrator", L"", L"../localhost", kAuth, E_INVALIDARG, "\"../localhost\"" + nameRule},
      {L"Administrator", L"", L"a/b", kAuth, E_INVALIDARG, "\"a/b\"" + nameRule},
      {L"Administrator", L"", L"", kAuth, E_INVALIDARG, "\"\"" + nameRule},
      {L"Administrator", L"", L"localhost:", kAuth, E_INVALIDARG, "\"localhost:\"" + nameRule},
      {L"Administrator", L"", L"localhost:70000", kAuth, E_INVALIDARG,
       "\"localhost:70000\"" + nameRule},
      {L"Administrator", L"", L"local..host", kAuth, E_INVALIDARG, "\"local..host\"" + nameRule},
      {L"Administrator", L"", L"localhost", L"secLDAP", E_INVALIDARG,
       "The authentication type \"secLDAP\" is not supported; use \"secEnterprise\"."},
      {L"Administrator", L"", L"localhost", L"secenterprise", E_INVALIDARG,
       "The authentication type \"secenterprise\" is not supported; use \"secEnterprise\"."},
      // No repository of that name here: the name is a host, where nothing
      // listens on that port.
      {L"Administrator", L"", L"127.0.0.1:1", kAuth, E_FAIL,
       "Cannot reach the report server 127.0.0.1:1: connection refused."},
      {L"Bob", L"", L"localhost", kAuth, E_ACCESSDENIED,
       "Logon refused: there is no user \"Bob\" on APS \"localhost\"."},
      {L"administrator", L"", L"localhost", kAuth, E_ACCESSDENIED,
       "Logon refused: there is no user \"administrator\" on APS \"localhost\"."},
      {L"Alice", L"Wonderland", L"localhost", kAuth, E_ACCESSDENIED,
       "Logon refused: the password of user \"Alice\" is wrong."},
      {L"Alice", L"", L"localhost", kAuth, E_ACCESSDENIED,
       "Logon refused: the password of user \"Alice\" is wrong."},
      {L"Administrator", L"x", L"localhost", kAuth, E_ACCESSDENIED,
       "Logon refused: the password of user \"Administrator\" is wrong."},
  };
  for (const LogonCase& c : cases) {
    SCOPED_TRACE(narrow(c.user) + " / " + narrow(c.aps) + " / " + narrow(c.auth));
    Ref<korva::SessionManager> manager;
    ASSERT_EQ(korva::createInstance(korva::CLSID_SessionManager, CLSCTX_ALL, &manager), S_OK);
    Ref<korva::Session> session;
    EXPECT_EQ(manager->logon(B(c.user), B(c.password), B(c.aps), B(c.auth), session.put()), c.hr);
    EXPECT_FALSE(session);
    std::string expected = c.description;
    size_t at = expected.find("<repository>");
    if (at != std::string::npos) expected.replace(at, 12, repositoryPath("otherhost"));
    EXPECT_EQ(lastError(), expected);
  }
}

TEST_F(LogonTest, AcceptsTheRightCredentialsAndAnyCaseOfTheApsName) {
  HRESULT hr = E_FAIL;
  EXPECT_TRUE(logon(L"Alice", L"wonderland", L"localhost", &hr));
  EXPECT_EQ(hr, S_OK);
  EXPECT_TRUE(logon(L"Administrator", L"", L"LocalHost", &hr));
  EXPECT_EQ(hr, S_OK);
}

TEST_F(LogonTest, NullArgumentsAnswerEPointer) {
  Ref<korva::SessionManager> manager;
  ASSERT_EQ(korva::createInstance(korva::CLSID_SessionManager, CLSCTX_ALL, &manager), S_OK);
  Ref<korva::Session> session;
  EXPECT_EQ(manager->logon(nullptr, B(L""), B(L"localhost"), B(kAuth), session.put()), E_POINTER);
  EXPECT_EQ(manager->logon(B(L"Administrator"), nullptr, B(L"localhost"), B(kAuth), session.put()),
            E_POINTER);
  EXPECT_EQ(manager->logon(B(L"Administrator"), B(L""), nullptr, B(kAuth), session.put()),
            E_POINTER);
  EXPECT_EQ(manager->logon(B(L"Administrator"), B(L""), B(L"localhost"), nullptr, session.put()),
            E_POINTER);
  EXPECT_EQ(manager->logon(B(L"Administrator"), B(L""), B(L"localhost"), B(kAuth), nullptr),
            E_POINTER);
  EXPECT_EQ(lastError(), "A null pointer was passed to logon.");
}

TEST_F(LogonTest, PasswordsAreStoredOnlyAsSaltedHashes) {
  Connection admin = connect();
  addUser(admin, L"Bruno", L"wonderland");  // same password, other salt
  std::vector<std::string> records;
  {
    korva::Database db;
    std::string error;
    ASSERT_TRUE(korva::openRepository(repositoryPath(), &db, &error)) << error;
    korva::Statement st(db, "SELECT password FROM users WHERE password IS NOT NULL ORDER BY id");
    while (st.step() == SQLITE_ROW) records.push_back(st.columnText(0));
  }
  ASSERT_EQ(records.size(), 2u);
  for (const std::string& r : records) {
    EXPECT_EQ(r.rfind("pbkdf2-sha256$100000$", 0), 0u) << r;
    EXPECT_EQ(r.find("wonderland"), std::string::npos);
  }
  EXPECT_NE(records[0], records[1]);
  std::string bytes = readFile(repositoryPath()) + readFile(repositoryPath() + "-wal");
  EXPECT_EQ(bytes.find("wonderland"), std::string::npos);
}

TEST_F(LogonTest, ChangedAndClearedPasswordsTakeEffect) {
  Connection admin = connect();
  Ref<korva::InfoObjects> list =
      query(admin, L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_ID=" + std::to_wstring(aliceId_));
  ASSERT_EQ(countOf(list), 1);
  Ref<korva::UserObject> alice;
  ASSERT_EQ(itemOf(list, 1).query(&alice), S_OK);
  ASSERT_EQ(alice->setPassword(B(L"looking-glass")), S_OK);
  // Pending: the old password still holds.
  EXPECT_TRUE(logon(L"Alice", L"wonderland"));
  ASSERT_EQ(admin.store->commit(list.get()), S_OK);
  EXPECT_FALSE(logon(L"Alice", L"wonderland"));
  EXPECT_TRUE(logon(L"Alice", L"looking-glass"));

  ASSERT_EQ(alice->setPassword(B(L"")), S_OK);
  ASSERT_EQ(admin.store->commit(list.get()), S_OK);
  EXPECT_TRUE(logon(L"Alice", L""));
  EXPECT_FALSE(logon(L"Alice", L"looking-glass"));
}

TEST_F(LogonTest, AnAdministratorPasswordGivenAtInit) {
  std::string error;
  ASSERT_TRUE(korva::initRepository("secured", "pa55", &error)) << error;
  EXPECT_TRUE(logon(L"Administrator", L"pa55", L"secured"));
  EXPECT_FALSE(logon(L"Administrator", L"", L"secured"));
  EXPECT_EQ(lastError(), "Logon refused: the password of user \"Administrator\" is wrong.");
}

TEST_F(LogonTest, ObjectsKeepTheirSessionAlive) {
  Ref<korva::InfoStore> store;
  {
    Ref<korva::Session> session = logon(L"Administrator", L"");
    store = infoStore(session);
  }
  ASSERT_TRUE(store);
  Ref<korva::InfoObjects> list;
  ASSERT_EQ(store->query(B(L"SELECT * FROM CI_SYSTEMOBJECTS"), list.put()), S_OK);
  store.reset();
  EXPECT_EQ(titlesOf(list), (std::vector<std::string>{"Administrator", "Alice"}));
}

TEST(ApsNameTest, OnlyHostNamesAreAccepted) {
  for (const char* good : {"localhost", "LOCALHOST", "my-host.example.com", "10.0.0.1", "host:6400",
                           "a", "x1.y2:1", "h:65535"}) {
    EXPECT_TRUE(korva::isValidApsName(good)) << good;
  }
  for (const char* bad :
       {"",         ".",    "..",           "../x",  "a/b",   "/abs",   "a\\b",       "-host",
        "host-",    "a..b", "host.",        ".host", "host:", "host:0", "host:65536", "host:12a",
        "host:1:2", ":80",  "h\xc3\xa9llo", "a b",   "a_b",   "x.db;"}) {
    EXPECT_FALSE(korva::isValidApsName(bad)) << bad;
  }
}

TEST_F(ServerHomeTest, InitNeverOverwritesARepository) {
  Connection admin = connect();
  addFolder(admin, L"Kept");
  std::string error;
  EXPECT_FALSE(korva::initRepository("LocalHost", "other", &error));
  EXPECT_EQ(error,
            "The repository " + repositoryPath() + " already exists; it is never overwritten.");
  EXPECT_NE(dump().find("\"Kept\""), std::string::npos);
  EXPECT_TRUE(logon(L"Administrator", L""));
}

}  // namespace
}  // namespace korva_rs_test
