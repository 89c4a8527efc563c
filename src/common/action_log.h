// The action log: one process-wide destination (a file, or standard output)
// that every part of the engine writes its lines to. A line is the 24-character
// local time stamp, " - ", then the formatted message, every control
// character in it written as a visible escape ("\n", "\x1b", "\u009b";
// platform/visible_text.h); each line is written whole and flushed at once,
// so a killed run leaves every line it wrote.
// Write errors are ignored: a reader of the log that went away (a pipe, a
// FIFO) fails the writes and the run goes on to its end (platform/log_file.h).
//
// Thread-safety: lines are written under a lock, but the destination is
// process-wide: two runs in one process at the same time share it.
// Ownership: the log owns its open stream until the next open() or exit.
#ifndef KORVA_COMMON_ACTION_LOG_H_
#define KORVA_COMMON_ACTION_LOG_H_

#include <cstdio>
#include <ctime>
#include <string>

class ActionLog {
 public:
  // Closes the current stream; opens path for writing (truncating) when it is
  // non-null and not empty; what another user may have planted in a shared
  // directory (a link at the name, another user's file, a hard link, a link
  // into a directory of ours) is refused (platform/log_file.h). When that
  // fails, or without a path, later lines go to standard output.
  static void open(const char* path);
  // Writes the time stamp, the printf-formatted message (control characters
  // escaped) and "\n".
  static void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
  // The same, ending with " Out of memory." for 203 and " System function
  // failed." for 204.
  static void logStatusLine(int status, const char* format, ...)
      __attribute__((format(printf, 2, 3)));

  // The 24-character stamp, e.g. "Tue Jan 14 10:02:33 2003", with fixed
  // English day and month names.
  static std::string timeStamp(std::time_t when);
};


#endif  // KORVA_COMMON_ACTION_LOG_H_
