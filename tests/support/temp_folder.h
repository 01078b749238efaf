// Folders of a test's own on the platform's temporary drive, removed with their contents.
#pragma once

#include <string>

namespace test_support {

// Sets up the drives a test program runs with. On Linux: a drive C: over a fresh host folder, with
// a Windows folder, a documents folder and a temporary folder on it; on Windows: nothing, the
// machine's (or Wine prefix's) own drives are used.
void InstallTestDrives();

// Removes a folder and everything below it, read-only files included.
void RemoveTree(const std::string& folder);

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's Windows path, with a trailing backslash.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + relative; }

  // Writes a file below the folder, creating the folders on the way; returns its full path.
  std::string Write(const std::string& relative, const std::string& contents = "x") const;
  // Creates a folder below this one, with the folders on the way; returns it with a backslash.
  std::string MakeFolder(const std::string& relative) const;
  // Reads a file below the folder; empty when it cannot.
  std::string Read(const std::string& relative) const;

 private:
  std::string reserved_;  // the unique name the platform gave, kept until the folder is gone
  std::string path_;
};

}  // namespace test_support
