#include "cdburner/burn_thread.h"

#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "base/text.h"
#include "platform/cd_burn_service.h"
#include "platform/platform.h"
#include "ui/toolkit.h"

namespace cdburner {
namespace {

// Overwrites a file left from an earlier burn, read-only or not; it keeps its attributes when the
// copy fails.
bool ReplaceStaged(const std::string& source, const std::string& target) {
  if (!platform::FileExists(source)) return false;
  const uint32_t attributes = platform::GetFileAttributes(target);
  const bool read_only =
      attributes != platform::kInvalidAttributes && (attributes & platform::kAttrReadOnly);
  if (read_only) platform::SetFileAttributes(target, attributes & ~platform::kAttrReadOnly);
  if (platform::CopyFile(source, target, /*fail_if_exists=*/false)) return true;
  if (read_only) platform::SetFileAttributes(target, attributes);
  return false;
}

constexpr int kViewWidth = 320;
constexpr int kViewHeight = 100;
constexpr int kMargin = 10;

// Burns with a service that shows no window of its own, in a progress window of the program's: the
// window is made, moved and freed on the main thread, which the burn thread waits on each time.
// Once the program has let its toolkit go, the burn goes on without a window.
long BurnInProgressWindow(const BurnJob& job, std::string* failure) {
  std::unique_ptr<ui::ProgressView> view;
  const int label_width = kViewWidth - 2 * kMargin;
  ui::RunOnMainThreadWhileUp([&] {
    ui::Toolkit& toolkit = ui::CurrentToolkit();
    view = toolkit.CreateProgressView(kViewWidth, kViewHeight);
    view->SetCaption("Writing the CD");
    view->SetLabel("", kMargin, 12, label_width);
    view->SetBar(kMargin, 34, label_width);
    view->SetBarMaximum(100);
    // The burn cannot be stopped half way without spoiling the disc: the button only hides.
    view->SetButton("&Hide", (kViewWidth - view->StandardButtonWidth()) / 2, 62, true);
    view->on_button = [shown = view.get()] { shown->Hide(); };
    const ui::Rect area = toolkit.WorkArea();
    const ui::Rect frame = view->Frame();
    view->MoveTo(area.left + (area.width - frame.width) / 2,
                 area.top + (area.height - frame.height) / 2);
    view->Show();
  });
  const long status = job.service->BurnShowingProgress(
      job.owner_window,
      [&](int percent, const std::string& line) {
        if (!view) return;
        ui::RunOnMainThreadWhileUp([&] {
          view->SetLabel(line, kMargin, 12, label_width);
          view->SetBarPosition(percent);
        });
      },
      failure);
  // A window of a toolkit that is gone is left to the end of the process, not freed here.
  if (view && !ui::RunOnMainThreadWhileUp([&] { view.reset(); })) static_cast<void>(view.release());
  return status;
}

}  // namespace

int StageFiles(const std::vector<std::string>& files, const std::string& burn_area) {
  if (burn_area.empty()) return static_cast<int>(files.size());
  // Windows names compare without regard to case.
  std::set<std::string> earlier;
  std::vector<platform::FindEntry> entries;
  if (platform::FindFiles(burn_area + "*.*", &entries)) {
    for (const auto& entry : entries) {
      if (!(entry.attributes & platform::kAttrDirectory))
        earlier.insert(base::UpperText(entry.name));
    }
  }
  std::set<std::string> staged;
  int failed = 0;
  for (const std::string& path : files) {
    const std::string name = base::NameOf(path);
    const std::string key = base::UpperText(name);
    const std::string target = burn_area + name;
    bool copied = false;
    if (!name.empty() && !staged.count(key)) {
      copied = earlier.count(key) ? ReplaceStaged(path, target)
                                  : platform::CopyFile(path, target, /*fail_if_exists=*/true);
    }
    if (copied) {
      staged.insert(key);
    } else {
      ++failed;
    }
  }
  return failed;
}

bool TBurnThread::Start(BurnJob job) {
  auto* thread = new TBurnThread(std::move(job));
  try {
    std::thread([thread] {
      // Without a main thread to hand over to, the service (which must be released where it was
      // made) is left to the end of the process.
      if (thread->Execute()) delete thread;
    }).detach();
    return true;
  } catch (const std::system_error&) {
    delete thread;
    return false;
  }
}

bool TBurnThread::Execute() {
  std::string failure;
  // Nothing may escape a thread; a failure in the copying or the wizard still ends the burn.
  try {
    StageFiles(job_.files, job_.burn_area);  // failed copies are not reported
    if (job_.service->ShowsOwnProgress()) {
      job_.service->Burn(job_.owner_window);  // its status says nothing the user has not seen
    } else if (BurnInProgressWindow(job_, &failure) != 0 && failure.empty()) {
      failure = "The CD could not be written.";
    }
  } catch (...) {
    if (failure.empty()) failure = "The CD could not be written: the burn stopped on an error.";
  }
  // The service goes on the main thread too: on Windows it must be released where it was made.
  return ui::RunOnMainThreadWhileUp([this, &failure] {
    job_.service.reset();
    // No wizard told the user of a failure: the program does, and says where the files are.
    if (!failure.empty()) {
      ui::Toolkit& toolkit = ui::CurrentToolkit();
      toolkit.MessageBox(failure + " No CD was written; the files for it are in " + job_.burn_area +
                             ", and the backup is where it was written.",
                         toolkit.ApplicationTitle(), ui::kMbOk | ui::kMbIconExclamation);
    }
    if (job_.hand_over) job_.hand_over();
  });
}

}  // namespace cdburner
