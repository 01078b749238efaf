#include "search/listings_ahead.h"

#include <cstdint>
#include <system_error>
#include <utility>

#include "util/files.h"

namespace search {

ListingsAhead::ListingsAhead(bool with_files) : with_files_(with_files) {
  try {
    worker_ = std::thread([this] { Work(); });
  } catch (const std::system_error&) {
    // No second thread: the walk lists every folder itself.
  }
}

ListingsAhead::~ListingsAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  added_.notify_one();
  if (worker_.joinable()) worker_.join();
}

void ListingsAhead::Add(const std::string& folder, bool listed) {
  std::lock_guard<std::mutex> lock(mutex_);
  listings_.push_back(Listing{folder, listed, State::kWaiting, false, false, {}, {}, {}});
  if (worker_idle_) added_.notify_one();
}

void ListingsAhead::List(size_t index, std::unique_lock<std::mutex>& lock) {
  Listing& listing = listings_[index];
  listing.state = State::kListing;
  if (listing.listed) {
    lock.unlock();
    // Which folder this is must be known before it is listed: the walk takes the listing only
    // when no name of the folder came before. A repeated folder is listed here for nothing, but
    // only once, since what lies below it is never added.
    listing.identified =
        platform::GetWalkedFolderIdentity(listing.folder, &listing.identity, &listing.kernel);
    platform::Cause cause = platform::Cause::kNone;
    if (!listing.kernel) {
      cause = util::AddSubfolderNames(listing.folder, listing.subfolders,
                                      with_files_ ? &listing.files : nullptr);
    }
    lock.lock();
    listing.cause = cause;
  }
  listing.state = State::kListed;
  if (awaited_ == index) listed_.notify_one();
}

bool ListingsAhead::MayStart() const { return next_ < listings_.size() && next_ < taken_ + kAhead; }

void ListingsAhead::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    worker_idle_ = true;
    added_.wait(lock, [&] { return stopping_ || MayStart(); });
    worker_idle_ = false;
    if (stopping_) return;
    List(next_++, lock);
  }
}

bool ListingsAhead::EnterStart(const std::string& folder) {
  platform::FolderIdentity identity;
  bool kernel = false;
  if (!platform::GetWalkedFolderIdentity(folder, &identity, &kernel)) return true;
  if (kernel) return false;
  entered_.insert(identity);
  return true;
}

bool ListingsAhead::Take(size_t index, util::StringList& list, util::StringList* files,
                         platform::Cause* cause) {
  if (cause) *cause = platform::Cause::kNone;
  std::unique_lock<std::mutex> lock(mutex_);
  Listing& listing = listings_[index];
  // Every folder before this one is taken or never will be (a path too long to list): the window
  // listed ahead starts here, however many of those were skipped.
  taken_ = index;
  // While the worker lists this folder, this thread lists the next ones rather than wait: being
  // woken for each folder would cost more than most folders.
  while (listing.state != State::kListed && MayStart()) List(next_++, lock);
  awaited_ = index;
  listed_.wait(lock, [&] { return listing.state == State::kListed; });
  awaited_ = SIZE_MAX;
  taken_ = index + 1;
  util::StringList subfolders = std::move(listing.subfolders);
  util::StringList names = std::move(listing.files);
  const platform::Cause listed_cause = listing.cause;
  listing.folder = std::string();
  const bool entered =
      !listing.kernel && (!listing.identified || entered_.insert(listing.identity).second);
  if (worker_idle_) added_.notify_one();  // the window of folders listed ahead has moved
  lock.unlock();
  if (!entered) return false;
  list.insert(list.end(), std::make_move_iterator(subfolders.begin()),
              std::make_move_iterator(subfolders.end()));
  if (cause) *cause = listed_cause;
  if (files) {
    if (files->empty()) {
      *files = std::move(names);
    } else {
      files->insert(files->end(), std::make_move_iterator(names.begin()),
                    std::make_move_iterator(names.end()));
    }
  }
  return true;
}

}  // namespace search
