// CMAFramework: prepares the process for a run. The first initialize() starts
// the socket layer and resolves "localhost" into the process-wide
// localHostName() (the APS name a run uses when none is given); every
// initialize() also initialises COM on the calling thread. uninitialize()
// undoes one initialize(); the last one shuts the socket layer down.
//
// Thread-safety: initialize() and uninitialize() hold the framework's lock
// while they touch the use count and the socket layer. localHostName() is
// written only under that lock, by the first initialize(), and read by runs
// after it; runs in one process are not meant to overlap.
// Ownership: one process-wide instance, instance(), lives from library load
// to unload. Other instances (tests) share the socket layer and the host name.
#ifndef KORVA_ACTIONS_FRAMEWORK_H_
#define KORVA_ACTIONS_FRAMEWORK_H_

#include <cstdint>

#include "platform/static_mutex.h"
#include "support/sstring.h"

class CMAFramework {
 public:
  // Constant-initialised, so instance() is usable from any static initialiser.
  constexpr CMAFramework() noexcept {}
  virtual ~CMAFramework();
  CMAFramework(const CMAFramework&) = delete;
  CMAFramework& operator=(const CMAFramework&) = delete;

  // The process-wide framework.
  static CMAFramework& instance();
  // The official name the resolver gave for "localhost" at the last start of
  // the socket layer; empty before the first successful initialize().
  static const SAnsiString& localHostName();

  // 200; 204 when the socket layer does not start, "localhost" cannot be
  // resolved (the use count is then unchanged) or COM cannot be initialised
  // on this thread (the use count is then raised: call uninitialize()).
  int initialize();
  // Undoes one initialize(); call it after every initialize(), whatever it
  // answered.
  void uninitialize();

  unsigned short useCount() const;

 private:
  mutable korva::StaticMutex lock_;
  uint16_t useCount_ = 0;
};

#endif  // KORVA_ACTIONS_FRAMEWORK_H_
