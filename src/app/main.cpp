// Start-up of RidideDuvure: the few words of its command line, else the toolkit of this build, the
// main window, and its event loop until the window closes.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/file_maint.h"
#include "platform/platform.h"
#include "rd_version.h"
#include "ui/toolkit.h"

namespace {

constexpr char kUsage[] =
    "Usage: ridideduvure [--help | --version]\n"
    "\n"
    "Backs up and restores the files of the astrology application Halvane (versions 4 to 9)\n"
    "and the chart files of Ombrel. Without arguments it opens its window.\n"
    "\n"
    "  --help     shows this text\n"
    "  --version  shows the version of the program\n";

// What the command line asks for, answered without a window; nothing when it asks for the window.
// *exit_code is 2 for words the program does not know.
bool AnswerCommandLine(const std::vector<std::string>& words, int* exit_code) {
  if (words.empty()) return false;
  *exit_code = 0;
  if (words.size() == 1 && words[0] == "--version") {
    platform::WriteToConsole(std::string("RidideDuvure ") + RD_VERSION_TEXT + "\n");
  } else if (words.size() == 1 && (words[0] == "--help" || words[0] == "-h" || words[0] == "/?")) {
    platform::WriteToConsole(kUsage);
  } else {
    platform::WriteToConsole("ridideduvure: \"" + words[0] + "\" is not something it knows.\n\n" +
                             kUsage);
    *exit_code = 2;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int exit_code = 0;
  if (AnswerCommandLine(std::vector<std::string>(argv + 1, argv + argc), &exit_code)) {
    return exit_code;
  }
  std::string error;
  std::unique_ptr<ui::Toolkit> toolkit = ui::CreateNativeToolkit("RidideDuvure", &error);
  if (!toolkit) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  ui::SetToolkit(toolkit.get());
  {
    app::TFileMaint window(*toolkit);
    exit_code = toolkit->Run(window.Form());
  }
  ui::SetToolkit(nullptr);
  return exit_code;
}
