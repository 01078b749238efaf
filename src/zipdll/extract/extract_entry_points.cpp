// UnzDll's two entry points. The block comes from another module: it is checked before anything
// else in it is read, and no exception leaves this file. They leave the library under their plain
// names by the list in UnzDll.def (see CMakeLists.txt), as ZipDll's do.
#include <cstdint>
#include <exception>
#include <string>

#include "zipdll/call_interface.h"
#include "zipdll/common/reporter.h"
#include "zipdll/extract/extract_run.h"

namespace {

// Version 1.6.0 of the interface, the one the blocks are laid out for.
constexpr std::int32_t kLibraryVersion = 160;

std::string TextOf(const char* text) { return text ? std::string(text) : std::string(); }

// A last word to the caller, who may no longer be listening.
void Tell(zipdll::Reporter& reporter, const std::string& text) {
  try {
    reporter.Message(text);
  } catch (...) {
  }
}

zipdll::extract::ExtractOptions OptionsFrom(const zipdll::UnzipCommandBlock& block) {
  zipdll::extract::ExtractOptions options;
  options.archive = TextOf(block.archive);
  options.target_folder = TextOf(block.target_folder);
  options.password = TextOf(block.password);
  if (block.entries) {
    for (zipdll::Slot i = 0; i < block.entry_count; ++i) {
      options.specs.push_back(TextOf(block.entries[i].file_spec));
    }
  }
  // Checking wins over writing, and update over freshen, whatever else the block says.
  options.test_only = block.test_only != 0;
  options.update = !options.test_only && block.update != 0;
  options.freshen = !options.test_only && !options.update && block.freshen != 0;
  options.recreate_folders = block.recreate_folders != 0;
  options.overwrite = block.overwrite != 0;
  options.password_attempts = block.password_attempts > 0 && block.password_attempts < 100
                                  ? static_cast<int>(block.password_attempts)
                                  : 0;
  return options;
}

std::int32_t Run(zipdll::UnzipCommandBlock& block, zipdll::Reporter& reporter) {
  // A block of another version may be shorter: its check value is only read once the version
  // says where it is.
  if (block.version != zipdll::kInterfaceVersion) {
    reporter.Message("UnzDll: the command block has version " + std::to_string(block.version) +
                     ", not " + std::to_string(zipdll::kInterfaceVersion) + "; nothing was done.");
    return 0;
  }
  if (block.check != zipdll::kStructureCheck) {
    reporter.Message("UnzDll: the command block's check value is wrong; nothing was done.");
    return 0;
  }
  zipdll::extract::ExtractRun run(OptionsFrom(block), &reporter);
  try {
    run.Run();
  } catch (const zipdll::RunCancelled&) {
  } catch (const std::exception& failure) {
    // Out of memory or another failure of our own: say so, and count what was done.
    Tell(reporter, std::string("UnzDll stopped: ") + failure.what());
  }
  return run.extracted();
}

}  // namespace

extern "C" {

std::int32_t ZIPDLL_CALL GetUnzDllVersion() { return kLibraryVersion; }

std::int32_t ZIPDLL_CALL UnzDllExec(zipdll::UnzipCommandBlock* block) {
  if (!block) return 0;
  zipdll::Reporter reporter(block->callback, block->caller);
  try {
    return Run(*block, reporter);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
