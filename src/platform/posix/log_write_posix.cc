// Writing the action log's lines on POSIX without a broken pipe ending the
// process. A write to a pipe or FIFO whose reader went away fails with EPIPE
// and also raises SIGPIPE, whose default action ends the process. The engine
// must not change the disposition of a host that loads it (an installer may
// rely on its own), so the signal is held off for the calling thread only,
// for the length of one write:
//   - SIGPIPE is blocked on this thread (pthread_sigmask) around the write
//     and the flush; a write raises it for the writing thread, so it stays
//     pending instead of acting;
//   - a SIGPIPE that became pending during the write is the write's own and
//     is taken with sigtimedwait (zero timeout) before the old mask returns;
//     one that was pending before is left for the host, as it found it;
//   - the write's error is then cleared, so that the next line tries again.
// A host that ignores SIGPIPE sees nothing raised and nothing consumed.
// MSG_NOSIGNAL would do the same for sockets only; the log may be a pipe, a
// FIFO, a terminal or a file.
//
// Thread-safety: touches only the calling thread's signal mask; the caller
// serialises the writes to one stream. Ownership: the stream stays the
// caller's.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <ctime>

#include "platform/log_file.h"

namespace korva {
namespace {

bool brokenPipePending() {
  sigset_t pending;
  return ::sigpending(&pending) == 0 && ::sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

void writeLogText(std::FILE* stream, const char* text, std::size_t length) {
  if (!stream || !text) return;
  sigset_t brokenPipe;
  sigset_t previous;
  ::sigemptyset(&brokenPipe);
  ::sigaddset(&brokenPipe, SIGPIPE);
  const bool held = ::pthread_sigmask(SIG_BLOCK, &brokenPipe, &previous) == 0;
  const bool pendingBefore = held && brokenPipePending();

  // Write errors are ignored: the log must never stop a run.
  std::fwrite(text, 1, length, stream);
  std::fflush(stream);
  if (std::ferror(stream)) std::clearerr(stream);

  if (held) {
    if (!pendingBefore && brokenPipePending()) {
      const struct timespec now = {0, 0};
      while (::sigtimedwait(&brokenPipe, nullptr, &now) < 0 && errno == EINTR) {
      }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
}

}  // namespace korva
