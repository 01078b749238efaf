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

}  // namespace

int StageFiles(const std::vector<std::string>& files, const std::string& burn_area) {
  if (burn_area.empty()) return static_cast<int>(files.size());
  // Windows names compare without regard to case.
  std::set<std::string> earlier;
  std::vector<platform::FindEntry> entries;
  if (platform::FindFiles(burn_area + "*.*", &entries)) {
    for (const auto& entry : entries) {
      if (!(entry.attributes & platform::kAttrDirectory))
        earlier.insert(util::UpperText(entry.name));
    }
  }
  std::set<std::string> staged;
  int failed = 0;
  for (const std::string& path : files) {
    const std::string name = util::NameOf(path);
    const std::string key = util::UpperText(name);
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
      thread->Execute();
      delete thread;
    }).detach();
    return true;
  } catch (const std::system_error&) {
    delete thread;
    return false;
  }
}

void TBurnThread::Execute() {
  // Nothing may escape a thread; a failure in the copying or the wizard still ends the burn.
  try {
    StageFiles(job_.files, job_.burn_area);  // failed copies are not reported
    job_.service->Burn(job_.owner_window);   // its status says nothing the user has not seen
  } catch (...) {
  }
  // The service goes on the main thread too: on Windows it must be released where it was made.
  ui::CurrentToolkit().RunOnMainThread([this] {
    job_.service.reset();
    if (job_.hand_over) job_.hand_over();
  });
}

}  // namespace cdburner
