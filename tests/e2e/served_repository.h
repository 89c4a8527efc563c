// `korvaserver serve` of a repository in a server home of its own, for the
// tests that reach it over TLS on the loopback (POSIX only): started on a
// free port (or a given one, to start it again where clients look for it),
// its log (standard error, one line per request) read as it comes so that a
// test can wait for a line, stopped with SIGTERM when it goes or killed.
//
// Thread-safety: used from the test's thread; one thread of its own reads
// the log, under a lock the waiting shares.
// Ownership: owns the server's process (reaped when it goes) and the reading
// thread.
#ifndef KORVA_TESTS_E2E_SERVED_REPOSITORY_H_
#define KORVA_TESTS_E2E_SERVED_REPOSITORY_H_

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_util.h"

namespace e2e {

class ServedRepository {
 public:
  // listen: "127.0.0.1:0" for a free port; env: changes of the server's
  // environment as runProgram takes them.
  ServedRepository(const fs::path& home, const std::string& apsName,
                   const std::string& listen = "127.0.0.1:0",
                   const std::vector<std::string>& env = {}) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    if (::pipe2(err, O_CLOEXEC) != 0) {
      ::close(out[0]);
      ::close(out[1]);
      return;
    }
    std::vector<std::string> changes = {"KORVA_SERVER_HOME=" + home.string()};
    changes.insert(changes.end(), env.begin(), env.end());
    const std::string program = binPath("korvaserver");
    ExecLists lists(program, {"serve", "-apsname", apsName, "-listen", listen}, changes);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      ::execve(lists.argv[0], lists.argv.data(), lists.envp.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    reader_ = std::thread([this, fd = err[0]] { readLog(fd); });
    std::FILE* stream = ::fdopen(out[0], "r");
    char line[512];
    const std::string serving = "Serving APS " + apsName + " on ";
    while (stream && std::fgets(line, sizeof line, stream)) {
      const std::string text = line;
      if (text.compare(0, serving.size(), serving) == 0) {
        aps_ = text.substr(serving.size(), text.find('\n') - serving.size());
        break;
      }
    }
    if (stream) std::fclose(stream);
  }
  ~ServedRepository() {
    end(SIGTERM);
    if (reader_.joinable()) reader_.join();
  }
  ServedRepository(const ServedRepository&) = delete;
  ServedRepository& operator=(const ServedRepository&) = delete;

  // "127.0.0.1:PORT", or "" when the server did not start.
  const std::string& aps() const { return aps_; }

  // Waits until the log holds the line (time stamp masked); false when the
  // server ended without writing it.
  bool waitForLog(const std::string& line) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto found = [&] { return std::find(log_.begin(), log_.end(), line) != log_.end(); };
    changed_.wait(lock, [&] { return found() || logEnded_; });
    return found();
  }
  // The log's lines so far, time stamps masked.
  std::vector<std::string> log() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }

  // Ends the server with the signal and reaps it. A server that holds a
  // request (an injected fault) ends with SIGKILL only.
  void end(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  void readLog(int fd) {
    std::FILE* stream = ::fdopen(fd, "r");
    char line[4096];
    while (stream && std::fgets(line, sizeof line, stream)) {
      const std::vector<std::string> masked = maskedLines(line);
      std::lock_guard<std::mutex> lock(mutex_);
      log_.insert(log_.end(), masked.begin(), masked.end());
      changed_.notify_all();
    }
    if (stream) std::fclose(stream);
    std::lock_guard<std::mutex> lock(mutex_);
    logEnded_ = true;
    changed_.notify_all();
  }

  pid_t pid_ = -1;
  std::string aps_;
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> log_;
  bool logEnded_ = false;
};

}  // namespace e2e

#endif  // KORVA_TESTS_E2E_SERVED_REPOSITORY_H_
