// The process framework: socket start-up, the local host name, the use count
// and COM on the calling thread.
#include "actions/framework.h"

#include <mutex>

#include "common/status.h"
#include "platform/com.h"
#include "support/socket.h"

namespace {

// Built at load, before anything can run.
CMAFramework theFramework;

SAnsiString& hostName() {
  static SAnsiString name;
  return name;
}

// COM initialisations this thread made through the framework and has not yet
// undone. uninitialize() uninitialises COM only against one of them, so a
// failed initialize() followed by its uninitialize() never takes away a COM
// initialisation that the caller itself made on the thread.
thread_local int tFrameworkComInits = 0;

}  // namespace

CMAFramework::~CMAFramework() = default;

CMAFramework& CMAFramework::instance() { return theFramework; }

const SAnsiString& CMAFramework::localHostName() { return hostName(); }

int CMAFramework::initialize() {
  std::lock_guard<korva::StaticMutex> guard(lock_);
  if (useCount_ == 0) {
    bool started = false;
    try {
      if (!CSISocket::startup()) return kStatusSystem;
      started = true;
      SAnsiString name;
      if (CSISocket::getOfficialHostName("localhost", &name) != 0) {
        // Leave the layer as it was found: the next initialize() starts it again.
        CSISocket::cleanup();
        return kStatusSystem;
      }
      hostName() = name;
    } catch (...) {
      if (started) CSISocket::cleanup();
      return kStatusSystem;
    }
  }
  ++useCount_;
  // S_FALSE (already initialised on this thread) counts as success; every
  // success must be matched by one uninitialisation.
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return kStatusSystem;
  ++tFrameworkComInits;
  return kStatusOk;
}

void CMAFramework::uninitialize() {
  if (tFrameworkComInits > 0) {
    --tFrameworkComInits;
    CoUninitialize();
  }
  std::lock_guard<korva::StaticMutex> guard(lock_);
  if (useCount_ > 0) {
    --useCount_;
    if (useCount_ == 0) CSISocket::cleanup();
  }
}

unsigned short CMAFramework::useCount() const {
  std::lock_guard<korva::StaticMutex> guard(lock_);
  return useCount_;
}
