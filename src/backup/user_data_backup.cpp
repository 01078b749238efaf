// The second half of a backup: the application's user data into its own archive, and the
// hand-off of both archives, the program and an "autorun.inf" to the CD writer.
#include <stdexcept>

#include "app/file_maint.h"
#include "backup/user_data_masks.h"
#include "cdburner/cd_burner.h"
#include "platform/platform.h"
#include "util/files.h"

namespace app {
namespace {

// Starts the program in Restore mode when the disc is put into another machine. The name is
// fixed: the program on the disc is always this one, whatever it was called here.
constexpr char kAutorunText[] = "[autorun]\r\nopen=ridideduvure.exe\r\n";

constexpr int kPumpsAroundBurn = 10;

}  // namespace

void TFileMaint::GatherUserDataFiles() {
  if (!FoundFiles) return;  // the window has closed
  FoundFiles->clear();
  // Before the user-files layout the application kept these two beside its system data.
  // Only those that are there: a file named outright and not found would be a file left out.
  if (!HasUserFilesLayout() && !SystemDataFolder.empty()) {
    for (const char* name : {"dynsetup.fil", "COLSCHEM.INI"}) {
      const std::string path = base::AddBackslash(SystemDataFolder) + name;
      if (util::FileExistsChecked(path)) FoundFiles->push_back(path);
    }
  }
  if (!UserDataFolder.empty()) {
    for (const std::string& mask : backup::UserDataMasks) {
      FoundFiles->push_back(base::AddBackslash(UserDataFolder) + mask);
    }
  }
  if (!InterpFolder.empty()) FoundFiles->push_back(base::AddBackslash(InterpFolder) + "*.int");
}

bool TFileMaint::StageForCD(const std::string& target_folder) {
  // No second burn can start while one runs: files queued now would wait for whatever burn comes
  // next and reach a CD the user did not make them for.
  if (CDBurner1->IsBurning()) {
    ReportMessage(
        "A CD is still being written, so these files were not sent to the CD Writing Wizard. "
        "The backup is in " +
        base::AddBackslash(target_folder) + "; back up to CD again once the CD is finished.");
    return true;
  }
  // No writer, or no service to write with: nothing is sent anywhere, and the user hears that
  // rather than that the files went to a wizard.
  if (!CDBurner1->Equipped()) {
    NoCdWritten(target_folder, CDBurner1->LastError());
    return false;
  }
  PLabel->SetCaption("Sending Files to the CD Writing Wizard.");
  toolkit_.MessageBox("Your files will now be sent to the Windows XP CD Writing Wizard.",
                      toolkit_.ApplicationTitle(), ui::kMbOk);
  for (int i = 0; i < kPumpsAroundBurn; ++i) toolkit_.ProcessMessages();
  // Exit while the box was open: no burn is started for a program that is closing.
  if (StopRequested) return false;

  const std::string program = platform::GetModuleFileName();
  const std::string program_folder = base::FolderOf(program);
  const std::string autorun = program_folder + "autorun.inf";
  // Written before anything is queued, so a failure leaves the burner's list as it was. One the
  // user has put there is theirs: it goes on the disc unchanged.
  if (!util::FileExistsChecked(autorun) && !platform::WriteWholeFileSafely(autorun, kAutorunText)) {
    throw std::runtime_error("Unable to create \n\"" + autorun + "\"");
  }
  const std::string archives = base::AddBackslash(target_folder);
  CDBurner1->AddFile(archives + kChartArchiveName);
  if (HVBackupCB->Checked()) CDBurner1->AddFile(archives + kUserDataArchiveName);
  CDBurner1->AddFile(autorun);
  CDBurner1->AddFile(program);
  CDBurner1->AddFile(program_folder + "UNZDLL.DLL");
  CDBurner1->AddFile(program_folder + "ZipDll.dll");
  CDBurner1->StartBurn();
  if (!CDBurner1->IsBurning()) {
    NoCdWritten(target_folder, "the burn could not be started");
    return false;
  }
  for (int i = 0; i < kPumpsAroundBurn; ++i) toolkit_.ProcessMessages();
  return true;
}

void TFileMaint::NoCdWritten(const std::string& target_folder, const std::string& reason) {
  PLabel->SetCaption("No CD was written.");
  ReportMessage("No CD was written: " + reason + ". The backup archives were left in " +
                base::AddBackslash(target_folder) +
                "; copy them onto a CD or a stick yourself, or back up to a folder instead.");
}

}  // namespace app
