#include "support/tools.h"

#include <cstdlib>

#include "platform/platform.h"
#if !defined(_WIN32)
#include "platform/posix/drive_map.h"
#endif

namespace test_support {

bool ToolsAvailable() {
#if defined(_WIN32)
  return false;
#else
  return true;
#endif
}

std::string HostQuoted(const std::string& windows_path) {
  std::string host = windows_path;
#if !defined(_WIN32)
  platform::posix::ToHostPath(windows_path, &host);
#endif
  std::string quoted = "'";
  for (char c : host) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int RunTool(const std::string& command, std::string* out) {
  const std::string log = platform::GetTempFileName(platform::GetTempPath(), "log");
  const int status = std::system((command + " > " + HostQuoted(log) + " 2>&1").c_str());
  platform::ReadWholeFile(log, out);
  platform::DeleteFile(log);
  return status;
}

}  // namespace test_support
