// The tests' platform answers on POSIX; runChild over posix_spawn, the
// environment through setenv/unsetenv.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "common/test_platform.h"

extern char** environ;

namespace korva_test {

std::string programFileName(const std::string& name) { return name; }

bool exitStatusIsWhole() { return false; }

bool programsSearchLibDirectory() { return true; }

bool programsPreferUtf8Locale() { return true; }

bool cLocaleRefusesBytesAbove127() { return true; }

bool hasUtf8CtypeLocale() { return true; }

bool pathsMayExceed260Characters() { return true; }

bool xmlReaderIsExpat() { return true; }

bool runsUnderWine() { return false; }

std::string programSpelling(const std::string& utf8) { return utf8; }

std::vector<std::string> currentEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  return env;
}

bool environmentNamesIgnoreCase() { return false; }

void setEnvironmentVariable(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

void unsetEnvironmentVariable(const std::string& name) { ::unsetenv(name.c_str()); }

const char* temporaryDirectoryVariable() { return "TMPDIR"; }

int processId() { return static_cast<int>(::getpid()); }

ChildResult runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment, const std::string& outFile,
                     const std::string& errFile, const std::string& cwd,
                     const std::string& inFile) {
  std::vector<std::string> env = environment;
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!inFile.empty()) posix_spawn_file_actions_addopen(&actions, 0, inFile.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = 0;
  ChildResult r;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    r.error = std::strerror(spawned);
    return r;
  }
  r.started = true;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) {
    r.error = "waitpid failed";
    return r;
  }
  r.exited = WIFEXITED(status);
  if (r.exited) {
    r.exitCode = WEXITSTATUS(status);
  } else {
    r.error = "the program did not exit normally";
  }
  return r;
}

}  // namespace korva_test
