// What korvapush and korvadrop set up in their own process before they call
// the engine: the character type locale the engine's multibyte conversions
// use, and a broken pipe that fails a write instead of ending the process.
// Only the programs call these; the engine library never changes a locale or
// a signal disposition of the process that loads it (an installer, say).
//
// Thread-safety: call once, at the start of main, before any other thread.
// Ownership: no state of its own; the settings belong to the process.
#ifndef KORVA_PLATFORM_CONSOLE_PROGRAM_H_
#define KORVA_PLATFORM_CONSOLE_PROGRAM_H_

namespace korva {

// POSIX: takes the character type locale from the environment, as the user
// set it. Where the platform's plain locale would result ("C" or "POSIX", as
// cron jobs, containers and installers often run), the platform's UTF-8
// locale is used instead when the system has it. Collation, numbers and
// times stay "C". Windows: nothing; multibyte text there is the process's
// code page's, in the programs as in an installer that loads the library.
void setProgramLocale();

// A write to a pipe or FIFO whose reader went away fails with an error the
// caller sees, instead of ending the program.
void ignoreBrokenPipes();

}  // namespace korva

#endif  // KORVA_PLATFORM_CONSOLE_PROGRAM_H_
