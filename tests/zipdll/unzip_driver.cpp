#include "zipdll/unzip_driver.h"

#include <memory>

#include "platform/platform.h"

namespace unzip_test {
namespace {

struct Library {
  void* handle = nullptr;
  zipdll::UnzDllExecFunction exec = nullptr;
  zipdll::VersionFunction version = nullptr;
};

// Loaded once and kept for the whole test program, as the component keeps it.
const Library& TheLibrary() {
  static const Library library = [] {
    Library loaded;
    loaded.handle = platform::LoadLibrary(zipdll::kUnzDllName);
    loaded.exec = reinterpret_cast<zipdll::UnzDllExecFunction>(
        platform::GetProcAddress(loaded.handle, zipdll::kUnzDllExecName));
    loaded.version = reinterpret_cast<zipdll::VersionFunction>(
        platform::GetProcAddress(loaded.handle, zipdll::kGetUnzDllVersionName));
    return loaded;
  }();
  return library;
}

}  // namespace

zipdll::UnzDllExecFunction UnzipDriver::Exec() { return TheLibrary().exec; }
zipdll::VersionFunction UnzipDriver::Version() { return TheLibrary().version; }

std::int32_t ZIPDLL_CALL UnzipDriver::OnCallback(zipdll::CallbackRecord* record) {
  UnzipDriver* driver = static_cast<UnzipDriver*>(record->caller);
  driver->events.push_back({record->action, record->flag, record->value, record->text});
  return driver->answer ? driver->answer(record) : 0;
}

int UnzipDriver::RunBlock(zipdll::UnzipCommandBlock* block) {
  block->caller = this;
  block->callback = &UnzipDriver::OnCallback;
  return Exec() ? Exec()(block) : -2;
}

int UnzipDriver::Run(const UnzipRequest& request) {
  // Zero-filled, then set as the component sets it.
  auto block = std::make_unique<zipdll::UnzipCommandBlock>();
  std::vector<zipdll::UnzipFileEntry> entries(request.specs.size());
  for (size_t i = 0; i < request.specs.size(); ++i) entries[i].file_spec = request.specs[i].c_str();
  block->version = zipdll::kInterfaceVersion;
  block->trace = zipdll::kFalse;
  block->password = request.password.empty() ? nullptr : request.password.c_str();
  block->test_only = request.test_only ? zipdll::kTrue : zipdll::kFalse;
  block->quiet = zipdll::kTrue;
  block->update = request.update ? zipdll::kTrue : zipdll::kFalse;
  block->freshen = request.freshen ? zipdll::kTrue : zipdll::kFalse;
  block->recreate_folders = request.recreate_folders ? zipdll::kTrue : zipdll::kFalse;
  block->overwrite = request.overwrite ? zipdll::kTrue : zipdll::kFalse;
  block->entry_count = static_cast<zipdll::Slot>(entries.size());
  block->archive = request.archive.c_str();
  block->entries = entries.empty() ? nullptr : entries.data();
  block->password_attempts = request.password_attempts;
  block->target_folder = request.target.c_str();
  block->check = zipdll::kStructureCheck;
  return RunBlock(block.get());
}

std::vector<zipdll::Slot> UnzipDriver::Actions() const {
  std::vector<zipdll::Slot> actions;
  for (const CallbackEvent& event : events) actions.push_back(event.action);
  return actions;
}

std::vector<CallbackEvent> UnzipDriver::Of(zipdll::Slot action) const {
  std::vector<CallbackEvent> found;
  for (const CallbackEvent& event : events) {
    if (event.action == action) found.push_back(event);
  }
  return found;
}

std::string UnzipDriver::Messages() const {
  std::string joined;
  for (const CallbackEvent& event : Of(zipdll::kActionMessage)) joined += event.text + "\n";
  return joined;
}

std::vector<zipdll::Slot> UnzipDriver::SkipReasons() const {
  std::vector<zipdll::Slot> reasons;
  for (const CallbackEvent& event : Of(zipdll::kActionSkipped)) reasons.push_back(event.value);
  return reasons;
}

}  // namespace unzip_test
