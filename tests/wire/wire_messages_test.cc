// The wire messages: every request and answer survives its round trip
// (written, read, written again: the same text, with spot checks of what was
// read), and what is malformed is refused with a description naming the
// member, never with an exception.
#include "reportserver/wire/wire_messages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "reportserver/wire/wire_protocol.h"

namespace {

using korva::ObjectChange;
using korva::ObjectRecord;
using korva::PluginInfo;
using korva::PluginKind;
using korva::StoreStatus;
namespace wire = korva::wire;

const std::vector<PluginInfo> kPlugins = {{1, 16, "User", PluginKind::User},
                                          {2, 1, "Folder", PluginKind::Folder},
                                          {3, 2, "Report", PluginKind::Report}};

// Uploads: "/tmp/q1.rpt" went up as "id-1".
std::string idOf(const std::string& path) { return path == "/tmp/q1.rpt" ? "id-1" : "?"; }
bool pathOf(const std::string& id, std::string* path) {
  if (id != "id-1") return false;
  *path = "/tmp/q1.rpt";
  return true;
}

std::vector<ObjectChange> sampleChanges() {
  ObjectChange bare;  // a removal: nothing pending but that
  bare.plugin = kPlugins[1];
  bare.stored = {9, 1, 0, "Finance"};
  bare.pending.remove = true;
  ObjectChange full;  // every field pending
  full.plugin = kPlugins[0];
  full.stored = {0, 16, 0, ""};
  full.isNew = true;
  auto& p = full.pending;
  p.title = "Zo\xc3\xab \"q\"\n";
  p.description = "";
  p.parentId = std::numeric_limits<int32_t>::min();
  p.reportType = "rpt";
  p.thumbnail = false;
  p.filePath = "/tmp/q1.rpt";
  p.fullName = "Zo\xc3\xab Z.";
  p.passwordRecord = "pbkdf2$1$ab$cd";
  p.passwordOptions[1] = true;
  p.licenseType = 0;
  p.rights = {{7, 5}, {8, 1}};
  return {bare, full};
}

TEST(WireMessages, RequestsAndAnswersSurviveTheirRoundTrip) {
  std::string error;

  korva::LogonRequest logon{"Administrator", "pw \xe2\x82\xac", "ignored", "secEnterprise"};
  const std::string logonBody = wire::logonRequestBody(logon);
  korva::LogonRequest logonRead;
  ASSERT_TRUE(wire::readLogonRequest(logonBody, &logonRead, &error)) << error;
  EXPECT_EQ(logonRead.password, logon.password);
  EXPECT_EQ(logonRead.apsName, "");  // the server serves one
  EXPECT_EQ(wire::logonRequestBody(logonRead), logonBody);

  korva::ParsedQuery query{
      true, {{korva::QueryTerm::Field::ParentId, -1}, {korva::QueryTerm::Field::ObjectType, 2}}};
  const std::string queryBody = wire::queryRequestBody(query);
  korva::ParsedQuery queryRead;
  ASSERT_TRUE(wire::readQueryRequest(queryBody, &queryRead, &error)) << error;
  EXPECT_EQ(queryRead.terms, query.terms);
  EXPECT_EQ(wire::queryRequestBody(queryRead), queryBody);

  const std::string commitBody = wire::commitRequestBody(sampleChanges(), INT64_MAX, idOf);
  std::vector<ObjectChange> changes;
  int64_t mark = 0;
  ASSERT_TRUE(wire::readCommitRequest(commitBody, kPlugins, pathOf, &changes, &mark, &error))
      << error;
  EXPECT_EQ(mark, INT64_MAX);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[1].plugin.name, "User");
  EXPECT_EQ(*changes[1].pending.filePath, "/tmp/q1.rpt");
  EXPECT_FALSE(changes[0].pending.title.has_value());
  EXPECT_FALSE(changes[1].pending.passwordOptions[0].has_value());
  EXPECT_EQ(wire::commitRequestBody(changes, mark, idOf), commitBody);

  korva::SessionFacts facts{"localhost", 7, "Administrator", true, kPlugins};
  const std::string logonAnswer = wire::logonAnswerBody("t0ken", facts);
  std::string token;
  korva::SessionFacts factsRead;
  ASSERT_TRUE(wire::readLogonAnswer(logonAnswer, &token, &factsRead).ok());
  EXPECT_EQ(token, "t0ken");
  EXPECT_EQ(factsRead.pluginByType(2)->kind, PluginKind::Report);
  EXPECT_EQ(wire::logonAnswerBody(token, factsRead), logonAnswer);

  auto rows = std::make_shared<korva::AnswerRows>();
  rows->heads = {{8, 1, 0, "A"}, {9, 2, 8, "B\xc3\xa9"}};
  const std::string queryAnswer = wire::queryAnswerBody({rows, 42});
  EXPECT_EQ(queryAnswer, "{\"heads\":[[8,1,0,\"A\"],[9,2,8,\"B\xc3\xa9\"]],\"readMark\":42}");
  korva::QueryResult result;
  ASSERT_TRUE(wire::readQueryAnswer(queryAnswer, &result).ok());
  EXPECT_EQ(wire::queryAnswerBody(result), queryAnswer);

  ObjectRecord record;
  record.id = 10;
  record.passwordOptions[2] = true;
  record.hasFile = true;
  record.fileSize = int64_t{5} << 32;
  record.fileSha256 = "ab";
  const std::string commitAnswer = wire::commitAnswerBody({record, ObjectRecord()});
  std::vector<ObjectRecord> stored;
  ASSERT_TRUE(wire::readCommitAnswer(commitAnswer, &stored).ok());
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].fileSize, record.fileSize);
  EXPECT_EQ(wire::commitAnswerBody(stored), commitAnswer);

  std::string upload;
  ASSERT_TRUE(wire::readUploadAnswer(wire::uploadAnswerBody("id-1"), &upload).ok());
  EXPECT_EQ(upload, "id-1");
}

TEST(WireMessages, SnapshotsAndDownloadsSurviveTheirRoundTrip) {
  korva::RepositorySnapshot snapshot;
  snapshot.aps = "localhost";
  snapshot.plugins = kPlugins;
  snapshot.users.resize(1);
  snapshot.users[0].id = 7;
  snapshot.users[0].hasPassword = true;
  snapshot.objects.resize(2);
  snapshot.objects[1].hasFile = true;
  snapshot.objects[1].fileSize = int64_t{5} << 32;
  snapshot.rights = {{8, 7, 5}, {10, 7, 1}};
  const korva::StoredFile file{"Q1 \xc3\xa9.rpt", int64_t{5} << 32, "ab"};

  // Each body, read and written again, is the same text.
  struct Case {
    std::string body;
    std::function<std::string(const std::string&)> again;
  };
  const std::vector<Case> cases = {
      {wire::snapshotAnswerBody(snapshot),
       [](const std::string& body) {
         korva::RepositorySnapshot s;
         EXPECT_TRUE(wire::readSnapshotAnswer(body, &s).ok());
         EXPECT_EQ(s.rights.at(1).role, 1);
         return wire::snapshotAnswerBody(s);
       }},
      {wire::downloadRequestBody(-5),
       [](const std::string& body) {
         int32_t id = 0;
         std::string error;
         EXPECT_TRUE(wire::readDownloadRequest(body, &id, &error)) << error;
         return wire::downloadRequestBody(id);
       }},
      {wire::downloadFileLine(file),
       [](const std::string& body) {
         korva::StoredFile f;
         EXPECT_TRUE(wire::readDownloadLine(body, &f).ok());
         return wire::downloadFileLine(f);
       }},
      {wire::downloadRefusalLine(StoreStatus::badRequest("There is no report 5 with a file.")),
       [](const std::string& body) {
         korva::StoredFile f;
         return wire::downloadRefusalLine(wire::readDownloadLine(body, &f));
       }},
  };
  for (const Case& c : cases) EXPECT_EQ(c.again(c.body), c.body);
  EXPECT_EQ(wire::downloadFileLine({"a", 3, "ab"}),
            "{\"file\":{\"name\":\"a\",\"sha256\":\"ab\",\"size\":3}}\n");
  std::string error;
  EXPECT_TRUE(wire::readSnapshotRequest("{\"later\":1}", &error)) << error;
}

TEST(WireMessages, ErrorBodiesCarryTheStoresStatus) {
  for (const StoreStatus& s : {StoreStatus::failed("F."), StoreStatus::denied("D \"x\"."),
                               StoreStatus::badRequest("B.")}) {
    const std::string body = wire::errorAnswerBody(s);
    korva::QueryResult result;
    const StoreStatus read = wire::readQueryAnswer(body, &result);
    EXPECT_EQ(read.code, s.code) << body;
    EXPECT_EQ(read.description, s.description);
    EXPECT_EQ(wire::readErrorAnswer(body).description, s.description);
  }
  EXPECT_EQ(wire::errorAnswerBody(StoreStatus::denied("No.")),
            "{\"error\":{\"code\":\"denied\",\"description\":\"No.\"}}");
}

TEST(WireMessages, MalformedRequestsAreRefusedNamingTheMember) {
  const std::string longText(wire::kMaxWireText + 1, 'x');
  struct Case {
    const char* kind;
    std::string body;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"logon", "{\"user\":", "the message is not valid JSON (at byte 9)"},
      {"logon", "[]", "the message is not an object"},
      {"logon", "{\"user\":1E400}", "the message holds a number too large for any member"},
      {"logon", "{\"user\":\"a\",\"password\":\"b\"}", "authentication is missing"},
      {"logon", "{\"user\":1,\"password\":\"b\",\"authentication\":\"c\"}", "user is not a text"},
      {"logon", "{\"user\":\"" + longText + "\",\"password\":\"\",\"authentication\":\"\"}",
       "user is longer than 65536 bytes"},
      {"query", "{\"query\":{\"systemObjects\":1,\"terms\":[]}}",
       "query.systemObjects is not true or false"},
      {"query",
       "{\"query\":{\"systemObjects\":true,\"terms\":[{\"field\":\"id\",\"value\":2147483648}]}}",
       "query.terms[0].value is out of range (-2147483648 to 2147483647)"},
      {"query", "{\"query\":{\"systemObjects\":true,\"terms\":[{\"field\":\"id\",\"value\":1.0}]}}",
       "query.terms[0].value is not a whole number"},
      {"query", "{\"query\":{\"systemObjects\":true,\"terms\":[{\"field\":\"name\",\"value\":1}]}}",
       "query.terms[0].field is not one of \"id\", \"parentId\", \"objectType\""},
      {"commit", "{\"readMark\":1,\"changes\":{}}", "changes is not a list"},
      {"commit", "{\"readMark\":1,\"changes\":[{\"type\":99}]}",
       "changes[0].type names no object type here"},
      {"commit",
       "{\"readMark\":1,\"changes\":[{\"type\":2,\"stored\":[1,2,3],\"isNew\":false,\"pending\":{}}"
       "]}",
       "changes[0].stored is not a list [id, typeId, parentId, title]"},
      {"commit",
       "{\"readMark\":1,\"changes\":[{\"type\":2,\"stored\":[1,2,0,\"\"],\"isNew\":false,"
       "\"pending\":{\"file\":\"id-2\"}}]}",
       "changes[0].pending.file names no file uploaded in this session"},
      {"commit",
       "{\"readMark\":1,\"changes\":[{\"type\":2,\"stored\":[1,2,0,\"\"],\"isNew\":false,"
       "\"pending\":{\"file\":{\"name\":\"a.rpt\",\"size\":0}}}]}",
       "changes[0].pending.file names a file sent with the commit, which this request cannot "
       "carry"},
      {"commit",
       "{\"readMark\":1,\"changes\":[{\"type\":2,\"stored\":[1,2,0,\"\"],\"isNew\":false,"
       "\"pending\":{\"rights\":[[7]]}}]}",
       "changes[0].pending.rights[0] is not a list [userId, role]"},
      {"commit",
       "{\"readMark\":1,\"changes\":[{\"type\":2,\"stored\":[1,2,0,\"\"],\"isNew\":false,"
       "\"pending\":{\"passwordOptions\":[true,null]}}]}",
       "changes[0].pending.passwordOptions does not have 3 items"},
      {"snapshot", "[]", "the message is not an object"},
      {"download", "{\"report\":\"5\"}", "report is not a whole number"},
  };
  for (const Case& c : cases) {
    std::string error;
    bool read;
    const std::string kind = c.kind;
    if (kind == "logon") {
      korva::LogonRequest out;
      read = wire::readLogonRequest(c.body, &out, &error);
    } else if (kind == "query") {
      korva::ParsedQuery out;
      read = wire::readQueryRequest(c.body, &out, &error);
    } else if (kind == "snapshot") {
      read = wire::readSnapshotRequest(c.body, &error);
    } else if (kind == "download") {
      int32_t out;
      read = wire::readDownloadRequest(c.body, &out, &error);
    } else {
      std::vector<ObjectChange> out;
      int64_t mark;
      read = wire::readCommitRequest(c.body, kPlugins, pathOf, &out, &mark, &error);
    }
    EXPECT_FALSE(read) << c.body.substr(0, 80);
    EXPECT_EQ(error, "The request is malformed: " + c.error + ".") << c.body.substr(0, 80);
  }
}

TEST(WireMessages, MalformedAnswersAreFailuresNamingTheMember) {
  struct Case {
    const char* kind;
    std::string body;
    std::string error;
  };
  const std::string snapshot = "{\"aps\":\"a\",\"plugins\":[],\"objects\":[],";
  const std::vector<Case> cases = {
      {"query", "{\"readMark\":1}", "heads is missing"},
      {"query", "{\"readMark\":1,\"heads\":[[1,2,3,4]]}", "heads[0][3] is not a text"},
      {"query", "{\"readMark\":1,\"heads\":[[1,40000,3,\"\"]]}",
       "heads[0][1] is out of range (-32768 to 32767)"},
      {"query", "{\"error\":{\"code\":\"ok\",\"description\":\"\"}}",
       "error.code is not one of \"failed\", \"denied\", \"badRequest\""},
      {"query", "", "the message is not valid JSON (at byte 1)"},
      {"snapshot", snapshot + "\"users\":[],\"rights\":[[1,2]]}",
       "rights[0] is not a list [objectId, userId, role]"},
      {"snapshot", snapshot + "\"users\":[{}],\"rights\":[]}", "users[0].id is missing"},
      {"download", "{\"file\":{\"name\":\"a\",\"size\":-1,\"sha256\":\"\"}}\n",
       "file.size is out of range (0 to 9223372036854775807)"},
  };
  for (const Case& c : cases) {
    const std::string kind = c.kind;
    korva::QueryResult result;
    korva::RepositorySnapshot s;
    korva::StoredFile file;
    const StoreStatus read = kind == "query"      ? wire::readQueryAnswer(c.body, &result)
                             : kind == "snapshot" ? wire::readSnapshotAnswer(c.body, &s)
                                                  : wire::readDownloadLine(c.body, &file);
    EXPECT_EQ(read.code, StoreStatus::Code::Failed) << c.body;
    EXPECT_EQ(read.description, "The report server's answer is malformed: " + c.error + ".");
  }
  EXPECT_EQ(wire::readErrorAnswer("{}").description,
            "The report server's answer is malformed: the message carries no error.");
}

}  // namespace
