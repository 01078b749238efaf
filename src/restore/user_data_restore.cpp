// The user-data step of a restore: "RUDadoze.zev" beside the chart archive goes, category by
// category, into the folders below the user-data folder; for an older installation it goes with
// its folders onto the drive its comment names, member by member into the application's folders.
#include <string>
#include <vector>

#include "app/file_maint.h"
#include "backup/user_data_masks.h"
#include "base/wildcard.h"
#include "restore/restore_masks.h"
#include "restore/restore_plan.h"
#include "util/files.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace app {
namespace {

// "X:\" from a folder such as "C:\Program Files\App"; empty when it names no drive.
std::string DriveRootOf(const std::string& folder) {
  if (folder.size() < 2 || folder[1] != ':') return std::string();
  return folder.substr(0, 1) + ":\\";
}

// True when path lies in folder or below it (both Windows paths, compared without regard to case).
bool LiesBelow(const std::string& path, const std::string& folder) {
  if (folder.empty()) return false;
  const std::string prefix = util::AddBackslash(folder);
  return path.size() > prefix.size() && util::EqualNoCase(path.substr(0, prefix.size()), prefix);
}

// A stored name that is a plain relative path: no drive, no leading backslash, no "." or ".."
// element, no wildcard (it is handed back to the library as a file spec naming itself).
bool IsPlainRelativePath(const std::string& name) {
  if (name.empty() || name[0] == '\\' || name.find_first_of(":*?\"<>|") != std::string::npos) {
    return false;
  }
  size_t at = 0;
  while (at <= name.size()) {
    size_t end = name.find('\\', at);
    if (end == std::string::npos) end = name.size();
    const std::string element = name.substr(at, end - at);
    if (element == "." || element == "..") return false;
    at = end + 1;
  }
  return true;
}

// The kinds of file the user-data backup stores: its masks below the user-data folder, the
// interpretations and the two files of the system-data folder.
bool IsUserDataKind(const std::string& file_name) {
  for (const std::string& mask : backup::UserDataMasks) {
    if (util::MatchesMask(file_name, mask)) return true;
  }
  return util::MatchesMask(file_name, "*.int") || util::EqualNoCase(file_name, "dynsetup.fil") ||
         util::EqualNoCase(file_name, "COLSCHEM.INI");
}

}  // namespace

void TFileMaint::RestoreByCategory() {
  zip::TZip& zip = *Zip1;
  zip::ProgressCaption = "Unzipping and Restoring User Data files";
  zip.ExtrOptions = restore::kUpdateOptions;
  const std::string root = util::AddBackslash(UserDataFolder);
  zip.ExtrBaseDir = root;
  EDest->SetText(root);
  for (const restore::UserDataCategory& category : restore::UserDataCategories) {
    // Each extraction lets window messages run; after Exit the remaining passes are skipped.
    if (StopRequested) return;
    zip.ExtrBaseDir = root + category.folder;
    util::MakeFolderPath(zip.ExtrBaseDir);
    ExtractMatching(category.patterns);
  }
}

// The members of the open archive that the older layout may write below root: files of a kind
// the user-data backup stores, landing in one of this computer's application folders. The
// archive names the drive in its comment and every path below it, so nothing else of its choice
// may be written, as administrator, onto that drive.
util::StringList TFileMaint::MembersToRestore(const std::string& root, int* refused) const {
  util::StringList members;
  *refused = 0;
  for (const zip::TFileInfo& info : Zip1->Contents) {
    const std::string& name = info.FileName;
    // Folders come with the files they hold.
    if (name.empty() || name.back() == '\\') continue;
    const std::string target = root + name;
    const bool in_place = IsPlainRelativePath(name) &&
                          (LiesBelow(target, SystemDataFolder) ||
                           LiesBelow(target, UserDataFolder) || LiesBelow(target, InterpFolder));
    if (in_place && IsUserDataKind(util::NameOf(name))) {
      members.push_back(name);
    } else {
      ++*refused;
    }
  }
  return members;
}

void TFileMaint::RestoreOntoCommentDrive() {
  zip::TZip& zip = *Zip1;
  const std::string origin = util::TextAfter(zip.ZipComment(), 0, kBackupCommentPrefix);
  if (origin.empty()) return;
  const std::string root = DriveRootOf(origin);
  if (root.empty()) return;
  if (HalvaneVersion == 0) {
    report_.Note(
        "The user data were not restored: Halvane was not found on this computer, so there are no "
        "Halvane folders to restore them into. The chart files have been restored.");
    return;
  }
  int refused = 0;
  const util::StringList members = MembersToRestore(root, &refused);
  if (!members.empty()) {
    zip::ProgressCaption = "Unzipping and Restoring User Data files to" + origin;
    zip.ExtrBaseDir = root;
    zip.ExtrOptions = restore::kUpdateWithFoldersOptions;
    // Each member by its whole stored path; an empty list would take the whole archive.
    zip.FileSpecs = members;
    ExtractReported(/*flat=*/false);
  }
  if (refused > 0) {
    report_.Note(std::to_string(refused) + (refused == 1 ? " file" : " files") +
                  " of the user data backup " + (refused == 1 ? "was" : "were") +
                  " not restored: only Halvane's own kinds of file are restored, and only into "
                  "the Halvane folders of this computer.");
  }
}

void TFileMaint::PlanUserData(restore::RestorePlan* plan) {
  const std::string archive = util::AddBackslash(ESource->Text()) + kUserDataArchiveName;
  if (!util::FileExistsChecked(archive)) {
    plan->AddNote(std::string("The user data will not be restored: there is no ") +
                  kUserDataArchiveName + " in " + util::AddBackslash(ESource->Text()) + ".");
    return;
  }
  zip::TZip& zip = *Zip1;
  zip.ZipFileName(archive);
  plan->AddSource(ArchiveSource(archive));
  if (HasUserFilesLayout()) {
    const std::string root = util::AddBackslash(UserDataFolder);
    for (const restore::UserDataCategory& category : restore::UserDataCategories) {
      plan->AddExtraction(zip.Contents, category.patterns, root + category.folder, true);
    }
    return;
  }
  const std::string root =
      DriveRootOf(util::TextAfter(zip.ZipComment(), 0, kBackupCommentPrefix));
  if (root.empty() || HalvaneVersion == 0) return;
  int refused = 0;
  const util::StringList members = MembersToRestore(root, &refused);
  if (!members.empty()) {
    plan->AddExtraction(zip.Contents, members, root, false,
                        "onto " + root + ", each into the folder it was backed up from");
  }
}

bool TFileMaint::RestoreUserData() {
  const std::string archive = util::AddBackslash(ESource->Text()) + kUserDataArchiveName;
  if (!util::FileExistsChecked(archive)) {
    ReportMessage("No Halvane Backup was found at that source location.");
    return false;
  }
  ui::BusyCursor busy(toolkit_);
  util::MakeFolderPath(EDest->Text());
  Zip1->ZipFileName(archive);
  if (HasUserFilesLayout()) {
    RestoreByCategory();
  } else {
    RestoreOntoCommentDrive();
  }
  return true;
}

}  // namespace app
