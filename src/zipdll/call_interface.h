// The call interface between the archive component and the two compression libraries, ZipDll
// (adding) and UnzDll (extracting). Both sides include this header; nothing else crosses the
// boundary, and no C++ exception does.
//
// The blocks are wire formats: zero-filled before use, a switch is true as -1 and false as 0, and
// texts are addresses of zero-terminated ANSI (UTF-8) texts valid for the whole call. On 32-bit
// builds every field sits at its historical offset in 4-byte slots. On 64-bit builds each 4-byte
// slot becomes 8 bytes: offsets double and integers are sign-extended, while the two fields that
// are not 4 bytes wide (the 2-byte recurse switch and the 512-byte callback text) keep their
// size at their doubled offset. The static_asserts at the end hold both layouts.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define ZIPDLL_CALL __stdcall
#else
#define ZIPDLL_CALL
#endif

namespace zipdll {

// One 4-byte slot of the 32-bit layout: 4 bytes there, 8 bytes on 64-bit builds.
using Slot = std::intptr_t;

inline constexpr Slot kTrue = -1;
inline constexpr Slot kFalse = 0;
inline constexpr Slot kInterfaceVersion = 160;
inline constexpr Slot kStructureCheck = 7;

// What the library reports through the callback (CallbackRecord::action).
enum Action : Slot {
  kActionFileBegun = 1,   // text = file name, value = its size
  kActionProgress = 2,    // value = bytes processed since the last report
  kActionEndOfBatch = 3,  //
  kActionMessage = 4,     // text = message
  kActionBatchFiles = 5,  // value = number of files in the batch
  kActionBatchBytes = 6,  // value = total bytes of the batch
  kActionPassword = 8,    // text = entry name, value = attempts left; answer flag 1 + text
  kActionCrcError = 9,    // text = entry name; answer flag 1 keeps the file, 0 drops it
  kActionOverwrite = 10,  // text = target, flag bit 0 = target is older; answer value 1 = yes
  kActionSkipped = 11,    // value = reason
};

// Reasons given with kActionSkipped.
enum SkipReason : Slot {
  kSkipNotFound = 1,        // a file spec matched nothing, or a file could not be read
  kSkipUnsafeName = 2,      // an entry name would leave the target folder
  kSkipNotNewer = 3,        // update/freshen kept the existing file or entry
  kSkipNoPassword = 4,      // an encrypted entry without a usable password
  kSkipBadData = 5,         // CRC error dropped, damaged or unsupported entry
  kSkipUserDeclined = 6,    // the caller answered "keep" to an overwrite
  kSkipHiddenOrSystem = 7,  // hidden or system file without the switch that includes them
  kSkipNotStorable = 8,     // a device, pipe or socket, or a name the archive format cannot hold
  kSkipNoRoom = 9,          // the target drive has too little free space for the entry
  kSkipNotWritten = 10,     // the entry's file could not be made or written on the target
};

// With kActionSkipped, and with a kActionMessage that ends a run, the record's flag carries why
// the system call behind it failed: a platform::Cause value (0 when no system call failed). A
// message that ends an adding run on a full drive carries in its value the bytes the new archive
// was estimated to need in all.

inline constexpr std::size_t kCallbackTextSize = 512;

// A 2-byte switch at the start of a slot (the recurse switch: 0xFFFF or 0).
union ShortSlot {
  std::uint16_t value;
  Slot whole;
};

struct CallbackRecord {
  Slot reserved0;
  void* caller;  // 4: the caller given in the block
  Slot reserved8[2];
  Slot action;                   // 16
  Slot flag;                     // 20: input and answer
  Slot value;                    // 24: input and answer
  char text[kCallbackTextSize];  // 28: zero-terminated
};

// Returns 0 to go on, -1 to abort the run.
using Callback = std::int32_t(ZIPDLL_CALL*)(CallbackRecord* record);

struct ZipFileEntry {
  const char* file_spec;  // 0
  Slot reserved4[2];
  const char* password;  // 12
  Slot encrypt;          // 16
  ShortSlot recurse;     // 20
  Slot reserved24[3];
  const char* root;  // 36: folder for relative specs, with a trailing backslash, or ""
  Slot reserved40[16];
};

struct ZipCommandBlock {
  Slot reserved0;
  void* caller;          // 4
  Slot version;          // 8
  Callback callback;     // 12
  Slot trace;            // 16
  const char* password;  // 20
  Slot reserved24;
  Slot encrypt;         // 28
  Slot include_system;  // 32: include hidden and system files
  Slot reserved36[2];
  Slot no_folder_entries;  // 44
  Slot reserved48[2];
  Slot quiet;  // 56
  Slot level;  // 60
  Slot reserved64[2];
  Slot drop_folder_names;  // 72
  ShortSlot recurse;       // 76
  Slot grow;               // 80: add to the existing archive
  Slot force_dos_names;    // 84
  Slot reserved88[2];
  Slot update;   // 96
  Slot freshen;  // 100
  Slot reserved104[4];
  Slot entry_count;         // 120
  const char* archive;      // 124
  const char* temp_folder;  // 128
  const char* comment;      // 132
  Slot reserved136;
  ZipFileEntry* entries;  // 140
  Slot reserved144[17];
  Slot check;  // 212
};

struct UnzipFileEntry {
  const char* file_spec;  // 0
  Slot reserved4[17];
};

struct UnzipCommandBlock {
  Slot reserved0;
  void* caller;       // 4
  Slot version;       // 8
  Callback callback;  // 12
  Slot trace;         // 16
  Slot reserved20;
  const char* password;  // 24
  Slot test_only;        // 28
  Slot reserved32[2];
  Slot quiet;  // 40
  Slot reserved44;
  Slot update;              // 48
  Slot freshen;             // 52
  Slot recreate_folders;    // 56
  Slot overwrite;           // 60
  Slot entry_count;         // 64: 0 = every entry
  const char* archive;      // 68
  UnzipFileEntry* entries;  // 72
  Slot reserved76[7];
  Slot password_attempts;     // 104
  const char* target_folder;  // 108: with a trailing backslash
  Slot reserved112[8];
  Slot check;  // 144
};

// Entry points, as the component finds them by name.
using ZipDllExecFunction = std::int32_t(ZIPDLL_CALL*)(ZipCommandBlock* block);
using UnzDllExecFunction = std::int32_t(ZIPDLL_CALL*)(UnzipCommandBlock* block);
using VersionFunction = std::int32_t(ZIPDLL_CALL*)();

inline constexpr char kZipDllName[] = "ZipDll.dll";
inline constexpr char kUnzDllName[] = "UnzDll.dll";
inline constexpr char kZipDllExecName[] = "ZipDllExec";
inline constexpr char kGetZipDllVersionName[] = "GetZipDllVersion";
inline constexpr char kUnzDllExecName[] = "UnzDllExec";
inline constexpr char kGetUnzDllVersionName[] = "GetUnzDllVersion";

// Offset of a field of the 32-bit layout in this build's layout.
constexpr std::size_t At(std::size_t offset32) { return offset32 / 4 * sizeof(Slot); }

static_assert(sizeof(Slot) == sizeof(void*) && sizeof(Callback) == sizeof(Slot));

static_assert(sizeof(CallbackRecord) == At(28) + kCallbackTextSize);
static_assert(offsetof(CallbackRecord, caller) == At(4));
static_assert(offsetof(CallbackRecord, action) == At(16));
static_assert(offsetof(CallbackRecord, flag) == At(20));
static_assert(offsetof(CallbackRecord, value) == At(24));
static_assert(offsetof(CallbackRecord, text) == At(28));

static_assert(sizeof(ZipCommandBlock) == At(216));
static_assert(offsetof(ZipCommandBlock, caller) == At(4));
static_assert(offsetof(ZipCommandBlock, version) == At(8));
static_assert(offsetof(ZipCommandBlock, callback) == At(12));
static_assert(offsetof(ZipCommandBlock, trace) == At(16));
static_assert(offsetof(ZipCommandBlock, password) == At(20));
static_assert(offsetof(ZipCommandBlock, encrypt) == At(28));
static_assert(offsetof(ZipCommandBlock, include_system) == At(32));
static_assert(offsetof(ZipCommandBlock, no_folder_entries) == At(44));
static_assert(offsetof(ZipCommandBlock, quiet) == At(56));
static_assert(offsetof(ZipCommandBlock, level) == At(60));
static_assert(offsetof(ZipCommandBlock, drop_folder_names) == At(72));
static_assert(offsetof(ZipCommandBlock, recurse) == At(76));
static_assert(offsetof(ZipCommandBlock, grow) == At(80));
static_assert(offsetof(ZipCommandBlock, force_dos_names) == At(84));
static_assert(offsetof(ZipCommandBlock, update) == At(96));
static_assert(offsetof(ZipCommandBlock, freshen) == At(100));
static_assert(offsetof(ZipCommandBlock, entry_count) == At(120));
static_assert(offsetof(ZipCommandBlock, archive) == At(124));
static_assert(offsetof(ZipCommandBlock, temp_folder) == At(128));
static_assert(offsetof(ZipCommandBlock, comment) == At(132));
static_assert(offsetof(ZipCommandBlock, entries) == At(140));
static_assert(offsetof(ZipCommandBlock, check) == At(212));

static_assert(sizeof(ZipFileEntry) == At(104));
static_assert(offsetof(ZipFileEntry, file_spec) == At(0));
static_assert(offsetof(ZipFileEntry, password) == At(12));
static_assert(offsetof(ZipFileEntry, encrypt) == At(16));
static_assert(offsetof(ZipFileEntry, recurse) == At(20));
static_assert(offsetof(ZipFileEntry, root) == At(36));

static_assert(sizeof(UnzipCommandBlock) == At(148));
static_assert(offsetof(UnzipCommandBlock, caller) == At(4));
static_assert(offsetof(UnzipCommandBlock, version) == At(8));
static_assert(offsetof(UnzipCommandBlock, callback) == At(12));
static_assert(offsetof(UnzipCommandBlock, trace) == At(16));
static_assert(offsetof(UnzipCommandBlock, password) == At(24));
static_assert(offsetof(UnzipCommandBlock, test_only) == At(28));
static_assert(offsetof(UnzipCommandBlock, quiet) == At(40));
static_assert(offsetof(UnzipCommandBlock, update) == At(48));
static_assert(offsetof(UnzipCommandBlock, freshen) == At(52));
static_assert(offsetof(UnzipCommandBlock, recreate_folders) == At(56));
static_assert(offsetof(UnzipCommandBlock, overwrite) == At(60));
static_assert(offsetof(UnzipCommandBlock, entry_count) == At(64));
static_assert(offsetof(UnzipCommandBlock, archive) == At(68));
static_assert(offsetof(UnzipCommandBlock, entries) == At(72));
static_assert(offsetof(UnzipCommandBlock, password_attempts) == At(104));
static_assert(offsetof(UnzipCommandBlock, target_folder) == At(108));
static_assert(offsetof(UnzipCommandBlock, check) == At(144));

static_assert(sizeof(UnzipFileEntry) == At(72));

#if defined(_WIN32) && !defined(_WIN64)
// The tabled sizes, checked literally where the layout is the historical one.
static_assert(sizeof(ZipCommandBlock) == 216 && sizeof(ZipFileEntry) == 104);
static_assert(sizeof(UnzipCommandBlock) == 148 && sizeof(UnzipFileEntry) == 72);
static_assert(offsetof(CallbackRecord, text) == 28);
#elif defined(_WIN64) || defined(__x86_64__)
static_assert(sizeof(ZipCommandBlock) == 432 && sizeof(ZipFileEntry) == 208);
static_assert(sizeof(UnzipCommandBlock) == 296 && sizeof(UnzipFileEntry) == 144);
static_assert(offsetof(ZipCommandBlock, recurse) == 152 && offsetof(CallbackRecord, text) == 56);
#endif

}  // namespace zipdll
