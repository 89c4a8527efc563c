// StaticMutex: constant-initialised, and a lock that excludes other threads.
#include "platform/static_mutex.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

// Constant-initialised: usable before any dynamic initialiser has run.
korva::StaticMutex gLock;

bool tryFromAnotherThread() {
  bool locked = false;
  std::thread other([&] {
    locked = gLock.try_lock();
    if (locked) gLock.unlock();
  });
  other.join();
  return locked;
}

TEST(StaticMutexTest, ExcludesOtherThreadsWhileHeld) {
  EXPECT_TRUE(tryFromAnotherThread());
  {
    std::lock_guard<korva::StaticMutex> held(gLock);
    EXPECT_FALSE(tryFromAnotherThread());
  }
  EXPECT_TRUE(tryFromAnotherThread());
}

}  // namespace
