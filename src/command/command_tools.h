// What the Backup and Restore commands and the chart-file search take from the program around
// them: the toolkit for boxes and for letting window messages run, the archive component, the
// status line and the progress bar when there is a window to show them in, and the one token that
// says the run is to stop. Nothing else of the window reaches a command.
#pragma once

#include <optional>
#include <string>

#include "base/stop_token.h"
#include "base/text.h"
#include "command/run_report.h"
#include "ui/form.h"
#include "ui/toolkit.h"

namespace zip {
class TZip;
}

namespace command {

// What every archive comment begins with; the text after it names the folder backed up.
inline constexpr char kBackupCommentPrefix[] = "Vardek Backup of ";
inline constexpr char kChartArchiveName[] = "ChartBackup.zip";
inline constexpr char kUserDataArchiveName[] = "RUDadoze.zev";

struct Tools {
  ui::Toolkit& toolkit;
  zip::TZip& zip;
  // Asked for by Exit and by the window closing: a command tests it after every point where
  // window messages ran, and ends without starting its next step.
  base::StopToken stop;
  ui::Label* status = nullptr;     // the status line, when there is a window
  ui::ProgressBar* bar = nullptr;  // the progress bar, when there is a window

  bool Stopped() const { return stop.Requested(); }
  void LetMessagesRun() const { toolkit.ProcessMessages(); }
  void Status(const std::string& text) const {
    if (status) status->SetCaption(text);
  }
  void Progress(int percent) const {
    if (bar) bar->SetPosition(percent);
  }
  // A box with the text and an OK button, titled with the application's title.
  void Tell(const std::string& text) const {
    toolkit.MessageBox(text, toolkit.ApplicationTitle(), ui::kMbOk);
  }
};

// How a command's run ended.
enum class Outcome {
  kFinished,  // it went to its end (what it left out is in its report)
  kFailed,    // it ended early, and the user has been told why
  kDeclined,  // the user answered No, or there was nothing to do
  kStopped,   // Exit was clicked, or the window closed, or the progress window's Cancel
};

// What a run did: how it ended, what it left out (told to the user at its end when anything was),
// and the lists it worked on, which the window keeps for the next command.
struct Result {
  Outcome outcome = Outcome::kFailed;
  RunReport report;
  // The folders searched and the files found, or the files and patterns handed to the archive
  // component last; none when the run did not get as far as making them.
  std::optional<base::StringList> folders;
  std::optional<base::StringList> files;
};

}  // namespace command
