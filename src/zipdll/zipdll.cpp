// The adding library's entry points. Nothing is thrown across them: every failure becomes a
// message through the callback and a result of 0.
#include <cstdint>
#include <exception>
#include <new>
#include <string>

#include "zipdll/add_run.h"
#include "zipdll/call_interface.h"

namespace {

constexpr std::int32_t kLibraryVersion = 160;

}  // namespace

extern "C" {

std::int32_t ZIPDLL_CALL GetZipDllVersion() { return kLibraryVersion; }

std::int32_t ZIPDLL_CALL ZipDllExec(zipdll::ZipCommandBlock* block) {
  if (!block) return 0;
  zipdll::Reporter reporter(block->callback, block->caller);
  try {
    // The version comes first: a block of another layout is not read any further than that.
    if (block->version != zipdll::kInterfaceVersion) {
      reporter.Message("ZipDll: the call block has interface version " +
                       std::to_string(static_cast<long long>(block->version)) + ", not 160");
      return 0;
    }
    if (block->check != zipdll::kStructureCheck) {
      reporter.Message("ZipDll: the call block's check value is wrong; nothing was done");
      return 0;
    }
    return zipdll::RunAdd(*block, reporter);
  } catch (const std::bad_alloc&) {
    reporter.Message("ZipDll: out of memory; the archive was left as it was");
  } catch (const std::exception& e) {
    reporter.Message(std::string("ZipDll: ") + e.what() + "; the archive was left as it was");
  } catch (...) {
    reporter.Message("ZipDll: unexpected failure; the archive was left as it was");
  }
  return 0;
}

}  // extern "C"
