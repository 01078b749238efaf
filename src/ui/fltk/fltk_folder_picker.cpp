#include "ui/fltk/fltk_folder_picker.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Hold_Browser.H>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "base/text.h"
#include "platform/platform.h"
#include "ui/fltk/fltk_dialogs.h"
#include "ui/fltk/fltk_window.h"
#include "util/files.h"

namespace ui::fltk {
namespace {

constexpr int kWidth = 340;
constexpr int kHeight = 360;
constexpr int kMargin = 10;
constexpr char kUp[] = "..";

const char* DriveKind(unsigned type) {
  switch (type) {
    case platform::kDriveRemovable:
      return "removable";
    case platform::kDriveFixed:
      return "fixed";
    case platform::kDriveRemote:
      return "network";
    case platform::kDriveCdrom:
      return "CD-ROM";
    default:
      return "other";
  }
}

// What the drive list says of a drive: its kind, or the host folder it is when that is the root of
// the whole file system or the home folder, which a Linux user knows by those names.
std::string DriveDescription(const std::string& root) {
  if (platform::DrivePathOfTypedPath("/") == root) return "root of all folders";
  const char* home = std::getenv("HOME");
  if (home && *home && base::AddBackslash(platform::DrivePathOfTypedPath(home)) == root) {
    return "home folder";
  }
  return DriveKind(platform::GetDriveType(root));
}

// A name a new folder may take: not empty, no folder separator or wildcard, not "." or "..".
bool IsFolderName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

// "C:\A\B\" -> "C:\A\"; a root stays as it is.
std::string ParentFolder(const std::string& folder) {
  if (folder.size() <= 3) return folder;
  const size_t slash = folder.find_last_of('\\', folder.size() - 2);
  return slash == std::string::npos ? folder : folder.substr(0, slash + 1);
}

// The folder as typed in a text field: a drive-letter path, with a trailing backslash.
bool IsDrivePath(const std::string& text) {
  return text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
         text[2] == '\\';
}

}  // namespace

FolderPickerDialog::FolderPickerDialog(const std::string& start)
    : window_(std::make_unique<KeyedWindow>(kWidth, kHeight, "Choose a Folder")) {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    // Every mapped drive, the root of the whole file system too, whose kind is no one kind.
    if (platform::GetDriveType(root) != platform::kDriveNoRootDir) drives_.push_back(root);
  }

  RaiseEdge(*window_);
  drive_choice_ = new Fl_Choice(kMargin + 40, kMargin, 160, 24, "Drive:");
  drive_choice_->labelsize(kFontSize);
  drive_choice_->textsize(kFontSize);
  for (const std::string& root : drives_) {
    // Plain text only: the menu reads "\", "/" and "&" as markup.
    const std::string item = root.substr(0, 2) + "  (" + DriveDescription(root) + ")";
    drive_choice_->add(item.c_str());
  }
  drive_choice_->callback(&FolderPickerDialog::DriveCallback, this);
  path_box_ = new Fl_Box(kMargin, kMargin + 30, kWidth - 2 * kMargin, 20);
  path_box_->labelsize(kFontSize);
  path_box_->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  list_ = new Fl_Hold_Browser(kMargin, kMargin + 54, kWidth - 2 * kMargin, kHeight - 110);
  list_->format_char(0);  // names are shown as they are
  list_->textsize(kFontSize);
  list_->when(FL_WHEN_CHANGED | FL_WHEN_NOT_CHANGED);  // every click, for the double click
  list_->callback(&FolderPickerDialog::ListCallback, this);
  const int button_top = kHeight - kMargin - 25;
  auto* make = new Fl_Button(kMargin, button_top, 90, 25, "New Folder");
  make->labelsize(kFontSize);
  make->callback(
      [](Fl_Widget*, void* data) { static_cast<FolderPickerDialog*>(data)->AskNewFolder(); }, this);
  auto* ok = new Fl_Button(kWidth - 2 * (kMargin + 75) + 2, button_top, 75, 25, kOkCaption);
  auto* cancel = new Fl_Button(kWidth - kMargin - 75, button_top, 75, 25, kCancelCaption);
  ok->labelsize(kFontSize);
  cancel->labelsize(kFontSize);
  ok->callback([](Fl_Widget*, void* data) { static_cast<FolderPickerDialog*>(data)->Accept(); },
               this);
  cancel->callback([](Fl_Widget*, void* data) { static_cast<FolderPickerDialog*>(data)->Cancel(); },
                   this);
  window_->end();
  window_->on_enter = [this] { Accept(); };
  window_->on_escape = [this] { Cancel(); };

  std::string folder;
  // The box may hold a path of the host's own form, as typed; else the home folder is where a user
  // of Linux expects to start.
  std::string wanted = platform::DrivePathOfTypedPath(start);
  const char* home = std::getenv("HOME");
  if (!IsDrivePath(wanted) && home && *home) wanted = platform::DrivePathOfTypedPath(home);
  if (IsDrivePath(wanted)) {
    folder = base::AddBackslash(wanted);
    folder[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(folder[0])));
    while (!platform::FolderExists(folder) && folder.size() > 3) folder = ParentFolder(folder);
    if (!platform::FolderExists(folder)) folder.clear();
  }
  if (folder.empty() && !drives_.empty()) {
    folder = std::find(drives_.begin(), drives_.end(), "C:\\") != drives_.end() ? "C:\\"
                                                                                : drives_.front();
  }
  if (!folder.empty()) ShowFolder(folder);
}

FolderPickerDialog::~FolderPickerDialog() = default;

void FolderPickerDialog::ShowFolder(const std::string& folder) {
  folder_ = base::AddBackslash(folder);
  names_.clear();
  base::StringList paths;
  util::AddSubfolderNames(folder_, paths);
  for (const std::string& path : paths) {
    // Each path is folder_ + name + "\".
    names_.push_back(path.substr(folder_.size(), path.size() - folder_.size() - 1));
  }
  std::sort(names_.begin(), names_.end(), [](const std::string& a, const std::string& b) {
    return base::UpperText(a) < base::UpperText(b);
  });

  list_->clear();
  for (const std::string& entry : Entries()) list_->add(entry.c_str());
  path_box_->copy_label(EscapeLabel(folder_).c_str());
  for (size_t i = 0; i < drives_.size(); ++i) {
    if (base::UpperText(folder_.substr(0, 3)) == drives_[i]) {
      drive_choice_->value(static_cast<int>(i));
    }
  }
  window_->redraw();
}

std::vector<std::string> FolderPickerDialog::Entries() const {
  std::vector<std::string> entries;
  if (folder_.empty()) return entries;
  if (!AtRoot()) entries.push_back(kUp);
  entries.insert(entries.end(), names_.begin(), names_.end());
  return entries;
}

void FolderPickerDialog::Open(int index) {
  const std::vector<std::string> entries = Entries();
  if (index < 0 || index >= static_cast<int>(entries.size())) return;
  if (entries[index] == kUp) {
    ShowFolder(ParentFolder(folder_));
  } else {
    ShowFolder(folder_ + entries[index] + "\\");
  }
}

void FolderPickerDialog::Select(int index) { list_->value(index + 1); }

bool FolderPickerDialog::MakeNewFolder(const std::string& name, std::string* error) {
  if (folder_.empty()) return false;
  if (!IsFolderName(name)) {
    *error = "\"" + name + "\" cannot be the name of a folder: a name may not be empty, \".\" or " +
             "\"..\", nor hold any of \\ / : * ? \" < > |.";
    return false;
  }
  const std::string path = folder_ + name;
  if (platform::FolderExists(path)) {
    *error = "There is a folder \"" + name + "\" in " + folder_ + " already; it is chosen now.";
  } else if (!platform::CreateDirectory(path)) {
    *error = "The folder \"" + name + "\" could not be made in " + folder_ +
             ": the system refused it (the drive may be read-only, or full). Nothing was changed.";
    return false;
  }
  ShowFolder(folder_);
  const std::vector<std::string> entries = Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] == name) Select(static_cast<int>(i));
  }
  return true;
}

void FolderPickerDialog::AskNewFolder() {
  const std::optional<std::string> name =
      RunInputBox("New Folder", "The name of the new folder in " + folder_ + ":", "New Folder");
  if (!name) return;
  std::string message;
  MakeNewFolder(*name, &message);
  if (!message.empty()) RunMessageBox(message, "New Folder", kMbOk | kMbIconInformation);
}

std::string FolderPickerDialog::Chosen() const {
  const int selected = list_->value() - 1;
  const std::vector<std::string> entries = Entries();
  if (selected >= 0 && selected < static_cast<int>(entries.size()) && entries[selected] != kUp) {
    return folder_ + entries[selected] + "\\";
  }
  return folder_;
}

void FolderPickerDialog::Accept() {
  if (!folder_.empty()) outcome_ = Outcome::kOk;
}

void FolderPickerDialog::Cancel() { outcome_ = Outcome::kCancel; }

std::optional<std::string> FolderPickerDialog::Run() {
  outcome_ = Outcome::kPending;
  CentreOnWorkArea(*window_);
  RunModal(
      *window_, [this] { list_->take_focus(); }, [this] { return outcome_ != Outcome::kPending; });
  if (outcome_ != Outcome::kOk) return std::nullopt;
  return Chosen();
}

void FolderPickerDialog::DriveCallback(Fl_Widget*, void* data) {
  auto* dialog = static_cast<FolderPickerDialog*>(data);
  const int index = dialog->drive_choice_->value();
  if (index >= 0 && index < static_cast<int>(dialog->drives_.size())) {
    dialog->ShowFolder(dialog->drives_[index]);
  }
}

void FolderPickerDialog::ListCallback(Fl_Widget*, void* data) {
  auto* dialog = static_cast<FolderPickerDialog*>(data);
  // A double click enters the folder; a single click only selects it.
  if (Fl::event_clicks() > 0 && Fl::event() == FL_RELEASE) {
    Fl::event_clicks(0);
    dialog->Open(dialog->list_->value() - 1);
  }
}

std::optional<std::string> RunFolderPicker(const std::string& start) {
  FolderPickerDialog dialog(start);
  return dialog.Run();
}

}  // namespace ui::fltk
