#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/posix/drive_map.h"
#include "support/host_entries.h"

namespace test_support {

std::string HostPathOf(const std::string& path) {
  const size_t split = path.find_last_of('\\');
  std::string folder;
  if (split == std::string::npos || !platform::posix::ToHostPath(path.substr(0, split), &folder)) {
    return std::string();
  }
  return folder + "/" + path.substr(split + 1);
}

HostEntry HostEntry::Fifo(const std::string& path) {
  const std::string host = HostPathOf(path);
  return HostEntry(!host.empty() && mkfifo(host.c_str(), 0644) == 0 ? host : std::string());
}

HostEntry HostEntry::Socket(const std::string& path) {
  const std::string host = HostPathOf(path);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (host.empty() || host.size() >= sizeof address.sun_path) return HostEntry(std::string());
  std::memcpy(address.sun_path, host.c_str(), host.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return HostEntry(std::string());
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return HostEntry(bound ? host : std::string());
}

HostEntry HostEntry::Link(const std::string& path, const std::string& target) {
  const std::string host = HostPathOf(path);
  return HostEntry(!host.empty() && symlink(target.c_str(), host.c_str()) == 0 ? host
                                                                               : std::string());
}

void HostEntry::OpenAsWriter() const {
  const int fd = open(host_.c_str(), O_RDWR | O_NONBLOCK);
  if (fd >= 0) close(fd);
}

bool HostEntry::IsFifo() const {
  struct stat st;
  return !host_.empty() && stat(host_.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

HostEntry::~HostEntry() {
  if (!host_.empty()) unlink(host_.c_str());
}

}  // namespace test_support
