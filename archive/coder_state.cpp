// TLzhCoderState: per-member allocation of the coder tables.
#include "coder_state.h"

#include "lh1_tree.h"
#include "lh5_decoder.h"
#include "lh5_encoder.h"

namespace pagora {

TLzhCoderState::TLzhCoderState() = default;
TLzhCoderState::~TLzhCoderState() = default;

TLzhCoderState::Lease<Lh5EncoderTables> TLzhCoderState::lh5Encoder() {
  return Lease<Lh5EncoderTables>(lh5Encoder_);
}
TLzhCoderState::Lease<Lh5DecoderTables> TLzhCoderState::lh5Decoder() {
  return Lease<Lh5DecoderTables>(lh5Decoder_);
}
TLzhCoderState::Lease<Lh1Tables> TLzhCoderState::lh1() {
  return Lease<Lh1Tables>(lh1_);
}

}  // namespace pagora
