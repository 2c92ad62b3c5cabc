// TLzhArchiver::Engine: the archive component's working parts behind its public face, the
// coders' tables and the steps of Compress and Expand. Private to the archive library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/lzharchiver.h"
#include "coder_state.h"
#include "file_stream.h"
#include "lzh_format.h"
#include "member_coder.h"

namespace pagora {

// Works for one component, reading its public fields and events and filling its results; it
// lives exactly as long as that component.
struct TLzhArchiver::Engine {
  explicit Engine(TLzhArchiver& component) : owner(component) {}

  // Compress, step by step.
  struct CompressOutput;
  void planOutput(CompressOutput& out);
  void writeNewMembers(CompressOutput& out);
  void finishRebuild(CompressOutput& out);
  void compressFiles(CompressOutput& out);
  void addMember(FileStream& archive, FileStream& source, LzhMemberHeader& header);
  void addMember(FileStream& archive, const std::string& contents, LzhMemberHeader& header);
  // Codes `toRead` bytes of `source` after a header; `rewind` restarts the source for the
  // stored method when compression would not pay.
  void codeMemberInto(FileStream& archive, ByteSource& source, std::int64_t toRead,
                      const std::function<void()>& rewind, LzhMemberHeader& header);
  void copyOldMembers(FileStream& out, LzhReadArchive& old);

  // Expand and Verify.
  void expandMembers();
  std::string expandTarget(const LzhMemberHeader& header);
  bool expandOne(LzhReadArchive& archive, const LzhMemberHeader& header,
                 std::vector<std::string>& done);

  // Asks OnConfirm question `kind` of ConfirmMessages when Confirm is set: No clears
  // `newName`, Cancel makes it "*".
  void confirm(int kind, const std::string& name, std::string& newName);
  // The component's Password, OnShowProgress and AbortFlag as the coders take them.
  LzhCoderContext coderContext();

  TLzhArchiver& owner;
  TLzhCoderState coderState;  // the coders' tables, kept between members
};

}  // namespace pagora
