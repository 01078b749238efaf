// What a command left out, told to the user once, at the end of the whole command: how much of
// each archive went through, and each file that did not, with why.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/cause.h"

namespace command {

class RunReport {
 public:
  // How many files of one archive (or one pass of it) went through: done, of done and the files
  // named Missing since the last count.
  void Count(const std::string& archive, size_t done);
  // A file that did not go through, by its full path, and why: the cause of the system call that
  // failed, or, when none did, the reason given (a phrase such as "the archive's copy is damaged").
  void Missing(const std::string& path, platform::Cause cause, const std::string& reason);
  // A folder that could not be listed: its files were never found.
  void MissingFolder(const std::string& folder, platform::Cause cause);
  // A sentence or two on a part of the run that could not be done ("No chart files were found
  // below ..."), told before the list.
  void Note(const std::string& text) { notes_.push_back(text); }

  bool complete() const { return missing_.empty() && notes_.empty(); }
  size_t missing_count() const { return missing_.size(); }
  void Clear() { *this = RunReport(); }

  // The list of what went missing, the first kListed of it and a count of the rest; empty when
  // nothing did.
  std::string MissingList() const;
  // The box a backup ends with when it left anything out.
  std::string BackupText() const;
  // The box a restore ends with when it did not write everything it was to write.
  std::string RestoreText() const;

  static constexpr size_t kListed = 20;

  struct Tally {
    std::string archive;
    size_t done = 0;
    size_t of = 0;
  };
  // For a record of the run: the counts, the notes and every file that did not go through.
  const std::vector<Tally>& tallies() const { return tallies_; }
  const std::vector<std::string>& notes() const { return notes_; }
  const std::vector<std::string>& missing() const { return missing_; }

 private:
  std::vector<Tally> tallies_;
  std::vector<std::string> notes_;
  std::vector<std::string> missing_;  // "path: why"
  size_t uncounted_ = 0;              // files named missing since the last Count
  size_t folders_ = 0;                // of missing_, folders that could not be searched
  // "3 files were", "2 files and 1 folder were".
  std::string Counted() const;
  // The notes, then, when anything is missing, the headline, the tallies and the list.
  std::string Text(const std::string& run, const std::string& missed,
                   const std::function<std::string(const Tally&)>& tally_line,
                   const std::string& closing) const;
};

// Why the library skipped something, in words, for a skip that no failed system call explains;
// empty for the skips that are what the user asked for (an existing file that is not older, a
// hidden file left out, an answer of "keep").
std::string SkipReasonPhrase(int reason);

}  // namespace command
