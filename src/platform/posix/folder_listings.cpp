// The listings of folders that the drive map keeps, to look up names without regard to case, and
// the locks and notes that keep them current with the platform's own changes.
#include "platform/posix/folder_listings.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <list>
#include <mutex>
#include <unordered_map>

#include "base/thread_annotations.h"
#include "base/wildcard.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/handles.h"

namespace platform::posix {
namespace {

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

base::Mutex listing_mutex;
std::unordered_map<std::string, FolderListing> listings GUARDED_BY(listing_mutex);
std::list<std::string> recent_folders GUARDED_BY(listing_mutex);  // most recently used first
size_t listed_names GUARDED_BY(listing_mutex) = 0;

// The locks of FolderChangeLock, a folder's chosen by the hash of its path.
constexpr size_t kFolderLocks = 64;
std::recursive_mutex folder_locks[kFolderLocks];

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

void Forget(std::unordered_map<std::string, FolderListing>::iterator it) REQUIRES(listing_mutex) {
  listed_names -= it->second.names.size();
  recent_folders.erase(it->second.recent);
  listings.erase(it);
}

// Keeps a listing as the most recently used, within the bounds by folders and by names; the one
// just kept stays whatever its size.
std::unordered_map<std::string, FolderListing>::iterator Keep(const std::string& folder,
                                                              FolderListing listing)
    REQUIRES(listing_mutex) {
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
    if (!listing->names.emplace(base::FoldCase(entry->d_name), entry->d_name).second) {
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

// Applies one change of the platform's own to the listing of its folder, whose stat is st (or
// forgets the listing when the folder is not the one listed).
void ApplyChange(const std::string& folder, const struct stat* st, const std::string& name,
                 bool added) REQUIRES(listing_mutex) {
  auto it = listings.find(folder);
  if (it == listings.end()) return;
  FolderListing& listing = it->second;
  if (!st || listing.device != st->st_dev || listing.inode != st->st_ino) {
    Forget(it);
    return;
  }
  const std::string folded = base::FoldCase(name);
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

bool StatFolder(const std::string& folder, struct stat* st) {
  return stat(folder.empty() ? "/" : folder.c_str(), st) == 0;
}

// Case-insensitive lookup, in the folder's listing, of an element that does not exist under its
// exact name; the element itself when none matches. st is the folder's own stat. The caller holds
// the folder's FolderChangeLock.
std::string FindInListing(const std::string& folder, struct stat st, const std::string& element,
                          bool* found, bool* is_folder) {
  *found = false;
  *is_folder = false;
  const std::string folded = base::FoldCase(element);
  std::string name;
  {
    base::MutexLock lock(listing_mutex);
    auto it = listings.find(folder);
    if (it != listings.end() && (!it->second.trusted || !SameState(it->second, st))) {
      Forget(it);
      it = listings.end();
    }
    if (it == listings.end()) {
      // Read without the lock of every listing, which the lookups in other folders take: a
      // large folder takes long to read, and may be waited for. This folder's own lock, held by
      // the caller, keeps this process's changes to it out meanwhile.
      lock.Unlock();
      FolderListing listing;
      if (!ReadListing(folder.empty() ? "/" : folder, &st, &listing)) return element;
      lock.Lock();
      if (auto kept = listings.find(folder); kept != listings.end()) Forget(kept);
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

std::recursive_mutex* FolderLockOf(const std::string& folder) {
  return &folder_locks[std::hash<std::string>()(folder) % kFolderLocks];
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

namespace {

// A listing that no longer matches its folder was outdated by another process: it goes before
// this process changes the folder, whose times would otherwise pass for this change's alone and
// keep the listing without the other's names.
void ForgetIfChangedElsewhere(const std::string& host_path) {
  std::string folder, name;
  if (!SplitHostPath(host_path, &folder, &name)) return;
  {
    base::MutexLock lock(listing_mutex);
    if (listings.find(folder) == listings.end()) return;
  }
  struct stat st;
  const bool there = StatFolder(folder, &st);
  base::MutexLock lock(listing_mutex);
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
  base::MutexLock lock(listing_mutex);
  if (listings.find(folder) == listings.end()) return;
  struct stat st;
  ApplyChange(folder, StatFolder(folder, &st) ? &st : nullptr, name, added);
}

void NoteNewFolder(const std::string& host_path) {
  struct stat st;
  if (!StatFolder(host_path, &st) || !S_ISDIR(st.st_mode)) return;
  base::MutexLock lock(listing_mutex);
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
  base::MutexLock lock(listing_mutex);
  if (listings.find(from_folder) == listings.end()) return;
  struct stat st;
  const struct stat* folder_state = StatFolder(from_folder, &st) ? &st : nullptr;
  ApplyChange(from_folder, folder_state, from_name, false);
  ApplyChange(from_folder, folder_state, to_name, true);
}

}  // namespace platform::posix
