// Start-up of RidideDuvure: the words of its command line (a backup or a check of one without a
// window), else the toolkit of this build, the main window, and its event loop until it closes.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/file_maint.h"
#include "app/unattended_run.h"
#include "platform/platform.h"
#include "rd_version.h"
#include "ui/toolkit.h"

int main(int argc, char** argv) {
#if defined(_WIN32)
  constexpr bool kSlashOptions = true;
#else
  constexpr bool kSlashOptions = false;
#endif
  const app::CommandLine line =
      app::ReadCommandLine(std::vector<std::string>(argv + 1, argv + argc), kSlashOptions);
  switch (line.action) {
    case app::CommandLine::Action::kWindow:
      break;
    case app::CommandLine::Action::kVersion:
      platform::WriteToConsole(std::string("RidideDuvure ") + RD_VERSION_TEXT + "\n");
      return app::kExitDone;
    case app::CommandLine::Action::kHelp:
      platform::WriteToConsole(app::kUsage);
      return app::kExitDone;
    case app::CommandLine::Action::kWrong:
      platform::WriteToConsole("ridideduvure: " + line.error + "\n\n" + app::kUsage);
      return app::kExitWrongWords;
    case app::CommandLine::Action::kBackup:
      return app::RunBackupFromCommandLine(line);
    case app::CommandLine::Action::kVerify:
      return app::RunVerifyFromCommandLine(line);
  }
  std::string error;
  std::unique_ptr<ui::Toolkit> toolkit = ui::CreateNativeToolkit("RidideDuvure", &error);
  if (!toolkit) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  ui::SetToolkit(toolkit.get());
  int exit_code = 0;
  {
    app::TFileMaint window(*toolkit);
    exit_code = toolkit->Run(window.Form());
  }
  ui::SetToolkit(nullptr);
  return exit_code;
}
