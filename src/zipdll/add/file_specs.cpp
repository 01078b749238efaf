#include "zipdll/add/file_specs.h"

#include <algorithm>
#include <map>
#include <set>

#include "base/text.h"
#include "base/wildcard.h"
#include "platform/name_encoding.h"
#include "platform/platform.h"
#include "zipdll/add/zip_writer.h"

namespace zipdll::add {
namespace {

using platform::FindEntry;

bool IsAbsolute(const std::string& path) {
  return (!path.empty() && path[0] == '\\') || (path.size() >= 2 && path[1] == ':');
}

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && base::EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// The folder part of a Windows path as the archive stores it: no drive, no server and share, no
// leading backslash, no "." or ".." elements, "/" after every element.
std::string StoredFolder(const std::string& path) {
  size_t start = 0;
  if (path.size() >= 2 && path[1] == ':') {
    start = 2;
  } else if (path.rfind("\\\\", 0) == 0) {
    // "\\server\share\": the share stands for the drive.
    start = path.find('\\', 2);
    start = start == std::string::npos ? path.size() : path.find('\\', start + 1);
    if (start == std::string::npos) start = path.size();
  }
  std::string stored;
  size_t at = start;
  while (at < path.size()) {
    size_t end = path.find_first_of("\\/", at);
    if (end == std::string::npos) end = path.size();
    const std::string element = path.substr(at, end - at);
    if (!element.empty() && element != "." && element != "..") stored += element + "/";
    at = end + 1;
  }
  return stored;
}

bool Hidden(uint32_t attributes) {
  return (attributes & (platform::kAttrHidden | platform::kAttrSystem)) != 0;
}

// Walks the folders of one file file_spec's expansion.
class Walker {
 public:
  Walker(const SpecOptions& options, std::vector<SourceFile>* files,
         std::vector<SkippedItem>* skipped)
      : options_(options), files_(files), skipped_(skipped) {}

  // folder: Windows path with a trailing backslash; stored: its stored folder name ("" or "a/b/").
  // *holds_nothing tells whether it was listed and held nothing. A folder already walked, reached
  // again through a link, is not walked twice, and false says so: two links to their own parents
  // would otherwise make the walk grow without end.
  bool Walk(const std::string& folder, const std::string& stored, const std::string& mask,
            bool whole_folder, bool* holds_nothing = nullptr) {
    if (holds_nothing) *holds_nothing = false;
    platform::FolderIdentity identity;
    if (platform::GetFolderIdentity(folder, &identity) && !walked_.insert(identity).second) {
      return false;
    }
    std::vector<FindEntry> entries;
    // A folder that cannot be listed is not known to hold nothing; what it holds is missing.
    bool empty = platform::FindFiles(folder + "*", &entries);
    if (!empty) {
      // A folder that is not there holds nothing to miss.
      const platform::Cause cause = platform::LastCause();
      if (cause != platform::Cause::kNone && cause != platform::Cause::kNotFound) {
        skipped_->push_back({folder, kSkipNotFound,
                             "Cannot list the folder " + folder + ": its files are missing",
                             cause});
      }
    }
    std::sort(entries.begin(), entries.end(),
              [](const FindEntry& a, const FindEntry& b) { return a.name < b.name; });
    std::vector<const FindEntry*> subfolders;
    for (const FindEntry& entry : entries) {
      if (entry.name == "." || entry.name == "..") continue;
      empty = false;
      if (entry.attributes & platform::kAttrDirectory) {
        subfolders.push_back(&entry);
        continue;
      }
      if (!base::MatchesMask(entry.name, mask)) continue;
      TakeFile(folder + entry.name, stored + entry.name, entry);
    }
    if (holds_nothing) *holds_nothing = empty;
    if (options_.recurse) {
      for (const FindEntry* sub : subfolders) {
        if (Hidden(sub->attributes) && !options_.include_hidden_system) {
          skipped_->push_back({folder + sub->name, kSkipHiddenOrSystem,
                               "Skipped hidden or system folder: " + folder + sub->name});
          continue;
        }
        const std::string sub_stored = stored + sub->name + "/";
        const size_t before = files_->size();
        bool sub_empty = false;
        const bool walked =
            Walk(folder + sub->name + "\\", sub_stored, mask, whole_folder, &sub_empty);
        // A whole folder keeps its empty subfolders; a mask those and the folders on the way to
        // whatever it stored, but not a folder of files it did not take.
        if (walked && (whole_folder || sub_empty || files_->size() > before)) {
          InsertFolder(before, folder + sub->name, sub_stored, *sub);
        }
      }
    }
    return true;
  }

  void TakeFile(const std::string& path, const std::string& stored, const FindEntry& entry) {
    if (entry.attributes & platform::kAttrDevice) {
      skipped_->push_back({path, kSkipNotStorable,
                           "Skipped " + path + ": it is a device, pipe or socket, not a file"});
      return;
    }
    if (Hidden(entry.attributes) && !options_.include_hidden_system) {
      skipped_->push_back({path, kSkipHiddenOrSystem, "Skipped hidden or system file: " + path});
      return;
    }
    SourceFile file;
    file.path = path;
    file.name = stored;
    file.size = entry.size;
    file.dos_time = entry.dos_time;
    file.attributes = entry.attributes;
    files_->push_back(std::move(file));
  }

  void InsertFolder(size_t at, const std::string& path, const std::string& stored,
                    const FindEntry& entry) {
    if (!options_.folder_entries || options_.drop_folder_names || stored.empty()) return;
    SourceFile folder;
    folder.path = path;
    folder.name = stored;
    folder.is_folder = true;
    folder.dos_time = entry.dos_time;
    folder.attributes = entry.attributes;
    files_->insert(files_->begin() + static_cast<std::ptrdiff_t>(at), std::move(folder));
  }

 private:
  const SpecOptions& options_;
  std::vector<SourceFile>* files_;
  std::vector<SkippedItem>* skipped_;
  std::set<platform::FolderIdentity> walked_;
};

// The listing entry of one file or folder, found through its parent's listing.
bool FindOne(const std::string& path, FindEntry* found) {
  std::vector<FindEntry> entries;
  if (!platform::FindFiles(path, &entries)) return false;
  const std::string name = base::NameOf(path);
  for (const FindEntry& entry : entries) {
    if (base::EqualNoCase(entry.name, name)) {
      *found = entry;
      return true;
    }
  }
  return false;
}

}  // namespace

void ExpandFileSpec(const std::string& file_spec, const std::string& root,
                    const SpecOptions& options, std::vector<SourceFile>* files,
                    std::vector<SkippedItem>* skipped) {
  std::string full = file_spec;
  std::string strip;  // the part of the path the stored names leave out
  if (!IsAbsolute(file_spec) && !root.empty()) {
    full = root + file_spec;
    strip = root;
  } else if (!root.empty() && StartsWithNoCase(file_spec, root)) {
    strip = root;
  }
  // A folder may be named with a trailing backslash.
  while (full.size() > 1 && full.back() == '\\' && full[full.size() - 2] != ':') full.pop_back();
  const size_t before = files->size();
  const size_t skipped_before = skipped->size();
  const auto stored_of = [&](const std::string& folder) {
    const std::string below =
        StartsWithNoCase(folder, strip) ? folder.substr(strip.size()) : folder;
    return options.drop_folder_names ? std::string() : StoredFolder(below);
  };

  const std::string last = base::NameOf(full);
  const std::string parent = base::FolderOf(full);
  Walker walker(options, files, skipped);
  if (HasWildcard(last)) {
    const std::string stored = stored_of(parent);
    walker.Walk(parent, stored, last, false);
    if (files->size() > before && parent.size() > 1) {
      FindEntry self = {};
      const std::string folder = parent.substr(0, parent.size() - 1);
      if (FindOne(folder, &self)) walker.InsertFolder(before, folder, stored, self);
    }
  } else {
    const bool is_drive_root = full.size() == 3 && full[1] == ':' && full[2] == '\\';
    // Most specs name one file: its listing entry says all, in one look. A drive's root has no
    // entry, and what cannot be listed may still be there for GetFileAttributes.
    FindEntry self = {};
    const bool listed = !full.empty() && !is_drive_root && FindOne(full, &self);
    const uint32_t attributes = listed         ? self.attributes
                                : full.empty() ? platform::kInvalidAttributes
                                               : platform::GetFileAttributes(full);
    if (!listed) self.attributes = attributes;
    if (attributes != platform::kInvalidAttributes && (attributes & platform::kAttrDirectory)) {
      if (Hidden(attributes) && !options.include_hidden_system && !is_drive_root) {
        skipped->push_back(
            {file_spec, kSkipHiddenOrSystem, "Skipped hidden or system folder: " + full});
        return;
      }
      const std::string folder = is_drive_root ? full : full + "\\";
      const std::string stored = stored_of(folder);
      walker.Walk(folder, stored, "*", true);
      walker.InsertFolder(before, full, stored, self);
    } else if (listed) {
      walker.TakeFile(full, stored_of(parent) + self.name, self);
    }
  }
  if (files->size() == before) {
    if (skipped->size() == skipped_before) {
      // A name without wildcards that is not there is gone; a mask may match nothing, no fault
      // (a folder it could not list has been named already).
      platform::Cause cause = platform::Cause::kNone;
      if (!HasWildcard(last)) {
        cause = platform::LastCause();
        if (cause == platform::Cause::kNone) cause = platform::Cause::kNotFound;
      }
      skipped->push_back({file_spec, kSkipNotFound, "Nothing matches: " + file_spec, cause});
    }
  }
}

std::string DosName(const std::string& element, std::vector<std::string>* taken) {
  static const std::string kAllowed = "!#$%&'()-@^_`{}~";
  const auto clean = [](const std::string& original, bool* changed) {
    const std::string text = base::UpperText(original);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (c >= 0x80) {
        // One "_" for a whole UTF-8 sequence.
        while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) ++i;
        out += '_';
        *changed = true;
      } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                 kAllowed.find(static_cast<char>(c)) != std::string::npos) {
        out += static_cast<char>(c);
      } else if (c == ' ' || c == '.') {
        *changed = true;  // dropped, as Windows drops them from short names
      } else {
        out += '_';
        *changed = true;
      }
    }
    return out;
  };
  const size_t dot = element.rfind('.');
  const bool has_ext = dot != std::string::npos && dot > 0;
  bool changed = false;
  std::string base = clean(has_ext ? element.substr(0, dot) : element, &changed);
  std::string ext = has_ext ? clean(element.substr(dot + 1), &changed) : std::string();
  if (ext.size() > 3) {
    ext.resize(3);
    changed = true;
  }
  const auto is_taken = [&](const std::string& name) {
    return std::find(taken->begin(), taken->end(), name) != taken->end();
  };
  std::string name = base + (ext.empty() ? "" : "." + ext);
  if (changed || base.empty() || base.size() > 8 || is_taken(name)) {
    if (base.empty()) base = "_";
    for (int n = 1; n < 1000000; ++n) {
      const std::string tail = "~" + std::to_string(n);
      name = base.substr(0, 8 - tail.size()) + tail + (ext.empty() ? "" : "." + ext);
      if (!is_taken(name)) break;
    }
  }
  taken->push_back(name);
  return name;
}

void FinishNames(const SpecOptions& options, std::vector<SourceFile>* files,
                 std::vector<SkippedItem>* skipped) {
  std::vector<SourceFile> kept;
  std::map<std::string, std::string> path_of_name;  // upper-case stored name -> file path
  for (SourceFile& file : *files) {
    // Bit 11 over bytes that are no UTF-8 makes an archive some tools refuse whole: such a name
    // is stored converted from the system's code page, or not at all.
    std::string utf8, why;
    if (!platform::NameAsUtf8(file.name, &utf8, &why)) {
      skipped->push_back({file.path, kSkipNotStorable, "Skipped " + file.path + ": " + why,
                          platform::Cause::kNameNotUtf8});
      continue;
    }
    file.name = std::move(utf8);
    const std::string key = base::UpperText(file.name);
    auto [it, inserted] = path_of_name.emplace(key, file.path);
    if (!inserted) {
      // The same file named twice is taken once; two files under one name cannot both be stored.
      if (!base::EqualNoCase(it->second, file.path) && !file.is_folder) {
        skipped->push_back({file.path, kSkipNotFound,
                            "Skipped " + file.path + ": the archive already gets a file named " +
                                file.name + " from " + it->second,
                            platform::Cause::kDuplicateName});
      }
      continue;
    }
    kept.push_back(std::move(file));
  }
  if (options.force_dos_names) {
    // Each original folder name maps to one short name, so a folder's files stay together.
    std::map<std::string, std::vector<std::string>> taken_in;  // short folder -> short names used
    std::map<std::string, std::string> short_of;               // original prefix -> short prefix
    for (SourceFile& file : kept) {
      std::string original_prefix, short_prefix;
      size_t at = 0;
      const std::string name = file.name;
      std::string result;
      while (at < name.size()) {
        size_t end = name.find('/', at);
        const bool is_folder_element = end != std::string::npos;
        if (!is_folder_element) end = name.size();
        const std::string element = name.substr(at, end - at);
        const std::string key = base::UpperText(original_prefix + element);
        auto found = short_of.find(key + (is_folder_element ? "/" : ""));
        std::string short_element;
        if (found != short_of.end()) {
          short_element = found->second;
        } else {
          short_element = DosName(element, &taken_in[short_prefix]);
          short_of[key + (is_folder_element ? "/" : "")] = short_element;
        }
        original_prefix = key + "/";
        short_prefix += short_element + "/";
        result += short_element + (is_folder_element ? "/" : "");
        at = end + 1;
      }
      file.name = result;
    }
  }
  // Only here is the stored name final: short names can bring a long path within the format.
  const auto too_long = [&](const SourceFile& file) {
    if (file.name.size() <= kMaxFieldLength) return false;
    skipped->push_back({file.path, kSkipNotStorable,
                        "Skipped, as its name in the archive would be " +
                            std::to_string(file.name.size()) + " bytes long, more than the " +
                            std::to_string(kMaxFieldLength) +
                            " an archive can hold: " + file.path});
    return true;
  };
  kept.erase(std::remove_if(kept.begin(), kept.end(), too_long), kept.end());
  *files = std::move(kept);
}

}  // namespace zipdll::add
