// `korvaserver serve` of this build as a child process, for the remote
// cases: it serves the APS of a server home of its own on a free loopback
// port, and is measured across the steps it serves (processor time of all
// its threads, peak resident memory) while it runs.
//
// Thread-safety: one thread.
// Ownership: owns the server process; it is stopped (SIGTERM) when the
// object goes, unless stop() was called.
#ifndef KORVA_BENCH_SERVED_APS_H_
#define KORVA_BENCH_SERVED_APS_H_

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

namespace bench {

class ServedAps {
 public:
  // Makes the repository aps in home (korvaserver init) and serves it; its
  // log goes to logPath. Throws std::runtime_error when it does not start.
  ServedAps(const std::string& binDir, const std::string& home, const std::string& aps,
            const std::string& logPath);
  ~ServedAps();
  ServedAps(const ServedAps&) = delete;
  ServedAps& operator=(const ServedAps&) = delete;

  // What a client names as its APS: "127.0.0.1:PORT".
  const std::string& address() const { return address_; }
  // The environment of a client: a server home of its own (clientHome) and
  // the served certificate as a trusted one.
  std::vector<std::string> clientEnvironment(const std::string& clientHome) const;

  double processorSeconds() const { return process_->processorSecondsSoFar(); }
  long peakRssKiB() const { return process_->peakRssKiBSoFar(); }
  // Stops the server and waits for it (its whole run's figures).
  ChildResult stop();

 private:
  std::string certificate_;
  std::string address_;
  std::unique_ptr<ChildProcess> process_;
  bool stopped_ = false;
};

}  // namespace bench

#endif  // KORVA_BENCH_SERVED_APS_H_
