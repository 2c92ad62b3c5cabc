// The kinds of failure that the system's error numbers stand for.
#include <cerrno>

#include "common/exception.h"

namespace pagora {

FailureKind failureKindOf(int systemError) noexcept {
  switch (systemError) {
    case 0:
      return FailureKind::Other;
    case ENOENT:
    case ENOTDIR:
      return FailureKind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return FailureKind::AccessDenied;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
    case EWOULDBLOCK:
      return FailureKind::InUse;
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return FailureKind::NoSpace;
    case EPIPE:
      return FailureKind::ClosedOutput;
    case ECANCELED:
      return FailureKind::Cancelled;
    default:
      return FailureKind::Other;
  }
}

}  // namespace pagora
