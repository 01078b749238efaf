// What a lock guards, said so that clang checks it (-Wthread-safety, on in the clang builds): a
// member or a variable GUARDED_BY a Mutex is read and written only with it held, and a function
// that REQUIRES it is called only so. Other compilers read the words and check nothing.
#pragma once

#include <mutex>

#if defined(__clang__)
#define RD_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define RD_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) RD_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY RD_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) RD_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) RD_THREAD_ANNOTATION(pt_guarded_by(x))
#define REQUIRES(...) RD_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) RD_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) RD_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) RD_THREAD_ANNOTATION(release_capability(__VA_ARGS__))

namespace base {

// std::mutex, as a capability the analysis knows.
class CAPABILITY("mutex") Mutex {
 public:
  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

// Holds a Mutex for its scope; Unlock and Lock let it go for a stretch in between.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() RELEASE() {
    if (held_) mutex_.unlock();
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void Unlock() RELEASE() {
    mutex_.unlock();
    held_ = false;
  }
  void Lock() ACQUIRE() {
    mutex_.lock();
    held_ = true;
  }

 private:
  Mutex& mutex_;
  bool held_ = true;
};

}  // namespace base
