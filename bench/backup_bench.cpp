// Times the program's own Backup command (search and chart archive, through the window on the
// headless toolkit) over a folder of the host, and the part of it spent reading the new archive
// back before it replaces the last one.
//   backup_bench SOURCE DESTINATION [rounds]   host folders; prints the median of the rounds
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/file_maint.h"
#include "ui/headless/headless_toolkit.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string OnDriveC(std::string host) {
  for (char& c : host) {
    if (c == '/') c = '\\';
  }
  return "C:" + host;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: backup_bench SOURCE DESTINATION [rounds]\n");
    return 2;
  }
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  setenv("RIDIDEDUVURE_DRIVES", "C:=3|BENCH|/\ntemp=C:\\tmp", 1);
  ui::headless::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  app::TFileMaint window(toolkit);
  window.Form().Show();

  // The check runs while the progress window carries its caption: timed from the first message
  // pump under it to the first one under another caption, or the end of the command.
  Clock::time_point check_start, check_end;
  bool checking = false;
  std::string caption;
  size_t seen = 0;  // entries of the progress log read so far: the log only grows in a round
  toolkit.on_process_messages = [&](int) {
    for (; seen < toolkit.progress_log.size(); ++seen) {
      const std::string& entry = toolkit.progress_log[seen];
      if (entry.rfind("caption:", 0) == 0) caption = entry.substr(8);
    }
    const bool now_checking = caption == "Verifying the backup." && toolkit.progress;
    if (now_checking && !checking) check_start = Clock::now();
    if (!now_checking && checking) check_end = Clock::now();
    checking = now_checking;
  };
  std::vector<double> whole, check;
  for (int round = 0; round < rounds; ++round) {
    toolkit.progress_log.clear();
    seen = 0;
    caption.clear();
    checking = false;
    window.ESource->SetText(OnDriveC(argv[1]));
    window.EDest->SetText(OnDriveC(argv[2]));
    const auto start = Clock::now();
    window.BackupButClick();
    const auto end = Clock::now();
    if (checking) check_end = end;
    if (window.PLabel->Caption() != "Finished.") {
      std::fprintf(stderr, "backup_bench: the backup did not finish\n");
      return 1;
    }
    whole.push_back(std::chrono::duration<double>(end - start).count());
    check.push_back(std::chrono::duration<double>(check_end - check_start).count());
  }
  std::printf("backup %.3f s, of which the check of the new archive %.3f s (%.3f)\n", Median(whole),
              Median(check), Median(check) / Median(whole));
  ui::SetToolkit(nullptr);
  return 0;
}
