// Starts a program of this build as a child, the way a script or the system's scheduler starts
// it, and waits for it: its exit status and what it wrote to its console.
#pragma once

#include <string>
#include <vector>

namespace test_support {

// The path of a program in the folder of the running test program ("ridideduvure" gets ".exe"
// on Windows).
std::string ProgramBesideThisOne(const std::string& name);

// Runs program with the arguments, each passed as one word; *output gets its standard output and
// error. The exit status, or -1 when it could not be started or did not exit by itself.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               std::string* output);

}  // namespace test_support
