// The program's command line: nothing opens the window; the words below run a backup or a check
// of one for the system's scheduler, without a window and without waiting for a person.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app {

struct CommandLine {
  enum class Action { kWindow, kHelp, kVersion, kBackup, kVerify, kWrong };
  Action action = Action::kWindow;
  std::string destination;         // --backup DEST
  std::string source;              // --source FOLDER; empty: the window's proposal
  std::optional<bool> user_data;   // --user-data / --no-user-data; unset: the window's tick
  bool whole_disk = false;         // --whole-disk
  std::optional<int> keep;         // --keep N: earlier backups kept; unset: the window's number
  std::string verify;              // --verify FOLDER|ARCHIVE
  std::string error;               // kWrong: what could not be understood
};

// Reads the words after the program's name. With slash_options (on Windows) "/backup" and the
// other options are taken as their "--" forms.
CommandLine ReadCommandLine(const std::vector<std::string>& words, bool slash_options);

// What --help prints.
extern const char kUsage[];

}  // namespace app
