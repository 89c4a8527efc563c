// The programs' process settings on Windows: no locale at all. The engine's
// multibyte text is that of the process's code page whatever locale is in
// force, and the programs share the C runtime with the library they load: a
// locale chosen here would make a console run read names otherwise than an
// installer that loads the same library. Nothing for broken pipes either: a
// write to a pipe whose reader went away fails with an error there and ends
// no process.
//
// Thread-safety: no state. Ownership: none.
#include "platform/console_program.h"

namespace korva {

void setProgramLocale() {}

void ignoreBrokenPipes() {}

}  // namespace korva
