#include "platform/posix/drive_map.h"

#include <dirent.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <list>
#include <mutex>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "base/wildcard.h"
#include "platform/platform.h"
#include "platform/posix/handles.h"

namespace platform::posix {
namespace {

std::string Env(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* pw = getpwuid(geteuid())) home = pw->pw_dir;
  }
  return home;
}

std::string UserName() {
  std::string user = Env("USER");
  if (user.empty()) {
    if (const passwd* pw = getpwuid(geteuid())) user = pw->pw_name;
  }
  return user;
}

bool IsFolder(const std::string& host) {
  struct stat st;
  return stat(host.empty() ? "/" : host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "/a/b/" -> "/a/b"; "/" -> "" (the root is the empty folder, so joining gives "/name").
std::string WithoutTrailingSlash(std::string folder) {
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string RealFolder(const std::string& folder) {
  char buffer[PATH_MAX];
  if (realpath(folder.empty() ? "/" : folder.c_str(), buffer)) {
    return WithoutTrailingSlash(buffer);
  }
  return WithoutTrailingSlash(folder);
}

// Wine keeps drive types in system.reg under [Software\\Wine\\Drives] as "d:"="cdrom".
std::map<char, unsigned> WineDriveTypes(const std::string& prefix) {
  std::map<char, unsigned> types;
  std::ifstream reg(prefix + "/system.reg");
  std::string line;
  bool in_drives = false;
  while (std::getline(reg, line)) {
    if (!line.empty() && line.front() == '[') {
      in_drives = line.rfind("[Software\\\\Wine\\\\Drives]", 0) == 0;
      continue;
    }
    if (!in_drives || line.size() < 8 || line[0] != '"' || line[2] != ':') continue;
    char letter = static_cast<char>(toupper(static_cast<unsigned char>(line[1])));
    std::string kind = line.substr(line.find('=') + 1);
    if (kind == "\"cdrom\"")
      types[letter] = kDriveCdrom;
    else if (kind == "\"floppy\"")
      types[letter] = kDriveRemovable;
    else if (kind == "\"network\"")
      types[letter] = kDriveRemote;
    else if (kind == "\"hd\"")
      types[letter] = kDriveFixed;
  }
  return types;
}

bool LoadWinePrefix(const std::string& prefix, DriveMap* map) {
  const std::string dosdevices = prefix + "/dosdevices";
  const Directory listing(opendir(dosdevices.c_str()));
  DIR* dir = listing.get();
  if (!dir) return false;
  std::map<char, unsigned> types = WineDriveTypes(prefix);
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    // "c:" is a drive; "d::" is the raw device behind a drive and not a folder.
    if (name.size() != 2 || name[1] != ':' || !isalpha(static_cast<unsigned char>(name[0])))
      continue;
    char letter = static_cast<char>(toupper(static_cast<unsigned char>(name[0])));
    Drive drive;
    drive.folder = RealFolder(dosdevices + "/" + name);
    if (auto type = types.find(letter); type != types.end()) drive.type = type->second;
    map->drives[letter] = drive;
  }
  if (map->drives.count('C')) {
    map->windows = "C:\\windows";
    const std::string user = "C:\\users\\" + UserName();
    map->documents = user + "\\Documents";
    map->temp = user + "\\Temp";
  }
  return true;
}

DriveMap DefaultMap() {
  DriveMap map;
  std::string prefix = Env("WINEPREFIX");
  if (prefix.empty() && !HomeFolder().empty()) prefix = HomeFolder() + "/.wine";
  if (!prefix.empty() && LoadWinePrefix(WithoutTrailingSlash(prefix), &map)) return map;

  // No prefix: drive C: is the home folder and Z: the whole file system, as Wine maps them. The
  // proposals of the window, and a search of the whole of C:, then stay inside the user's own
  // files instead of walking the system's.
  const std::string home = HomeFolder().empty() ? std::string() : RealFolder(HomeFolder());
  Drive home_drive;
  home_drive.folder = home;
  map.drives['C'] = home_drive;
  if (!home.empty()) {
    Drive root;
    root.whole_file_system = true;
    map.drives['Z'] = root;
  }
  std::string temp = Env("TMPDIR").empty() ? "/tmp" : Env("TMPDIR");
  // A host path as the drive that holds it most closely names it.
  auto to_windows = [&home](const std::string& host) {
    const std::string folder = WithoutTrailingSlash(host);
    const bool in_home = home.empty() || folder == home || folder.rfind(home + "/", 0) == 0;
    std::string path = in_home ? "C:" + folder.substr(home.size()) : "Z:" + folder;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  };
  map.documents = to_windows(home + "/Documents");
  map.temp = to_windows(RealFolder(temp));
  return map;
}

std::mutex map_mutex;
std::string map_signature;
std::shared_ptr<const DriveMap> map_cache;

// What the platform knows of the folders whose names it needed without regard to case. Looking
// for a name that does not exist yet means reading the whole folder, and the search and the
// restores look up thousands of names in the same folders: each folder is read once, its names
// kept folded, and read again only when its identity or times say that someone else changed it.
// The platform's own changes keep a listing current as they happen.
//
// A folder's times have the resolution of the file system's clock, not of the change: a change
// made within the same tick as the reading leaves the times as they were read. A listing read
// while the folder's times are that recent is therefore not trusted: it is read again when next
// needed (or, when the tick is short, after waiting it out).
struct FolderListing {
  dev_t device = 0;
  ino_t inode = 0;
  struct timespec modified = {};
  struct timespec changed = {};
  bool trusted = false;
  // Folded name -> the name as the folder holds it, the first one listed when several fold alike.
  std::unordered_map<std::string, std::string> names;
  bool folds_alike = false;  // two names fold alike: removing one may uncover the other
  std::list<std::string>::iterator recent;
};

constexpr size_t kMaxListedFolders = 256;
constexpr size_t kMaxListedNames = 1 << 18;
// Ticks longer than this are waited for only by reading the folder again when next needed.
constexpr long kLongestTickWaited = 20'000'000;  // nanoseconds
// Folders of no more names than this are read again rather than waited for.
constexpr size_t kSmallFolder = 64;

std::mutex listing_mutex;
std::unordered_map<std::string, FolderListing> listings;
std::list<std::string> recent_folders;  // most recently used first
size_t listed_names = 0;

// The locks of FolderChangeLock, a folder's chosen by the hash of its path.
constexpr size_t kFolderLocks = 64;
std::recursive_mutex folder_locks[kFolderLocks];

std::recursive_mutex* FolderLockOf(const std::string& folder) {
  return &folder_locks[std::hash<std::string>()(folder) % kFolderLocks];
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SameState(const FolderListing& listing, const struct stat& st) {
  return listing.device == st.st_dev && listing.inode == st.st_ino &&
         SameTime(listing.modified, st.st_mtim) && SameTime(listing.changed, st.st_ctim);
}

int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// The tick of the clock that stamps a folder's times. Times without nanoseconds come from a file
// system that keeps whole seconds (or two).
int64_t TickOf(const struct stat& st) {
  if (st.st_mtim.tv_nsec == 0 && st.st_ctim.tv_nsec == 0) return 2'000'000'000;
  struct timespec resolution = {0, 4'000'000};
  clock_getres(CLOCK_REALTIME_COARSE, &resolution);
  return std::max<int64_t>(Nanoseconds(resolution), 1'000'000) * 2;
}

// Nanoseconds from the folder's last change to the end of the tick it fell in, as seen now; 0
// when that tick is over, so that any later change must move the folder's times.
int64_t RecentBy(const struct stat& st) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  const int64_t latest = std::max(Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim));
  return std::max<int64_t>(0, latest + TickOf(st) - Nanoseconds(now));
}

bool StatFolder(const std::string& folder, struct stat* st) {
  return stat(folder.empty() ? "/" : folder.c_str(), st) == 0;
}

void Forget(std::unordered_map<std::string, FolderListing>::iterator it) {
  listed_names -= it->second.names.size();
  recent_folders.erase(it->second.recent);
  listings.erase(it);
}

// Keeps a listing as the most recently used, within the bounds by folders and by names; the one
// just kept stays whatever its size. Holds listing_mutex.
std::unordered_map<std::string, FolderListing>::iterator Keep(const std::string& folder,
                                                              FolderListing listing) {
  recent_folders.push_front(folder);
  listing.recent = recent_folders.begin();
  listed_names += listing.names.size();
  auto it = listings.emplace(folder, std::move(listing)).first;
  while (listings.size() > 1 &&
         (listings.size() > kMaxListedFolders || listed_names > kMaxListedNames)) {
    Forget(listings.find(recent_folders.back()));
  }
  return it;
}

// Reads the folder's names into a listing; false when it cannot be read.
bool ReadNames(const std::string& opened, const struct stat& st, FolderListing* listing) {
  const Directory dir(opendir(opened.c_str()));
  if (!dir) return false;
  listing->device = st.st_dev;
  listing->inode = st.st_ino;
  listing->modified = st.st_mtim;
  listing->changed = st.st_ctim;
  listing->names.clear();
  listing->folds_alike = false;
  while (dirent* entry = readdir(dir.get())) {
    if (!listing->names.emplace(util::FoldCase(entry->d_name), entry->d_name).second) {
      listing->folds_alike = true;
    }
  }
  return true;
}

// Reads the folder's names into a listing, trusted when the folder's times are past their tick.
// A small folder is read again when next needed rather than waited for: reading it costs less
// than the wait, and folders just made by an extraction are small and changing all the time.
// A large one is worth its wait once, as the listing then serves every later lookup.
bool ReadListing(const std::string& opened, struct stat* st, FolderListing* listing) {
  if (!ReadNames(opened, *st, listing)) return false;
  int64_t recent = RecentBy(*st);
  if (recent > 0 && recent <= kLongestTickWaited && listing->names.size() > kSmallFolder) {
    struct timespec wait = {0, static_cast<long>(recent)};
    nanosleep(&wait, nullptr);
    if (stat(opened.c_str(), st) != 0 || !ReadNames(opened, *st, listing)) return false;
    recent = RecentBy(*st);
  }
  listing->trusted = recent == 0;
  return true;
}

// Whether a host path names something, and whether that is a folder (through a link when it is
// one): one lstat for all but links.
bool Exists(const std::string& path, bool* is_folder) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return false;
  if (S_ISLNK(st.st_mode)) {
    struct stat target;
    *is_folder = stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
  } else {
    *is_folder = S_ISDIR(st.st_mode);
  }
  return true;
}

// Case-insensitive lookup, in the folder's listing, of an element that does not exist under its
// exact name; the element itself when none matches. st is the folder's own stat.
std::string FindInListing(const std::string& folder, struct stat st, const std::string& element,
                          bool* found, bool* is_folder) {
  *found = false;
  *is_folder = false;
  const std::string folded = util::FoldCase(element);
  std::string name;
  {
    std::lock_guard<std::mutex> lock(listing_mutex);
    auto it = listings.find(folder);
    if (it != listings.end() && (!it->second.trusted || !SameState(it->second, st))) {
      Forget(it);
      it = listings.end();
    }
    if (it == listings.end()) {
      FolderListing listing;
      if (!ReadListing(folder.empty() ? "/" : folder, &st, &listing)) return element;
      it = Keep(folder, std::move(listing));
    } else if (it->second.recent != recent_folders.begin()) {
      recent_folders.splice(recent_folders.begin(), recent_folders, it->second.recent);
    }
    auto match = it->second.names.find(folded);
    if (match == it->second.names.end() || match->second == element) return element;
    name = match->second;
  }
  // The listing may name what has gone since the folder's times last moved within one tick.
  if (Exists(folder + "/" + name, is_folder)) {
    *found = true;
    return name;
  }
  *is_folder = false;
  return element;
}

// Case-insensitive lookup of one element in a host folder; the element itself when none matches.
std::string FindElement(const std::string& folder, const std::string& element, bool* found,
                        bool* is_folder) {
  if (Exists(folder + "/" + element, is_folder)) {
    *found = true;
    return element;
  }
  *found = false;
  *is_folder = false;
  const std::lock_guard<std::recursive_mutex> changes(*FolderLockOf(folder));
  struct stat st;
  if (!StatFolder(folder, &st)) return element;
  return FindInListing(folder, st, element, found, is_folder);
}

// Splits a Windows path below its drive into elements, folding "." and "..".
std::vector<std::string> Elements(const std::string& rest) {
  std::vector<std::string> elements;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find_first_of("\\/", start);
    if (end == std::string::npos) end = rest.size();
    std::string element = rest.substr(start, end - start);
    start = end + 1;
    if (element.empty() || element == ".") continue;
    if (element == "..") {
      if (!elements.empty()) elements.pop_back();
      continue;
    }
    elements.push_back(element);
  }
  return elements;
}

// Applies one change of the platform's own to the listing of its folder, whose stat is st (or
// forgets the listing when the folder is not the one listed). Holds listing_mutex.
void ApplyChange(const std::string& folder, const struct stat* st, const std::string& name,
                 bool added) {
  auto it = listings.find(folder);
  if (it == listings.end()) return;
  FolderListing& listing = it->second;
  if (!st || listing.device != st->st_dev || listing.inode != st->st_ino) {
    Forget(it);
    return;
  }
  const std::string folded = util::FoldCase(name);
  auto match = listing.names.find(folded);
  if (added) {
    if (match == listing.names.end()) {
      listing.names.emplace(folded, name);
      ++listed_names;
    } else if (match->second != name) {
      listing.folds_alike = true;
    }
  } else if (match != listing.names.end()) {
    if (listing.folds_alike || match->second != name) {
      // Another name of the folder may fold alike; only a reading can tell which one remains.
      Forget(it);
      return;
    }
    listing.names.erase(match);
    --listed_names;
  }
  listing.modified = st->st_mtim;
  listing.changed = st->st_ctim;
}

// The folder and the name of a host path; false for a path without a slash.
bool SplitHostPath(const std::string& host_path, std::string* folder, std::string* name) {
  const size_t slash = host_path.rfind('/');
  if (slash == std::string::npos) return false;
  *folder = host_path.substr(0, slash);
  *name = host_path.substr(slash + 1);
  return true;
}

}  // namespace

namespace {

// A listing that no longer matches its folder was outdated by another process: it goes before
// this process changes the folder, whose times would otherwise pass for this change's alone and
// keep the listing without the other's names.
void ForgetIfChangedElsewhere(const std::string& host_path) {
  std::string folder, name;
  if (!SplitHostPath(host_path, &folder, &name)) return;
  {
    std::lock_guard<std::mutex> lock(listing_mutex);
    if (listings.find(folder) == listings.end()) return;
  }
  struct stat st;
  const bool there = StatFolder(folder, &st);
  std::lock_guard<std::mutex> lock(listing_mutex);
  auto it = listings.find(folder);
  if (it != listings.end() && (!there || !SameState(it->second, st))) Forget(it);
}

}  // namespace

FolderChangeLock::FolderChangeLock(const std::string& host_path,
                                   const std::string& second_host_path) {
  const auto lock_of = [](const std::string& path) -> std::recursive_mutex* {
    std::string folder, name;
    return SplitHostPath(path, &folder, &name) ? FolderLockOf(folder) : nullptr;
  };
  first_ = lock_of(host_path);
  if (!second_host_path.empty()) second_ = lock_of(second_host_path);
  if (second_ == first_) second_ = nullptr;
  // Two locks are always taken in the same order, so that two threads holding two folders each
  // cannot wait on each other.
  if (first_ && second_ && second_ < first_) std::swap(first_, second_);
  if (first_) first_->lock();
  if (second_) second_->lock();
  ForgetIfChangedElsewhere(host_path);
  if (!second_host_path.empty()) ForgetIfChangedElsewhere(second_host_path);
}

FolderChangeLock::~FolderChangeLock() {
  if (second_) second_->unlock();
  if (first_) first_->unlock();
}

void NoteFolderChange(const std::string& host_path, bool added) {
  std::string folder, name;
  if (!SplitHostPath(host_path, &folder, &name)) return;
  std::lock_guard<std::mutex> lock(listing_mutex);
  if (listings.find(folder) == listings.end()) return;
  struct stat st;
  ApplyChange(folder, StatFolder(folder, &st) ? &st : nullptr, name, added);
}

void NoteNewFolder(const std::string& host_path) {
  struct stat st;
  if (!StatFolder(host_path, &st) || !S_ISDIR(st.st_mode)) return;
  std::lock_guard<std::mutex> lock(listing_mutex);
  if (auto old = listings.find(host_path); old != listings.end()) Forget(old);
  FolderListing listing;
  listing.device = st.st_dev;
  listing.inode = st.st_ino;
  listing.modified = st.st_mtim;
  listing.changed = st.st_ctim;
  // Made by this process a moment ago: no one else has had the time to know of it.
  listing.trusted = true;
  Keep(host_path, std::move(listing));
}

void NoteRename(const std::string& from_host_path, const std::string& to_host_path) {
  std::string from_folder, from_name, to_folder, to_name;
  if (!SplitHostPath(from_host_path, &from_folder, &from_name) ||
      !SplitHostPath(to_host_path, &to_folder, &to_name) || from_folder != to_folder) {
    NoteFolderChange(from_host_path, false);
    NoteFolderChange(to_host_path, true);
    return;
  }
  std::lock_guard<std::mutex> lock(listing_mutex);
  if (listings.find(from_folder) == listings.end()) return;
  struct stat st;
  const struct stat* folder_state = StatFolder(from_folder, &st) ? &st : nullptr;
  ApplyChange(from_folder, folder_state, from_name, false);
  ApplyChange(from_folder, folder_state, to_name, true);
}

DriveMap ParseDriveMap(const std::string& text) {
  DriveMap map;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = line.substr(0, equals);
    std::string value = line.substr(equals + 1);
    if (key == "windows") {
      map.windows = value;
    } else if (key == "documents") {
      map.documents = value;
    } else if (key == "temp") {
      map.temp = value;
    } else if (key.size() == 2 && key[1] == ':' && isalpha(static_cast<unsigned char>(key[0]))) {
      size_t bar1 = value.find('|');
      size_t bar2 = bar1 == std::string::npos ? std::string::npos : value.find('|', bar1 + 1);
      if (bar2 == std::string::npos) continue;
      Drive drive;
      drive.type = static_cast<unsigned>(atoi(value.substr(0, bar1).c_str()));
      drive.label = value.substr(bar1 + 1, bar2 - bar1 - 1);
      drive.label_set = !drive.label.empty();
      drive.folder = RealFolder(value.substr(bar2 + 1));
      map.drives[static_cast<char>(toupper(static_cast<unsigned char>(key[0])))] = drive;
    }
  }
  return map;
}

std::shared_ptr<const DriveMap> CurrentDriveMap() {
  const std::string drives = Env("RIDIDEDUVURE_DRIVES");
  std::string signature = drives + '\0' + Env("WINEPREFIX") + '\0' + Env("HOME") + '\0' +
                          Env("TMPDIR") + '\0' + Env("USER");
  std::lock_guard<std::mutex> lock(map_mutex);
  if (!map_cache || signature != map_signature) {
    map_cache =
        std::make_shared<const DriveMap>(drives.empty() ? DefaultMap() : ParseDriveMap(drives));
    map_signature = signature;
  }
  return map_cache;
}

namespace {

// The host path of a Windows path; as_written takes every element as it is written, without
// looking at what exists.
bool Resolve(const std::string& windows_path, bool as_written, std::string* host_path) {
  std::string path = windows_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.rfind("\\\\", 0) == 0) {  // UNC and device paths have no drive here
    errno = ENOMEDIUM;
    return false;
  }

  std::string rest;
  char letter = 0;
  if (path.size() >= 2 && path[1] == ':' && isalpha(static_cast<unsigned char>(path[0]))) {
    letter = static_cast<char>(toupper(static_cast<unsigned char>(path[0])));
    rest = path.substr(2);
    if (rest.empty() || rest[0] != '\\') {
      // "C:name" is relative to the current folder when that is on C:, else to the root.
      std::string current = GetCurrentDirectory();
      rest = (!current.empty() && toupper(static_cast<unsigned char>(current[0])) == letter)
                 ? current.substr(2) + "\\" + rest
                 : "\\" + rest;
    }
  } else {
    std::string current = GetCurrentDirectory();
    if (current.size() < 2) return false;
    letter = static_cast<char>(toupper(static_cast<unsigned char>(current[0])));
    rest = path.starts_with("\\") ? path : current.substr(2) + "\\" + path;
  }

  auto map = CurrentDriveMap();
  auto drive = map->drives.find(letter);
  if (drive == map->drives.end()) {
    errno = ENOMEDIUM;  // as Windows says of a letter no drive has
    return false;
  }
  const std::vector<std::string> elements = Elements(rest);

  // Most paths are written as they exist, or name a new file in a folder that does: one or two
  // checks, however deep the path.
  std::string parent = drive->second.folder;
  for (size_t i = 0; i + 1 < elements.size(); ++i) parent += "/" + elements[i];
  if (as_written) {
    *host_path = elements.empty() ? parent : parent + "/" + elements.back();
    if (host_path->empty()) *host_path = "/";
    return true;
  }
  struct stat st;
  bool found = false;
  bool is_folder = false;
  if (!elements.empty()) {
    const std::string exact = parent + "/" + elements.back();
    if (Exists(exact, &is_folder)) {
      *host_path = exact;
      return true;
    }
    const std::lock_guard<std::recursive_mutex> changes(*FolderLockOf(parent));
    if (StatFolder(parent, &st) && S_ISDIR(st.st_mode)) {
      *host_path = parent + "/" + FindInListing(parent, st, elements.back(), &found, &is_folder);
      return true;
    }
  }

  std::string host = drive->second.folder;
  bool parent_exists = IsFolder(host);
  for (const std::string& element : elements) {
    std::string name = parent_exists ? FindElement(host, element, &found, &is_folder) : element;
    host += "/" + name;
    parent_exists = found && is_folder;
  }
  *host_path = host.empty() ? "/" : host;
  return true;
}

}  // namespace

bool ToHostPath(const std::string& windows_path, std::string* host_path) {
  return Resolve(windows_path, false, host_path);
}

bool ToExactHostPath(const std::string& windows_path, std::string* host_path) {
  return Resolve(windows_path, true, host_path);
}

bool ToWindowsPath(const std::string& host_path, std::string* windows_path) {
  std::string absolute = host_path;
  if (absolute.empty() || absolute[0] != '/') {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return false;
    absolute = std::string(cwd) + "/" + absolute;
  }
  std::string real = absolute;
  char buffer[PATH_MAX];
  if (realpath(absolute.c_str(), buffer)) real = buffer;
  std::string normal;
  for (const std::string& element : Elements(real)) normal += "/" + element;

  auto map = CurrentDriveMap();
  char best_letter = 0;
  size_t best_length = 0;
  for (const auto& [letter, drive] : map->drives) {
    const std::string& folder = drive.folder;
    bool holds = normal == folder || normal.rfind(folder + "/", 0) == 0;
    if (holds && (!best_letter || folder.size() > best_length)) {
      best_letter = letter;
      best_length = folder.size();
    }
  }
  if (!best_letter) return false;
  std::string rest = normal.substr(best_length);
  for (char& c : rest) {
    if (c == '/') c = '\\';
  }
  *windows_path = std::string(1, best_letter) + ":" + (rest.empty() ? "\\" : rest);
  return true;
}

unsigned DriveTypeOfMount(const std::string& host_folder) {
  std::ifstream file("/proc/self/mountinfo");
  std::stringstream mountinfo;
  mountinfo << file.rdbuf();
  return DriveTypeFromMountInfo(RealFolder(host_folder), mountinfo.str());
}

unsigned DriveTypeFromMountInfo(const std::string& real, const std::string& mountinfo_text) {
  std::istringstream mountinfo(mountinfo_text);
  std::string line, best_type, best_source;
  size_t best_length = 0;
  bool found = false;
  while (std::getline(mountinfo, line)) {
    // id parent major:minor root mount-point options [optional...] - fstype source super-options
    std::istringstream fields(line);
    std::string id, parent, device, root, mount_point, field;
    fields >> id >> parent >> device >> root >> mount_point;
    while (fields >> field && field != "-") {
    }
    std::string fs_type, source;
    fields >> fs_type >> source;
    // Mount points escape blanks and the like as octal "\040".
    std::string point;
    for (size_t i = 0; i < mount_point.size(); ++i) {
      if (mount_point[i] == '\\' && i + 3 < mount_point.size()) {
        point += static_cast<char>(std::stoi(mount_point.substr(i + 1, 3), nullptr, 8));
        i += 3;
      } else {
        point += mount_point[i];
      }
    }
    point = WithoutTrailingSlash(point);
    bool holds = real == point || real.rfind(point + "/", 0) == 0;
    if (holds && (!found || point.size() >= best_length)) {
      found = true;
      best_length = point.size();
      best_type = fs_type;
      best_source = source;
    }
  }
  if (best_type == "iso9660" || best_type == "udf") return kDriveCdrom;
  static const char* const kNetwork[] = {"nfs",   "nfs4", "cifs",       "smb3",  "smbfs",
                                         "ncpfs", "afs",  "fuse.sshfs", "davfs", "fuse.davfs2"};
  for (const char* network : kNetwork) {
    if (best_type == network) return kDriveRemote;
  }
  if (best_source.rfind("/dev/", 0) == 0) {
    // A partition's "removable" flag lives with its whole disk, one folder up in sysfs.
    std::string name = best_source.substr(best_source.rfind('/') + 1);
    char sys[PATH_MAX];
    std::string link = "/sys/class/block/" + name;
    if (realpath(link.c_str(), sys)) {
      for (std::string folder = sys; folder.size() > 1;
           folder = folder.substr(0, folder.rfind('/'))) {
        std::ifstream removable(folder + "/removable");
        int flag = 0;
        if (removable >> flag) return flag == 1 ? kDriveRemovable : kDriveFixed;
      }
    }
  }
  return kDriveFixed;
}

}  // namespace platform::posix
