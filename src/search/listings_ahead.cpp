#include "search/listings_ahead.h"

#include <iterator>
#include <utility>

#include "util/files.h"

namespace search {

// One worker: the walk's own thread lists folders too while it waits, and the file system is
// seldom faster with more than two at once.
ListingsAhead::ListingsAhead(bool with_files)
    : with_files_(with_files),
      work_(1, kAhead, [this](Folder& folder, unsigned) { return List(folder); }) {}

ListingsAhead::Listing ListingsAhead::List(const Folder& folder) const {
  Listing listing;
  if (!folder.listed) return listing;
  // Which folder this is must be known before it is listed: the walk takes the listing only when
  // no name of the folder came before. A repeated folder is listed here for nothing, but only
  // once, since what lies below it is never added.
  listing.identified =
      platform::GetWalkedFolderIdentity(folder.path, &listing.identity, &listing.kernel);
  if (!listing.kernel) {
    listing.cause = util::AddSubfolderNames(folder.path, listing.subfolders,
                                            with_files_ ? &listing.files : nullptr);
  }
  return listing;
}

bool ListingsAhead::EnterStart(const std::string& folder) {
  platform::FolderIdentity identity;
  bool kernel = false;
  if (!platform::GetWalkedFolderIdentity(folder, &identity, &kernel)) return true;
  if (kernel) return false;
  entered_.insert(identity);
  return true;
}

bool ListingsAhead::Take(size_t index, base::StringList& list, base::StringList* files,
                         platform::Cause* cause) {
  if (cause) *cause = platform::Cause::kNone;
  // The folders before this one that the walk does not take (a path too long to list) are left
  // out: the window listed ahead starts here.
  Listing listing = std::move(*work_.Take(index));
  const bool entered =
      !listing.kernel && (!listing.identified || entered_.insert(listing.identity).second);
  if (!entered) return false;
  list.insert(list.end(), std::make_move_iterator(listing.subfolders.begin()),
              std::make_move_iterator(listing.subfolders.end()));
  if (cause) *cause = listing.cause;
  if (files) {
    if (files->empty()) {
      *files = std::move(listing.files);
    } else {
      files->insert(files->end(), std::make_move_iterator(listing.files.begin()),
                    std::make_move_iterator(listing.files.end()));
    }
  }
  return true;
}

}  // namespace search
