// fork, exec and wait4.
#include "child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace bench {

ChildResult runChild(const std::vector<std::string>& argv, const std::string& outputPath) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (!outputPath.empty()) {
      int fd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        close(fd);
      }
    }
    execv(args[0], args.data());
    std::perror(args[0]);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) throw std::runtime_error("wait4 failed");
  const auto end = std::chrono::steady_clock::now();
  ChildResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.wallSeconds = std::chrono::duration<double>(end - start).count();
  r.userSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6;
  r.systemSeconds = usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  r.peakRssKiB = usage.ru_maxrss;
  return r;
}

std::string selfPath() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) throw std::runtime_error("cannot find the running program");
  return std::string(path, static_cast<size_t>(n));
}

}  // namespace bench
