// Where the running code lives: the full path of the loaded module that
// contains an address, and the system's directory for temporary files.
//
// Thread-safety: safe on any thread.
#ifndef KORVA_PLATFORM_MODULE_H_
#define KORVA_PLATFORM_MODULE_H_

#include <string>

namespace korva {

// Full path of the executable or shared library holding address; "" when
// it cannot be found.
std::string modulePathOf(const void* address);
// The system's directory for temporary files, always ending with the
// separator, at most 260 characters: on POSIX $TMPDIR when it names a
// directory, else "/tmp/"; on Windows what GetTempPathA answers.
std::string temporaryDirectory();

}  // namespace korva

#endif  // KORVA_PLATFORM_MODULE_H_
