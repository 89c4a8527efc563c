// Slows down the guessing of passwords: after kFreeFailures wrong logons of
// one account, each further logon of it waits before its password is
// checked, one second after the third failure and twice as long after each
// one more, at most kMaxDelay. A right password starts the count again; so
// does a quarter of an hour without a failure. The account is the user name
// as the logon gives it. Only so many accounts are remembered; the one whose
// last failure is oldest makes room.
//
// The throttle only says how long; the caller waits, on its own thread and
// holding no lock, so that other requests go on meanwhile.
//
// Thread-safety: every member may be called on any thread.
#ifndef KORVA_REPORTSERVER_SERVE_LOGON_THROTTLE_H_
#define KORVA_REPORTSERVER_SERVE_LOGON_THROTTLE_H_

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

#include "reportserver/serve/serve_options.h"

namespace korva {

class LogonThrottle {
 public:
  static constexpr int kFreeFailures = 3;
  static constexpr std::chrono::milliseconds kFirstDelay{1000};
  static constexpr std::chrono::milliseconds kMaxDelay{30000};
  static constexpr std::chrono::minutes kForgetAfter{15};
  static constexpr size_t kMaxAccounts = 10000;

  explicit LogonThrottle(ServeClock clock);

  // How long the next logon of the account waits.
  std::chrono::milliseconds delayFor(const std::string& user);
  void failed(const std::string& user);
  void succeeded(const std::string& user);

 private:
  struct Failures {
    int count = 0;
    std::chrono::steady_clock::time_point last;
  };

  std::chrono::steady_clock::time_point now() const;

  const ServeClock clock_;
  std::mutex mutex_;
  std::unordered_map<std::string, Failures> accounts_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_LOGON_THROTTLE_H_
