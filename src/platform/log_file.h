// Opening the action log's file without letting anyone else aim it. Logs are
// often written to a shared temporary directory under a predictable name
// ("publish.log" in /tmp), where another user can plant something at that
// name before the run. So the open:
//   - never follows a symbolic link at the last component of the path (a
//     link planted there could point at any file the run may write);
//   - in a shared directory (writable by everyone, or sticky) refuses a file
//     that belongs to another user, and a regular file with more than one
//     link (a hard link to a file elsewhere), and truncates nothing it refuses;
//   - never blocks: a named pipe without a reader is refused at once;
//   - creates a missing file (permissions as the process's umask leaves them)
//     and truncates an accepted regular file, so a run starts a fresh log.
// Directories on the way may be links; only the last component is checked.
// A refused path is answered with its reason; the action log then writes to
// standard output, as it does for any log file that cannot be opened.
//
// Thread-safety: safe on any thread; no state.
// Ownership: the stream answered belongs to the caller, who closes it.
#ifndef KORVA_PLATFORM_LOG_FILE_H_
#define KORVA_PLATFORM_LOG_FILE_H_

#include <cstdio>

namespace korva {

// 0 with *out set to a stream open for writing, or the C error number with
// *out null: ELOOP for a symbolic link, EPERM for another user's file in a
// shared directory, EMLINK for a hard-linked file there, ENXIO for a named
// pipe without a reader, or the error of the failed system call.
int openLogFile(const char* path, std::FILE** out);

}  // namespace korva

#endif  // KORVA_PLATFORM_LOG_FILE_H_
