#include "restore/restore_plan.h"

#include <map>
#include <optional>

#include "base/wildcard.h"
#include "platform/platform.h"
#include "zip/tzip.h"

namespace restore {

std::string WithBackslashes(std::string name) {
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

bool Chosen(const std::string& entry, const base::StringList& specs) {
  if (specs.empty()) return true;
  for (const std::string& spec : specs) {
    const std::string mask = WithBackslashes(spec);
    if (base::MatchesMask(mask.find('\\') != std::string::npos ? entry : base::NameOf(entry), mask))
      return true;
  }
  return false;
}

namespace {

// DOS times compare as numbers, the date in the high word, as the update compares them.
uint32_t AgeOf(const zip::TFileInfo& info) { return static_cast<uint32_t>(info.DosDateTime()); }

// The chosen file entries by the file they land on (folded as the file system folds names), in
// the order of the archive; the newest of each (the first of equals) is first in its list.
std::map<std::string, std::vector<const zip::TFileInfo*>> ByTarget(
    const std::vector<zip::TFileInfo>& contents, const base::StringList& specs, bool flat) {
  std::map<std::string, std::vector<const zip::TFileInfo*>> by_target;
  for (const zip::TFileInfo& info : contents) {
    if (info.IsFolder() || !Chosen(info.FileName, specs)) continue;
    by_target[base::FoldCase(flat ? base::NameOf(info.FileName) : info.FileName)].push_back(&info);
  }
  for (auto& [target, entries] : by_target) {
    size_t newest = 0;
    for (size_t i = 1; i < entries.size(); ++i) {
      if (AgeOf(*entries[i]) > AgeOf(*entries[newest])) newest = i;
    }
    std::swap(entries[0], entries[newest]);
  }
  return by_target;
}

std::string Files(size_t count) { return std::to_string(count) + (count == 1 ? " file" : " files"); }

}  // namespace

std::vector<std::pair<std::string, std::string>> Displaced(
    const std::vector<zip::TFileInfo>& contents, const base::StringList& specs) {
  std::vector<std::pair<std::string, std::string>> displaced;
  for (const auto& [target, entries] : ByTarget(contents, specs, /*flat=*/true)) {
    for (size_t i = 1; i < entries.size(); ++i) {
      displaced.emplace_back(entries[i]->FileName, entries[0]->FileName);
    }
  }
  return displaced;
}

RestorePlan::Place& RestorePlan::PlaceFor(const std::string& folder, const std::string& where) {
  for (Place& place : places_) {
    if (place.folder == folder && place.where == where) return place;
  }
  places_.push_back({folder, where});
  return places_.back();
}

void RestorePlan::Land(Place& place, const std::string& target, int32_t there, bool newer) {
  if (!newer) {
    ++kept_;
  } else if (there != -1) {
    ++place.written;
    ++place.replaced;
  } else if (!platform::FolderExists(target)) {
    // A folder in the way takes no file; the restore names it afterwards.
    ++place.written;
  }
}

void RestorePlan::AddExtraction(const std::vector<zip::TFileInfo>& contents,
                                const base::StringList& specs, const std::string& folder, bool flat,
                                const std::string& where) {
  const std::string base = base::AddBackslash(folder);
  Place& place = PlaceFor(base, where);
  for (const auto& [target, entries] : ByTarget(contents, specs, flat)) {
    shared_ += entries.size() - 1;
    const std::string& name = entries[0]->FileName;
    const std::string target_path = base + (flat ? base::NameOf(name) : name);
    const int32_t there = platform::GetFileAge(target_path);
    Land(place, target_path, there,
         there == -1 || static_cast<uint32_t>(there) < AgeOf(*entries[0]));
  }
}

NewestByName NewestOfEachName(const base::StringList& files) {
  NewestByName newest;
  // Folded name -> its newest file so far and that file's age; a name found once is not looked at.
  std::unordered_map<std::string, std::optional<int32_t>> ages;
  for (const std::string& file : files) {
    const std::string name = base::FoldCase(base::WordWithDot(file));
    const auto [it, first] = newest.try_emplace(name, file);
    if (first) continue;
    std::optional<int32_t>& age = ages[name];
    if (!age) age = platform::GetFileAge(it->second);
    const int32_t file_age = platform::GetFileAge(file);
    if (file_age > *age) {
      it->second = file;
      age = file_age;
    }
  }
  return newest;
}

void RestorePlan::AddCopies(const base::StringList& files, const NewestByName& newest,
                            const std::string& folder) {
  const std::string base = base::AddBackslash(folder);
  Place& place = PlaceFor(base, "");
  for (const std::string& file : files) {
    const std::string target = base + base::WordWithDot(file);
    if (file == target) continue;
    const auto kept = newest.find(base::FoldCase(base::WordWithDot(file)));
    if (kept != newest.end() && kept->second != file && kept->second != target) {
      ++shared_;
      continue;
    }
    // The copy compares the ages as they are, a missing file's -1 included.
    const int32_t there = platform::GetFileAge(target);
    Land(place, target, there, platform::GetFileAge(file) > there);
  }
}

size_t RestorePlan::written() const {
  size_t count = 0;
  for (const Place& place : places_) count += place.written;
  return count;
}

size_t RestorePlan::replaced() const {
  size_t count = 0;
  for (const Place& place : places_) count += place.replaced;
  return count;
}

std::string RestorePlan::Question() const {
  std::string text = "Restore from ";
  for (size_t i = 0; i < sources_.size(); ++i) {
    text += (i == 0 ? "" : "\nand from ") + sources_[i];
  }
  text += ".\n\n";
  const size_t count = written();
  if (count == 0) {
    text += "No file will be written.\n";
  } else {
    text += Files(count) + " will be written:\n";
    for (const Place& place : places_) {
      if (place.written == 0) continue;
      text += "   " + std::to_string(place.written) + " " +
              (place.where.empty() ? "into " + place.folder : place.where) + "\n";
    }
    if (replaced() > 0) {
      text += "Of these, " + std::to_string(replaced()) +
              (replaced() == 1 ? " replaces an older file" : " replace older files") +
              " of the same name.\n";
    }
  }
  if (kept_ > 0) {
    text += Files(kept_) + " already there " + (kept_ == 1 ? "is" : "are") +
            " as new as the backup's copy or newer, and will be kept.\n";
  }
  if (shared_ > 0) {
    text += Files(shared_) + " of the backup " + (shared_ == 1 ? "shares" : "share") +
            " a name with another of its files and will not be restored: only the newest file "
            "of a name can be restored into one folder.\n";
  }
  for (const std::string& note : notes_) text += note + "\n";
  text += "\nNothing has been written yet. Restore now?";
  return text;
}

}  // namespace restore
