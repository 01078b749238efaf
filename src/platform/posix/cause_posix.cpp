// Why a call of the Linux layer failed, from errno, as the last error tells it on Windows.
#include <cerrno>

#include "platform/cause.h"

namespace platform {
namespace {

// errno values above any the system uses carry the layer's own causes (SetLastCause), so that
// errno stays the one place a failure's cause is kept, as GetLastError is on Windows.
constexpr int kOwnCauseBase = 1 << 20;

}  // namespace

Cause LastCause() {
  const int error = errno;
  if (error >= kOwnCauseBase) return CauseFromCode(error - kOwnCauseBase);
  switch (error) {
    case 0:
      return Cause::kNone;
    case EACCES:
    case EPERM:
      return Cause::kAccessDenied;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK:
      return Cause::kInUse;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:  // the file-size limit, or a file system's largest file
      return Cause::kDiskFull;
    case ENOENT:
    case ENOTDIR:
    case ESTALE:
      return Cause::kNotFound;
    case EILSEQ:
      return Cause::kBadName;
    case ENAMETOOLONG:
    case ELOOP:
      return Cause::kPathTooLong;
    case EROFS:
      return Cause::kReadOnlyDrive;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENOTCONN:
      return Cause::kNotReady;
    case EIO:
    case EREMOTEIO:
      return Cause::kDeviceError;
    case EMFILE:
    case ENFILE:
      return Cause::kTooManyOpen;
    case ENOMEM:
      return Cause::kNoMemory;
    default:
      return Cause::kOther;
  }
}

void SetLastCause(Cause cause) {
  errno = cause == Cause::kNone ? 0 : kOwnCauseBase + static_cast<int>(cause);
}

}  // namespace platform
