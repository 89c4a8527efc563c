// The internal logger behind SDiagnostics. Absent until started.
#include "support/diagnostics.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string_view>

namespace {

struct Logger {
  int uses = 0;
  bool checking = true;
  bool trace0 = false;
  bool trace1 = false;
  bool filtered = false;
  std::set<std::string, std::less<>> filter;  // looked up without allocating
  std::vector<std::string> reports;
};

std::mutex& lock() {
  static std::mutex m;
  return m;
}
std::unique_ptr<Logger>& logger() {
  static std::unique_ptr<Logger> l;
  return l;
}
thread_local bool tInside = false;

const char* baseName(const char* unit) {
  const char* slash = std::strrchr(unit ? unit : "", '/');
  return slash ? slash + 1 : (unit ? unit : "");
}

bool passesFilter(const Logger& l, const char* unit, bool byBaseName) {
  if (!l.filtered) return true;
  std::string_view name = byBaseName ? baseName(unit) : (unit ? unit : "");
  return l.filter.find(name) != l.filter.end();
}

// Marks this thread as inside a write until the scope ends, on every path.
class InsideWrite {
 public:
  InsideWrite() { tInside = true; }
  ~InsideWrite() { tInside = false; }
  InsideWrite(const InsideWrite&) = delete;
  InsideWrite& operator=(const InsideWrite&) = delete;
};

void write(Logger& l, const std::string& text) {
  l.reports.push_back(text);
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace

bool SDiagnostics::start(const std::vector<std::string>& words) {
  std::lock_guard<std::mutex> g(lock());
  auto& l = logger();
  if (!l) {
    // Built aside and installed whole: running out of memory part-way leaves
    // the logger absent, as if never started.
    std::unique_ptr<Logger> fresh(new (std::nothrow) Logger());
    if (!fresh) return false;
    try {
      for (const std::string& w : words) {
        if (w == "noassert") fresh->checking = false;
        if (w == "trace") fresh->trace0 = true;
        if (w == "reqTrace") fresh->trace1 = true;
        if (w.rfind("fileLogFilter=", 0) == 0) {
          fresh->filtered = true;
          std::string list = w.substr(14);
          size_t pos = 0;
          while (pos <= list.size()) {
            size_t comma = list.find(',', pos);
            if (comma == std::string::npos) comma = list.size();
            if (comma > pos) fresh->filter.insert(list.substr(pos, comma - pos));
            pos = comma + 1;
          }
        }
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
    l = std::move(fresh);
  }
  ++l->uses;
  return true;
}

void SDiagnostics::stop() {
  std::lock_guard<std::mutex> g(lock());
  auto& l = logger();
  if (l && --l->uses == 0) l.reset();
}

bool SDiagnostics::isStarted() {
  std::lock_guard<std::mutex> g(lock());
  return logger() != nullptr;
}

bool SDiagnostics::isCheckingOn(const char* unit) {
  if (tInside) return false;
  std::lock_guard<std::mutex> g(lock());
  const auto& l = logger();
  return l && l->checking && passesFilter(*l, unit, false);
}

bool SDiagnostics::isTracingOn(int level, const char* unit) {
  if (tInside) return false;
  std::lock_guard<std::mutex> g(lock());
  const auto& l = logger();
  if (!l) return false;
  bool on = level == 0 ? l->trace0 : level == 1 ? l->trace1 : false;
  return on && passesFilter(*l, unit, true);
}

void SDiagnostics::reportAssertion(const char* unit, int line, const char* condition,
                                   const char* message) {
  if (tInside) return;
  std::lock_guard<std::mutex> g(lock());
  auto& l = logger();
  if (!l) return;
  InsideWrite inside;
  try {
    char head[64];
    std::snprintf(head, sizeof head, "%d", line);
    write(*l, std::string("assert failure: (") + (unit ? unit : "") + ":" + head + "). (" +
                  (condition ? condition : "false") + " : " + (message ? message : "no message") +
                  ").");
  } catch (const std::bad_alloc&) {
    // A report never stops the program: without memory it is dropped.
  }
}

void SDiagnostics::trace(const char* unit, int line, const char* text) {
  if (tInside) return;
  std::lock_guard<std::mutex> g(lock());
  auto& l = logger();
  if (!l || !l->trace0) return;
  InsideWrite inside;
  try {
    if (!passesFilter(*l, unit, true)) return;
    std::string out;
    if (unit && line > 0)
      out = std::string("(") + baseName(unit) + ":" + std::to_string(line) + "): ";
    write(*l, out + "trace message: " + (text ? text : ""));
  } catch (const std::bad_alloc&) {
    // Dropped, like every write that cannot be made.
  }
}

std::vector<std::string> SDiagnostics::takeReports() {
  std::lock_guard<std::mutex> g(lock());
  auto& l = logger();
  if (!l) return {};
  std::vector<std::string> out;
  out.swap(l->reports);
  return out;
}
