// One backup at a time into a folder: a lock that any run into the folder takes first, from this
// process or any other, the window's or one the system's scheduler started.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/cause.h"

namespace platform {

class FolderLock {
 public:
  // Takes the lock of folder (an existing folder, with its trailing backslash), waiting up to
  // wait_ms for a run that holds it, and calling wait (if given) about every 100 ms meanwhile;
  // wait returns false to stop waiting. Null when the lock could not be had: *held tells whether
  // another run holds it (rather than the folder refusing the lock file), and LastCause why not.
  static std::unique_ptr<FolderLock> Take(const std::string& folder, int wait_ms, bool* held,
                                          const std::function<bool()>& wait = nullptr);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  FolderLock(intptr_t handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  intptr_t handle_;
  std::string path_;
};

// The name of the lock's file in the folder: a work file's, so that nothing else is ever taken for
// it and a killed run's is removed.
std::string FolderLockName();

}  // namespace platform
