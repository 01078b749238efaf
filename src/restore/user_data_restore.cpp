// The user-data step of a restore: "RUDadoze.zev" beside the chart archive goes, category by
// category, into the folders below the user-data folder; for an older installation it goes whole,
// with its folders, onto the drive its comment names.
#include <string>
#include <vector>

#include "app/file_maint.h"
#include "restore/restore_steps.h"
#include "util/files.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace app::restore {
namespace {

struct UserDataCategory {
  const char* folder;
  util::StringList patterns;
};

// One extraction per category, in this order. A member matching several rows lands in each of
// their folders; one matching none stays in the archive.
const std::vector<UserDataCategory>& UserDataCategories() {
  static const std::vector<UserDataCategory> categories = {
      {"Charts", ChartPatterns()},
      {"Almutens & Dignities", {"*.alm"}},
      {"Aspects", {"*.asp"}},
      {"Interpretations", {"*.int"}},
      {"Maps", {"*.pnt", "*.hvm", "*.smc", "*.ndx"}},
      {"Pages", {"*pages.ini", "*.pag", "*.jpg"}},
      {"Points & Colors",
       {"*.pte", "*.pts", "*.trp", "*.prp", "*.fst", "*col*.ini", "*.fil", "*.dat", "*.ast",
        "*.arp", "*.adp", "*.cas", "*.cpt", "*.csg", "*.erp", "*.etp", "*.epp"}},
      {"Settings",
       {"*.fil", "*halvane7.ini", "*halvane8.ini", "*halvane9.ini", "*hvsettings.ini",
        "*hv_ver.ini", "*ethvuser.ini", "*ethvlink.ini", "*etascii.ini", "*birthday.ini", "*.sms",
        "*.sav", "*.mnu"}},
      {"Tasks", {"*.tsk"}},
      {"Wheels & Dials", {"*.di*", "*.wh*"}},
      {"Places", {"*.plc", "*.fil", "*.lst", "*country.ini", "*state.ini", "*.bin", "*.ndx"}},
  };
  return categories;
}

// "X:\" from a folder such as "C:\Program Files\App"; empty when it names no drive.
std::string DriveRootOf(const std::string& folder) {
  if (folder.size() < 2 || folder[1] != ':') return std::string();
  return folder.substr(0, 1) + ":\\";
}

void RestoreByCategory(TFileMaint& window) {
  zip::TZip& zip = *window.Zip1;
  zip::ProgressCaption = "Unzipping and Restoring User Data files";
  zip.ExtrOptions = kUpdateOptions;
  const std::string root = util::AddBackslash(window.UserDataFolder);
  zip.ExtrBaseDir = root;
  window.EDest->SetText(root);
  for (const UserDataCategory& category : UserDataCategories()) {
    // Each extraction lets window messages run; after Exit the remaining passes are skipped.
    if (StopRequested) return;
    zip.ExtrBaseDir = root + category.folder;
    util::MakeFolderPath(zip.ExtrBaseDir);
    ExtractMatching(window, category.patterns);
  }
}

void RestoreOntoCommentDrive(TFileMaint& window) {
  zip::TZip& zip = *window.Zip1;
  const std::string origin = util::TextAfter(zip.ZipComment(), 0, kBackupCommentPrefix);
  if (origin.empty()) return;
  zip::ProgressCaption = "Unzipping and Restoring User Data files to" + origin;
  const std::string root = DriveRootOf(origin);
  if (root.empty()) return;
  zip.ExtrBaseDir = root;
  zip.ExtrOptions = kUpdateWithFoldersOptions;
  // The whole archive: a list left over from a refused earlier run must not narrow it.
  zip.FileSpecs.clear();
  zip.Extract();
}

}  // namespace

bool RestoreUserData(TFileMaint& window) {
  const std::string archive = util::AddBackslash(window.ESource->Text()) + kUserDataArchiveName;
  if (!util::FileExistsChecked(archive)) {
    ReportMessage("No Halvane Backup was found at that source location.");
    return false;
  }
  ui::BusyCursor busy(window.Toolkit());
  util::MakeFolderPath(window.EDest->Text());
  window.Zip1->ZipFileName(archive);
  if (HasUserFilesLayout()) {
    RestoreByCategory(window);
  } else {
    RestoreOntoCommentDrive(window);
  }
  return true;
}

}  // namespace app::restore
