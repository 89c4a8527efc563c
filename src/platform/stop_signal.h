// The signals that ask a server process to stop (SIGINT, SIGTERM), and a
// peer that goes away while the process writes to it: while a StopSignal
// lives, a stop signal no longer ends the process but wakes wait(), and a
// broken connection fails the write (EPIPE) instead of raising SIGPIPE.
//
// POSIX only (the network server is): the handlers write the signal's number
// into a pipe that wait() reads; cancel() writes into it too. The handlers
// and dispositions found are put back when the StopSignal goes.
//
// Thread-safety: one StopSignal per process at a time; make it before the
// threads that serve start. wait() on one thread; cancel() on any.
// Ownership: owns the pipe.
#ifndef KORVA_PLATFORM_STOP_SIGNAL_H_
#define KORVA_PLATFORM_STOP_SIGNAL_H_

#include <memory>
#include <string>

namespace korva {

class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // Whether the handlers are in place; *error says why not.
  bool installed(std::string* error) const;

  // Waits until a stop signal arrives or cancel() is called: the signal's
  // name ("SIGTERM", "SIGINT"), or "" after cancel().
  std::string wait();

  // Wakes wait() without a signal.
  void cancel();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace korva

#endif  // KORVA_PLATFORM_STOP_SIGNAL_H_
