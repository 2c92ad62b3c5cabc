// TLzhArchiver: construction, properties, Scan, the confirmation question and the coder
// context shared by Compress and Expand.
#include "archive/lzharchiver.h"

#include <sys/stat.h>

#include "lzh_format.h"
#include "lzharchiver_engine.h"
#include "member_coder.h"

namespace pagora {

namespace {

std::string withSlash(const std::string& path) {
  if (path.empty() || path.back() == '/') return path;
#ifdef _WIN32
  if (path.back() == '\\') return path;  // a Windows folder separator too
#endif
  return path + '/';
}

// Replaces the first two "%s" by a and b, "%%" by "%".
std::string formatQuestion(const std::string& text, const std::string& a, const std::string& b) {
  std::string out;
  int used = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      if (text[i + 1] == 's' && used < 2) {
        out += used++ == 0 ? a : b;
        ++i;
        continue;
      }
      if (text[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

// Runs `run` with `flag` set to `value`, then gives the flag its former value back, also when
// `run` fails.
template <class Run>
void withFlag(bool& flag, bool value, Run run) {
  const bool saved = flag;
  flag = value;
  try {
    run();
  } catch (...) {
    flag = saved;
    throw;
  }
  flag = saved;
}

}  // namespace

TLzhArchiver::TLzhArchiver()
    : confirmMessages_{"Please confirm", "Compress %s as %s?", "Expand %s to %s?",
                       "Delete %s from the archive?", "Verify archive integrity of %s?"},
      engine_(std::make_unique<Engine>(*this)) {}

TLzhArchiver::~TLzhArchiver() = default;

void TLzhArchiver::setTargetPath(const std::string& path) {
  targetPath_ = withSlash(path);
}
void TLzhArchiver::setTempArchivePath(const std::string& path) {
  tempArchivePath_ = withSlash(path);
}

LzhCoderContext TLzhArchiver::Engine::coderContext() {
  LzhCoderContext context;
  context.password = owner.Password;
  if (owner.OnShowProgress) {
    context.progress = [this](int percent, int& answer) {
      int shown = percent;
      owner.OnShowProgress(shown);
      answer = shown;
    };
  }
  context.abortFlag = &owner.AbortFlag;
  return context;
}

void TLzhArchiver::Engine::confirm(int kind, const std::string& name, std::string& newName) {
  if (!owner.Confirm || newName.empty() || newName == "*") return;
  if (static_cast<std::size_t>(kind) >= owner.confirmMessages_.size()) return;
  std::string text =
      formatQuestion(owner.confirmMessages_[static_cast<std::size_t>(kind)], name, newName);
  if (text.empty()) return;
  TLzhConfirmAnswer answer = TLzhConfirmAnswer::Yes;
  if (owner.OnConfirm)
    answer = owner.OnConfirm(
        owner.confirmMessages_.empty() ? std::string() : owner.confirmMessages_[0], text);
  if (answer == TLzhConfirmAnswer::No) newName.clear();
  if (answer == TLzhConfirmAnswer::Cancel) newName.assign(1, '*');
}

bool TLzhArchiver::Scan() {
  fileList_.clear();
  fileInfoList_.clear();
  struct stat st {};
  if (ArchiveName.empty() || ::stat(ArchiveName.c_str(), &st) != 0) return false;
  LzhReadArchive archive = openArchiveForReading(ArchiveName);
  if (archive.stream.size() <= 21) return true;
  LzhMemberHeader header;
  while (readMemberHeader(archive.stream, archive.brisko, header)) {
    TLzhFileInfo info;
    info.Method = lzhMethodIndex(header.methodId);
    info.CompressedSize = header.packedSize;
    info.UncompressedSize = header.originalSize;
    info.DateTime = header.dateTime();
    info.Attributes = header.attribute;
    info.HeaderLevel = static_cast<std::uint8_t>(header.level());
    info.CRC = header.crc;
    std::int64_t data = archive.stream.position();
    info.DataOffset = static_cast<std::uint32_t>(data);
    info.Encrypted = header.scrambled();
    info.Comment = header.comment;
    fileList_.push_back(header.name);
    fileInfoList_.push_back(info);
    archive.stream.seek(data + header.packedSize, SEEK_SET);
  }
  return true;
}

void TLzhArchiver::Expand() {
  withFlag(VerifyMode, false, [this] { engine_->expandMembers(); });
}

void TLzhArchiver::Verify() {
  withFlag(VerifyMode, true, [this] { engine_->expandMembers(); });
}

}  // namespace pagora
