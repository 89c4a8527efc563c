// The network server's operations over HTTPS: logon answers as the local
// store does, slowed down after wrong passwords; a report uploaded and
// committed is stored as a local commit stores it; sessions are checked on
// every operation and forgotten at logoff or after the idle limit, their
// uploads with them; reports sent with their commit are stored, and bad ones
// refused with nothing stored; malformed, oversized and unknown requests are
// refused with their statuses and descriptions; one log line per request.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "reportserver/admin/repository_views.h"
#include "reportserver/serve/logon_throttle.h"
#include "reportserver/store/local_store_session.h"
#include "tests/netserver/net_server_fixture.h"

namespace korva_net_test {
namespace {

namespace wire = korva::wire;
using korva::ObjectChange;
using korva::StoreStatus;

std::string errorBody(const StoreStatus& s) { return wire::errorAnswerBody(s); }

bool isEmptyDirectory(const std::string& dir) {
  return std::filesystem::is_directory(dir) && std::filesystem::is_empty(dir);
}

TEST_F(NetServerTest, LogonAnswersWhatTheLocalStoreAnswers) {
  struct Case {
    std::string user, password, authentication;
  };
  const std::vector<Case> cases = {{"Administrator", "secret", "secEnterprise"},
                                   {"Administrator", "wrong", "secEnterprise"},
                                   {"nobody", "", "secEnterprise"},
                                   {"Administrator", "secret", "secLDAP"}};
  for (const Case& c : cases) {
    korva::StoreSessionPtr local;
    const StoreStatus expected = korva::LocalStoreSession::logOn(
        {c.user, c.password, "localhost", c.authentication}, &local);
    const Answer a = logon(c.user, c.password, c.authentication);
    EXPECT_EQ(a.status, 200);
    std::string token;
    korva::SessionFacts facts;
    const StoreStatus got = wire::readLogonAnswer(a.body, &token, &facts);
    EXPECT_EQ(got.code, expected.code) << a.body;
    EXPECT_EQ(got.description, expected.description);
    if (expected.ok()) {
      EXPECT_EQ(token.size(), 64u);
      EXPECT_EQ(wire::logonAnswerBody("", facts), wire::logonAnswerBody("", local->facts()));
    }
  }
  const std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "127.0.0.1 \"Administrator\" logon ok");
  EXPECT_EQ(lines[1],
            "127.0.0.1 \"Administrator\" logon 200 denied: Logon refused: the password of user "
            "\"Administrator\" is wrong.");
}

TEST_F(NetServerTest, WrongPasswordsOfOneAccountAreSlowedDown) {
  for (int i = 0; i < 5; ++i) logon("Administrator", "wrong");
  logon("nobody", "x");                // another account waits for nothing
  EXPECT_FALSE(adminToken().empty());  // waits, then starts the count again
  logon("Administrator", "wrong");
  EXPECT_EQ(pauses(), (std::vector<long long>{1000, 2000, 4000}));

  korva::LogonThrottle throttle([] { return std::chrono::steady_clock::time_point(); });
  for (int i = 0; i < 12; ++i) throttle.failed("a");
  EXPECT_EQ(throttle.delayFor("a"), korva::LogonThrottle::kMaxDelay);
}

TEST_F(NetServerTest, AnUploadedReportIsStoredAsALocalCommitStoresIt) {
  std::string error;
  ASSERT_TRUE(korva::initRepository("local", "secret", &error)) << error;
  korva_test_common::TempDir files;
  const std::string q1 = files.write("Q1.rpt", "report bytes");

  // A folder, then a report with its file in it: locally, through the store...
  korva::StoreSessionPtr local;
  ASSERT_TRUE(
      korva::LocalStoreSession::logOn({"Administrator", "secret", "local", "secEnterprise"}, &local)
          .ok());
  const korva::PluginInfo& folderPlugin = pluginOf(local->facts(), korva::PluginKind::Folder);
  const korva::PluginInfo& reportPlugin = pluginOf(local->facts(), korva::PluginKind::Report);
  std::vector<korva::ObjectRecord> stored;
  ASSERT_TRUE(local->commit({newObject(folderPlugin, "Finance", 0)}, INT64_MAX, &stored).ok());
  const int32_t folder = stored[0].id;
  ASSERT_TRUE(local->commit({newObject(reportPlugin, "Q1", folder, q1)}, INT64_MAX, &stored).ok());
  const std::string localAnswer = wire::commitAnswerBody(stored);

  // ... and over the network, the file uploaded first.
  const std::string token = adminToken();
  const Answer query =
      send("POST", wire::kQueryPath,
           wire::queryRequestBody({false, {{korva::QueryTerm::Field::ParentId, 0}}}), token);
  korva::QueryResult result;
  ASSERT_TRUE(wire::readQueryAnswer(query.body, &result).ok()) << query.body;
  EXPECT_TRUE(result.rows->heads.empty());
  auto commit = [&](const ObjectChange& change, const std::string& fileId) {
    const Answer a = send("POST", wire::kCommitPath,
                          wire::commitRequestBody({change}, result.readMark,
                                                  [&](const std::string&) { return fileId; }),
                          token);
    std::vector<korva::ObjectRecord> out;
    EXPECT_TRUE(wire::readCommitAnswer(a.body, &out).ok()) << a.body;
    return out;
  };
  ASSERT_EQ(commit(newObject(folderPlugin, "Finance", 0), "").at(0).id, folder);
  const Answer upload =
      send("PUT", std::string(wire::kFilesPath) + "?name=Q1.rpt", "report bytes", token);
  std::string fileId;
  ASSERT_TRUE(wire::readUploadAnswer(upload.body, &fileId).ok()) << upload.body;
  EXPECT_FALSE(isEmptyDirectory(spoolDir()));
  EXPECT_EQ(wire::commitAnswerBody(commit(newObject(reportPlugin, "Q1", folder, q1), fileId)),
            localAnswer);
  EXPECT_TRUE(isEmptyDirectory(spoolDir()));  // the commit took the upload

  std::string localDump, remoteDump;
  ASSERT_TRUE(korva::viewLocalRepository("local", korva::dumpRepository, &localDump, &error))
      << error;
  ASSERT_TRUE(korva::viewLocalRepository("localhost", korva::dumpRepository, &remoteDump, &error))
      << error;
  const std::string name = "\"local\"";
  ASSERT_NE(localDump.find(name), std::string::npos);
  localDump.replace(localDump.find(name), name.size(), "\"localhost\"");
  EXPECT_EQ(remoteDump, localDump);
}

TEST_F(NetServerTest, ReportsSentWithTheirCommitAreStoredAndBadOnesRefused) {
  korva::SessionFacts facts;
  const std::string token = adminToken(&facts);
  const korva::PluginInfo& folderPlugin = pluginOf(facts, korva::PluginKind::Folder);
  const korva::PluginInfo& reportPlugin = pluginOf(facts, korva::PluginKind::Report);
  std::map<std::string, wire::SentFile> files = {{"q1", {"Q1.rpt", "report bytes"}},
                                                 {"q2", {"Q2.rpt", ""}},
                                                 {"q4", {"Q1.rpt", "other bytes"}},
                                                 {"bad", {"..", "abc"}}};
  // The commit's body with the files it names, and their byte count.
  uint64_t sent = 0;
  auto body = [&](const std::vector<ObjectChange>& changes) {
    return wire::commitRequestBody(
        changes, INT64_MAX, [](const std::string&) { return std::string(); },
        [&](const std::string& path) { return &files.at(path); }, &sent);
  };
  auto commit = [&](const std::string& body, const std::string& sentParameter) {
    return send("POST", std::string(wire::kCommitPath) + "?sent=" + sentParameter, body, token);
  };
  std::vector<korva::ObjectRecord> stored;
  Answer a = commit(body({newObject(folderPlugin, "Finance", 0)}), "0");
  ASSERT_TRUE(wire::readCommitAnswer(a.body, &stored).ok()) << a.body;
  const int32_t folder = stored.at(0).id;

  // Refused: nothing of the commit is stored, nothing stays in the spool.
  const std::vector<ObjectChange> two = {newObject(reportPlugin, "Q1", folder, "q1"),
                                         newObject(reportPlugin, "Q3", folder, "bad")};
  const std::string twoBody = body(two);
  const std::string n = std::to_string(sent);
  const std::string q1Body = body({newObject(reportPlugin, "Q1", folder, "q1")});
  struct Case {
    std::string body, sent;
    int status;
    std::string description;
  };
  const std::vector<Case> cases = {
      {twoBody, "1e3", 400, "The request's sent \"1e3\" is not a number of bytes."},
      {twoBody, "1048577", 413,
       "The files sent with the commit (1048577 bytes) are more than the report server takes "
       "with one (1048576 bytes); upload them before the commit."},
      {twoBody, "99999", 400,
       "The request is malformed: it is shorter than the 99999 bytes of files it says it sends."},
      {q1Body.substr(0, q1Body.size() - 2), "10", 400,
       "The request is malformed: the files sent with the commit are shorter than its changes "
       "say."},
      {q1Body + "xy", "14", 400,
       "The request is malformed: the files sent with the commit are longer than its changes "
       "say."},
      {twoBody, n, 400,
       "The upload's name \"..\" is no file name (one to 255 bytes, without \"/\")."}};
  for (const Case& c : cases) {
    a = commit(c.body, c.sent);
    EXPECT_EQ(a.status, c.status) << c.sent;
    EXPECT_EQ(a.body, errorBody(StoreStatus::badRequest(c.description)));
  }
  EXPECT_TRUE(isEmptyDirectory(spoolDir()));

  // Stored, a file, an empty one and another of the same name, each with its
  // own bytes, as uploaded files are stored.
  const std::string threeBody = body({newObject(reportPlugin, "Q1", folder, "q1"),
                                      newObject(reportPlugin, "Q2", folder, "q2"),
                                      newObject(reportPlugin, "Q4", folder, "q4")});
  a = commit(threeBody, std::to_string(sent));
  ASSERT_TRUE(wire::readCommitAnswer(a.body, &stored).ok()) << a.body;
  EXPECT_EQ(stored.size(), 3u);
  EXPECT_TRUE(isEmptyDirectory(spoolDir()));
  std::string dump, error;
  ASSERT_TRUE(korva::viewLocalRepository("localhost", korva::dumpRepository, &dump, &error))
      << error;
  EXPECT_NE(dump.find("\"Q1\""), std::string::npos);
  EXPECT_NE(dump.find("{\"name\": \"Q1.rpt\", \"size\": 12, \"sha256\": "
                      "\"2138e20f2c6de32409659c519601a485e21fe056a5e3d6c019f075e4203ce608\"}"),
            std::string::npos);
  EXPECT_NE(dump.find("{\"name\": \"Q2.rpt\", \"size\": 0, \"sha256\": "
                      "\"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\"}"),
            std::string::npos);
  EXPECT_NE(dump.find("{\"name\": \"Q1.rpt\", \"size\": 11, \"sha256\": "
                      "\"a3ead5eedad5df82318c51685dbc1c147a36d1ff8584fc82de6b08d0bf63a795\"}"),
            std::string::npos);
  EXPECT_EQ(dump.find("\"Q3\""), std::string::npos);
  const std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 3 + cases.size());
  EXPECT_EQ(lines[3], "127.0.0.1 \"Administrator\" commit 413 badRequest: " + cases[1].description);
}

TEST_F(NetServerTest, EveryOperationNeedsASessionTheServerKeeps) {
  const std::string unknown =
      "The report server keeps no such session: it ended, expired or never was.";
  const std::string files = std::string(wire::kFilesPath) + "?name=a.rpt";
  struct Case {
    std::string method, path, token, description;
  };
  const std::vector<Case> cases = {
      {"POST", wire::kQueryPath, "", "The request names no session (it carries no session token)."},
      {"POST", wire::kQueryPath, std::string(64, 'a'), unknown},
      {"POST", wire::kCommitPath, "x", unknown},
      {"PUT", files, std::string(64, 'f'), unknown},
      {"POST", wire::kLogoffPath, "not-a-token", unknown}};
  for (const Case& c : cases) {
    const Answer a = send(c.method, c.path, wire::queryRequestBody({}), c.token);
    EXPECT_EQ(a.status, 401) << c.path;
    EXPECT_EQ(a.body, errorBody(StoreStatus::denied(c.description)));
  }

  // Logoff forgets the session and its uploads.
  std::string token = adminToken();
  EXPECT_EQ(send("PUT", files, "abc", token).status, 200);
  EXPECT_EQ(send("POST", wire::kLogoffPath, "", token).body, "{}");
  EXPECT_EQ(send("POST", wire::kQueryPath, wire::queryRequestBody({}), token).status, 401);
  EXPECT_TRUE(isEmptyDirectory(spoolDir()));

  // So does the idle limit; any use starts it again.
  token = adminToken();
  EXPECT_EQ(send("PUT", files, "abc", token).status, 200);
  advanceClock(std::chrono::minutes(29));
  EXPECT_EQ(send("POST", wire::kQueryPath, wire::queryRequestBody({}), token).status, 200);
  advanceClock(std::chrono::minutes(31));
  EXPECT_EQ(send("POST", wire::kQueryPath, wire::queryRequestBody({}), token).status, 401);
  EXPECT_TRUE(isEmptyDirectory(spoolDir()));

  // And the server's stop.
  token = adminToken();
  EXPECT_EQ(send("PUT", files, "abc", token).status, 200);
  server_->stop();
  EXPECT_TRUE(isEmptyDirectory(spoolDir()));
}

TEST_F(NetServerTest, MalformedOversizedAndUnknownRequestsAreRefused) {
  const std::string token = adminToken();
  const std::string files = wire::kFilesPath;
  struct Case {
    std::string method, path, body;
    int status;
    std::string description;
  };
  const std::vector<Case> cases = {
      {"POST", wire::kQueryPath, "{\"query\":", 400,
       "The request is malformed: the message is not valid JSON (at byte 10)."},
      {"POST", wire::kCommitPath, "{\"readMark\":1,\"changes\":[{\"type\":999}]}", 400,
       "The request is malformed: changes[0].type names no object type here."},
      {"POST", wire::kQueryPath, std::string(kMaxRequest + 1, ' '), 413,
       "The request is larger than the report server takes (65536 bytes)."},
      {"PUT", files + "?name=big.rpt", std::string(kMaxUpload + 1, 'x'), 413,
       "The file is larger than the report server takes (262144 bytes)."},
      {"PUT", files + "?name=..", "x", 400,
       "The upload's name \"..\" is no file name (one to 255 bytes, without \"/\")."},
      {"POST", "/v1/nothing", "{}", 404, "The report server has no operation POST /v1/nothing."},
      {"GET", wire::kLogonPath, "", 404, "The report server has no operation GET /v1/logon."}};
  for (const Case& c : cases) {
    const Answer a = send(c.method, c.path, c.body, token);
    EXPECT_EQ(a.status, c.status) << c.path;
    EXPECT_EQ(a.body, errorBody(StoreStatus::badRequest(c.description)));
  }
  EXPECT_TRUE(isEmptyDirectory(spoolDir()));
  const std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 1 + cases.size());
  EXPECT_EQ(lines[3], "127.0.0.1 - query 413 badRequest: " + cases[2].description);
  // The session's line of a body too large to be read is not known either.
  EXPECT_EQ(lines[4], "127.0.0.1 - upload 413 badRequest: " + cases[3].description);
  EXPECT_EQ(lines[7], "127.0.0.1 - GET /v1/logon 404 badRequest: " + cases[6].description);
}

}  // namespace
}  // namespace korva_net_test
