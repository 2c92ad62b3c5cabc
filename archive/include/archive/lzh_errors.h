// The failure classes of the archive engine. Each carries only its fixed message text.
#pragma once

#include <string>

#include "common/exception.h"

namespace pagora {

#define PAGORA_LZH_ERROR(Name)                                        \
  class Name : public Exception {                                     \
   public:                                                            \
    explicit Name(const std::string& message) : Exception(message) {} \
  };

PAGORA_LZH_ERROR(ELzhUnrecognizedCompressionMethod)
PAGORA_LZH_ERROR(ELzhInvalidHeaderLevel)
PAGORA_LZH_ERROR(ELzhBadChecksum)
PAGORA_LZH_ERROR(ELzhInvalidHeader)
PAGORA_LZH_ERROR(ELzhBadDecodeTable)
PAGORA_LZH_ERROR(ELzhEncrypted)
PAGORA_LZH_ERROR(ELzhBadCRC)
PAGORA_LZH_ERROR(ELzhOperationAborted)
PAGORA_LZH_ERROR(ELzhInsufficientDiskSpace)
PAGORA_LZH_ERROR(ELzhCouldNotRenameFile)
// Raised by the output side of the byte pump when coding would not pay; the member writer
// catches exactly this class and stores the member instead.
PAGORA_LZH_ERROR(EUnableToCompress)
// A member name that would land outside the target folder on expansion.
PAGORA_LZH_ERROR(ELzhUnsafePath)
// Opening, reading or writing a file failed; the text names the file and the reason.
PAGORA_LZH_ERROR(EFileError)

#undef PAGORA_LZH_ERROR

// Another process holds the file (an archive being rebuilt or appended to, say).
class EFileInUse : public EFileError {
 public:
  using EFileError::EFileError;
};

}  // namespace pagora
