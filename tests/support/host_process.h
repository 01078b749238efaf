// What the Linux host does for the tests that no Windows call does: a child process to kill at a
// chosen point, a limit on the size of the files the process writes (as good as a full disk), files
// and folders that refuse access. Linux only, like host_entries.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace test_support {

// A forked child that runs until told where to stop, then waits there to be killed.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { Kill(); }

  // Forks; the child runs body, which calls Reached() at its point. False in the parent when the
  // child ended without reaching it.
  bool Start(const std::function<void(ChildProcess&)>& body);
  // In the child: tells the parent and waits to be killed.
  [[noreturn]] void Reached();
  void Kill();

 private:
  int pid_ = -1;
  int signal_fd_ = -1;
};

// For a forked child: this process may map at most bytes more than it has mapped now, so that a
// run costing more fails there. False when the limit could not be set.
bool LimitAddressSpace(uint64_t bytes);

// While it lives, no file of this process grows beyond bytes: a write past that fails as on a
// full disk (the signal such a write raises is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool set() const { return set_; }

 private:
  uint64_t saved_current_ = 0;
  uint64_t saved_maximum_ = 0;
  void (*saved_handler_)(int) = nullptr;
  bool set_ = false;
};

// The file or folder at a Windows path with these permission bits while this lives (0 takes every
// access from all but root), then as a file or folder of the owner's again.
class AccessMode {
 public:
  AccessMode(const std::string& path, unsigned mode);
  ~AccessMode();
  AccessMode(const AccessMode&) = delete;
  AccessMode& operator=(const AccessMode&) = delete;
  bool made() const { return !host_.empty(); }

 private:
  std::string host_;
};

// What a body run by RunWithinMemory did.
struct BoundedRun {
  bool finished = false;     // the body returned, within the memory and the time given
  uint64_t peak_growth = 0;  // the most its resident size grew beyond what it was at the start
  std::string output;        // what the body returned
};

// Runs body in a forked child whose resident size may grow by at most max_growth bytes, and which
// may run for at most seconds; a child that goes beyond either is killed. For a test that a piece
// of work stays bounded whatever the shape of its input: a fault that makes it grow without end
// fails quickly instead of taking the machine's memory.
BoundedRun RunWithinMemory(const std::function<std::string()>& body, uint64_t max_growth,
                           unsigned seconds);

// Permissions do not bind the super-user.
bool RunningAsRoot();

// Permissions do not bind the super-user, and CI runs as root: a test of them calls this first.
// Run by root, it runs the same test again in a child, the test program started for that one test
// as the user "nobody", checks that the child ran it and passed, and returns false: the caller
// returns. In that child, or in a process that is not root's, it returns true: the caller goes
// on with the test's body, where permissions bind.
bool RunUnprivileged();

}  // namespace test_support
