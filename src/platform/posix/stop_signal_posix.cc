// Stop signals on POSIX through a pipe: the handler of SIGINT and SIGTERM
// writes the signal's number (one byte) into it, cancel() a zero; wait()
// reads one byte. SIGPIPE is ignored while the StopSignal lives. The old
// dispositions come back at the end.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/stop_signal.h"

namespace korva {

namespace {

// The pipe's write end, for the handler (a handler can reach no object).
std::atomic<int> gWriteEnd{-1};

void onStopSignal(int signal) {
  const int savedErrno = errno;
  const int fd = gWriteEnd.load();
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    ssize_t ignored = ::write(fd, &byte, 1);
    (void)ignored;
  }
  errno = savedErrno;
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM};

}  // namespace

struct StopSignal::State {
  int fds[2] = {-1, -1};
  std::string error;
  struct sigaction previous[2];
  struct sigaction previousPipe;
  bool handled = false;
};

StopSignal::StopSignal() : state_(new State) {
  State& s = *state_;
  if (::pipe(s.fds) != 0) {
    s.error = std::string("cannot make the signal pipe: ") + std::strerror(errno);
    return;
  }
  for (int fd : s.fds) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  // A full pipe must not block the handler.
  ::fcntl(s.fds[1], F_SETFL, ::fcntl(s.fds[1], F_GETFL) | O_NONBLOCK);
  gWriteEnd.store(s.fds[1]);

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < 2; ++i) ::sigaction(kStopSignals[i], &action, &s.previous[i]);
  struct sigaction ignore;
  std::memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, &s.previousPipe);
  s.handled = true;
}

StopSignal::~StopSignal() {
  State& s = *state_;
  if (s.handled) {
    for (size_t i = 0; i < 2; ++i) ::sigaction(kStopSignals[i], &s.previous[i], nullptr);
    ::sigaction(SIGPIPE, &s.previousPipe, nullptr);
  }
  gWriteEnd.store(-1);
  for (int fd : s.fds) {
    if (fd >= 0) ::close(fd);
  }
}

bool StopSignal::installed(std::string* error) const {
  if (error) *error = state_->error;
  return state_->handled;
}

std::string StopSignal::wait() {
  if (!state_->handled) return "";
  unsigned char byte = 0;
  for (;;) {
    const ssize_t n = ::read(state_->fds[0], &byte, 1);
    if (n == 1) break;
    if (n < 0 && errno == EINTR) continue;
    return "";
  }
  switch (byte) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "";
  }
}

void StopSignal::cancel() {
  if (state_->fds[1] < 0) return;
  const unsigned char byte = 0;
  ssize_t ignored = ::write(state_->fds[1], &byte, 1);
  (void)ignored;
}

}  // namespace korva
