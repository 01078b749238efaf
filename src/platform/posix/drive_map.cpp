#include "platform/posix/drive_map.h"

#include <dirent.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "base/thread_annotations.h"
#include "base/wildcard.h"
#include "platform/platform.h"
#include "platform/posix/folder_listings.h"
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

base::Mutex map_mutex;
std::string map_signature GUARDED_BY(map_mutex);
std::shared_ptr<const DriveMap> map_cache GUARDED_BY(map_mutex);

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

}  // namespace

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
  base::MutexLock lock(map_mutex);
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
