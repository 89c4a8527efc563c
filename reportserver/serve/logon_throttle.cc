// The logon throttle.
#include "reportserver/serve/logon_throttle.h"

#include <algorithm>
#include <utility>

namespace korva {

LogonThrottle::LogonThrottle(ServeClock clock) : clock_(std::move(clock)) {}

std::chrono::steady_clock::time_point LogonThrottle::now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

std::chrono::milliseconds LogonThrottle::delayFor(const std::string& user) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = accounts_.find(user);
  if (it == accounts_.end() || now() - it->second.last > kForgetAfter) {
    return std::chrono::milliseconds(0);
  }
  const int count = it->second.count;
  if (count < kFreeFailures) return std::chrono::milliseconds(0);
  std::chrono::milliseconds delay = kFirstDelay;
  for (int i = kFreeFailures; i < count && delay < kMaxDelay; ++i) delay *= 2;
  return std::min(delay, kMaxDelay);
}

void LogonThrottle::failed(const std::string& user) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto t = now();
  auto it = accounts_.find(user);
  if (it == accounts_.end() && accounts_.size() >= kMaxAccounts) {
    auto oldest = std::min_element(
        accounts_.begin(), accounts_.end(),
        [](const auto& a, const auto& b) { return a.second.last < b.second.last; });
    accounts_.erase(oldest);
  }
  Failures& f = accounts_[user];
  if (t - f.last > kForgetAfter) f.count = 0;
  ++f.count;
  f.last = t;
}

void LogonThrottle::succeeded(const std::string& user) {
  std::lock_guard<std::mutex> lock(mutex_);
  accounts_.erase(user);
}

}  // namespace korva
