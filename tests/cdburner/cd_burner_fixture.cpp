#include "cdburner/cd_burner_fixture.h"

#include <algorithm>
#include <thread>

#include "platform/platform.h"

namespace cdburner_test {

std::unique_ptr<cdburner::TCDBurner> CdBurnerTest::MakeBurner() {
  auto burner = std::make_unique<cdburner::TCDBurner>(&form_);
  const std::thread::id main_thread = std::this_thread::get_id();
  burner->OnBurnDone = [this, main_thread](cdburner::TCDBurner& sender, int result) {
    done_.push_back({result, sender.IsBurning(), std::this_thread::get_id() == main_thread});
  };
  return burner;
}

std::vector<std::string> CdBurnerTest::Staged() const {
  std::vector<platform::FindEntry> entries;
  std::vector<std::string> names;
  platform::FindFiles(staging_.path() + "*", &entries);
  for (const auto& entry : entries) {
    if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace cdburner_test
