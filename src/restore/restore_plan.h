// What a restore is about to do, counted before it writes anything: where its files come from,
// how many it writes into which folder, how many files already there it replaces and how many it
// keeps, and how many of its files lose their place to another of the same name. The counts come
// from the archive's directory (or the search's list) and the target folders as they are; nothing
// is extracted or copied to make them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/text.h"

namespace zip {
struct TFileInfo;
}

namespace restore {

// Whether the extraction takes this stored name for one of the file patterns, as the library
// matches them: a pattern with a backslash against the whole stored path, any other against the
// file name alone; no pattern at all takes everything.
bool Chosen(const std::string& entry, const base::StringList& specs);

std::string WithBackslashes(std::string name);

// In a restore that drops the stored folders, the entries that land on one file with another
// entry and lose to it: only the newest of a name comes back, as the update keeps it (the first
// of equals). Each loser, with the entry that takes its place.
std::vector<std::pair<std::string, std::string>> Displaced(
    const std::vector<zip::TFileInfo>& contents, const base::StringList& specs);

// Of each file name (folded) among files, the file with the newest age, the first of equals.
using NewestByName = std::unordered_map<std::string, std::string>;
NewestByName NewestOfEachName(const base::StringList& files);

class RestorePlan {
 public:
  // Where the files come from: an archive with its comment, or a phrase naming loose files.
  void AddSource(const std::string& source) { sources_.push_back(source); }

  // The entries of an archive that specs choose, extracted into folder by the update (a file
  // there is replaced only by a newer one), without their stored folders when flat. where, when
  // not empty, says in the question where they go instead of "into <folder>".
  void AddExtraction(const std::vector<zip::TFileInfo>& contents, const base::StringList& specs,
                     const std::string& folder, bool flat, const std::string& where = "");
  // Files copied, without their folders, into folder when newer than the file there. Of files
  // that share a name only the newest can come back, or none when the file of that name in folder
  // is itself one of files. A file that is itself in folder is left where it is.
  void AddCopies(const base::StringList& files, const NewestByName& newest,
                 const std::string& folder);

  // A sentence the question adds after the counts (the settings file to be changed).
  void AddNote(const std::string& note) { notes_.push_back(note); }

  // Whether the restore would write anything at all: a file, or the note's settings.
  bool Changes() const { return written() > 0 || !notes_.empty(); }
  size_t written() const;   // files to be written, new or replacing older ones
  size_t replaced() const;  // of written, files that replace an older one there
  size_t kept() const { return kept_; }      // files there that are as new or newer
  size_t shared() const { return shared_; }  // files that lose their place to one of their name

  // The text of the Yes/No box asked before the first write.
  std::string Question() const;

 private:
  struct Place {
    std::string folder, where;
    size_t written = 0, replaced = 0;
  };
  // One file to land on target, whose age is there (-1: no file), in place's folder; newer: the
  // restore's own comparison of the ages says the file there gives way.
  void Land(Place& place, const std::string& target, int32_t there, bool newer);
  Place& PlaceFor(const std::string& folder, const std::string& where);

  std::vector<std::string> sources_;
  std::vector<Place> places_;
  std::vector<std::string> notes_;
  size_t kept_ = 0;
  size_t shared_ = 0;
};

}  // namespace restore
