// The action log's file: opening it without letting anyone else aim it, and
// writing to it without a vanished reader stopping the run.
//
// Logs are often written to a shared temporary directory under a predictable
// name ("publish.log" in /tmp), where another user can plant something at
// that name, or at a directory name on the way, before the run. The rules
// are applied to the directory the log really lands in, after every link on
// the way was followed. That directory counts as shared when it is writable
// by everyone or sticky, when it is owned by another user (not root), or
// when a link owned by another user (not root) led to it. Then:
//   - a link that another user owns leads the log nowhere that user could not
//     write already: into a directory that is neither writable by everyone
//     nor that user's own, nothing is opened, created or truncated;
//   - in a shared directory the log's own name is never followed when it is
//     a symbolic link (a link planted there could point at any file the run
//     may write); a file that belongs to another user, and a regular file
//     with more than one link (a hard link to a file elsewhere), are refused
//     and nothing refused is truncated;
//   - in a directory that only the running user (or root) can write, a link
//     at the log's name is followed as any program would, and these rules
//     apply again to the directory it leads to;
//   - the open never blocks: a named pipe without a reader is refused at
//     once; one with a reader is taken (writes to it may wait for the reader,
//     as with any pipe);
//   - a missing file is created (permissions as the process's umask leaves
//     them) and an accepted regular file truncated, so a run starts a fresh
//     log.
// A refused path is answered with its reason; the action log then writes to
// standard output, as it does for any log file that cannot be opened.
//
// Thread-safety: safe on any thread; no state.
// Ownership: the stream answered belongs to the caller, who closes it.
#ifndef KORVA_PLATFORM_LOG_FILE_H_
#define KORVA_PLATFORM_LOG_FILE_H_

#include <cstddef>
#include <cstdio>

namespace korva {

// 0 with *out set to a stream open for writing, or the C error number with
// *out null: ELOOP for a symbolic link at the name in a shared directory (or
// too many links on the way), EPERM for another user's file in a shared
// directory or a directory another user's link leads to where that user
// could not write, EMLINK for a hard-linked file in a shared directory,
// ENXIO for a named pipe without a reader, or the error of the failed
// system call.
int openLogFile(const char* path, std::FILE** out);

// Writes the text to the stream and flushes it. Failures are ignored: the
// log must never stop a run. A reader that went away (a pipe or FIFO) fails
// the write without ending the process, whatever the host has done with the
// broken-pipe signal, and the host's handling of that signal is left as it
// was.
void writeLogText(std::FILE* stream, const char* text, std::size_t length);

}  // namespace korva

#endif  // KORVA_PLATFORM_LOG_FILE_H_
