// The two entry points the archive component calls per member: code a member's data into the
// archive, and expand one member out of it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "byte_pump.h"
#include "byte_stream.h"
#include "coder_state.h"
#include "lzh_format.h"

namespace pagora {

// What the component hands every coder: its Password, OnShowProgress and AbortFlag.
struct LzhCoderContext {
  std::string password;
  LzhProgressHandler progress;                   // may be empty
  const std::atomic<bool>* abortFlag = nullptr;  // may be null
};

struct LzhCodeResult {
  std::int64_t compressedSize = 0;  // bytes written to the archive
  std::uint16_t crc = 0;            // CRC-16 of the source bytes read
  std::int64_t elapsedTicks = 0;    // milliseconds spent coding
};

// Codes bytesToRead bytes from source (at its current position) into archive (at its current
// position) with method 0 ("-lh0-"), 1 ("-lh1-") or 2 ("-lh5-"); a non-empty password scrambles
// the coded bytes. The output may be as long as the input but no longer: beyond that
// EUnableToCompress is raised (the caller then rewinds both streams and stores the member).
// Cancel raises ELzhOperationAborted; stream failures pass through.
LzhCodeResult codeMember(TLzhCoderState& state, ByteSource& source, ByteSink& archive,
                         std::int64_t bytesToRead, int method, const LzhCoderContext& context);

struct LzhExpandRequest {
  ByteSink* output = nullptr;     // the target or a temporary file, written from its position
  ByteSource* archive = nullptr;  // positioned at the member's coded data
  bool scrambled = false;         // bit 7 of the header's level byte
  int method = 0;                 // TLzhMethod ordinal: 0 lh0, 1 lh1, 2 lh5, 3 rle
  std::uint16_t expectedCheck = 0;
  std::int64_t originalSize = 0;
  std::int64_t compressedSize = 0;
  bool brisko = false;  // check value is the byte sum; stored members are not checked
};

// The request that expands the member whose header was just read from `archive` (the stream
// stands at its data) into `output`.
LzhExpandRequest expandRequestFor(const LzhMemberHeader& header, LzhReadArchive& archive,
                                  ByteSink& output);

// Expands one member; raises ELzhEncrypted, ELzhBadDecodeTable, ELzhBadCRC,
// ELzhOperationAborted or a stream failure. Returns the milliseconds spent (ElapsedTicks).
std::int64_t expandMember(TLzhCoderState& state, const LzhExpandRequest& request,
                          const LzhCoderContext& context);

}  // namespace pagora
