// Coding one member's data into the archive with the chosen method.
#include "member_coder.h"

#include <chrono>

#include "archive/lzh_errors.h"
#include "lh1_coder.h"
#include "lh5_encoder.h"
#include "scramble_key.h"

namespace pagora {

LzhCodeResult codeMember(TLzhCoderState& state, ByteSource& source, ByteSink& archive,
                         std::int64_t bytesToRead, int method, const LzhCoderContext& context) {
  if (method < 0 || method > 2) {
    throw ELzhUnrecognizedCompressionMethod("Unrecognized compression method");
  }
  const auto started = std::chrono::steady_clock::now();
  const std::uint32_t key = scrambleKey(context.password);
  BytePump pump(source, bytesToRead, archive, bytesToRead, key, key != 0, false, context.progress,
                context.abortFlag);
  pump.setByteSum(false);
  pump.start();
  switch (method) {
    case 0:
      pump.copyRest();
      break;
    case 1:
      lh1Encode(state, pump);
      break;
    default:
      lh5Encode(state, pump);
      break;
  }
  pump.finish();
  LzhCodeResult result;
  result.compressedSize = pump.bytesWritten();
  result.crc = pump.crcIn();
  result.elapsedTicks = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
  return result;
}

}  // namespace pagora
