// The "-lh1-" coder: 4 KB window, matches of 3-60 bytes, adaptive Huffman symbols and a fixed
// prefix code for the upper position bits.
#pragma once

#include <cstdint>

#include "byte_pump.h"
#include "coder_state.h"

namespace pagora {

// Codes everything the pump delivers (the pump must have been started). Empty input gives no
// coded bytes.
void lh1Encode(TLzhCoderState& state, BytePump& pump);

// Decodes count bytes.
void lh1Decode(TLzhCoderState& state, BytePump& pump, std::int64_t count);

}  // namespace pagora
