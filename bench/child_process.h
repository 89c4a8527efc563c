// Runs programs as child processes and measures them: wall time, processor
// time and peak resident memory, from wait4's resource usage of that child
// alone; while a child runs, its processor time and peak memory so far are
// read from /proc (for a server that runs across several measured steps).
//
// Thread-safety: call from one thread at a time (it forks).
// Ownership: a ChildProcess owns its process until it is waited for; one
// still running when the object goes is killed and waited for.
#ifndef KORVA_BENCH_CHILD_PROCESS_H_
#define KORVA_BENCH_CHILD_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

struct ChildResult {
  int exitCode = -1;  // -1 when it did not exit normally
  double wallSeconds = 0;
  double userSeconds = 0;
  double systemSeconds = 0;
  long peakRssKiB = 0;
};

// How a child is started. Standard output and error go to outputPath when
// it is not empty (appended), else are inherited; with pipeOutput, standard
// output is a pipe that readLine() reads instead. environment entries are
// "NAME=VALUE" (set) or "NAME" (removed) over this process's environment.
struct ChildSetup {
  std::string outputPath;
  std::vector<std::string> environment;
  bool pipeOutput = false;
};

class ChildProcess {
 public:
  // argv[0] is the program's path. Throws std::runtime_error when it cannot
  // fork.
  ChildProcess(const std::vector<std::string>& argv, const ChildSetup& setup);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // The next line of the piped standard output, without its line end;
  // false at its end.
  bool readLine(std::string* line);
  void signal(int number);
  // Waits for the end; wall time counts from the start.
  ChildResult wait();

  // While it runs (0 once it was waited for): user + system time of all its
  // threads, from /proc/PID/stat (in clock ticks: 10 ms steps), and its peak
  // resident memory, VmHWM of /proc/PID/status.
  double processorSecondsSoFar() const;
  long peakRssKiBSoFar() const;

 private:
  pid_t pid_ = -1;
  std::FILE* output_ = nullptr;
  std::chrono::steady_clock::time_point start_;
};

// Starts the program and waits for it.
ChildResult runChild(const std::vector<std::string>& argv, const std::string& outputPath,
                     const std::vector<std::string>& environment = {});

// The path of the running program.
std::string selfPath();

}  // namespace bench

#endif  // KORVA_BENCH_CHILD_PROCESS_H_
