// fork, exec, wait4 and /proc.
#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace bench {

namespace {

// In the child, between fork and exec.
void applyEnvironment(const std::vector<std::string>& environment) {
  for (const std::string& e : environment) {
    const size_t eq = e.find('=');
    if (eq == std::string::npos) {
      unsetenv(e.c_str());
    } else {
      setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
    }
  }
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ChildSetup& setup) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int fds[2] = {-1, -1};
  if (setup.pipeOutput && pipe(fds) != 0) throw std::runtime_error("pipe failed");
  std::fflush(stdout);
  std::fflush(stderr);
  start_ = std::chrono::steady_clock::now();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    if (!setup.outputPath.empty()) {
      int fd = open(setup.outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        close(fd);
      }
    }
    if (setup.pipeOutput) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
    }
    applyEnvironment(setup.environment);
    execv(args[0], args.data());
    std::perror(args[0]);
    _exit(127);
  }
  if (setup.pipeOutput) {
    close(fds[1]);
    output_ = fdopen(fds[0], "r");
  }
}

ChildProcess::~ChildProcess() {
  if (output_) std::fclose(output_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::readLine(std::string* line) {
  line->clear();
  if (!output_) return false;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, output_)) {
    *line += buffer;
    if (!line->empty() && line->back() == '\n') {
      line->pop_back();
      return true;
    }
  }
  return !line->empty();
}

void ChildProcess::signal(int number) {
  if (pid_ > 0) kill(pid_, number);
}

ChildResult ChildProcess::wait() {
  int status = 0;
  struct rusage usage {};
  if (pid_ <= 0 || wait4(pid_, &status, 0, &usage) != pid_) {
    throw std::runtime_error("wait4 failed");
  }
  pid_ = -1;
  const auto end = std::chrono::steady_clock::now();
  ChildResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.wallSeconds = std::chrono::duration<double>(end - start_).count();
  r.userSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6;
  r.systemSeconds = usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  r.peakRssKiB = usage.ru_maxrss;
  return r;
}

double ChildProcess::processorSecondsSoFar() const {
  if (pid_ <= 0) return 0;
  std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The name in parentheses may hold spaces; the state follows its end.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::atoll(field.c_str());
    if (i == 15) stime = std::atoll(field.c_str());
  }
  return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

long ChildProcess::peakRssKiBSoFar() const {
  if (pid_ <= 0) return 0;
  std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

ChildResult runChild(const std::vector<std::string>& argv, const std::string& outputPath,
                     const std::vector<std::string>& environment) {
  ChildSetup setup;
  setup.outputPath = outputPath;
  setup.environment = environment;
  return ChildProcess(argv, setup).wait();
}

std::string selfPath() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) throw std::runtime_error("cannot find the running program");
  return std::string(path, static_cast<size_t>(n));
}

}  // namespace bench
