// The simulated handheld: the BootStrap loader that answers the wake-up and takes the Receiver
// image, and the Receiver that takes the batch of files, with faults that can be switched on.
// It is driven by bytes and clock readings and answers through callbacks, so it runs the same
// on a pseudo-terminal and in a test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "pvsim/file_store.h"
#include "pvsim/intel_hex.h"

namespace pvsim {

// Where the Receiver cancels on purpose.
struct CancelPoint {
  enum class Where { None, Start, Header, Data, Eot, Final };
  Where where = Where::None;
  // Start, Header, Eot: the file (1 = first; Start with one more than the files cancels instead
  // of the start request before the end-of-batch block). Data: the data block of the first file.
  int number = 1;
};

// Reads "start", "header", "data", "eot" or "final", optionally followed by ":N" (N >= 1).
std::optional<CancelPoint> parseCancelPoint(std::string_view text);

enum class CancelStyle {
  Device,    // one CAN, as the handheld's Receiver does
  Standard,  // CAN bytes followed by as many backspaces, as common YMODEM receivers do
};

struct DeviceOptions {
  std::filesystem::path outFolder = ".";
  // The Receiver image the uploader is expected to send, byte for byte (the start-address record
  // goes in front of its end record); empty: only the records' own rules are checked.
  std::string expectedImage;
  bool checksum = false;       // start requests are NAK: 1-byte checksums instead of CRC-16
  bool checksumFirst = false;  // only the first start request is NAK; the checksums stay
  std::set<int> nakBlocks;     // NAK these blocks of every file (0 = the header block)
  int nakEvery = 0;            // NAK every Nth data block of every file
  int nakTimes = 1;            // how many times each chosen block is NAKed before it is taken
  bool nakEot = false;         // NAK the first EOT of every file
  CancelPoint cancel;
  CancelStyle cancelStyle = CancelStyle::Device;
  bool cAfterHeader = false;  // ACK the header, then send C a tick later
  bool ackCAfterEot = false;  // ACK and C in one burst after EOT
  bool noise = false;         // noise bytes in front of every answer
  bool zeroByte = false;  // a zero byte in front of every Receiver answer and in the closing text
  int holdRecord = 0;     // from this record on, the loader holds its replies for holdMs
  int holdBlock = 0;      // the reply to this data block of the first file comes holdMs late
  int holdMs = 1000;
  int wrongRate = 0;  // the loader switches to this rate instead of the requested one
  std::optional<std::string> closingText;  // the Receiver's last words; a default when none
  int silenceMs = 30000;                   // give up when the uploader stays silent this long
};

struct DeviceIo {
  std::function<void(std::string_view)> send;
  // The rate the uploader's end of the line is set to; 0 when it cannot be told.
  std::function<int()> lineSpeed;
  std::function<void(std::string_view)> log;
};

class Device {
 public:
  using Millis = std::int64_t;

  Device(DeviceOptions options, DeviceIo io);

  // The uploader opened its end of the line.
  void lineOpened(Millis now);
  // Bytes from the uploader.
  void receive(std::string_view bytes, Millis now);
  // The uploader closed its end of the line.
  void lineClosed(Millis now);
  // Runs whatever has become due by now.
  void advance(Millis now);
  // When advance() next has something to do; -1 when only incoming bytes can move things.
  Millis nextDeadline() const;

  bool finished() const { return phase_ == Phase::Finished; }
  // 0: the session went as configured; 1: the uploader broke the protocol (see the log);
  // 3: the session did not reach its end (silence, or the line closed early).
  int exitStatus() const;
  int errors() const { return errors_; }

 private:
  enum class Phase {
    WaitOpen,
    WaitSpeed,
    Announce,
    AwaitCommand,
    Install,
    AwaitHeader,
    AwaitData,
    AwaitEotRepeat,
    Done,
    Cancelled,
    Failed,
    Finished
  };

  struct Pending {
    Millis at;
    std::string bytes;
  };

  void log(const std::string& text);
  void error(const std::string& text);
  std::string phaseName() const;
  bool lineAtLoaderRate();
  void advanceWakeUp(Millis now);
  void releaseHeldReplies(Millis now);
  void advanceReceiverTimers(Millis now);
  void checkSilence(Millis now);

  // Loader.
  void takeCommandBytes(std::string_view bytes, Millis now);
  void takeImageBytes(std::string_view bytes, Millis now);
  void takeRecord(std::string_view text, Millis now);
  void replyToRecords(int dataRecords, int startRecords);
  void startReceiver(Millis now);
  void failLoader(const std::string& text, Millis now);

  // Receiver.
  void takeReceiverBytes(Millis now);
  void takeBlock(const std::string& block, Millis now);
  void takeHeader(const std::string& block, Millis now);
  void takeDataBlock(const std::string& block, Millis now);
  void takeEot(Millis now);
  void finishFile(Millis now);
  void sendStartRequest(Millis now);
  void answer(std::string_view bytes);
  void answerLater(std::string_view bytes, Millis at);
  void nakBadBlock(const std::string& why, Millis now);
  void cancel(const std::string& where, Millis now);
  void failReceiver(const std::string& text, Millis now);
  void endSession(Millis now);
  bool nakOnPurpose(int ordinal);
  bool checkResend(const std::string& block);
  std::string fileLabel() const;

  DeviceOptions options_;
  DeviceIo io_;
  FileStore store_;
  Phase phase_ = Phase::WaitOpen;
  int errors_ = 0;
  bool stalled_ = false;

  Millis lastHeard_ = 0;
  Millis speedDeadline_ = -1;
  Millis pollAt_ = -1;
  Millis answerAt_ = -1;
  Millis announceAt_ = -1;
  Millis startRequestAt_ = -1;
  Millis repeatAt_ = -1;
  Millis partialAt_ = -1;
  Millis closeBy_ = -1;
  Millis holdUntil_ = -1;
  std::vector<Pending> pending_;

  // Loader state.
  int rate_ = 9600;
  bool garbledLogged_ = false;
  std::string command_;
  std::string stream_;          // image bytes not yet taken as records
  std::string expectedStream_;  // the whole expected install stream, when one is given
  std::size_t streamOffset_ = 0;
  HexLoader loader_;
  int recordsReceived_ = 0;
  int outstanding_ = 0;
  int mostOutstanding_ = 0;
  bool holding_ = false;
  bool holdDone_ = false;
  int heldData_ = 0;
  int heldStart_ = 0;
  int heldRecordsSeen_ = 0;

  // Receiver state.
  bool crcMode_ = true;
  bool afterInstall_ = false;
  std::string buffer_;
  int repeats_ = 0;
  int fileNumber_ = 0;
  int filesStored_ = 0;
  int consecutiveBad_ = 0;
  std::string fileName_;
  std::uint64_t fileSize_ = 0;
  std::uint64_t written_ = 0;
  int blocksTaken_ = 0;
  std::string lastTaken_;
  std::string lastNaked_;
  std::map<int, int> nakCounts_;
  bool eotNaked_ = false;
  Millis headerArrival_ = 0;
};

}  // namespace pvsim
