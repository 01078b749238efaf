// Loads a library the way the program does (platform::LoadLibrary with a bare .dll name) and
// looks up one of its entry points: exit code 0 when both are found, 1 when not, 2 on bad use.
// The library search depends on where the program file lies, so the tests copy this program
// into folder layouts of their own and run it there.
#include <cstdio>

#include "platform/platform.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: library_probe Library.dll EntryPoint\n");
    return 2;
  }
  const platform::LoadedLibrary library(platform::LoadLibrary(argv[1]));
  return library && platform::GetProcAddress(library.get(), argv[2]) ? 0 : 1;
}
