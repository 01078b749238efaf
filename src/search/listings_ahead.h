// Lists the folders of a breadth-first walk on a second thread, ahead of the walk, so that the
// file system's work on the next folders overlaps the walk's own work on this one. The walk gets
// every listing exactly as util::AddSubfolderNames gives it, and in its own order.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <utility>

#include "base/text.h"
#include "base/work_ahead.h"
#include "platform/cause.h"
#include "platform/platform.h"

namespace search {

class ListingsAhead {
 public:
  // With files, each listing also keeps the names of the folder's files.
  explicit ListingsAhead(bool with_files);

  // Folders the worker lists before the walk has taken them, at most.
  static constexpr size_t kAhead = 256;

  // The walk's next folder; its index is the number of folders added before it. A folder added
  // with listed false is never listed.
  void Add(const std::string& folder, bool listed) { work_.Add(Folder{folder, listed}); }
  // Appends the subfolders of the index-th folder added to list, and its files to *files, as
  // util::AddSubfolderNames(folder, list, files) does. Folders are taken in the order they were
  // added, each once at most; one the worker has not started is listed here.
  // False, and nothing appended, for a folder the walk must not enter: one taken before under
  // another name (through a link, a junction or a bind mount), or one of the kernel's own file
  // systems. The first name of a folder in the order of the walk is the one that counts. *cause,
  // when given, says why a folder could not be listed (kNone when it was).
  bool Take(size_t index, base::StringList& list, base::StringList* files,
            platform::Cause* cause = nullptr);
  // Takes the folder the walk starts from as entered, so that a link back to it is not entered;
  // false when the walk must not enter it.
  bool EnterStart(const std::string& folder);
  // The folders taken, by identity, handed over at the end of the walk (on the walk's thread).
  std::set<platform::FolderIdentity> TakeEntered() { return std::move(entered_); }

 private:
  struct Folder {
    std::string path;
    bool listed = false;
  };
  struct Listing {
    bool identified = false;  // the identity below is known
    bool kernel = false;      // on one of the kernel's own file systems: never listed
    platform::FolderIdentity identity;
    base::StringList subfolders;
    base::StringList files;
    platform::Cause cause = platform::Cause::kNone;
  };
  Listing List(const Folder& folder) const;

  const bool with_files_;
  // The folders taken so far, by identity; only the walk's thread uses it.
  std::set<platform::FolderIdentity> entered_;
  base::WorkAhead<Folder, Listing> work_;  // last: its worker stops before the rest goes
};

}  // namespace search
