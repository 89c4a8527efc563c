// What a network server of one APS is told: which repository it serves,
// where it keeps uploads, its limits, and (for tests) its clock and how a
// slowed-down logon waits.
//
// Thread-safety: a plain value, read by every request's thread once the
// server runs.
#ifndef KORVA_REPORTSERVER_SERVE_SERVE_OPTIONS_H_
#define KORVA_REPORTSERVER_SERVE_SERVE_OPTIONS_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "reportserver/wire/wire_protocol.h"

namespace korva {

using ServeClock = std::function<std::chrono::steady_clock::time_point()>;

struct ServeOptions {
  std::string apsName;   // the repository of the server home it serves
  std::string spoolDir;  // where uploads wait for their commit (made, emptied)

  size_t maxRequestBytes = wire::kMaxRequestBody;
  uint64_t maxUploadBytes = wire::kDefaultMaxUpload;
  std::chrono::steady_clock::duration sessionIdleLimit = std::chrono::minutes(30);
  // Each session holds the repository open (a few file descriptors).
  size_t maxSessions = 250;
  size_t threads = 32;  // requests served at once (a kept-alive connection holds one)

  // The time; steady_clock::now when empty.
  ServeClock clock;
  // How a logon that is slowed down waits before its password is checked;
  // when empty it waits that long or until the server stops.
  std::function<void(std::chrono::milliseconds)> pause;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_SERVE_OPTIONS_H_
