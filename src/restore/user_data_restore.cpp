// The user-data step of a restore: "RUDadoze.zev" beside the chart archive goes, category by
// category, into the folders below the user-data folder; for an older installation it goes with
// its folders onto the drive its comment names, member by member into the application's folders.
#include <string>
#include <vector>

#include "backup/user_data_masks.h"
#include "base/wildcard.h"
#include "restore/restore_command.h"
#include "restore/restore_masks.h"
#include "restore/restore_plan.h"
#include "util/files.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace restore {
namespace {

// "X:\" from a folder such as "C:\Program Files\App"; empty when it names no drive.
std::string DriveRootOf(const std::string& folder) {
  if (folder.size() < 2 || folder[1] != ':') return std::string();
  return folder.substr(0, 1) + ":\\";
}

// True when path lies in folder or below it (both Windows paths, compared without regard to case).
bool LiesBelow(const std::string& path, const std::string& folder) {
  if (folder.empty()) return false;
  const std::string prefix = base::AddBackslash(folder);
  return path.size() > prefix.size() && base::EqualNoCase(path.substr(0, prefix.size()), prefix);
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
    if (base::MatchesMask(file_name, mask)) return true;
  }
  return base::MatchesMask(file_name, "*.int") || base::EqualNoCase(file_name, "dynsetup.fil") ||
         base::EqualNoCase(file_name, "COLSCHEM.INI");
}

}  // namespace

void RestoreCommand::RestoreByCategory() {
  zip::TZip& zip = tools_.zip;
  zip::ProgressCaption = "Unzipping and Restoring User Data files";
  zip.ExtrOptions = kUpdateOptions;
  const std::string root = base::AddBackslash(found_.UserDataFolder);
  zip.ExtrBaseDir = root;
  result_.destination = root;
  for (const UserDataCategory& category : UserDataCategories) {
    // Each extraction lets window messages run; after Exit the remaining passes are skipped.
    if (tools_.Stopped()) return;
    zip.ExtrBaseDir = root + category.folder;
    util::MakeFolderPath(zip.ExtrBaseDir);
    ExtractMatching(category.patterns);
  }
}

// The members of the open archive that the older layout may write below root: files of a kind
// the user-data backup stores, landing in one of this computer's application folders. The
// archive names the drive in its comment and every path below it, so nothing else of its choice
// may be written, as administrator, onto that drive.
base::StringList RestoreCommand::MembersToRestore(const std::string& root, int* refused) const {
  base::StringList members;
  *refused = 0;
  for (const zip::TFileInfo& info : tools_.zip.Contents) {
    // Folders come with the files they hold.
    if (info.IsFolder()) continue;
    const std::string& name = info.FileName;
    const std::string target = root + name;
    const bool in_place =
        IsPlainRelativePath(name) &&
        (LiesBelow(target, found_.SystemDataFolder) || LiesBelow(target, found_.UserDataFolder) ||
         LiesBelow(target, found_.InterpFolder));
    if (in_place && IsUserDataKind(base::NameOf(name))) {
      members.push_back(name);
    } else {
      ++*refused;
    }
  }
  return members;
}

void RestoreCommand::RestoreOntoCommentDrive() {
  zip::TZip& zip = tools_.zip;
  const std::string origin = base::TextAfter(zip.ZipComment(), 0, command::kBackupCommentPrefix);
  if (origin.empty()) return;
  const std::string root = DriveRootOf(origin);
  if (root.empty()) return;
  if (locations::HalvaneVersion == 0) {
    result_.report.Note(
        "The user data were not restored: Halvane was not found on this computer, so there are no "
        "Halvane folders to restore them into. The chart files have been restored.");
    return;
  }
  int refused = 0;
  const base::StringList members = MembersToRestore(root, &refused);
  if (!members.empty()) {
    zip::ProgressCaption = "Unzipping and Restoring User Data files to" + origin;
    zip.ExtrBaseDir = root;
    zip.ExtrOptions = kUpdateWithFoldersOptions;
    // Each member by its whole stored path; an empty list would take the whole archive.
    zip.FileSpecs = members;
    ExtractReported(/*flat=*/false);
  }
  if (refused > 0) {
    result_.report.Note(
        std::to_string(refused) + (refused == 1 ? " file" : " files") +
        " of the user data backup " + (refused == 1 ? "was" : "were") +
        " not restored: only Halvane's own kinds of file are restored, and only into "
        "the Halvane folders of this computer.");
  }
}

void RestoreCommand::PlanUserData(RestorePlan* plan) {
  const std::string archive = base::AddBackslash(request_.source) + command::kUserDataArchiveName;
  if (!util::FileExistsChecked(archive)) {
    plan->AddNote(std::string("The user data will not be restored: there is no ") +
                  command::kUserDataArchiveName + " in " + base::AddBackslash(request_.source) +
                  ".");
    return;
  }
  zip::TZip& zip = tools_.zip;
  zip.ZipFileName(archive);
  plan->AddSource(ArchiveSource(archive));
  if (locations::HasUserFilesLayout()) {
    const std::string root = base::AddBackslash(found_.UserDataFolder);
    for (const UserDataCategory& category : UserDataCategories) {
      plan->AddExtraction(zip.Contents, category.patterns, root + category.folder, true);
    }
    return;
  }
  const std::string root =
      DriveRootOf(base::TextAfter(zip.ZipComment(), 0, command::kBackupCommentPrefix));
  if (root.empty() || locations::HalvaneVersion == 0) return;
  int refused = 0;
  const base::StringList members = MembersToRestore(root, &refused);
  if (!members.empty()) {
    plan->AddExtraction(zip.Contents, members, root, false,
                        "onto " + root + ", each into the folder it was backed up from");
  }
}

bool RestoreCommand::RestoreUserData() {
  const std::string archive = base::AddBackslash(request_.source) + command::kUserDataArchiveName;
  if (!util::FileExistsChecked(archive)) {
    tools_.Tell("No Halvane Backup was found at that source location.");
    return false;
  }
  ui::BusyCursor busy(tools_.toolkit);
  util::MakeFolderPath(request_.destination);
  tools_.zip.ZipFileName(archive);
  if (locations::HasUserFilesLayout()) {
    RestoreByCategory();
  } else {
    RestoreOntoCommentDrive();
  }
  return true;
}

}  // namespace restore
