// The support library's own diagnostics: precondition checks and an internal
// trace log. Both hang off one process-wide logger that exists only after
// start(); nothing in this system starts it, so in every run checks answer
// false and nothing is written. A failed check never stops the program.
//
// Thread-safety: every query and write takes the logger's lock; a query made
// from inside a write answers false instead of recursing.
#ifndef KORVA_SUPPORT_DIAGNOSTICS_H_
#define KORVA_SUPPORT_DIAGNOSTICS_H_

#include <string>
#include <vector>

class SDiagnostics {
 public:
  // Starts (or counts up) the logger; the words are those of the parameter
  // list ("noassert", "trace", "reqTrace", "fileLogFilter=a.cc,b.cc").
  static bool start(const std::vector<std::string>& words);
  static void stop();
  static bool isStarted();

  static bool isCheckingOn(const char* unit);
  static bool isTracingOn(int level, const char* unit);
  // "assert failure: (%1:%2). (%3 : %4)." to every sink.
  static void reportAssertion(const char* unit, int line, const char* condition,
                              const char* message = nullptr);
  static void trace(const char* unit, int line, const char* text);

  // For tests: what the sinks received since start.
  static std::vector<std::string> takeReports();
};

// A precondition: reported only while checking is on; execution goes on.
#define SI_CHECK(cond)                                                   \
  do {                                                                   \
    if (SDiagnostics::isCheckingOn(__FILE__) && !(cond))                 \
      SDiagnostics::reportAssertion(__FILE__, __LINE__, #cond, nullptr); \
  } while (0)
#define SI_CHECK_MSG(cond, msg)                                      \
  do {                                                               \
    if (SDiagnostics::isCheckingOn(__FILE__) && !(cond))             \
      SDiagnostics::reportAssertion(__FILE__, __LINE__, #cond, msg); \
  } while (0)

#endif  // KORVA_SUPPORT_DIAGNOSTICS_H_
