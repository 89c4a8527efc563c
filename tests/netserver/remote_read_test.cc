// Snapshots and report files read through the network: a remote session
// reads what a local one reads, for the Administrator and for a user kept
// out of a folder, refusals included; a large file arrives in pieces; a
// reading its sink stops leaves the session free for the next request; an
// answer cut short or unlike its file's line fails the reading.
#include <httplib.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "common/test_platform.h"
#include "platform/content_digest.h"
#include "reportserver/admin/repository_views.h"
#include "reportserver/store/local_store_session.h"
#include "tests/netserver/net_server_fixture.h"

namespace korva_net_test {
namespace {

namespace wire = korva::wire;
using korva::StoreStatus;

// What a report file's reading handed out; it says stop after stopAfter
// writes (never when 0).
struct CollectedFile : korva::ReportFileSink {
  korva::StoredFile file;
  std::string bytes;
  int writes = 0;
  int stopAfter = 0;

  bool begin(const korva::StoredFile& f) override {
    file = f;
    return true;
  }
  bool write(const void* data, size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
    return ++writes != stopAfter;
  }
};

std::string sha256(const std::string& bytes) {
  korva::Sha256Digest digest;
  digest.update(bytes.data(), bytes.size());
  return digest.finishHex();
}

class RemoteReadTest : public NetServerTest {
 protected:
  void SetUp() override {
    NetServerTest::SetUp();
    if (HasFatalFailure()) return;
    korva_test::setEnvironmentVariable("KORVA_SERVER_CA", cert());
  }
  void TearDown() override {
    korva_test::unsetEnvironmentVariable("KORVA_SERVER_CA");
    NetServerTest::TearDown();
  }

  std::string served() const { return "127.0.0.1:" + std::to_string(server_->port()); }

  korva::StoreSessionPtr logOn(const std::string& aps, const std::string& user,
                               const std::string& password) {
    korva::StoreSessionPtr session;
    const StoreStatus s = korva::logOnToStore({user, password, aps, "secEnterprise"}, &session);
    EXPECT_TRUE(s.ok()) << s.description;
    return session;
  }

  // Finance (Alice may view it) with the report Big (a file of 3 MiB), and
  // Hidden (NoAccess for Alice) with the report Secret; the ids by title.
  std::map<std::string, int32_t> fill() {
    korva_test_common::TempDir files;
    std::string big(3 * 1024 * 1024 + 5, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 251);
    std::map<std::string, int32_t> ids;
    korva::StoreSessionPtr admin = logOn("localhost", "Administrator", "secret");
    if (!admin) return ids;
    const auto& facts = admin->facts();
    auto add = [&](korva::ObjectChange change) {
      std::vector<korva::ObjectRecord> stored;
      const StoreStatus s = admin->commit({change}, INT64_MAX, &stored);
      EXPECT_TRUE(s.ok()) << s.description;
      if (s.ok()) ids[*change.pending.title] = stored[0].id;
    };
    const korva::PluginInfo& folder = pluginOf(facts, korva::PluginKind::Folder);
    const korva::PluginInfo& report = pluginOf(facts, korva::PluginKind::Report);
    add(newObject(pluginOf(facts, korva::PluginKind::User), "Alice", 0));
    korva::ObjectChange finance = newObject(folder, "Finance", 0);
    finance.pending.rights = {{ids["Alice"], 2}};
    add(finance);
    korva::ObjectChange hidden = newObject(folder, "Hidden", 0);
    hidden.pending.rights = {{ids["Alice"], 1}};
    add(hidden);
    add(newObject(report, "Big", ids["Finance"], files.write("big.rpt", big)));
    add(newObject(report, "Secret", ids["Hidden"], files.write("secret.rpt", "secret")));
    return ids;
  }
};

TEST_F(RemoteReadTest, SnapshotsAndFilesReadThroughTheNetworkAreTheLocalOnes) {
  std::map<std::string, int32_t> ids = fill();
  ids["(none)"] = 999;
  const std::vector<std::pair<std::string, std::string>> users = {{"Administrator", "secret"},
                                                                  {"Alice", ""}};
  std::vector<size_t> seen;
  std::vector<std::string> expectedLog;
  for (const auto& [user, password] : users) {
    const std::string peer = "127.0.0.1 \"" + user + "\" ";
    expectedLog.push_back(peer + "logon ok");
    expectedLog.push_back(peer + "snapshot ok");
    SCOPED_TRACE(user);
    korva::StoreSessionPtr local = logOn("localhost", user, password);
    korva::StoreSessionPtr remote = logOn(served(), user, password);
    ASSERT_TRUE(local && remote);
    korva::RepositorySnapshot mine, theirs;
    ASSERT_TRUE(local->snapshot(&mine).ok());
    const StoreStatus read = remote->snapshot(&theirs);
    ASSERT_TRUE(read.ok()) << read.description;
    EXPECT_EQ(korva::dumpRepository(theirs), korva::dumpRepository(mine));
    seen.push_back(theirs.objects.size());

    for (const auto& [title, id] : ids) {
      SCOPED_TRACE(title);
      CollectedFile here, there;
      const StoreStatus expected = local->readReportFile(id, here);
      const StoreStatus got = remote->readReportFile(id, there);
      EXPECT_EQ(got.code, expected.code);
      EXPECT_EQ(got.description, expected.description);
      EXPECT_EQ(there.bytes, here.bytes);
      EXPECT_EQ(there.file.name, here.file.name);
      EXPECT_EQ(there.file.sha256, here.file.sha256);
      if (title == "(none)" || (title == "Secret" && user == "Alice")) {
        EXPECT_EQ(got.description, "There is no report " + std::to_string(id) + " with a file.");
      }
      if (title == "Big") {
        EXPECT_EQ(there.bytes.size(), size_t{3 * 1024 * 1024 + 5});
        EXPECT_GT(there.writes, 3);  // handed on as it came
      }
      expectedLog.push_back(peer + "download " +
                            (expected.ok()
                                 ? "ok"
                                 : "200 " + std::string(wire::statusCodeName(expected.code)) +
                                       ": " + expected.description));
    }
    expectedLog.push_back(peer + "logoff ok");
  }
  EXPECT_EQ(seen, (std::vector<size_t>{4, 2}));  // Alice sees neither Hidden nor Secret
  EXPECT_EQ(logLines(), expectedLog);
}

TEST_F(RemoteReadTest, AStoppedDownloadLeavesTheSessionFree) {
  const int32_t big = fill()["Big"];
  korva::StoreSessionPtr remote = logOn(served(), "Administrator", "secret");
  ASSERT_TRUE(remote);
  CollectedFile stopped;
  stopped.stopAfter = 1;
  const StoreStatus read = remote->readReportFile(big, stopped);
  EXPECT_EQ(read.description,
            "The file of report " + std::to_string(big) + " could not be handed on.");
  korva::RepositorySnapshot s;
  EXPECT_TRUE(remote->snapshot(&s).ok());  // the download's lease went
  CollectedFile whole;
  EXPECT_TRUE(remote->readReportFile(big, whole).ok());
  EXPECT_EQ(sha256(whole.bytes), whole.file.sha256);
}

// A server of its own that answers a logon, then a download with the line
// and bytes of the case, ending the answer or breaking it off.
TEST_F(RemoteReadTest, AnAnswerCutShortOrUnlikeItsLineFailsTheDownload) {
  struct Case {
    std::string line, bytes;
    bool ends;
    std::string description;
  };
  httplib::SSLServer fake(cert().c_str(), key().c_str());
  const int port = fake.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  const std::string aps = "127.0.0.1:" + std::to_string(port);
  const std::string brokeOff = "The report server " + aps + " broke off the connection.";
  const std::string malformed = "The report server's answer is malformed: ";
  const std::vector<Case> cases = {
      {wire::downloadFileLine({"a", 10, sha256("0123456789")}), "01234", false, brokeOff},
      {wire::downloadFileLine({"a", 10, sha256("0123456789")}), "01234", true, brokeOff},
      {"{\"file\":", "", true, brokeOff},
      {wire::downloadFileLine({"a", 3, sha256("abc")}), "abd", true,
       malformed + "the file's bytes do not match its SHA-256."},
      {wire::downloadFileLine({"a", 3, sha256("abc")}), "abcd", true,
       malformed + "the file has more bytes than its size."},
      {"{\"file\":{}}\n", "", true, malformed + "file.name is missing."},
  };
  std::atomic<const Case*> current{nullptr};
  fake.Post(wire::kLogonPath, [](const httplib::Request&, httplib::Response& res) {
    res.set_content(wire::logonAnswerBody("t", {"x", 7, "Administrator", true, {}}),
                    wire::kJsonContentType);
  });
  fake.Post(wire::kLogoffPath, [](const httplib::Request&, httplib::Response& res) {
    res.set_content(wire::emptyAnswerBody(), wire::kJsonContentType);
  });
  fake.Post(wire::kDownloadPath, [&current](const httplib::Request&, httplib::Response& res) {
    const Case c = *current.load();
    res.set_chunked_content_provider(wire::kFileContentType, [c](size_t, httplib::DataSink& sink) {
      sink.write(c.line.data(), c.line.size());
      if (!c.bytes.empty()) sink.write(c.bytes.data(), c.bytes.size());
      if (c.ends) sink.done();
      return c.ends;
    });
  });
  std::thread serving([&fake] { fake.listen_after_bind(); });
  korva::StoreSessionPtr remote = logOn(aps, "Administrator", "");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line + c.bytes);
    current = &c;
    CollectedFile file;
    const StoreStatus read = remote ? remote->readReportFile(1, file) : StoreStatus();
    EXPECT_EQ(read.code, StoreStatus::Code::Failed);
    EXPECT_EQ(read.description, c.description);
  }
  remote.reset();
  fake.stop();
  serving.join();
}

}  // namespace
}  // namespace korva_net_test
