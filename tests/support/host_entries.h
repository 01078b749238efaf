// What only the Linux file system holds and no Windows call makes: FIFOs, sockets and symbolic
// links, for the tests of what the program must not read or must not walk twice. Linux only.
#pragma once

#include <string>

namespace test_support {

// The host path where a Windows path would be, its folder resolved and its last element as given:
// what a Linux user would type for it.
std::string HostPathOf(const std::string& path);

// One such entry at a Windows path, removed again when the object goes: before the folder that
// holds it, since removing a tree follows links to folders.
class HostEntry {
 public:
  static HostEntry Fifo(const std::string& path);
  // A bound Unix-domain socket, left behind as a name once its descriptor is closed.
  static HostEntry Socket(const std::string& path);
  // target is given to symlink(2) as it stands: a host path, absolute or relative to the link.
  static HostEntry Link(const std::string& path, const std::string& target);

  HostEntry(HostEntry&& other) noexcept : host_(std::move(other.host_)) { other.host_.clear(); }
  HostEntry(const HostEntry&) = delete;
  HostEntry& operator=(const HostEntry&) = delete;
  ~HostEntry();

  // False when it could not be made.
  bool made() const { return !host_.empty(); }
  const std::string& host() const { return host_; }

  // A FIFO opened for writing and closed again, without waiting: a reader that waits for a writer
  // goes on.
  void OpenAsWriter() const;
  // True while the entry is a FIFO still, not replaced or removed.
  bool IsFifo() const;

 private:
  explicit HostEntry(std::string host) : host_(std::move(host)) {}
  std::string host_;
};

}  // namespace test_support
