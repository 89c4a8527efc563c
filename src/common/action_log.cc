// The action log's single destination and its line format.
#include "common/action_log.h"

#include <cstdarg>
#include <mutex>
#include <vector>

#include "common/status.h"
#include "platform/log_file.h"
#include "platform/visible_text.h"
#include "support/log_stamp.h"

namespace {

std::mutex& logMutex() {
  static std::mutex m;
  return m;
}

FILE*& logStream() {
  static FILE* stream = nullptr;
  return stream;
}

const char* suffixFor(int status) {
  if (status == kStatusOutOfMemory) return " Out of memory.";
  if (status == kStatusSystem) return " System function failed.";
  return "";
}

void writeLine(const char* suffix, const char* format, va_list args) {
  std::string message;
  va_list copy;
  va_copy(copy, args);
  char small[512];
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
    message.assign(small, n);
  } else if (n >= 0) {
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    message.assign(big.data(), n);
  }
  std::string line = ActionLog::timeStamp(std::time(nullptr));
  line += " - ";
  // Names come from directories, files and the instructions: a line end or
  // an escape sequence in one must neither split the line nor reach a
  // terminal as it is.
  line += korva::visibleText(message, korva::TextEncoding::kProcess, korva::EscapeStyle::kLog);
  line += suffix;
  line += '\n';
  std::lock_guard<std::mutex> lock(logMutex());
  FILE* out = logStream() ? logStream() : stdout;
  // Write errors are ignored, and a reader that went away (a pipe, a FIFO)
  // fails the write without ending the process: the log never stops a run.
  korva::writeLogText(out, line.data(), line.size());
}

}  // namespace

void ActionLog::open(const char* path) {
  std::lock_guard<std::mutex> lock(logMutex());
  if (logStream()) {
    std::fclose(logStream());
    logStream() = nullptr;
  }
  // The file is opened so that a link or another user's file planted at its
  // name is refused; lines then go to standard output.
  if (path && *path) korva::openLogFile(path, &logStream());
}

void ActionLog::logLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLine("", format, args);
  va_end(args);
}

void ActionLog::logStatusLine(int status, const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLine(suffixFor(status), format, args);
  va_end(args);
}

std::string ActionLog::timeStamp(std::time_t when) { return logTimeStamp(when); }
