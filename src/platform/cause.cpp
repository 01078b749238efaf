#include "platform/cause.h"

namespace platform {

std::string CausePhrase(Cause cause) {
  switch (cause) {
    case Cause::kNone:
      return std::string();
    case Cause::kAccessDenied:
      return "access is denied";
    case Cause::kInUse:
      return "another program is using the file";
    case Cause::kDiskFull:
      return "the drive is full";
    case Cause::kNotFound:
      return "the file or folder no longer exists";
    case Cause::kBadName:
      return "the name is not valid on that drive";
    case Cause::kPathTooLong:
      return "the path is too long";
    case Cause::kReadOnlyDrive:
      return "the drive is read-only";
    case Cause::kNotReady:
      return "the drive is not ready or was removed";
    case Cause::kDeviceError:
      return "the drive could not read or write the data (it may be failing)";
    case Cause::kChanged:
      return "the file changed while it was being read";
    case Cause::kNameNotStorable:
      return "its name holds a \\ or a :, which a Windows path cannot hold";
    case Cause::kTooManyOpen:
      return "too many files are open";
    case Cause::kNoMemory:
      return "there is not enough memory";
    case Cause::kDuplicateName:
      return "another file goes into the archive under the same name";
    case Cause::kNameNotUtf8:
      return "its name is not in UTF-8 and could not be converted to it";
    case Cause::kFolderInTheWay:
      return "a folder of the same name is in the way";
    case Cause::kOther:
      break;
  }
  return "the system refused for a reason it did not name";
}

std::string WithCause(const std::string& text, Cause cause) {
  const std::string phrase = CausePhrase(cause);
  return phrase.empty() ? text : text + " (" + phrase + ")";
}

Cause CauseFromCode(int64_t code) {
  if (code < static_cast<int64_t>(Cause::kNone) || code > static_cast<int64_t>(Cause::kOther)) {
    return Cause::kOther;
  }
  return static_cast<Cause>(code);
}

}  // namespace platform
