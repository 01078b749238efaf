#include "command/run_report.h"

#include <cctype>

#include "zipdll/call_interface.h"

namespace command {
namespace {

std::string Files(size_t count) {
  return std::to_string(count) + (count == 1 ? " file" : " files");
}

}  // namespace

void RunReport::Count(const std::string& archive, size_t done) {
  const size_t of = done + uncounted_;
  uncounted_ = 0;
  // The passes of one archive add up.
  for (Tally& tally : tallies_) {
    if (tally.archive == archive) {
      tally.done += done;
      tally.of += of;
      return;
    }
  }
  tallies_.push_back({archive, done, of});
}

void RunReport::Missing(const std::string& path, platform::Cause cause, const std::string& reason) {
  std::string why = platform::CausePhrase(cause);
  if (why.empty()) why = reason.empty() ? "it could not be read" : reason;
  missing_.push_back(path + ": " + why);
  ++uncounted_;
}

void RunReport::MissingFolder(const std::string& folder, platform::Cause cause) {
  std::string why = platform::CausePhrase(cause);
  if (why.empty()) why = "it could not be listed";
  missing_.push_back(folder +
                     " (a folder that could not be searched, so its files are missing): " + why);
  ++folders_;
}

std::string RunReport::Counted() const {
  const size_t files = missing_.size() - folders_;
  std::string text = files > 0 || folders_ == 0 ? Files(files) : std::string();
  if (folders_ > 0) {
    text += (text.empty() ? "" : " and ") + std::to_string(folders_) +
            (folders_ == 1 ? " folder" : " folders");
  }
  return text + (missing_.size() == 1 ? " was" : " were");
}

std::string RunReport::MissingList() const {
  std::string text;
  for (size_t i = 0; i < missing_.size() && i < kListed; ++i) text += missing_[i] + "\n";
  if (missing_.size() > kListed)
    text += "and " + std::to_string(missing_.size() - kListed) + " more\n";
  return text;
}

std::string RunReport::Text(const std::string& run, const std::string& missed,
                            const std::function<std::string(const Tally&)>& tally_line,
                            const std::string& closing) const {
  std::string text;
  for (const std::string& note : notes_) text += (text.empty() ? "" : "\n\n") + note;
  if (missing_.empty()) return text;
  if (!text.empty()) text += "\n\n";
  text += "The " + run + " is not complete: " + Counted() + " " + missed + ".\n\n";
  for (const Tally& tally : tallies_) text += tally_line(tally) + "\n";
  std::string heading = missed;
  heading[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(heading[0])));
  return text + "\n" + heading + ":\n" + MissingList() + "\n" + closing;
}

std::string RunReport::BackupText() const {
  return Text(
      "backup", "left out",
      [](const Tally& tally) {
        return tally.archive + " holds " + std::to_string(tally.done) + " of " + Files(tally.of) +
               ".";
      },
      "Everything else is in the backup: it was read back and checked, and it has been kept. "
      "Back up again once the files above can be read.");
}

std::string RunReport::RestoreText() const {
  return Text(
      "restore", "not restored",
      [](const Tally& tally) {
        return "From " + tally.archive + ": " + std::to_string(tally.done) + " of " +
               Files(tally.of) + " restored.";
      },
      "Everything else was restored.");
}

std::string SkipReasonPhrase(int reason) {
  switch (reason) {
    case zipdll::kSkipNotNewer:
    case zipdll::kSkipHiddenOrSystem:
    case zipdll::kSkipUserDeclined:
      return std::string();
    case zipdll::kSkipNotFound:
      return "it could not be found";
    case zipdll::kSkipUnsafeName:
      return "its name would place it outside the folder it belongs in";
    case zipdll::kSkipNoPassword:
      return "it is encrypted and no password fits";
    case zipdll::kSkipBadData:
      return "the copy in the archive is damaged";
    case zipdll::kSkipNotStorable:
      return "a zip archive cannot hold it (a device, a pipe, or a name too long)";
    case zipdll::kSkipNoRoom:
      return "the drive is full";
    case zipdll::kSkipNotWritten:
      return "it could not be written";
    default:
      return "the library left it out";
  }
}

}  // namespace command
