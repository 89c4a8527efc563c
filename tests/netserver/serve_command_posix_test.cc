// `korvaserver serve` as a program: it makes its certificate once (the key
// readable by its owner only) and reuses it, prints the fingerprint and then
// the one line that says where it listens, answers over TLS for the names in
// its certificate, logs each request, and stops cleanly with exit code 0 on
// SIGTERM and on SIGINT.
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/test_platform.h"
#include "platform/host_names.h"
#include "tests/netserver/net_server_fixture.h"

namespace korva_net_test {
namespace {

// korvaserver started with its standard output on a pipe the test reads and
// its standard error in a file.
class ServeChild {
 public:
  ServeChild(const std::vector<std::string>& args, const std::string& errFile) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const std::string program =
        std::string(KORVA_BIN_DIR) + "/" + korva_test::programFileName("korvaserver");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], 1);
      std::FILE* err = std::fopen(errFile.c_str(), "w");
      if (err) ::dup2(::fileno(err), 2);
      ::close(fds[0]);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    out_ = ::fdopen(fds[0], "r");
  }
  ~ServeChild() {
    if (out_) std::fclose(out_);
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  // The next line of its standard output, without the line end.
  std::string readLine() {
    char buffer[1024];
    if (!out_ || !std::fgets(buffer, sizeof buffer, out_)) return "<no line>";
    std::string line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }

  // Sends the signal and answers the exit code (-1 when it did not exit).
  int stop(int signal) {
    ::kill(pid_, signal);
    int status = 0;
    waited_ = ::waitpid(pid_, &status, 0) == pid_;
    return waited_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  std::FILE* out_ = nullptr;
  bool waited_ = false;
};

class ServeCommandTest : public korva_test_common::ServerHomeTest {
 protected:
  ServeCommandTest() : ServerHomeTest("korva-serve-") {}
  void SetUp() override {
    ServerHomeTest::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(korva::initRepository("localhost", "secret", &error)) << error;
  }
};

TEST_F(ServeCommandTest, ServesUntilAStopSignalWithTheCertificateItMadeOnce) {
  const std::string certPath = (home_ / "localhost.crt").string();
  const std::string keyPath = (home_ / "localhost.key").string();
  const std::string errPath = (home_ / "stderr.txt").string();
  std::string madeLine = "Made a self-signed certificate for ";
  for (const std::string& n : korva::localHostNames()) madeLine += n + ", ";
  madeLine += "localhost, 127.0.0.1, ::1: " + certPath;

  std::string firstFingerprint;
  for (int signal : {SIGTERM, SIGINT}) {
    const char* name = signal == SIGTERM ? "SIGTERM" : "SIGINT";
    ServeChild child({"serve", "-apsname", "LocalHost", "-listen", "127.0.0.1:0"}, errPath);
    const std::string fingerprintLine = child.readLine();
    const std::string servingLine = child.readLine();
    std::string fingerprint, error;
    ASSERT_TRUE(korva::checkCertificate(certPath, keyPath, &fingerprint, &error)) << error;
    EXPECT_EQ(fingerprintLine, "Certificate SHA-256 fingerprint: " + fingerprint);
    const std::string serving = "Serving APS localhost on 127.0.0.1:";
    ASSERT_EQ(servingLine.compare(0, serving.size(), serving), 0) << servingLine;
    const int port = std::atoi(servingLine.c_str() + serving.size());
    ASSERT_GT(port, 0) << servingLine;

    httplib::SSLClient client("localhost", port);
    client.set_ca_cert_path(certPath.c_str());
    client.enable_server_certificate_verification(true);
    httplib::Result r =
        client.Post(korva::wire::kLogonPath,
                    korva::wire::logonRequestBody({"Administrator", "secret", "", "secEnterprise"}),
                    korva::wire::kJsonContentType);
    ASSERT_TRUE(r) << httplib::to_string(r.error());
    EXPECT_EQ(r->status, 200);
    client.stop();

    EXPECT_EQ(child.stop(signal), 0) << name;
    std::vector<std::string> expected = {
        "127.0.0.1 \"Administrator\" logon ok",
        std::string("Stopping on ") + name + ": the requests under way finish first.", "Stopped."};
    if (firstFingerprint.empty()) {
      expected.insert(expected.begin(), madeLine);
      firstFingerprint = fingerprint;
    }
    EXPECT_EQ(korva_test_common::maskedFileLines(errPath), expected);
    EXPECT_EQ(fingerprint, firstFingerprint);  // made once, then kept
  }
  namespace fs = std::filesystem;
  EXPECT_EQ(fs::status(keyPath).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace korva_net_test
