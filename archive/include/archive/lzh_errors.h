// The failure classes of the archive engine: each carries its fixed message text and a kind.
#pragma once

#include <string>

#include "common/exception.h"

namespace pagora {

#define PAGORA_LZH_ERROR(Name, Kind)                                                     \
  class Name : public Exception {                                                        \
   public:                                                                               \
    explicit Name(const std::string& message) : Exception(message, FailureKind::Kind) {} \
  };

// A method id or archive kind this engine does not read.
PAGORA_LZH_ERROR(ELzhUnrecognizedCompressionMethod, BadData)
// A header level other than 0, 1 and 2.
PAGORA_LZH_ERROR(ELzhInvalidHeaderLevel, BadData)
// A member header whose checksum does not match.
PAGORA_LZH_ERROR(ELzhBadChecksum, BadData)
// A member header that is cut short or inconsistent.
PAGORA_LZH_ERROR(ELzhInvalidHeader, BadData)
// Coded data whose Huffman tables cannot be built.
PAGORA_LZH_ERROR(ELzhBadDecodeTable, BadData)
// A scrambled member without a password, or with the wrong one.
PAGORA_LZH_ERROR(ELzhEncrypted, WrongPassword)
// A member whose expanded bytes do not match the stored CRC.
PAGORA_LZH_ERROR(ELzhBadCRC, BadData)
// The operation was cancelled (progress answer, AbortFlag, Ctrl-C).
PAGORA_LZH_ERROR(ELzhOperationAborted, Cancelled)
// The disk is full or protected; the previous archive is kept.
PAGORA_LZH_ERROR(ELzhInsufficientDiskSpace, NoSpace)
// The finished file could not be put in the place of the old one.
PAGORA_LZH_ERROR(ELzhCouldNotRenameFile, Other)
// Raised by the output side of the byte pump when coding would not pay; the member writer
// catches exactly this class and stores the member instead.
PAGORA_LZH_ERROR(EUnableToCompress, Other)
// A member name that would land outside the target folder on expansion.
PAGORA_LZH_ERROR(ELzhUnsafePath, BadData)

#undef PAGORA_LZH_ERROR

// Opening, reading or writing a file failed; the text names the file and the reason, the kind
// follows the system's error number when one is given.
class EFileError : public Exception {
 public:
  explicit EFileError(const std::string& message, int systemError = 0)
      : Exception(message, failureKindOf(systemError), systemError) {}

 protected:
  EFileError(const std::string& message, FailureKind kind) : Exception(message, kind) {}
};

// Expand could not make the temporary file beside a member's target (SafeMode, Verify): the
// message names the temporary file, the kind and the error number say why.
class ELzhTemporaryFile : public EFileError {
 public:
  using EFileError::EFileError;
};

// Another process holds the file (an archive being rebuilt or appended to, say).
class EFileInUse : public EFileError {
 public:
  explicit EFileInUse(const std::string& message) : EFileError(message, FailureKind::InUse) {}
};

}  // namespace pagora
