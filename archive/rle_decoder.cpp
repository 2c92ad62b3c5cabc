// The "-rle-" decoder.
#include "rle_decoder.h"

namespace pagora {

void rleDecode(BytePump& pump) {
  constexpr int kMarker = 0x94;
  int previous = 0;
  for (;;) {
    const int b = pump.getc();
    if (pump.atEnd()) break;
    if (b != kMarker) {
      pump.putc(static_cast<std::uint8_t>(b));
    } else {
      // A marker at the very end reads a count of 0, which stands for the marker byte itself.
      const int n = pump.getc();
      if (n == 0) {
        pump.putc(kMarker);
      } else {
        for (int k = 1; k < n; ++k) pump.putc(static_cast<std::uint8_t>(previous));
      }
    }
    // After a run this is the marker, not the repeated byte.
    previous = b;
  }
}

}  // namespace pagora
