// Why an operation of the operating system failed, in the program's own terms, and the plain
// phrase a person reads for it. Win32 error codes and errno values map onto the same causes, so
// a message says the same thing on every platform.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The values travel between the program and its two libraries (in the callback record), so they
// are fixed: new causes are added at the end.
enum class Cause : int32_t {
  kNone = 0,  // nothing failed, or nothing the system could name
  kAccessDenied = 1,
  kInUse = 2,  // another program holds the file without sharing it
  kDiskFull = 3,
  kNotFound = 4,  // the file or the folder is gone
  kBadName = 5,   // the drive refuses the name
  kPathTooLong = 6,
  kReadOnlyDrive = 7,
  kNotReady = 8,          // no medium, a drive unplugged, a network drive gone
  kDeviceError = 9,       // the drive could not read or write (failing media)
  kChanged = 10,          // the file changed size while it was read
  kNameNotStorable = 11,  // a name that no Windows path can hold (a "\" or ":" in a Linux name)
  kTooManyOpen = 12,
  kNoMemory = 13,
  kDuplicateName = 14,   // another file goes into the archive under the same name
  kFolderInTheWay = 15,  // a file is to be written where a folder of its name is
  kNameNotUtf8 = 16,     // a name in a character set the archive's names cannot carry
  kOther = 17,           // the system refused for a reason the program has no words for
};

// The cause of the last failed call of this thread into platform/, as GetLastError or errno
// would tell it; only meaningful right after a call that failed.
Cause LastCause();

// Sets what LastCause will say, for the layer's own refusals (and for tests).
void SetLastCause(Cause cause);

// "access is denied", "the drive is full", ...: a short phrase, lower case, no full stop, that
// completes "... could not be read: ". Empty for kNone.
std::string CausePhrase(Cause cause);

// text followed by the cause's phrase in brackets, or text alone for kNone: a message that gives
// a failure's cause in words.
std::string WithCause(const std::string& text, Cause cause);

// A cause that came over the call interface as a number; unknown values become kOther.
Cause CauseFromCode(int64_t code);

}  // namespace platform
