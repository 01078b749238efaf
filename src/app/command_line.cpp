#include "app/command_line.h"

namespace app {

const char kUsage[] =
    "Usage: ridideduvure [--help | --version]\n"
    "       ridideduvure --backup DEST [--source FOLDER] [--user-data | --no-user-data]\n"
    "                    [--whole-disk] [--keep N]\n"
    "       ridideduvure --verify FOLDER|ARCHIVE\n"
    "\n"
    "Backs up and restores the files of the astrology application Halvane (versions 4 to 9)\n"
    "and the chart files of Ombrel. Without arguments it opens its window.\n"
    "\n"
    "  --backup DEST    backs up into the folder DEST without opening the window, as the\n"
    "                   window's Backup button does, and adds a record to DEST\\BackupLog.txt\n"
    "  --source FOLDER  the folder searched for chart files (default: the one the window\n"
    "                   proposes, the application's chart folder)\n"
    "  --user-data      also backs up the application's user data (the default)\n"
    "  --no-user-data   backs up the chart files only\n"
    "  --whole-disk     searches the whole of drive C: for chart files\n"
    "  --keep N         earlier backups kept in DEST\\Earlier backups besides the newest\n"
    "                   (default 4; 0 keeps none)\n"
    "  --verify PATH    reads back ChartBackup.zip and RUDadoze.zev in the folder PATH (or the\n"
    "                   archive PATH) and checks every entry\n"
    "  --help           shows this text\n"
    "  --version        shows the version of the program\n"
    "\n"
    "Exit status: 0 every file found was backed up and verified (or the archives checked are\n"
    "sound); 3 the backup was written and verified, but files were left out (each is named in\n"
    "the log); 1 the run failed, and an earlier backup is as it was (or an archive checked is\n"
    "damaged); 2 the command line was not understood.\n";

namespace {

// "--name", "--name=value", and on Windows "/name" and "/name:value", as "--name" and its value.
bool Split(const std::string& word, bool slash_options, std::string* name,
           std::optional<std::string>* value) {
  std::string body;
  char separator = '=';
  if (word.rfind("--", 0) == 0 && word.size() > 2) {
    body = word.substr(2);
  } else if (slash_options && word.size() > 1 && word[0] == '/') {
    body = word.substr(1);
    separator = ':';
  } else {
    return false;
  }
  const size_t at = body.find(separator);
  *name = "--" + body.substr(0, at);
  if (at != std::string::npos) *value = body.substr(at + 1);
  return true;
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& words, bool slash_options) {
  CommandLine line;
  const auto wrong = [&line](const std::string& error) {
    line = CommandLine();
    line.action = CommandLine::Action::kWrong;
    line.error = error;
    return line;
  };
  if (words.empty()) return line;
  if (words.size() == 1) {
    const std::string& word = words[0];
    if (word == "--version" || (slash_options && word == "/version")) {
      line.action = CommandLine::Action::kVersion;
      return line;
    }
    if (word == "--help" || word == "-h" || word == "/?" || (slash_options && word == "/help")) {
      line.action = CommandLine::Action::kHelp;
      return line;
    }
  }
  bool seen_user_data = false;
  for (size_t i = 0; i < words.size(); ++i) {
    std::string name;
    std::optional<std::string> value;
    if (!Split(words[i], slash_options, &name, &value)) {
      return wrong("\"" + words[i] + "\" is not an option it knows.");
    }
    const bool takes_value =
        name == "--backup" || name == "--source" || name == "--verify" || name == "--keep";
    if (takes_value && !value) {
      if (i + 1 >= words.size() || words[i + 1].empty()) return wrong(name + " needs a folder.");
      value = words[++i];
    } else if (!takes_value && value) {
      return wrong(name + " takes no value.");
    }
    std::string* target = nullptr;
    if (name == "--backup") {
      target = &line.destination;
    } else if (name == "--source") {
      target = &line.source;
    } else if (name == "--verify") {
      target = &line.verify;
    } else if (name == "--user-data" || name == "--no-user-data") {
      if (seen_user_data) return wrong("--user-data and --no-user-data are given together.");
      seen_user_data = true;
      line.user_data = name == "--user-data";
    } else if (name == "--whole-disk") {
      line.whole_disk = true;
    } else if (name == "--keep") {
      if (line.keep) return wrong("--keep is given twice.");
      const std::string& count = *value;
      if (count.empty() || count.size() > 4 ||
          count.find_first_not_of("0123456789") != std::string::npos) {
        return wrong("--keep needs a number of earlier backups, such as 4.");
      }
      line.keep = std::stoi(count);
    } else {
      return wrong("\"" + words[i] + "\" is not an option it knows.");
    }
    if (target) {
      if (!target->empty()) return wrong(name + " is given twice.");
      if (value->empty()) return wrong(name + " needs a folder.");
      *target = *value;
    }
  }
  const bool backup_options = !line.source.empty() || line.user_data.has_value() ||
                              line.whole_disk || line.keep.has_value();
  if (!line.verify.empty()) {
    if (!line.destination.empty() || backup_options) {
      return wrong("--verify is given alone, with the folder or archive to check.");
    }
    line.action = CommandLine::Action::kVerify;
  } else if (!line.destination.empty()) {
    if (!line.source.empty() && line.whole_disk) {
      return wrong("--source and --whole-disk are given together.");
    }
    line.action = CommandLine::Action::kBackup;
  } else {
    return wrong("--backup names the folder to back up into.");
  }
  return line;
}

}  // namespace app
