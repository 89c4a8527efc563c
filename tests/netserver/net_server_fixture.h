// Fixture of the network server's tests: a fresh server home with the
// repository "localhost" (the Administrator's password "secret"), a network
// server of it in this process on a free port of 127.0.0.1 with small limits
// (64 KiB requests, 256 KiB uploads), a clock the test moves, the pauses of
// slowed-down logons recorded instead of waited, and its log in a file. The
// client is cpp-httplib's SSLClient, trusting the certificate made once for
// the suite (for localhost and 127.0.0.1). Broken pipes are ignored, as
// korvaserver ignores them.
//
// Thread-safety: tests run one at a time; the server's threads read the
// clock and record pauses under the fixture's lock.
// Ownership: the fixture owns the server, its home and its log.
#ifndef KORVA_TESTS_NETSERVER_NET_SERVER_FIXTURE_H_
#define KORVA_TESTS_NETSERVER_NET_SERVER_FIXTURE_H_

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/log_lines.h"
#include "common/server_home_test.h"
#include "common/test_files.h"
#include "reportserver/admin/repository_admin.h"
#include "reportserver/serve/network_server.h"
#include "reportserver/serve/server_certificate.h"
#include "reportserver/wire/wire_messages.h"
#include "reportserver/wire/wire_protocol.h"

namespace korva_net_test {

constexpr size_t kMaxRequest = 64 * 1024;
constexpr uint64_t kMaxUpload = 256 * 1024;

// The session's plugin of that kind.
inline const korva::PluginInfo& pluginOf(const korva::SessionFacts& facts, korva::PluginKind kind) {
  for (const korva::PluginInfo& p : facts.plugins) {
    if (p.kind == kind) return p;
  }
  static const korva::PluginInfo none;
  return none;
}

// A new object of the plugin in the parent (with the report file at file).
inline korva::ObjectChange newObject(const korva::PluginInfo& plugin, const std::string& title,
                                     int32_t parent, const std::string& file = "") {
  korva::ObjectChange c;
  c.plugin = plugin;
  c.stored.typeId = plugin.typeId;
  c.isNew = true;
  c.pending.title = title;
  c.pending.parentId = parent;
  if (!file.empty()) c.pending.filePath = file;
  return c;
}

struct Answer {
  int status = 0;  // 0: no answer came
  std::string body;
};

class NetServerTest : public korva_test_common::ServerHomeTest {
 protected:
  NetServerTest() : ServerHomeTest("korva-net-") {}

  static void SetUpTestSuite() {
    // A peer that closes first must fail a write, not end the test program
    // (korvaserver itself ignores the signal the same way).
    ::signal(SIGPIPE, SIG_IGN);
    certDir_ = new korva_test_common::TempDir("korva-net-cert-");
    bool made = false;
    std::string error;
    ASSERT_TRUE(korva::makeCertificateUnlessPresent(cert(), key(), {"localhost", "127.0.0.1"},
                                                    &made, &error))
        << error;
  }
  static void TearDownTestSuite() {
    delete certDir_;
    certDir_ = nullptr;
  }
  static std::string cert() { return certDir_->file("server.crt"); }
  static std::string key() { return certDir_->file("server.key"); }

  void SetUp() override {
    ServerHomeTest::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(korva::initRepository("localhost", "secret", &error)) << error;
    korva::ServeOptions options;
    options.apsName = "localhost";
    options.spoolDir = spoolDir();
    options.maxRequestBytes = kMaxRequest;
    options.maxUploadBytes = kMaxUpload;
    options.clock = [this] {
      std::lock_guard<std::mutex> lock(mutex_);
      return now_;
    };
    options.pause = [this](std::chrono::milliseconds delay) {
      std::lock_guard<std::mutex> lock(mutex_);
      pauses_.push_back(delay.count());
    };
    log_ = std::tmpfile();
    ASSERT_NE(log_, nullptr);
    server_.emplace(options, log_);
    ASSERT_TRUE(server_->start("127.0.0.1", 0, cert(), key(), &error)) << error;
  }

  void TearDown() override {
    server_.reset();
    if (log_) std::fclose(log_);
    ServerHomeTest::TearDown();
  }

  std::string spoolDir() const { return (home_ / "localhost.uploads").string(); }

  void advanceClock(std::chrono::steady_clock::duration d) {
    std::lock_guard<std::mutex> lock(mutex_);
    now_ += d;
  }
  std::vector<long long> pauses() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pauses_;
  }

  // A client that checks the server's certificate and name.
  std::unique_ptr<httplib::SSLClient> client() {
    auto c = std::make_unique<httplib::SSLClient>("127.0.0.1", server_->port());
    c->set_ca_cert_path(cert().c_str());
    c->enable_server_certificate_verification(true);
    return c;
  }

  Answer send(const std::string& method, const std::string& path, const std::string& body,
              const std::string& token = "") {
    httplib::Headers headers;
    const std::string sent = token.empty() ? body : korva::wire::withSessionLine(token, body);
    auto c = client();
    httplib::Result r =
        method == "PUT"   ? c->Put(path.c_str(), headers, sent, "application/octet-stream")
        : method == "GET" ? c->Get(path.c_str(), headers)
                          : c->Post(path.c_str(), headers, sent, "application/json");
    Answer a;
    if (r) {
      a.status = r->status;
      a.body = r->body;
    }
    return a;
  }

  Answer logon(const std::string& user, const std::string& password,
               const std::string& authentication = "secEnterprise") {
    return send("POST", korva::wire::kLogonPath,
                korva::wire::logonRequestBody({user, password, "", authentication}));
  }

  // Logs on as the Administrator; the token and the session's facts.
  std::string adminToken(korva::SessionFacts* facts = nullptr) {
    korva::SessionFacts read;
    std::string token;
    const Answer a = logon("Administrator", "secret");
    EXPECT_TRUE(korva::wire::readLogonAnswer(a.body, &token, &read).ok()) << a.body;
    if (facts) *facts = read;
    return token;
  }

  // The log's lines without their time stamps.
  std::vector<std::string> logLines() {
    std::fflush(log_);
    std::rewind(log_);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, log_)) > 0) text.append(buffer, n);
    std::fseek(log_, 0, SEEK_END);  // the server writes on from there
    return korva_test_common::maskedLines(text);
  }

  std::optional<korva::NetworkServer> server_;

 private:
  static korva_test_common::TempDir* certDir_;
  std::FILE* log_ = nullptr;
  std::mutex mutex_;
  std::chrono::steady_clock::time_point now_;
  std::vector<long long> pauses_;
};

inline korva_test_common::TempDir* NetServerTest::certDir_ = nullptr;

}  // namespace korva_net_test

#endif  // KORVA_TESTS_NETSERVER_NET_SERVER_FIXTURE_H_
