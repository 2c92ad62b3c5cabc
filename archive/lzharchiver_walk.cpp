// TLzhArchiver's walk through an archive's headers (the probe, listings, tests) and the rules
// it shares with its callers: the temporary name, the archive itself, wildcards.
#include <cstdio>

#include "archive/lzharchiver.h"
#include "common/file_access.h"
#include "file_stream.h"
#include "lzh_format.h"
#include "lzh_names.h"
#include "lzharchiver_engine.h"
#include "member_coder.h"

namespace pagora {
namespace {

TLzhStoredMember storedMember(const LzhMemberHeader& h) {
  TLzhStoredMember m;
  m.MethodId = h.methodId;
  m.Name = h.name;
  m.Comment = h.comment;
  m.OriginalSize = h.originalSize;
  m.PackedSize = h.packedSize;
  m.DateTime = h.dateTime();
  m.CRC = h.crc;
  m.Attribute = h.attribute;
  m.Level = h.level();
  m.Scrambled = h.scrambled();
  return m;
}

// An empty file and a lone end marker are empty archives; anything else that yields no member
// is some other kind of file. A first header with a method id in its place is an archive whose
// first header is broken: its fault is told rather than a guess about the kind of file.
bool holdsNoArchive(LzhReadArchive& archive, std::int64_t start, bool headerFault) {
  try {
    const std::int64_t rest = archive.stream.size() - start;
    std::uint8_t first[7] = {1, 0, 0, 0, 0, 0, 0};
    archive.stream.seek(start, SEEK_SET);
    const std::size_t got = archive.stream.read(first, sizeof first);
    const bool methodId = got == sizeof first && first[2] == '-' && first[6] == '-';
    return !(rest == 0 || (rest == 1 && first[0] == 0) || (methodId && headerFault));
  } catch (const std::exception&) {
    return true;
  }
}

}  // namespace

TLzhWalkResult TLzhArchiver::walkMembers(const TLzhMemberVisitor& visit) {
  TLzhWalkResult result;
  LzhReadArchive archive;
  try {
    archive = openArchiveForReading(ArchiveName);
  } catch (const std::exception& e) {
    result.Error = e.what();
    return result;
  }
  result.Opened = true;
  std::int64_t start = 0;
  try {
    start = archive.stream.position();
    LzhMemberHeader header;
    while (readMemberHeader(archive.stream, archive.brisko, header)) {
      const std::int64_t data = archive.stream.position();
      ++result.Members;
      if (visit) {
        const LzhCoderContext context = engine_->coderContext();
        const TLzhExpandInto expandInto = [&](int descriptor, const std::string& name) {
          FileStream sink(descriptor, name);
          struct Release {
            FileStream& stream;
            ~Release() { stream.release(); }  // the caller's descriptor stays open
          } release{sink};
          archive.stream.seek(data, SEEK_SET);
          expandMember(engine_->coderState, expandRequestFor(header, archive, sink), context);
        };
        if (!visit(storedMember(header), expandInto)) {
          result.Stopped = true;
          return result;
        }
      }
      archive.stream.seek(data + header.packedSize, SEEK_SET);
    }
  } catch (const std::exception& e) {
    result.Error = e.what();
  }
  if (result.Members == 0 && !archive.brisko)
    result.NotArchive = holdsNoArchive(archive, start, !result.Error.empty());
  return result;
}

std::string TLzhArchiver::temporaryArchiveName(const std::string& archiveName) {
  const std::size_t cut = lzhLastFolderSeparator(archiveName);
  const std::size_t dot = archiveName.rfind('.');
  const bool hasExtension = dot != std::string::npos && (cut == std::string::npos || dot > cut);
  return (hasExtension ? archiveName.substr(0, dot) : archiveName) + ".$$$";
}

bool TLzhArchiver::isArchiveItself(const std::string& fileName) const {
  return sameFile(fileName, ArchiveName) || sameFile(fileName, temporaryArchiveName(ArchiveName));
}

bool TLzhArchiver::hasWildcard(const std::string& pattern) {
  return lzhHasWildcard(pattern);
}

std::vector<std::string> TLzhArchiver::expandWildcard(const std::string& pattern) {
  return lzhExpandWildcard(pattern);
}

bool TLzhArchiver::selects(const std::string& pattern, const std::string& memberName) {
  return lzhSelects(pattern, memberName);
}

}  // namespace pagora
