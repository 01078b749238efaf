// The second half of a backup: the application's user data into its own archive, and the
// hand-off of both archives, the program and an "autorun.inf" to the CD writer.
#include <stdexcept>

#include "backup/backup_command.h"
#include "backup/user_data_masks.h"
#include "cdburner/cd_burner.h"
#include "platform/platform.h"
#include "util/files.h"

namespace backup {
namespace {

// Starts the program in Restore mode when the disc is put into another machine. The name is
// fixed: the program on the disc is always this one, whatever it was called here.
constexpr char kAutorunText[] = "[autorun]\r\nopen=ridideduvure.exe\r\n";

constexpr int kPumpsAroundBurn = 10;

}  // namespace

void BackupCommand::GatherUserDataFiles() {
  base::StringList& files = files_;
  files.clear();
  // Before the user-files layout the application kept these two beside its system data.
  // Only those that are there: a file named outright and not found would be a file left out.
  if (!locations::HasUserFilesLayout() && !found_.SystemDataFolder.empty()) {
    for (const char* name : {"dynsetup.fil", "COLSCHEM.INI"}) {
      const std::string path = base::AddBackslash(found_.SystemDataFolder) + name;
      if (util::FileExistsChecked(path)) files.push_back(path);
    }
  }
  if (!found_.UserDataFolder.empty()) {
    for (const std::string& mask : UserDataMasks) {
      files.push_back(base::AddBackslash(found_.UserDataFolder) + mask);
    }
  }
  if (!found_.InterpFolder.empty()) {
    files.push_back(base::AddBackslash(found_.InterpFolder) + "*.int");
  }
}

bool BackupCommand::StageForCD(const std::string& target_folder) {
  if (!burner_) {
    NoCdWritten(target_folder, "this run has no CD writer to hand the files to");
    return false;
  }
  // No second burn can start while one runs: files queued now would wait for whatever burn comes
  // next and reach a CD the user did not make them for.
  if (burner_->IsBurning()) {
    tools_.Tell(
        "A CD is still being written, so these files were not sent to the CD Writing Wizard. "
        "The backup is in " +
        base::AddBackslash(target_folder) + "; back up to CD again once the CD is finished.");
    return true;
  }
  // No writer, or no service to write with: nothing is sent anywhere, and the user hears that
  // rather than that the files went to a wizard.
  if (!burner_->Equipped()) {
    NoCdWritten(target_folder, burner_->LastError());
    return false;
  }
  tools_.Status("Sending Files to the CD Writing Wizard.");
  tools_.Tell("Your files will now be sent to the Windows XP CD Writing Wizard.");
  for (int i = 0; i < kPumpsAroundBurn; ++i) tools_.LetMessagesRun();
  // Exit while the box was open: no burn is started for a program that is closing.
  if (tools_.Stopped()) return false;

  const std::string program = platform::GetModuleFileName();
  const std::string program_folder = base::FolderOf(program);
  const std::string autorun = program_folder + "autorun.inf";
  // Written before anything is queued, so a failure leaves the burner's list as it was. One the
  // user has put there is theirs: it goes on the disc unchanged.
  if (!util::FileExistsChecked(autorun) && !platform::WriteWholeFileSafely(autorun, kAutorunText)) {
    throw std::runtime_error("Unable to create \n\"" + autorun + "\"");
  }
  const std::string archives = base::AddBackslash(target_folder);
  burner_->AddFile(archives + command::kChartArchiveName);
  if (request_.user_data) burner_->AddFile(archives + command::kUserDataArchiveName);
  burner_->AddFile(autorun);
  burner_->AddFile(program);
  burner_->AddFile(program_folder + "UNZDLL.DLL");
  burner_->AddFile(program_folder + "ZipDll.dll");
  burner_->StartBurn();
  if (!burner_->IsBurning()) {
    NoCdWritten(target_folder, "the burn could not be started");
    return false;
  }
  for (int i = 0; i < kPumpsAroundBurn; ++i) tools_.LetMessagesRun();
  return true;
}

void BackupCommand::NoCdWritten(const std::string& target_folder, const std::string& reason) {
  tools_.Status("No CD was written.");
  tools_.Tell("No CD was written: " + reason + ". The backup archives were left in " +
              base::AddBackslash(target_folder) +
              "; copy them onto a CD or a stick yourself, or back up to a folder instead.");
}

}  // namespace backup
