// Stand-ins for ZipDll that the real engine cannot play: one of an older interface version, and
// one that spoils the archive before it is told to stop, as an engine without a safe write
// would.
#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "zipdll/call_interface.h"

#if defined(_WIN32)
#define FAKE_ENGINE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_ENGINE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

FAKE_ENGINE_EXPORT std::int32_t ZIPDLL_CALL ZipDllExec(zipdll::ZipCommandBlock* block) {
  platform::WriteWholeFileSafely(block->archive, "half-written");
  zipdll::CallbackRecord record = {};
  record.caller = block->caller;
  record.action = zipdll::kActionProgress;
  record.value = 1;
  return block->callback(&record) == -1 ? 0 : 1;
}

FAKE_ENGINE_EXPORT std::int32_t ZIPDLL_CALL GetZipDllVersion() { return FAKE_ENGINE_VERSION; }
