// Published types of the archive component: methods, archive types, per-member information,
// process modes and the event signatures hosts implement.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pagora {

// The coding of a member: stored, LH1, LH5 or the TCR run-length coding. The ordinal is the
// index used everywhere (method table, coder dispatch).
enum TLzhMethod : std::uint8_t { colh0 = 0, colh1 = 1, colh5 = 2, coTCR = 3 };

// The kind of archive Compress writes; the ordinal is its header level.
enum TLzhArchiveType : std::uint8_t { caLHARC = 0, caLHA = 1 };

// The operation an event reports on.
enum TLzhProcessMode : std::uint8_t { pmCompress = 0, pmExpand = 1, pmDelete = 2 };

// One member found by Scan.
struct TLzhFileInfo {
  TLzhMethod Method = colh0;           // how the member is coded
  std::uint32_t CompressedSize = 0;    // bytes of coded data in the archive
  std::uint32_t UncompressedSize = 0;  // bytes once expanded
  std::uint32_t DateTime = 0;          // MS-DOS date in the high word, time in the low word
  std::uint16_t Attributes = 0;        // MS-DOS attribute bits
  std::uint8_t HeaderLevel = 0;        // 0 to 2
  std::uint16_t CRC = 0;               // CRC-16 of the expanded bytes
  std::uint32_t DataOffset = 0;        // where the coded data starts in the archive
  bool Encrypted = false;              // scrambled with a password
  std::string Comment;  // the note after the name of a level-0 header, empty when none
};

// Before each file or member: may rename it (newFilePath), skip it (empty) or stop the
// operation ("*").
using TLzhFilenameCheckEvent =
    std::function<void(const std::string& originalFilePath, std::string& newFilePath,
                       std::int32_t dateTime, TLzhProcessMode mode)>;
// After each file or member done: its original and new path.
using TLzhAfterProcessedEvent =
    std::function<void(const std::string& originalFilePath, const std::string& newFilePath,
                       std::int32_t dateTime, TLzhProcessMode mode)>;
// Receives the percentage done; answering -1 cancels the operation.
using TLzhShowProgressEvent = std::function<void(int& PercentageDone)>;

// One member header as the archive stores it, for listings and checks (walkMembers).
struct TLzhStoredMember {
  std::string MethodId;  // five bytes, "-lh5-" and the like, as stored
  std::string Name;      // as stored: 8-bit bytes, the handheld's set in books
  std::string Comment;   // the note after the name of a level-0 header, empty when none
  std::uint32_t OriginalSize = 0;
  std::uint32_t PackedSize = 0;
  std::uint32_t DateTime = 0;  // MS-DOS date in the high word, time in the low word
  std::uint16_t CRC = 0;
  std::uint8_t Attribute = 0;
  int Level = 0;           // header level, 0 to 2
  bool Scrambled = false;  // scrambled with a password
};

// What a walk through an archive's headers found (walkMembers).
struct TLzhWalkResult {
  int Members = 0;          // headers read
  std::string Error;        // the open failure or the header fault that ended the walk
  bool Opened = false;      // the file could be opened at all
  bool NotArchive = false;  // it holds no member and is not an empty archive either
  bool Stopped = false;     // the visitor asked to stop
};

// Expands the member being visited into an open descriptor (left open; `name` names it in
// failures), checking its CRC. Raises the component's failures, ELzhOperationAborted on a cancel.
using TLzhExpandInto = std::function<void(int descriptor, const std::string& name)>;
// Visits one member of a walk; returns false to stop the walk there.
using TLzhMemberVisitor =
    std::function<bool(const TLzhStoredMember& member, const TLzhExpandInto& expandInto)>;

// The answer to a confirmation question.
enum class TLzhConfirmAnswer : std::uint8_t { Yes, No, Cancel };
// Asks a person: caption and question text. Without a handler the answer is Yes.
using TLzhConfirmEvent =
    std::function<TLzhConfirmAnswer(const std::string& caption, const std::string& text)>;

}  // namespace pagora
