// What every archive of the corpus goes through: the extracting library in a sandbox that is
// listed before and after, the shared directory reader, and the archive component's reader.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "zipdll/unzip_driver.h"

namespace corpus {

// The folder the build writes the corpus into (findings, seeds, foreign archives) and the tests
// write the archives they build byte by byte, as a Windows path ("Z:\..." on both platforms).
std::string CorpusFolder();
// The archives of one corpus subfolder, by name; empty when it is missing.
std::vector<std::string> CorpusFiles(const std::string& subfolder);

// A folder with the archive in it and the target two levels below it, so that a name climbing
// out of the target lands where the listing sees it.
class Sandbox {
 public:
  Sandbox();
  const std::string& target() const { return target_; }
  // Writes the archive as the sandbox's input; returns its path.
  std::string PutArchive(const std::string& name, const std::string& bytes);
  // Empties the target, as before a fresh run.
  void ClearTarget();
  // Writes a file of the user's into the target.
  void PutUserFile(const std::string& relative, const std::string& contents);
  // Every file and folder outside the target (with the contents of files), and on Linux, where
  // each test program has a drive C: of its own, the names in the drive's root too.
  std::map<std::string, std::string> Outside() const;
  // Files below the target, relative ("\" between folders), sorted, with their contents.
  std::map<std::string, std::string> Written() const;

 private:
  test_support::TempFolder folder_;
  std::string target_;
};

struct Extraction {
  int result = -1;
  unzip_test::UnzipDriver driver;
  std::map<std::string, std::string> written;  // the target afterwards
  // What changed outside the target: "+name" appeared, "-name" went, "~name" changed.
  std::vector<std::string> outside_changes;
};

// The password the callback gives when first asked for one.
inline constexpr char kAskedPassword[] = "secret";

// Extracts the archive in the sandbox with the request's switches (archive and target are set
// here). The callback answers as the fuzzer's does: it keeps files with CRC errors, says yes to
// overwriting, and gives kAskedPassword when first asked for a password, then gives up.
void Extract(Sandbox* sandbox, const std::string& archive, unzip_test::UnzipRequest request,
             Extraction* out);

// The archive component's reading: the names it lists ("\" between folders) or the text of the
// ZipException it raised (then listed is empty and refused holds the text).
struct Listing {
  bool opened = false;
  bool changed = false;  // the component reported new contents
  std::vector<std::string> names;
  std::string comment;
  std::string refused;
};
Listing ReadWithComponent(const std::string& archive);
// The shared directory reader: entry names as stored, or its error.
Listing ReadWithReader(const std::string& archive);
// Rewrites the comment of a copy of an archive the component lists and opens it again: the
// entries must stay as they were. Empty when they do, else what went wrong.
std::string RewriteCommentAndReopen(const std::string& archive);

}  // namespace corpus
