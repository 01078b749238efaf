#include "zipdll/extract/entry_choice.h"

#include <algorithm>
#include <unordered_map>

#include "base/wildcard.h"

namespace zipdll::extract {
namespace {

std::string WithBackslashes(std::string name) {
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

// The last element of a stored name, without the slash a folder entry ends with. Split at the
// slashes only: a stored name may hold a ":", and a file spec is matched against what follows the
// last slash, as it is stored (base::NameOf would also split at the ":").
std::string FileNamePart(const std::string& name) {
  std::string path = WithBackslashes(name);
  while (!path.empty() && path.back() == '\\') path.pop_back();
  const size_t split = path.rfind('\\');
  return split == std::string::npos ? path : path.substr(split + 1);
}

// A file file_spec with a folder in it is matched against the whole stored name, any other against
// the entry's file name alone, so that "*.cht" takes "Charts/SMITH.CHT".
bool Matches(const std::string& stored_name, const std::string& file_spec) {
  const std::string mask = WithBackslashes(file_spec);
  if (mask.find('\\') != std::string::npos) {
    std::string name = WithBackslashes(stored_name);
    while (!name.empty() && name.back() == '\\') name.pop_back();
    return base::MatchesMask(name, mask);
  }
  return base::MatchesMask(FileNamePart(stored_name), mask);
}

}  // namespace

ChosenEntries ChooseEntries(const Directory& directory, const std::vector<std::string>& specs) {
  ChosenEntries choice;
  choice.spec_used.assign(specs.size(), false);
  // Specs without a wildcard name members outright (a caller may hand over thousands of them):
  // looked up by their folded text, the others matched one by one.
  std::unordered_multimap<std::string, size_t> exact_paths, exact_names;
  std::vector<size_t> masks;
  for (size_t i = 0; i < specs.size(); ++i) {
    const std::string pattern = WithBackslashes(specs[i]);
    if (pattern.find_first_of("*?") != std::string::npos) {
      masks.push_back(i);
    } else if (pattern.find('\\') != std::string::npos) {
      exact_paths.emplace(base::FoldCase(pattern), i);
    } else {
      exact_names.emplace(base::FoldCase(pattern), i);
    }
  }
  const auto use_exact = [&](const std::unordered_multimap<std::string, size_t>& exact,
                             const std::string& text, bool* wanted) {
    if (exact.empty()) return;
    const auto [first, last] = exact.equal_range(base::FoldCase(text));
    for (auto it = first; it != last; ++it) *wanted = choice.spec_used[it->second] = true;
  };
  for (const EntryInfo& entry : directory.entries) {
    bool wanted = specs.empty();
    std::string path = WithBackslashes(entry.name);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    use_exact(exact_paths, path, &wanted);
    use_exact(exact_names, FileNamePart(entry.name), &wanted);
    for (size_t i : masks) {
      if (Matches(entry.name, specs[i])) wanted = choice.spec_used[i] = true;
    }
    if (!wanted) continue;
    choice.entries.push_back(&entry);
    if (!entry.IsFolder()) {
      ++choice.files;
      // Sizes are the archive's word: add them without letting a lie wrap the total round.
      choice.bytes += std::min(entry.uncompressed_size, UINT64_MAX - choice.bytes);
    }
  }
  return choice;
}

}  // namespace zipdll::extract
