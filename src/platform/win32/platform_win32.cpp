// The platform services on Windows: the real Win32 calls, in the ANSI code page (UTF-8 by the
// program's manifest).
#include <algorithm>
#include <string_view>

#include "platform/win32/windows_api.h"
// The interface after windows.h, so that its names are not taken for the A/W macros.
#include "base/unique_handle.h"
#include "platform/cause.h"
#include "platform/platform.h"

namespace platform {
namespace {

struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { ::CloseHandle(handle); }
};
using FileHandle = base::UniqueHandle<FileHandleTraits>;

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { ::FindClose(handle); }
};
using FindHandle = base::UniqueHandle<FindHandleTraits>;

int32_t ToDosTime(const FILETIME& utc) {
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) {
    return -1;
  }
  return static_cast<int32_t>((static_cast<uint32_t>(date) << 16) | time);
}

std::string FolderOf(const std::string& path) {
  size_t split = path.find_last_of("\\/");
  return split == std::string::npos ? std::string(".") : path.substr(0, split + 1);
}

// Converts between two code pages through UTF-16; unmappable characters become "?".
std::string Recode(const std::string& text, UINT from, UINT to) {
  if (text.empty()) return std::string();
  int wide_length =
      MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wide_length <= 0) return std::string();
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                      wide_length);
  const bool can_default = to != CP_UTF8 && to != CP_ACP;
  int length = WideCharToMultiByte(to, 0, wide.data(), wide_length, nullptr, 0,
                                   can_default ? "?" : nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(to, 0, wide.data(), wide_length, out.data(), length,
                      can_default ? "?" : nullptr, nullptr);
  return out;
}

// MS-DOS archives name their files in code page 437. OemToCharA would use the process's OEM code
// page instead, which the UTF-8 manifest turns into UTF-8 as well, so the page is named here.
constexpr UINT kOemCodePage = 437;

// Last-error values above any Windows uses carry the layer's own causes (SetLastCause); bit 29 is
// the one Windows leaves to applications.
constexpr DWORD kOwnCauseBase = 0x20000000;

}  // namespace

Cause LastCause() {
  const DWORD error = ::GetLastError();
  if (error >= kOwnCauseBase) return CauseFromCode(static_cast<int64_t>(error - kOwnCauseBase));
  switch (error) {
    case ERROR_SUCCESS:
    case ERROR_NO_MORE_FILES:
      return Cause::kNone;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_CANNOT_MAKE:
      return Cause::kAccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_BUSY:
      return Cause::kInUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
      return Cause::kDiskFull;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_BAD_NETPATH:
    case ERROR_DELETE_PENDING:
      return Cause::kNotFound;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
      return Cause::kBadName;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return Cause::kPathTooLong;
    case ERROR_WRITE_PROTECT:
      return Cause::kReadOnlyDrive;
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NO_MEDIA_IN_DRIVE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNRECOGNIZED_VOLUME:
      return Cause::kNotReady;
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_SEEK:
      return Cause::kDeviceError;
    case ERROR_TOO_MANY_OPEN_FILES:
      return Cause::kTooManyOpen;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return Cause::kNoMemory;
    default:
      return Cause::kOther;
  }
}

void SetLastCause(Cause cause) {
  ::SetLastError(cause == Cause::kNone ? ERROR_SUCCESS : kOwnCauseBase + static_cast<DWORD>(cause));
}

unsigned GetDriveType(const std::string& root) { return ::GetDriveTypeA(root.c_str()); }

std::string GetWindowsDirectory() {
  char buffer[MAX_PATH + 1];
  UINT length = ::GetWindowsDirectoryA(buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

std::string GetShellFolderPath(int csidl) {
  char buffer[MAX_PATH + 1] = {};
  if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, 0, buffer))) return std::string();
  return buffer;
}

bool GetVolumeInformation(const std::string& root, std::string* label, uint32_t* serial) {
  char name[MAX_PATH + 1] = {};
  DWORD serial_number = 0, max_component = 0, flags = 0;
  if (!::GetVolumeInformationA(root.c_str(), name, sizeof name, &serial_number, &max_component,
                               &flags, nullptr, 0)) {
    return false;
  }
  if (label) *label = name;
  if (serial) *serial = serial_number;
  return true;
}

bool GetDiskFreeSpaceEx(const std::string& folder, uint64_t* available) {
  ULARGE_INTEGER for_caller;
  if (!::GetDiskFreeSpaceExA(folder.c_str(), &for_caller, nullptr, nullptr)) return false;
  *available = for_caller.QuadPart;
  return true;
}

unsigned SetErrorMode(unsigned mode) { return ::SetErrorMode(mode); }

uint32_t GetFileAttributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

bool SetFileAttributes(const std::string& path, uint32_t attributes) {
  return ::SetFileAttributesA(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
}

bool FindFiles(const std::string& pattern, std::vector<FindEntry>* entries, FindDetail detail) {
  entries->clear();
  WIN32_FIND_DATAA data;
  // Nothing here uses the short 8.3 names, which cost the file system a look-up per entry, and a
  // larger buffer lists a big folder in fewer calls. Windows before 7 refuses both; there the
  // plain call lists the same entries.
  HANDLE find = ::FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_INVALID_PARAMETER)
    find = ::FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // Nothing matched in a folder that is there is no failure.
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) ::SetLastError(ERROR_SUCCESS);
    return false;
  }
  const FindHandle closes_find(find);
  do {
    const std::string_view name = data.cFileName;
    if (detail == FindDetail::kNamesAndKinds && (name == "." || name == "..")) continue;
    FindEntry entry;
    entry.name = data.cFileName;
    entry.attributes = data.dwFileAttributes;
    entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.dos_time = ToDosTime(data.ftLastWriteTime);
    entries->push_back(std::move(entry));
  } while (::FindNextFileA(find, &data));
  if (entries->empty()) ::SetLastError(ERROR_SUCCESS);
  return !entries->empty();
}

bool GetFolderIdentity(const std::string& folder, FolderIdentity* identity) {
  // Only backup semantics open a folder as a handle; no access right is needed to ask about it.
  FileHandle handle(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information;
  if (!handle.valid() || !::GetFileInformationByHandle(handle.get(), &information) ||
      !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  identity->volume = information.dwVolumeSerialNumber;
  identity->index =
      (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return true;
}

int32_t GetFileAge(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return -1;
  }
  return ToDosTime(data.ftLastWriteTime);
}

bool SetFileAge(const std::string& path, int32_t dos_time) {
  FILETIME local, utc;
  if (!::DosDateTimeToFileTime(static_cast<WORD>(static_cast<uint32_t>(dos_time) >> 16),
                               static_cast<WORD>(dos_time & 0xFFFF), &local) ||
      !::LocalFileTimeToFileTime(&local, &utc)) {
    return false;
  }
  FileHandle file(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid() && ::SetFileTime(file.get(), nullptr, nullptr, &utc);
}

bool CreateDirectory(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr); }

bool RemoveDirectory(const std::string& path) { return ::RemoveDirectoryA(path.c_str()); }

bool DeleteFile(const std::string& path) { return ::DeleteFileA(path.c_str()); }

// Windows refuses to delete a file that a process has open, unless it was opened with delete
// sharing, which this program never asks for.
bool DeleteUnusedFile(const std::string& path) { return ::DeleteFileA(path.c_str()); }

bool CopyFile(const std::string& source, const std::string& destination, bool fail_if_exists) {
  // Windows refuses to copy over a read-only or hidden file. Said here as well, because Wine run
  // by root writes through the read-only attribute, and the callers count on the refusal.
  const DWORD target = ::GetFileAttributesA(destination.c_str());
  if (!fail_if_exists && target != INVALID_FILE_ATTRIBUTES &&
      (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN))) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return ::CopyFileA(source.c_str(), destination.c_str(), fail_if_exists);
}

bool MoveFileReplacing(const std::string& source, const std::string& destination) {
  return ::MoveFileExA(source.c_str(), destination.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool ReadWholeFile(const std::string& path, std::string* contents) {
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  contents->clear();
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
    if (got == 0) return true;
    contents->append(buffer, got);
  }
  return false;
}

bool WriteWholeFileSafely(const std::string& path, const std::string& contents) {
  const DWORD old_attributes = ::GetFileAttributesA(path.c_str());
  if (old_attributes != INVALID_FILE_ATTRIBUTES &&
      (old_attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    return false;
  }
  std::string temp = GetTempFileName(FolderOf(path), "rd");
  if (temp.empty()) return false;
  bool ok = false;
  {
    FileHandle file(::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid()) {
      ok = true;
      for (size_t done = 0; ok && done < contents.size();) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents.size() - done, 1 << 20));
        DWORD written = 0;
        ok = ::WriteFile(file.get(), contents.data() + done, chunk, &written, nullptr) &&
             written == chunk;
        done += written;
      }
      ok = ok && ::FlushFileBuffers(file.get());
    }
  }
  if (ok && old_attributes != INVALID_FILE_ATTRIBUTES) {
    ::SetFileAttributesA(
        temp.c_str(),
        old_attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
  }
  if (ok && MoveFileReplacing(temp, path)) return true;
  ::DeleteFileA(temp.c_str());
  return false;
}

std::string GetTempPath() {
  char buffer[MAX_PATH + 1];
  DWORD length = ::GetTempPathA(sizeof buffer, buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

std::string GetTempFileName(const std::string& folder, const std::string& prefix) {
  char buffer[MAX_PATH + 1];
  if (!::GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buffer)) return std::string();
  return buffer;
}

std::string GetModuleFileName() {
  char buffer[MAX_PATH + 1];
  DWORD length = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

std::string GetCurrentDirectory() {
  char buffer[MAX_PATH + 1];
  DWORD length = ::GetCurrentDirectoryA(sizeof buffer, buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

bool SetCurrentDirectory(const std::string& path) { return ::SetCurrentDirectoryA(path.c_str()); }

std::string OemToAnsi(const std::string& oem) { return Recode(oem, kOemCodePage, CP_ACP); }

std::string AnsiToOem(const std::string& ansi) { return Recode(ansi, CP_ACP, kOemCodePage); }

void* LoadLibrary(const std::string& name) {
  return reinterpret_cast<void*>(::LoadLibraryA(name.c_str()));
}

void* GetProcAddress(void* library, const char* symbol) {
  if (!library) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), symbol));
}

void FreeLibrary(void* library) {
  if (library) ::FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace platform

namespace platform {

std::unique_ptr<File> File::Open(const std::string& path, Mode mode) {
  DWORD access = GENERIC_READ;
  DWORD share = FILE_SHARE_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case Mode::kRead:
      break;
    case Mode::kReadWrite:
      access |= GENERIC_WRITE;
      break;
    case Mode::kCreate:
      access |= GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case Mode::kCreateNew:
      access |= GENERIC_WRITE;
      disposition = CREATE_NEW;
      break;
  }
  // As with CopyFile: Wine run by root would write through the read-only attribute.
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (mode != Mode::kRead && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_READONLY)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  FileHandle handle(::CreateFileA(path.c_str(), access, share, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  // A name such as "CON" or a pipe opens a device, whose reading waits for input or never ends.
  if (!handle.valid()) return nullptr;
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
    handle.Reset();
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return std::unique_ptr<File>(new File(reinterpret_cast<intptr_t>(handle.Release())));
}

File::~File() { ::CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

namespace {

bool SeekHandle(intptr_t handle, uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return ::SetFilePointerEx(reinterpret_cast<HANDLE>(handle), to, nullptr, FILE_BEGIN);
}

}  // namespace

bool File::Read(void* buffer, size_t size, size_t* got) {
  *got = 0;
  if (!SeekHandle(handle_, position_)) return false;
  DWORD read = 0;
  DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, chunk, &read, nullptr)) return false;
  *got = read;
  position_ += read;
  return true;
}

bool File::Write(const void* data, size_t size) {
  if (!SeekHandle(handle_, position_)) return false;
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(reinterpret_cast<HANDLE>(handle_), at, chunk, &written, nullptr)) {
      return false;
    }
    if (written == 0) {
      ::SetLastError(ERROR_DISK_FULL);
      return false;
    }
    at += written;
    size -= written;
    position_ += written;
  }
  return true;
}

bool File::Size(uint64_t* size) const {
  LARGE_INTEGER value;
  if (!::GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &value)) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool File::Truncate() {
  return SeekHandle(handle_, position_) && ::SetEndOfFile(reinterpret_cast<HANDLE>(handle_));
}

bool File::Flush() { return ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle_)); }

bool File::SetAge(int32_t dos_time) {
  FILETIME local, utc;
  if (!::DosDateTimeToFileTime(static_cast<WORD>(static_cast<uint32_t>(dos_time) >> 16),
                               static_cast<WORD>(dos_time & 0xFFFF), &local) ||
      !::LocalFileTimeToFileTime(&local, &utc)) {
    return false;
  }
  return ::SetFileTime(reinterpret_cast<HANDLE>(handle_), nullptr, nullptr, &utc);
}

}  // namespace platform
