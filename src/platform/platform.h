// The operating-system services the program uses, and nothing else.
//
// Every path here is a Windows path ("C:\Charts\Smith.cht") in the program's ANSI code page, which
// is UTF-8. Each call has the result semantics of the Win32 function it is named after, so the
// code above this layer is written once against Windows behaviour. platform/win32 makes the real
// calls; platform/posix gives the same answers on Linux over a drive map (see
// platform/posix/drive_map.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "platform/cause.h"

namespace platform {

// Drive types, as GetDriveTypeA returns them.
enum DriveType : unsigned {
  kDriveUnknown = 0,
  kDriveNoRootDir = 1,
  kDriveRemovable = 2,
  kDriveFixed = 3,
  kDriveRemote = 4,
  kDriveCdrom = 5,
  kDriveRamdisk = 6,
};

// File attributes, as GetFileAttributesA returns them.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
// No file to read as one: a device, and on Linux also a FIFO or a socket. Opening one may block or
// never reach an end.
inline constexpr uint32_t kAttrDevice = 0x40;
inline constexpr uint32_t kAttrNormal = 0x80;
inline constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

// Shell folder codes for GetShellFolderPath.
inline constexpr int kCsidlPersonal = 5;  // the user's documents folder

// Error mode flags for SetErrorMode.
inline constexpr unsigned kSemFailCriticalErrors = 0x0001;

// One entry of a folder listing, as FindFirstFileA/FindNextFileA report it.
struct FindEntry {
  std::string name;     // name without folder
  uint32_t attributes;  // kAttr* bits
  uint64_t size;        // bytes; 0 for folders
  int32_t dos_time;     // last write, local time, DOS date in the high word and time in the low
};

// GetDriveTypeA for a root such as "C:\".
unsigned GetDriveType(const std::string& root);

// GetWindowsDirectoryA: the Windows folder without a trailing backslash; empty when there is none.
std::string GetWindowsDirectory();

// SHGetFolderPathA(no owner, csidl, no token, current path): the folder, or empty on failure.
std::string GetShellFolderPath(int csidl);

// GetVolumeInformationA for a root such as "D:\": the label and serial number; false when the
// drive is not ready or does not exist.
bool GetVolumeInformation(const std::string& root, std::string* label, uint32_t* serial);

// GetDiskFreeSpaceExA for a folder ("D:\Charts\"): the bytes free on its drive that this user may
// fill, quotas and reserved blocks taken off. False when the folder's drive cannot be asked.
bool GetDiskFreeSpaceEx(const std::string& folder, uint64_t* available);

// SetErrorMode: sets the process error mode and returns the previous one.
unsigned SetErrorMode(unsigned mode);

// GetFileAttributesA / SetFileAttributesA. Only read-only and hidden have meaning everywhere.
uint32_t GetFileAttributes(const std::string& path);
bool SetFileAttributes(const std::string& path, uint32_t attributes);

// What GetFileAttributes says of a path: an existing folder, or an existing file.
inline bool FolderExists(const std::string& path) {
  const uint32_t attributes = GetFileAttributes(path);
  return attributes != kInvalidAttributes && (attributes & kAttrDirectory);
}
inline bool FileExists(const std::string& path) {
  const uint32_t attributes = GetFileAttributes(path);
  return attributes != kInvalidAttributes && !(attributes & kAttrDirectory);
}

// FindFirstFileA/FindNextFileA over a pattern ("C:\Charts\*.cht"), every kind of entry included
// (hidden and system ones too, and "." and ".." below a drive root, as Windows lists them).
// Wildcards "*" and "?" match without regard to case. False when the folder cannot be listed or
// nothing matches; entries come in the order the file system lists them.
// kNamesAndKinds is for callers that need only names and which of them are folders: only
// kAttrDirectory and kAttrHidden of the attributes count then, size and dos_time may be 0, and "."
// and ".." are left out, which spares the platforms that would otherwise ask about every entry (and
// about the folder, to know whether it is a drive's root, which lists no dots).
enum class FindDetail { kFull, kNamesAndKinds };
bool FindFiles(const std::string& pattern, std::vector<FindEntry>* entries,
               FindDetail detail = FindDetail::kFull);

// What tells two names of one folder apart from two folders: the volume serial number and file
// index of GetFileInformationByHandle (device and inode on Linux). Links and junctions lead to
// the identity of the folder they name.
struct FolderIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator<(const FolderIdentity& other) const {
    return volume != other.volume ? volume < other.volume : index < other.index;
  }
  bool operator==(const FolderIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
};

// The identity of an existing folder; false when it cannot be opened.
bool GetFolderIdentity(const std::string& folder, FolderIdentity* identity);

// What a walk of folders needs to know before it lists a folder: its identity, as
// GetFolderIdentity gives it, and whether it lies on one of the kernel's own file systems (on
// Linux proc, sysfs, devtmpfs, cgroup, debugfs and the like, told by the file-system type of its
// mount, not by its path). Their entries are the kernel's state rather than anyone's files: some
// change while they are listed, some have no end, and none is worth a backup. Never so on Windows.
// False when the folder cannot be opened.
bool GetWalkedFolderIdentity(const std::string& folder, FolderIdentity* identity,
                             bool* kernel_file_system);

// Last-write time of a file (not a folder) as a DOS date/time in local time; -1 when missing.
int32_t GetFileAge(const std::string& path);

// Sets the last-write time of a file from a DOS date/time in local time.
bool SetFileAge(const std::string& path, int32_t dos_time);

bool CreateDirectory(const std::string& path);
bool RemoveDirectory(const std::string& path);
bool DeleteFile(const std::string& path);

// Deletes a file that no process has open; false when it is in use, read-only or not there.
// For work files that a killed run left behind: a running program's own are kept.
bool DeleteUnusedFile(const std::string& path);

// CopyFileA: copies contents, attributes and last-write time. With fail_if_exists false an existing
// destination is replaced, unless it is read-only: then the copy is refused and it stays as it is.
bool CopyFile(const std::string& source, const std::string& destination, bool fail_if_exists);

// MoveFileExA with replace-existing and write-through: renames in one step, replacing a destination
// that exists. Both names must lie on one drive.
bool MoveFileReplacing(const std::string& source, const std::string& destination);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* contents);

// Writes a file so that it is never seen half-written: the data goes to a temporary file beside
// it, is flushed, and then replaces the old file in one step. The old file is untouched on failure.
bool WriteWholeFileSafely(const std::string& path, const std::string& contents);

// GetTempPathA: the temporary folder, with a trailing backslash; empty when there is none.
std::string GetTempPath();

// GetTempFileNameA(folder, prefix, 0): creates an empty file with a unique name in folder and
// returns its path; empty on failure.
std::string GetTempFileName(const std::string& folder, const std::string& prefix);

// GetModuleFileNameA(NULL): the full path of the running program; empty when it has no Windows
// path.
std::string GetModuleFileName();

// GetCurrentDirectoryA / SetCurrentDirectoryA.
std::string GetCurrentDirectory();
bool SetCurrentDirectory(const std::string& path);

// The drive path naming the folder that a path of the host's own form names, as a user types or
// pastes it: "/home/ann/backups" is "C:\backups" on Linux when C: is the home folder. Any other
// text comes back as it is: a drive path, a path no drive holds, and everything on Windows.
std::string DrivePathOfTypedPath(const std::string& typed);

// Writes text to the console the program was started from, if any (a Windows program with a
// window has none of its own: it writes to its parent's); false when there is none.
bool WriteToConsole(const std::string& text);

// Puts the process's current folder back, when it goes, where it was when it was made. A run that
// makes a folder current for its work must not keep it: a drive whose folder is current cannot be
// unmounted (Linux) or safely removed (Windows). Kept as the system names it, so that a folder no
// drive letter reaches comes back too.
class CurrentDirectoryKeeper {
 public:
  CurrentDirectoryKeeper();
  ~CurrentDirectoryKeeper();
  CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
  CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

 private:
  std::string saved_;  // empty when the current folder could not be read
};

// OemToCharA / CharToOemA with the OEM code page 437 of MS-DOS and the program's UTF-8 ANSI code
// page. Characters code page 437 lacks become "?".
std::string OemToAnsi(const std::string& oem);
std::string AnsiToOem(const std::string& ansi);

// LoadLibraryA / GetProcAddress / FreeLibrary. A name without a folder is looked for beside the
// program first (on Linux then in ../lib/ridideduvure from it). Returns null on failure.
void* LoadLibrary(const std::string& name);
void* GetProcAddress(void* library, const char* symbol);
void FreeLibrary(void* library);

// Owns a library LoadLibrary returned: freed when the owner goes or is reset.
struct LibraryTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle library) { platform::FreeLibrary(library); }
};
using LoadedLibrary = base::UniqueHandle<LibraryTraits>;

// An open file, read and written in sequence from a position (CreateFileA, ReadFile, WriteFile,
// SetFilePointerEx, SetEndOfFile). Closed when destroyed.
class File {
 public:
  enum class Mode {
    kRead,       // existing file, reading; others may read but not write
    kReadWrite,  // existing file, reading and writing
    kCreate,     // new or emptied file, reading and writing
    kCreateNew,  // new file only: fails when one exists
  };

  // Null when the file cannot be opened in that mode, or when it is no file on a disk (a device,
  // a pipe, a socket), whose reading could wait for ever or never end.
  static std::unique_ptr<File> Open(const std::string& path, Mode mode);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Reads up to size bytes; *got is 0 at the end of the file. False on a read error.
  bool Read(void* buffer, size_t size, size_t* got);
  // Reads exactly size bytes; false on an error or a short file.
  bool ReadExact(void* buffer, size_t size);
  bool Write(const void* data, size_t size);
  bool Seek(uint64_t position);
  uint64_t Position() const;
  // The size of the file; false on an error.
  bool Size(uint64_t* size) const;
  // Cuts the file off at the current position.
  bool Truncate();
  // Writes buffered data through to the disk.
  bool Flush();
  // Sets the last-write time from a DOS date/time in local time.
  bool SetAge(int32_t dos_time);

 private:
  explicit File(intptr_t handle) : handle_(handle) {}
  intptr_t handle_;
  uint64_t position_ = 0;
};

}  // namespace platform
