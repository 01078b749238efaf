// Start-up of RidideDuvure: the toolkit of this build, the main window, and its event loop until
// the window closes.
#include <cstdio>
#include <memory>
#include <string>

#include "app/file_maint.h"
#include "ui/toolkit.h"

int main() {
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
