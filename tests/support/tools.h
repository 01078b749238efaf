// Running the zip tools of other authors from a test (natively on Linux only).
#pragma once

#include <string>

namespace test_support {

// Runs a command of the host's shell, returning its exit status; its output goes to *out.
int RunTool(const std::string& command, std::string* out);
// The host path of a Windows path, quoted for the shell.
std::string HostQuoted(const std::string& windows_path);
// True where the other zip tools can be run (natively on Linux).
bool ToolsAvailable();

}  // namespace test_support
