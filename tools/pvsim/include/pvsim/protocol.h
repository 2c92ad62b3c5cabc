// The handheld's side of the upload exchanges: control bytes, block checks, the header block,
// the BootStrap command, and the small text helpers the simulator's log needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pvsim {

inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kBackspace = 0x08;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kCan = 0x18;
inline constexpr std::uint8_t kSub = 0x1A;
inline constexpr std::uint8_t kStartCrc = 'C';

inline constexpr std::size_t kHeaderDataSize = 128;
inline constexpr std::size_t kDataBlockSize = 1024;

// CRC-16/XMODEM: polynomial 0x1021, initial 0, most significant bit first, no final inversion.
std::uint16_t crc16Xmodem(std::span<const std::uint8_t> data);
// Sum of the bytes modulo 256.
std::uint8_t checksum8(std::span<const std::uint8_t> data);

// Whole length of a block that starts with `lead` (SOH or STX), with its 2-byte CRC or
// 1-byte checksum trailer; 0 for any other lead byte.
std::size_t blockLength(std::uint8_t lead, bool crcMode);

enum class BlockFault { None, Complement, Trailer };

// Checks the number complement and the trailer of a complete block (its whole length).
BlockFault checkBlock(std::span<const std::uint8_t> block, bool crcMode);

// Builds a whole block around a data area: the encoder of the checks above, used by tests and
// by nothing on the wire (the simulator only receives blocks).
std::string makeBlock(std::uint8_t number, std::string_view data, bool crcMode);

// What block 0 announces.
struct Header {
  bool endOfBatch = false;  // the all-zero block that ends the batch
  std::string name;         // bytes as sent (code page 1251)
  std::uint64_t size = 0;
  bool deleteFlag = false;
};

struct HeaderParse {
  std::optional<Header> header;
  std::string error;  // set when header is empty
};

// Reads the 128-byte data area of block 0: name, zero byte, decimal size with no leading zero,
// optionally " 0 0 0 1" for the delete flag, and nothing but zero bytes after that.
HeaderParse parseHeader(std::span<const std::uint8_t> dataArea);

// The ten rates and their one-character codes in the BootStrap command.
int rateForCode(char code);  // 0 for an unknown code
char codeForRate(int rate);  // 0 for a rate without a code

inline constexpr std::size_t kBootStrapCommandSize = 23;

struct CommandParse {
  int rate = 0;       // the requested rate when the command is valid
  std::string error;  // why it is not
};

// Checks a complete 23-byte BootStrap command: "BOOTSTRAP0", rate code, "4E", ACK, "00", CAN,
// "000100".
CommandParse parseBootStrapCommand(std::string_view command);

// True while `received` can still grow into a valid BootStrap command.
bool isBootStrapCommandPrefix(std::string_view received);

// Code page 1251 bytes as UTF-8; the one unassigned byte (0x98) becomes U+FFFD.
std::string cp1251ToUtf8(std::string_view text);

// Text fit for a one-line log: printable ASCII as is, backslash doubled, everything else as
// \xHH, so control bytes from the line can never reach the terminal.
std::string escapeForLog(std::string_view bytes);

// Reads C-style escapes (\r \n \t \\ \0 \xHH) in a text given on the command line; none when
// an escape is malformed.
std::optional<std::string> unescapeText(std::string_view text);

}  // namespace pvsim
