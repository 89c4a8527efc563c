// Runs one program as a child process and measures it: wall time, processor
// time and peak resident memory, from wait4's resource usage of that child
// alone.
//
// Thread-safety: call from one thread at a time (it forks).
#ifndef KORVA_BENCH_CHILD_PROCESS_H_
#define KORVA_BENCH_CHILD_PROCESS_H_

#include <string>
#include <vector>

namespace bench {

struct ChildResult {
  int exitCode = -1;      // -1 when it did not exit normally
  double wallSeconds = 0;
  double userSeconds = 0;
  double systemSeconds = 0;
  long peakRssKiB = 0;
};

// argv[0] is the program's path. Standard output and error go to
// outputPath when it is not empty (appended), else are inherited.
ChildResult runChild(const std::vector<std::string>& argv, const std::string& outputPath);

// The path of the running program.
std::string selfPath();

}  // namespace bench

#endif  // KORVA_BENCH_CHILD_PROCESS_H_
