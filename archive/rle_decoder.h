// The "-rle-" decoder of Brisko archives: marker 0x94, then a count of repeats of the byte
// before it.
#pragma once

#include "byte_pump.h"

namespace pagora {

// Decodes until the pump's input ends.
void rleDecode(BytePump& pump);

}  // namespace pagora
