// ZipDll's two entry points. The block comes from another module: it is checked before anything
// else in it is read, and no exception leaves this file: every failure becomes a message through
// the callback and a result of 0. They leave the library under their plain names by the list in
// ZipDll.def (see CMakeLists.txt), as UnzDll's do.
#include <cstdint>
#include <exception>
#include <new>
#include <string>

#include "zipdll/add/add_run.h"
#include "zipdll/call_interface.h"
#include "zipdll/common/reporter.h"

namespace {

// Version 1.6.0 of the interface, the one the blocks are laid out for.
constexpr std::int32_t kLibraryVersion = 160;

// A last word to the caller, who may no longer be listening.
void Tell(zipdll::Reporter& reporter, const std::string& text) {
  try {
    reporter.Message(text);
  } catch (...) {
  }
}

std::int32_t Run(zipdll::ZipCommandBlock& block, zipdll::Reporter& reporter) {
  // The version comes first: a block of another layout is not read any further than that.
  if (block.version != zipdll::kInterfaceVersion) {
    reporter.Message("ZipDll: the call block has interface version " +
                     std::to_string(static_cast<long long>(block.version)) + ", not 160");
    return 0;
  }
  if (block.check != zipdll::kStructureCheck) {
    reporter.Message("ZipDll: the call block's check value is wrong; nothing was done");
    return 0;
  }
  return zipdll::add::RunAdd(block, reporter);
}

}  // namespace

extern "C" {

std::int32_t ZIPDLL_CALL GetZipDllVersion() { return kLibraryVersion; }

std::int32_t ZIPDLL_CALL ZipDllExec(zipdll::ZipCommandBlock* block) {
  if (!block) return 0;
  zipdll::Reporter reporter(block->callback, block->caller);
  try {
    return Run(*block, reporter);
  } catch (const zipdll::RunCancelled&) {
  } catch (const std::bad_alloc&) {
    Tell(reporter, "ZipDll: out of memory; the archive was left as it was");
  } catch (const std::exception& e) {
    Tell(reporter, std::string("ZipDll: ") + e.what() + "; the archive was left as it was");
  } catch (...) {
    Tell(reporter, "ZipDll: unexpected failure; the archive was left as it was");
  }
  return 0;
}

}  // extern "C"
