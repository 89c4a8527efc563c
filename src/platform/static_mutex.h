// StaticMutex: a lock that is constant-initialised, for objects that must be
// usable from any static initialiser (the engine's process-wide framework).
// std::mutex is constant-initialised with glibc's threads but not with the
// Windows thread library of mingw-w64; there the lock is a slim
// reader/writer lock (SRWLOCK), held exclusively, whose initial state is all
// zeros. It meets the Lockable requirements, so std::lock_guard takes it.
//
// Thread-safety: what a mutex gives. Not recursive.
// Ownership: nothing to release; the lock may live until the process ends.
#ifndef KORVA_PLATFORM_STATIC_MUTEX_H_
#define KORVA_PLATFORM_STATIC_MUTEX_H_

#if !defined(_WIN32)
#include <mutex>
#endif

namespace korva {

class StaticMutex {
 public:
  constexpr StaticMutex() noexcept = default;
  StaticMutex(const StaticMutex&) = delete;
  StaticMutex& operator=(const StaticMutex&) = delete;

#if defined(_WIN32)
  void lock();
  void unlock();
  bool try_lock();

 private:
  void* state_ = nullptr;  // an SRWLOCK: one pointer, zero when free
#else
  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool try_lock() { return mutex_.try_lock(); }

 private:
  std::mutex mutex_;
#endif
};

}  // namespace korva

#endif  // KORVA_PLATFORM_STATIC_MUTEX_H_
