// The floor for any walk of a tree: one pass of readdir over every folder, single thread, the
// entry type taken from d_type and nothing stat'ed. A peer of the program's search, not part of
// the program, so it talks to the host directly.
//   tree_walk FOLDER   prints the number of folders and files below FOLDER
#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tree_walk FOLDER\n");
    return 2;
  }
  std::vector<std::string> pending = {argv[1]};
  long folders = 0, files = 0;
  while (!pending.empty()) {
    const std::string folder = std::move(pending.back());
    pending.pop_back();
    DIR* dir = opendir(folder.c_str());
    if (!dir) continue;
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_type == DT_DIR) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
          continue;
        }
        ++folders;
        pending.push_back(folder + "/" + entry->d_name);
      } else {
        ++files;
      }
    }
    closedir(dir);
  }
  std::printf("%ld folders, %ld files\n", folders, files);
  return 0;
}
