// The programs' process settings on POSIX: LC_CTYPE from the environment,
// "C.UTF-8" in place of "C" or "POSIX" (the name modern runtimes coerce the
// plain locale to), and SIGPIPE ignored.
//
// Thread-safety: setlocale and signal change process-wide state; call from
// main before any other thread exists. Ownership: none.
#include "platform/console_program.h"

#include <signal.h>

#include <clocale>
#include <cstring>

namespace korva {

void setProgramLocale() {
  const char* chosen = std::setlocale(LC_CTYPE, "");
  if (chosen && (std::strcmp(chosen, "C") == 0 || std::strcmp(chosen, "POSIX") == 0)) {
    // When the system lacks it, the call fails and leaves "C" in force.
    std::setlocale(LC_CTYPE, "C.UTF-8");
  }
}

void ignoreBrokenPipes() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace korva
