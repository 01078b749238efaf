#include "app/file_maint.h"

#include <optional>
#include <utility>

#include "backup/backup_command.h"
#include "base/scope_exit.h"
#include "cdburner/cd_burner.h"
#include "platform/platform.h"
#include "restore/restore_command.h"
#include "search/chart_folder_setting.h"
#include "search/chart_search.h"
#include "util/files.h"
#include "zip/tzip.h"

namespace app {
namespace {

constexpr int kBackupItem = 0;
constexpr int kRestoreItem = 1;

// Takes a drive proposal through its fallbacks: a lone C: gives way to a removable drive, nothing
// at all to a network drive, and failing that to C: after all. Each step is a separate
// assignment, so a source box sees (and reports) every change.
void FallBackFromDriveC(ui::DirectoryEdit& box) {
  if (box.Text() == "C:\\") box.SetText(util::FindDriveOfType(platform::kDriveRemovable));
  if (box.Text().empty()) box.SetText(util::FindDriveOfType(platform::kDriveRemote));
  if (box.Text().empty()) box.SetText("C:\\");
}

}  // namespace

bool ReportMessage(const std::string& text) {
  ui::Toolkit& toolkit = ui::CurrentToolkit();
  toolkit.MessageBox(text, toolkit.ApplicationTitle(), ui::kMbOk);
  return true;
}

std::string BackupSourceProposal(const locations::Locations& found, bool whole_disk) {
  if (whole_disk || found.ChartFolder.empty()) return "C:\\";
  return base::AddBackslash(found.ChartFolder);
}

TFileMaint::TFileMaint(ui::Toolkit& toolkit)
    : toolkit_(toolkit), form_(toolkit.CreateForm("Ridideduvure 4.0", 324, 432)) {
  ui::Form& form = *form_;
  RadioGroup1 = &form.AddRadioGroup("RadioGroup1", "Choose an Action", {"Backup", "Restore"},
                                    {68, 2, 139, 57});
  RadioGroup1->SetItemIndex(kBackupItem);
  CDRomCB = &form.AddCheckBox("CDRomCB", "Burn CDRom (Windows XP Only)", {9, 62, 290, 17});
  HVBackupCB =
      &form.AddCheckBox("HVBackupCB", "Include Halvane 5,6,7,8 or 9 User Files", {9, 82, 290, 17});
  HVBackupCB->SetChecked(true);
  SearchDiskCB = &form.AddCheckBox("SearchDiskCB", "Search entire hard disk for Chart Files",
                                   {9, 104, 290, 17});
  Lsource = &form.AddLabel("Lsource", "Source Folder containing Chart Files", 16, 136);
  LSource2 = &form.AddLabel("LSource2", "(Select c:\\ to backup entire main hard disk)", 16, 152);
  ESource = &form.AddDirectoryEdit("ESource", "c:\\", {16, 170, 280, 21});
  LDest = &form.AddLabel("LDest", "Destination For Backup Files  ", 16, 201);
  AutoDest = &form.AddCheckBox("AutoDest", "Auto (Uses H.V. Userdata Folder)", {16, 218, 271, 12});
  AutoDest->SetChecked(true);
  EDest = &form.AddDirectoryEdit("EDest", "A:\\", {16, 230, 280, 21});
  BackupButt = &form.AddButton("BackupButt", "Backup", {16, 263, 89, 33}, ui::ButtonRole::kOk);
  RestoreButt = &form.AddButton("RestoreButt", "Restore", {111, 263, 89, 33}, ui::ButtonRole::kOk);
  BitBtn2 = &form.AddButton("BitBtn2", "Exit", {206, 263, 89, 33}, ui::ButtonRole::kCancel);
  PLabel = &form.AddLabel("PLabel", "", 10, 306);
  AdvProgress1 = &form.AddProgressBar("AdvProgress1", {49, 332, 194, 17});
  Label1 = &form.AddLabel("Label1", "Back up or restore your charts and settings.", 12, 358, 12,
                          "Arial");

  Zip1 = std::make_unique<zip::TZip>();
  Zip1->ShowProgressDialog = true;
  Zip1->OnZEDProgressEvent = [this](zip::TZip& sender, const std::string& name, int done,
                                    int total) { Zip1ZEDProgressEvent(sender, name, done, total); };
  Zip1->OnMergeProgress = [this](zip::TZip& sender, const std::string& name, int done, int total) {
    Zip1MergeProgress(sender, name, done, total);
  };
  Zip1->OnSpanProgress = [this](zip::TZip& sender, const std::string& name, int done, int total) {
    Zip1SpanProgress(sender, name, done, total);
  };
  CDBurner1 = std::make_unique<cdburner::TCDBurner>(form_.get());

  RadioGroup1->on_click = [this] { RadioGroup1Click(); };
  CDRomCB->on_click = [this] { CDRomCBClick(); };
  HVBackupCB->on_click = [this] { CDRomCBClick(); };
  SearchDiskCB->on_click = [this] { CDRomCBClick(); };
  AutoDest->on_click = [this] { AutoDestClick(); };
  ESource->on_change = [this] { ESourceChange(); };
  BackupButt->on_click = [this] { RunCommand(&TFileMaint::BackupButClick); };
  RestoreButt->on_click = [this] { RunCommand(&TFileMaint::RestoreButtClick); };
  BitBtn2->on_click = [this] { BitBtn2Click(); };
  form.on_show = [this] { FormShow(); };
  form.on_close = [this] { FormClose(); };
}

TFileMaint::~TFileMaint() = default;

void TFileMaint::FormShow() {
  const std::string documents = util::GetDocumentsDir();
  ClearLocations(*this);
  LocateApplication(documents, *this);
  const std::string program = platform::GetModuleFileName();
  RunFromCD = !program.empty() &&
              platform::GetDriveType(program.substr(0, 1) + ":\\") == platform::kDriveCdrom;
  if (RunFromCD) RadioGroup1->SetItemIndex(kRestoreItem);
  RadioGroup1Click();
  if (locations::HalvaneVersion != 0) {
    HVBackupCB->SetCaption("Include All Halvane " + std::to_string(locations::HalvaneVersion) +
                           " User Data Files");
  }
}

void TFileMaint::RadioGroup1Click() {
  EDest->SetEnabled(true);
  ESource->SetEnabled(true);
  CDRomCB->SetEnabled(true);
  BackupButt->SetVisible(true);
  RestoreButt->SetVisible(true);
  SearchDiskCB->SetEnabled(true);
  LSource2->SetVisible(false);

  const int mode = RadioGroup1->ItemIndex();
  if (mode == kBackupItem) {
    LSource2->SetVisible(true);
    RestoreButt->SetVisible(false);
    AutoDest->SetVisible(false);

    ESource->SetText(BackupSourceProposal(*this, SearchDiskCB->Checked()));

    if (CDRomCB->Checked()) {
      EDest->SetText(util::FindDriveOfType(platform::kDriveCdrom));
      if (EDest->Text().empty()) {
        EDest->SetText(util::FindDriveOfType(platform::kDriveFixed));
        CDRomCB->SetChecked(false);
      }
    }
    if (!CDRomCB->Checked()) EDest->SetText(util::FindDriveOfType(platform::kDriveFixed));
    FallBackFromDriveC(*EDest);
    EDest->SetEnabled(!CDRomCB->Checked());
    if (locations::HalvaneVersion != 0) {
      HVBackupCB->SetCaption("Include All Halvane " + std::to_string(locations::HalvaneVersion) +
                             " User Data Files");
    }
  } else if (mode == kRestoreItem) {
    SearchDiskCB->SetEnabled(false);
    AutoDest->SetVisible(true);
    EDest->SetEnabled(!AutoDest->Checked());
    CDRomCB->SetEnabled(false);
    BackupButt->SetVisible(false);

    if (CDRomCB->Checked()) {
      ESource->SetText(util::FindDriveOfType(platform::kDriveCdrom));
      if (ESource->Text().empty()) ESource->SetText(util::FindDriveOfType(platform::kDriveFixed));
    } else {
      ESource->SetText(util::FindDriveOfType(platform::kDriveFixed));
    }
    FallBackFromDriveC(*ESource);
    if (RunFromCD) {
      ESource->SetText(base::FolderOf(platform::GetModuleFileName()));
      ESource->SetEnabled(false);
    }
    toolkit_.ProcessMessages();
    UpdateRestoreDestination();
    HVBackupCB->SetCaption("Include All Halvane User Data Files");
  }
  LDest->SetEnabled(EDest->Enabled() || AutoDest->Visible());
  Lsource->SetEnabled(ESource->Enabled());
}

void TFileMaint::UpdateRestoreDestination() {
  const std::string archive = base::AddBackslash(platform::DrivePathOfTypedPath(ESource->Text())) +
                              command::kChartArchiveName;
  std::string origin;
  if (util::FileExistsChecked(archive)) {
    Zip1->ZipFileName(archive);
    origin = base::TextAfter(Zip1->ZipComment(), 0, command::kBackupCommentPrefix);
  }
  if (!origin.empty()) EDest->SetText(origin);
  if (AutoDest->Checked()) EDest->SetText(UserDataFolder);
}

void TFileMaint::CDRomCBClick() { RadioGroup1Click(); }

void TFileMaint::AutoDestClick() {
  EDest->SetEnabled(!AutoDest->Checked());
  UpdateRestoreDestination();
}

void TFileMaint::ESourceChange() {
  if (RadioGroup1->ItemIndex() == kRestoreItem) UpdateRestoreDestination();
}

void TFileMaint::BitBtn2Click() {
  StopRequested = true;
  stop_.Request();
  toolkit_.ProcessMessages();
  form_->Close();
  toolkit_.ProcessMessages();
}

void TFileMaint::FormClose() {
  closed_ = true;
  stop_.Request();
  // Exit during a run: every window goes at once, though the archive under way is finished first
  // (half an archive would replace nothing, and the old one stays until the new one is whole).
  if (Zip1) Zip1->DropProgressWindow();
  FoundFiles.reset();
}

void TFileMaint::Zip1ZEDProgressEvent(zip::TZip&, const std::string&, int bytes_done,
                                      int total_bytes) {
  // Nothing sensible to show for an empty batch: the bar stays where it is.
  if (total_bytes == 0) return;
  AdvProgress1->SetPosition(base::RoundedPercent(bytes_done, total_bytes));
}

void TFileMaint::Zip1MergeProgress(zip::TZip& sender, const std::string& file_name, int bytes_done,
                                   int total_bytes) {
  Zip1ZEDProgressEvent(sender, file_name, bytes_done, total_bytes);
}

void TFileMaint::Zip1SpanProgress(zip::TZip& sender, const std::string& file_name, int bytes_done,
                                  int total_bytes) {
  Zip1ZEDProgressEvent(sender, file_name, bytes_done, total_bytes);
}

void TFileMaint::TakeTypedFolders() {
  // The source goes first: its change may propose a restore destination, but the destination the
  // user typed is the one they meant, and it names the same folder as before.
  const std::string destination = platform::DrivePathOfTypedPath(EDest->Text());
  const std::string source = platform::DrivePathOfTypedPath(ESource->Text());
  if (source != ESource->Text()) ESource->SetText(source);
  if (destination != EDest->Text()) EDest->SetText(destination);
}

void TFileMaint::RunCommand(void (TFileMaint::*command)()) {
  if (command_running_ || closed_) return;
  // Everything that could start a second command, or change what the running one reads.
  ui::Control* const guarded[] = {RadioGroup1, CDRomCB, HVBackupCB, SearchDiskCB, AutoDest,
                                  ESource,     EDest,   BackupButt, RestoreButt};
  bool was_enabled[std::size(guarded)];
  for (size_t i = 0; i < std::size(guarded); ++i) {
    was_enabled[i] = guarded[i]->Enabled();
    guarded[i]->SetEnabled(false);
  }
  TakeTypedFolders();
  command_running_ = true;
  const base::ScopeExit restore([&] {
    command_running_ = false;
    for (size_t i = 0; i < std::size(guarded); ++i) guarded[i]->SetEnabled(was_enabled[i]);
  });
  (this->*command)();
}

command::Tools TFileMaint::Tools() {
  return command::Tools{toolkit_, *Zip1, stop_.Token(), PLabel, AdvProgress1};
}

void TFileMaint::KeepLists(std::optional<base::StringList> folders,
                           std::optional<base::StringList> files) {
  if (closed_) return;
  if (folders) SearchFolders = std::make_unique<base::StringList>(std::move(*folders));
  if (files) FoundFiles = std::make_unique<base::StringList>(std::move(*files));
}

void TFileMaint::SearchChartFiles() {
  if (ESource->Text().empty()) return;
  ESource->SetText(base::AddBackslash(ESource->Text()));
  const command::Tools tools = Tools();
  std::optional<search::Found> found =
      search::SearchChartFiles(tools, ESource->Text(), HVBackupCB->Checked(),
                               search::ChartFolderApart(*this, AutoDest->Checked()));
  if (found) KeepLists(std::move(found->folders), std::move(found->files));
}

void TFileMaint::BackupButClick() {
  if (ESource->Text().empty() || EDest->Text().empty()) {
    ReportMessage("Both Source and Dest must be selected.");
    return;
  }
  const ui::BusyCursor busy(toolkit_);
  report_.Clear();
  DroppedBackups.clear();
  ESource->SetText(base::AddBackslash(ESource->Text()));
  EDest->SetText(base::AddBackslash(EDest->Text()));
  const command::Tools tools = Tools();
  backup::BackupCommand command(tools, *this, CDBurner1.get());
  backup::BackupRequest request;
  request.source = ESource->Text();
  request.destination = EDest->Text();
  request.to_cd = CDRomCB->Checked();
  request.user_data = HVBackupCB->Checked();
  request.keep_earlier = KeepEarlierBackups;
  backup::BackupResult result = command.Run(request);
  report_ = std::move(result.report);
  DroppedBackups = std::move(result.dropped_backups);
  KeepLists(std::move(result.folders), std::move(result.files));
}

void TFileMaint::RestoreButtClick() {
  AdvProgress1->SetPosition(0);
  PLabel->SetCaption("");
  if (ESource->Text().empty() || EDest->Text().empty()) {
    ReportMessage("Both Source and Dest must be selected.");
    return;
  }
  PLabel->SetCaption("Working.");
  report_.Clear();
  if (!util::FileExistsChecked(base::AddBackslash(ESource->Text()) + command::kChartArchiveName)) {
    // Loose chart files: the destination as the source box proposes it, and the source as the
    // search takes it, with its backslash.
    UpdateRestoreDestination();
    ESource->SetText(base::AddBackslash(ESource->Text()));
  }
  const command::Tools tools = Tools();
  restore::RestoreCommand command(tools, *this);
  restore::RestoreRequest request;
  request.source = ESource->Text();
  request.destination = EDest->Text();
  request.auto_destination = AutoDest->Checked();
  request.user_data = HVBackupCB->Checked();
  restore::RestoreResult result = command.Run(request);
  report_ = std::move(result.report);
  if (closed_) return;
  if (result.destination) EDest->SetText(*result.destination);
  KeepLists(std::move(result.folders), std::move(result.files));
}

}  // namespace app
