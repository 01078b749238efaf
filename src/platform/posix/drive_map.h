// Drive letters on Linux, the way a Wine prefix's dosdevices folder gives them.
//
// Where the map comes from, first match wins:
//   1. RIDIDEDUVURE_DRIVES: lines of "key=value" (tests and users who want their own layout):
//        C:=3|Label|/srv/charts      a letter: drive type (0 takes it from the mount), label,
//        folder windows=C:\windows          the Windows folder, as a Windows path
//        documents=C:\Users\Ann\Documents
//        temp=C:\Temp                the temporary folder
//   2. The Wine prefix $WINEPREFIX, else ~/.wine, when it has a dosdevices folder: every "x:"
//      link there is a drive, types come from the prefix's [Software\Wine\Drives] key or the
//      mount, labels from a .windows-label file at the drive's root. C:\windows is the Windows
//      folder and the prefix user's Documents the documents folder.
//   3. Neither: C: is the home folder and Z: is "/", as Wine maps them; the documents folder is
//      ~/Documents (C:\Documents), and there is no Windows folder.
//
// The map is described by the environment alone, so that the program and the shared libraries it
// loads always see the same drives; it is read again whenever those variables change.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace platform::posix {

struct Drive {
  std::string folder;  // host folder the letter stands for, without a trailing slash ("" for "/")
  unsigned type = 0;   // GetDriveTypeA code; 0 until looked up from the mount
  std::string label;
  bool label_set = false;  // label given by the map rather than read from the drive
  // The root of the whole file system when there is no prefix: no drive of any one kind, so that
  // no proposal of a drive of a kind picks it (GetDriveTypeA's DRIVE_UNKNOWN).
  bool whole_file_system = false;
};

struct DriveMap {
  std::map<char, Drive> drives;  // upper-case letter -> drive
  std::string windows;           // Windows paths, empty when unknown
  std::string documents;
  std::string temp;
};

// The map in force for the current environment.
std::shared_ptr<const DriveMap> CurrentDriveMap();

// Parses the RIDIDEDUVURE_DRIVES form. Lines that do not parse are ignored.
DriveMap ParseDriveMap(const std::string& text);

// Turns a Windows path into the host path it names. Every element is matched without regard to
// case against what exists; elements that do not exist are kept as written. "." and ".." are
// folded as Windows folds them, never above the drive's root. A path without a drive is taken
// against the current folder. Returns false for a drive that is not mapped, UNC or device names.
bool ToHostPath(const std::string& windows_path, std::string* host_path);
// The host path the Windows path names when every element exists as it is written, without
// looking: for a caller that tries it first and falls back on ToHostPath when it fails.
bool ToExactHostPath(const std::string& windows_path, std::string* host_path);

// Held by the platform around each change it makes to a folder and the note of that change, and by
// the lookup of a name in that folder, so that a lookup on one thread never meets a folder changed
// by another thread of this process before its listing was told: it would read the whole folder
// again. Changes to different folders go on side by side; one thread may hold a folder twice.
class FolderChangeLock {
 public:
  // Locks the folder that holds host_path (and the one that holds second_host_path, if given).
  explicit FolderChangeLock(const std::string& host_path,
                            const std::string& second_host_path = std::string());
  ~FolderChangeLock();
  FolderChangeLock(const FolderChangeLock&) = delete;
  FolderChangeLock& operator=(const FolderChangeLock&) = delete;

 private:
  std::recursive_mutex* first_ = nullptr;
  std::recursive_mutex* second_ = nullptr;
};

// Tells the lookup of names without regard to case that the platform has just added (or removed)
// this file or folder, so that what it knows of the folder stays current.
void NoteFolderChange(const std::string& host_path, bool added);
// Tells it that the platform has just made this folder, which is empty: its listing is known
// without reading it, and stays current through the platform's own changes. (An extraction makes
// thousands of folders and looks up each name it writes into them.)
void NoteNewFolder(const std::string& host_path);
// The same for a rename: one look at the folder when both names are in it.
void NoteRename(const std::string& from_host_path, const std::string& to_host_path);

// Turns a host path into a Windows path through the drive whose folder holds it most closely.
// Returns false when no drive holds it.
bool ToWindowsPath(const std::string& host_path, std::string* windows_path);

// The drive type a host folder has from the mount it lives on: CD-ROM for iso9660 and udf, remote
// for network file systems, removable for a block device the kernel calls removable, else fixed.
unsigned DriveTypeOfMount(const std::string& host_folder);
// The same from a given /proc/self/mountinfo text, for a folder with its links resolved.
unsigned DriveTypeFromMountInfo(const std::string& real_folder, const std::string& mountinfo);

}  // namespace platform::posix
