// The folder picker of a directory edit box. The program works with Windows paths over the
// platform's drives, so the dialog lists drive letters and browses folders through platform/ and
// util/ rather than showing the host's file system.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class Fl_Box;
class Fl_Choice;
class Fl_Hold_Browser;
class Fl_Widget;

namespace ui::fltk {

class KeyedWindow;

class FolderPickerDialog {
 public:
  // Opens at start when it is an existing folder (a drive path, or a path of the host's own form),
  // else at its nearest existing parent, else at the home folder, else at the root of the first
  // drive there is (C: when it exists). Every mapped drive is offered, the root of the whole file
  // system too.
  explicit FolderPickerDialog(const std::string& start);
  ~FolderPickerDialog();
  FolderPickerDialog(const FolderPickerDialog&) = delete;
  FolderPickerDialog& operator=(const FolderPickerDialog&) = delete;

  // Shows the dialog modally; the chosen folder with a trailing backslash, or nothing when the
  // user cancelled.
  std::optional<std::string> Run();

  // The folder listed, with a trailing backslash; empty when there is no drive at all.
  const std::string& folder() const { return folder_; }
  // The drive roots offered ("C:\"), and the list's entries: ".." below a root, then the
  // subfolders' names without regard to case.
  const std::vector<std::string>& drives() const { return drives_; }
  std::vector<std::string> Entries() const;

  // Lists another folder (a drive root or any existing folder).
  void ShowFolder(const std::string& folder);
  // Enters the entry at index (0-based): ".." goes up one folder.
  void Open(int index);
  // Selects the entry at index (0-based), or nothing with -1.
  void Select(int index);
  // Makes a folder of that name in the folder listed and selects it (one that is there already is
  // selected); false, with *error saying why in plain words, when it cannot be made.
  bool MakeNewFolder(const std::string& name, std::string* error);
  // The New Folder button: asks for the name, makes the folder, says what went wrong.
  void AskNewFolder();
  // What OK gives: the selected subfolder, or else the folder listed.
  std::string Chosen() const;

  KeyedWindow* window() const { return window_.get(); }
  // OK and Cancel, as the buttons do.
  void Accept();
  void Cancel();

 private:
  static void DriveCallback(Fl_Widget* widget, void* data);
  static void ListCallback(Fl_Widget* widget, void* data);
  bool AtRoot() const { return folder_.size() <= 3; }

  std::unique_ptr<KeyedWindow> window_;
  Fl_Choice* drive_choice_ = nullptr;
  Fl_Box* path_box_ = nullptr;
  Fl_Hold_Browser* list_ = nullptr;
  std::vector<std::string> drives_;
  std::vector<std::string> names_;  // the subfolders of folder_, in the order listed
  std::string folder_;
  enum class Outcome { kPending, kOk, kCancel } outcome_ = Outcome::kPending;
};

// Runs the dialog starting at start; the chosen folder, or nothing.
std::optional<std::string> RunFolderPicker(const std::string& start);

}  // namespace ui::fltk
