// CSISocket over the platform's net service. The start-up failure lines go to
// the support library's internal log, which writes only while tracing.
#include "support/socket.h"

#include <string>

#include "platform/net.h"
#include "support/diagnostics.h"

namespace {

void traceLine(int line, const char* text) {
  if (SDiagnostics::isTracingOn(0, __FILE__)) SDiagnostics::trace(__FILE__, line, text);
}

}  // namespace

bool CSISocket::startup() {
  korva::NetService& net = korva::netService();
  if (net.startup(2, 0) == 0) return true;
  traceLine(__LINE__, "Couldn't initialize winsocks using Version 2");
  if (net.startup(1, 1) == 0) return true;
  traceLine(__LINE__, "Couldn't initialize winsocks using Version 1.1");
  return false;
}

void CSISocket::cleanup() {
  korva::NetService& net = korva::netService();
  // Bounded, so that a layer that keeps refusing cannot hang the caller.
  for (int tries = 0; tries < kMaxCleanupTries; ++tries) {
    int error = net.cleanup();
    if (error == 0 || error == korva::kNetErrorNotInitialised) return;
    if (error == korva::kNetErrorInProgress) net.cancelBlockingCall();
  }
}

int CSISocket::getOfficialHostName(const SAnsiString& name, SAnsiString* result) {
  std::string official;
  if (!korva::officialHostName(name.getBuffer(), &official)) return -1;
  if (result != nullptr) *result = official.c_str();
  return 0;
}
