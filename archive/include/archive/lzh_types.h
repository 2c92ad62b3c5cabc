// Published types of the archive component: methods, archive types, per-member information,
// process modes and the event signatures hosts implement.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pagora {

// The ordinal is the index used everywhere (method table, coder dispatch).
enum TLzhMethod : std::uint8_t { colh0 = 0, colh1 = 1, colh5 = 2, coTCR = 3 };

// The ordinal is the header level Compress writes.
enum TLzhArchiveType : std::uint8_t { caLHARC = 0, caLHA = 1 };

enum TLzhProcessMode : std::uint8_t { pmCompress = 0, pmExpand = 1, pmDelete = 2 };

// One member found by Scan.
struct TLzhFileInfo {
  TLzhMethod Method = colh0;
  std::uint32_t CompressedSize = 0;
  std::uint32_t UncompressedSize = 0;
  std::uint32_t DateTime = 0;  // MS-DOS date in the high word, time in the low word
  std::uint16_t Attributes = 0;
  std::uint8_t HeaderLevel = 0;
  std::uint16_t CRC = 0;
  std::uint32_t DataOffset = 0;
  bool Encrypted = false;
  std::string Comment;  // the note after the name of a level-0 header, empty when none
};

// May rename a file (newFilePath), skip it (empty) or stop the operation ("*").
using TLzhFilenameCheckEvent =
    std::function<void(const std::string& originalFilePath, std::string& newFilePath,
                       std::int32_t dateTime, TLzhProcessMode mode)>;
using TLzhAfterProcessedEvent =
    std::function<void(const std::string& originalFilePath, const std::string& newFilePath,
                       std::int32_t dateTime, TLzhProcessMode mode)>;
// Receives the percentage done; answering -1 cancels the operation.
using TLzhShowProgressEvent = std::function<void(int& PercentageDone)>;

// The answer to a confirmation question.
enum class TLzhConfirmAnswer : std::uint8_t { Yes, No, Cancel };
// Asks a person: caption and question text. Without a handler the answer is Yes.
using TLzhConfirmEvent =
    std::function<TLzhConfirmAnswer(const std::string& caption, const std::string& text)>;

}  // namespace pagora
