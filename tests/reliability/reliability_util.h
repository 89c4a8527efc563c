// Helpers of the reliability tests: programs started in the background (also
// as an unprivileged user), a log file watched as it grows, a work directory
// on fast storage, report trees and instructions, the checks that a
// repository is sound, and `korvaserver dump` with the ids taken out.
//
// Thread-safety: the tests run on one thread; Process forks.
// Ownership: a Process owns its child until wait() reaped it (the destructor
// kills and reaps a child still running); a LogWatcher owns its inotify
// descriptor; a WorkDir removes its tree (common/test_files.h).
#ifndef KORVA_TESTS_RELIABILITY_RELIABILITY_UTIL_H_
#define KORVA_TESTS_RELIABILITY_RELIABILITY_UTIL_H_

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/e2e_util.h"

namespace rel {

namespace fs = std::filesystem;

// Whether this build runs under the address sanitizer (the tests then take
// lighter loads).
bool underSanitizer();

// A fresh directory, on a memory file system when one with room is at hand
// (killing a process is about what the kernel already holds, so the medium
// does not change what is tested, only how long it takes), else under the
// temporary directory.
class WorkDir : public korva_test_common::TempDir {
 public:
  WorkDir();
  bool fast() const { return fast_; }

 private:
  bool fast_;
};

// A program running in the background, its standard output and error going
// to one file.
class Process {
 public:
  struct Options {
    std::vector<std::string> env;  // as e2e::runProgram takes them
    std::string output;            // file for stdout and stderr; "" = /dev/null
    uid_t uid = static_cast<uid_t>(-1);  // run as this user (and its group)
    gid_t gid = static_cast<gid_t>(-1);
  };
  Process(const std::string& program, const std::vector<std::string>& args,
          const Options& options);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  // Reaps the child when it has ended; true while it runs.
  bool running();
  void kill(int signal);
  // Waits for the end: the exit code, or 128 + the signal that ended it.
  int wait();
  // The most memory the ended process held at once, in KiB.
  long maxResidentKb() const { return maxResidentKb_; }

 private:
  void reap(int flags);
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  long maxResidentKb_ = 0;
};

// Counts the complete lines of a file as it grows, waking on the file
// system's change notices rather than on a clock.
class LogWatcher {
 public:
  // The file may not exist yet; it must not be written before the watcher.
  explicit LogWatcher(const fs::path& file);
  ~LogWatcher();
  LogWatcher(const LogWatcher&) = delete;
  LogWatcher& operator=(const LogWatcher&) = delete;

  // Returns once the file holds at least n lines (true) or the process has
  // ended first (false).
  bool waitForLines(int n, Process& process);

 private:
  void readNew();
  fs::path file_;
  int fd_ = -1;
  int64_t offset_ = 0;
  int lines_ = 0;
};

// The unprivileged account tests run programs as when they run as root (the
// permission bits of a tree mean nothing to root); false when there is none.
bool unprivilegedUser(uid_t* uid, gid_t* gid);
// Hands a tree to a user (recursively, links not followed).
void chownTree(const fs::path& top, uid_t uid, gid_t gid);

// A report tree: folders F00.. each with sub-folders S0.., each holding
// R00.rpt..; the content of every file is distinct. Files named in `big`
// (relative paths) get `bigBytes` bytes.
struct TreeShape {
  int folders = 2;
  int subFolders = 2;
  int reports = 3;
  std::vector<std::string> big;
  int64_t bigBytes = 0;
};
void buildTree(const fs::path& top, const TreeShape& shape);
int folderCount(const TreeShape& shape);
int reportCount(const TreeShape& shape);

// What every publish of the tests gives its objects: the instructions
// below set these values, and a sound repository holds each object with
// them (so an object a killed commit left half-made would show).
struct PublishValues {
  std::string folderDescription = "Published folder";
  std::string reportDescription = "Published report";
  std::string reportIcon = "VeltraneReport";
  // users: name -> (password, full name)
  std::map<std::string, std::pair<std::string, std::string>> users = {
      {"alice", {"Alice-Pass-7731", "Alice Reader"}},
      {"bob", {"Bob-Pass-9012", "Bob Controller"}},
  };
};
// Writes the instructions file for these values: users with passwords,
// rights View, folders and reports section defaults.
void writeInstructions(const fs::path& file, const PublishValues& values);

// Everything wrong with the repository at dbPath, one sentence each (empty
// when it is sound): PRAGMA integrity_check and foreign_key_check, parents
// that are not folders, objects without the rows of their kind, twins (same
// kind, title and folder), a report whose stored content does not match its
// recorded size and digest or the source file it came from (under `tree`,
// by its folders' titles), a content that no report holds and that is not
// listed loose, and objects without the values `values` gives.
std::vector<std::string> repositoryProblems(const fs::path& dbPath, const fs::path& tree,
                                            const PublishValues& values);

// What stagings of report contents left in the repository at dbPath, one
// sentence each: contents listed loose, and marks of stagings beside it.
std::vector<std::string> stagingLeftovers(const fs::path& dbPath);

// `korvaserver dump` as sorted lines with every id replaced by the object's
// path of titles (users by name), so that two repositories that hold the
// same things compare equal whatever ids they gave them.
std::vector<std::string> canonicalDump(const e2e::Json& dump);

// The lines of a log without time stamps (e2e::maskedLines of the file).
std::vector<std::string> logLines(const fs::path& file);

// The nine counters of a publish summary (users added, updated, skipped,
// folders..., reports...), or an empty vector when the summary is missing.
std::vector<int> publishCounters(const std::vector<std::string>& lines);

}  // namespace rel

#endif  // KORVA_TESTS_RELIABILITY_RELIABILITY_UTIL_H_
