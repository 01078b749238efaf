#include "cdburner/cd_burner.h"

#include <stdexcept>
#include <utility>

#include "base/text.h"
#include "cdburner/burn_thread.h"
#include "platform/cd_burn_service.h"
#include "platform/platform.h"

namespace cdburner {
namespace {

// Links and junctions can make a tree endless; no real folder tree is this deep.
constexpr int kMaxFolderDepth = 64;

bool IsDots(const std::string& name) { return name == "." || name == ".."; }

// Sizes count as 32-bit signed values: files of 2 GiB or more lie outside the supported range.
int64_t SizeOf(const platform::FindEntry& entry) {
  return static_cast<int32_t>(static_cast<uint32_t>(entry.size));
}

// The sizes of every entry of a folder tree.
int64_t FolderSize(const std::string& folder, int depth) {
  std::vector<platform::FindEntry> entries;
  if (depth > kMaxFolderDepth || !platform::FindFiles(folder + "*.*", &entries)) return 0;
  int64_t size = 0;
  for (const auto& entry : entries) {
    size += SizeOf(entry);
    if ((entry.attributes & platform::kAttrDirectory) && !IsDots(entry.name)) {
      size += FolderSize(folder + entry.name + "\\", depth + 1);
    }
  }
  return size;
}

// Deletes everything below path; returns the number of items that would not go.
int EmptyFolder(const std::string& path, int depth = 0) {
  if (path.empty()) {
    throw std::runtime_error("ASSERT FAILED:  Will not EmptyFolder without explicit path.");
  }
  if (!platform::FolderExists(path)) throw std::runtime_error("ASSERT FAILED:  Folder not Found");
  const std::string folder = base::AddBackslash(path);
  std::vector<platform::FindEntry> entries;
  if (depth > kMaxFolderDepth || !platform::FindFiles(folder + "*.*", &entries)) return 0;
  int failed = 0;
  for (const auto& entry : entries) {
    if (IsDots(entry.name)) continue;
    const std::string item = folder + entry.name;
    if (entry.attributes & platform::kAttrDirectory) {
      failed += EmptyFolder(item, depth + 1);
      if (!platform::RemoveDirectory(item)) ++failed;
    } else if (!platform::DeleteFile(item) &&
               platform::GetFileAttributes(item) != platform::kInvalidAttributes) {
      ++failed;
    }
  }
  return failed;
}

}  // namespace

TCDBurner::TCDBurner(ui::Component* owner) : owner_(dynamic_cast<ui::Form*>(owner)) {
  if (!owner_) throw std::runtime_error("Error: Component must be owned by TForm");
  self_ = std::make_shared<TCDBurner*>(this);

  std::string area;
  if (platform::GetCdBurnArea(&area) && !area.empty()) burn_area_ = base::AddBackslash(area);

  std::string error;
  std::unique_ptr<platform::CdBurnService> service;
  try {
    service = platform::CreateCdBurnService(&error);
  } catch (const std::exception& failure) {
    error = failure.what();
  }
  if (!service) {
    last_error_ = "No XP Compatible CDR API present: " + error;
    return;
  }
  service_ = std::move(service);

  bool has_drive = false;
  service_->HasRecordableDrive(&has_drive);
  if (!has_drive) {
    last_error_ = "No CD Burner was found";
    return;
  }
  std::string drive;
  if (service_->GetRecorderDriveLetter(&drive) != 0) {
    last_error_ = "CD Recording not enabled on Burn drive.";
    return;
  }
  burner_drive_ = drive;
  equipped_ = true;
}

TCDBurner::~TCDBurner() {
  equipped_ = false;
  *self_ = nullptr;
}

bool TCDBurner::IsBurning() const { return is_burning_; }
bool TCDBurner::Equipped() const { return equipped_; }
std::string TCDBurner::LastError() const { return last_error_; }
std::string TCDBurner::BurnerDrive() const { return burner_drive_; }
std::string TCDBurner::BurnArea() const { return burn_area_; }

int64_t TCDBurner::BurnSize() const {
  return queued_size_ + (burn_area_.empty() ? 0 : FolderSize(burn_area_, 0));
}

bool TCDBurner::AddFile(const std::string& file_name) {
  std::vector<platform::FindEntry> entries;
  if (file_name.empty() || !platform::FindFiles(file_name, &entries)) return false;
  files_.push_back(file_name);
  queued_size_ += SizeOf(entries.front());
  return true;
}

bool TCDBurner::AddFolder(const std::string& folder) { return AddTree(folder, 0); }

bool TCDBurner::AddTree(const std::string& folder, int depth) {
  if (folder.empty() || !platform::FolderExists(folder)) return false;
  const std::string root = base::AddBackslash(folder);
  std::vector<platform::FindEntry> entries;
  if (depth > kMaxFolderDepth || !platform::FindFiles(root + "*.*", &entries)) return true;
  bool all_added = true;
  for (const auto& entry : entries) {
    if (IsDots(entry.name)) continue;
    const std::string path = root + entry.name;
    const bool is_folder = entry.attributes & platform::kAttrDirectory;
    // A folder is queued too; its copy fails later, which the burn passes over.
    if (!AddFile(path) && !is_folder) all_added = false;
    if (is_folder && !AddTree(path, depth + 1)) all_added = false;
  }
  return all_added;
}

bool TCDBurner::ClearFiles() {
  if (is_burning_) {
    last_error_ = "Cannot delete staging files while burning!";
    return false;
  }
  files_.clear();
  queued_size_ = 0;
  const int failed = EmptyFolder(burn_area_);
  if (failed > 0) {
    last_error_ = "Could not delete " + base::IntToText(failed) + " files/folders in burn area";
  }
  return failed == 0;
}

void TCDBurner::StartBurn() {
  if (!is_burning_ && equipped_) {
    is_burning_ = true;
    BurnJob job;
    job.files = files_;
    job.burn_area = burn_area_;
    job.owner_window = owner_->NativeHandle();
    job.service = service_;
    job.hand_over = [self = self_] {
      if (TCDBurner* burner = *self) burner->BurnFinished();
    };
    if (TBurnThread::Start(std::move(job))) {
      // The queue goes with the burn. Kept, it would put this burn's paths in front of the next
      // one's, and since the first file of a name wins, a later backup would burn the archives of
      // an earlier run (or one it did not make at all) in place of its own. Letting a later
      // AddFile of a queued name replace the earlier path would still burn files this run never
      // queued. Two same-named files queued for one burn keep their order, so the first still
      // wins there.
      files_.clear();
      queued_size_ = 0;
      return;
    }
    is_burning_ = false;
  }
  if (OnBurnDone) OnBurnDone(*this, -1);
}

void TCDBurner::BurnFinished() {
  is_burning_ = false;
  if (OnBurnDone) OnBurnDone(*this, 0);
}

}  // namespace cdburner
