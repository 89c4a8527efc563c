// The programs' process settings on Windows: the character type locale of
// the user's ANSI code page (the engine converts names with it, as the
// product's own programs do), and nothing for broken pipes: a write to a pipe
// whose reader went away fails with an error there and ends no process.
//
// Thread-safety: setlocale changes process-wide state; call from main before
// any other thread exists. Ownership: none.
#include <clocale>

#include "platform/console_program.h"

namespace korva {

void setProgramLocale() { std::setlocale(LC_CTYPE, ""); }

void ignoreBrokenPipes() {}

}  // namespace korva
