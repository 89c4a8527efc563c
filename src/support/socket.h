// CSISocket: process-wide start-up and clean-up of the socket layer and the
// official name of a host, over the platform's net service.
//
// Thread-safety: nothing is locked; the caller serialises startup() and
// cleanup() (the process framework does, with its own lock and use count).
#ifndef KORVA_SUPPORT_SOCKET_H_
#define KORVA_SUPPORT_SOCKET_H_

#include "support/sstring.h"

class CSISocket {
 public:
  // Most stops cleanup() tries before it gives up.
  static constexpr int kMaxCleanupTries = 10;

  // Starts the layer with version 2.0, else 1.1; false when neither starts.
  // Each refusal writes a line to the internal log while it traces.
  static bool startup();
  // Stops the layer; a stop refused because a blocking call is in progress is
  // retried after cancelling it, one refused because the layer is not started
  // ends the attempts, any other refusal is retried, up to kMaxCleanupTries
  // stops in all.
  static void cleanup();
  // 0 and result set to the resolver's official name of the host; -1 and
  // result unchanged when the name cannot be resolved.
  static int getOfficialHostName(const SAnsiString& name, SAnsiString* result);
};

#endif  // KORVA_SUPPORT_SOCKET_H_
