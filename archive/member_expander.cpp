// Expanding one member: password condition, the method's decoder, the check value.
#include <chrono>

#include "archive/lzh_errors.h"
#include "lh1_coder.h"
#include "lh5_decoder.h"
#include "member_coder.h"
#include "rle_decoder.h"
#include "scramble_key.h"

namespace pagora {

namespace {

constexpr const char* kInvalidPassword = "Invalid password -- cannot decrypt file";

}  // namespace

LzhExpandRequest expandRequestFor(const LzhMemberHeader& header, LzhReadArchive& archive,
                                  ByteSink& output) {
  LzhExpandRequest request;
  request.output = &output;
  request.archive = &archive.stream;
  request.scrambled = header.scrambled();
  request.method = lzhMethodIndex(header.methodId);
  request.expectedCheck = header.crc;
  request.originalSize = header.originalSize;
  request.compressedSize = header.packedSize;
  request.brisko = archive.brisko;
  return request;
}

std::int64_t expandMember(TLzhCoderState& state, const LzhExpandRequest& request,
                          const LzhCoderContext& context) {
  if (request.scrambled && context.password.empty()) {
    throw ELzhEncrypted("File is encrypted -- password required");
  }
  if (request.method < 0 || request.method > 3) {
    throw ELzhUnrecognizedCompressionMethod("Unrecognized compression method");
  }
  const auto started = std::chrono::steady_clock::now();
  const std::uint32_t key = scrambleKey(context.password);
  BytePump pump(*request.archive, request.compressedSize, *request.output, kLzhNoOutputLimit, key,
                false, request.scrambled, context.progress, context.abortFlag);
  pump.setInputCrc(false);
  pump.setByteSum(request.brisko);
  pump.start();
  try {
    switch (request.method) {
      case 0:
        pump.copyRest();
        break;
      case 1:
        lh1Decode(state, pump, request.originalSize);
        break;
      case 2:
        lh5Decode(state, pump, request.originalSize);
        break;
      default:
        rleDecode(pump);
        break;
    }
  } catch (const ELzhBadDecodeTable&) {
    if (request.scrambled) throw ELzhEncrypted(kInvalidPassword);
    throw;
  } catch (const ELzhBadCRC&) {
    // The data ran out long before the declared size: damaged, or the wrong password.
    if (request.scrambled) throw ELzhEncrypted(kInvalidPassword);
    throw;
  }
  pump.finish();

  const bool checked = !(request.brisko && request.method == 0);
  const std::uint16_t computed =
      request.brisko ? static_cast<std::uint16_t>(pump.byteSum()) : pump.crcOut();
  if (checked && computed != request.expectedCheck) {
    if (request.scrambled) throw ELzhEncrypted(kInvalidPassword);
    throw ELzhBadCRC("Bad CRC during expansion -- data may be invalid");
  }
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               started)
      .count();
}

}  // namespace pagora
