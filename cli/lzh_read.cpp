// `pagora-cli lzh` l, t and p: listing an archive, testing its members and printing them to
// standard output, all through the component's walk over the archive's headers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "lzh_shared.h"
#include "terminal.h"

namespace pagora::cli {
namespace {

std::string dosDateTimeText(std::uint32_t dateTime) {
  unsigned date = dateTime >> 16, time = dateTime & 0xFFFF;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", (date >> 9) + 1980,
                (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
  return text;
}

// Packed size in percent of the original, one decimal; an empty original counts as 100 %.
double ratio(std::uint64_t packed, std::uint64_t original) {
  return original == 0 ? 100.0
                       : static_cast<double>(packed) * 100.0 / static_cast<double>(original);
}

// Expands the member being visited into `descriptor` (the CRC is checked on the way). Returns
// the failure text, or an empty string; a cancel sets `cancelled` instead, and `kind` tells
// what the failure was.
std::string decodeInto(const TLzhExpandInto& expandInto, int descriptor, const std::string& name,
                       bool& cancelled, FailureKind& kind) {
  try {
    expandInto(descriptor, name);
    return {};
  } catch (const ELzhOperationAborted&) {
    cancelled = true;
    return {};
  } catch (const Exception& e) {
    kind = e.kind();
    return e.what();
  } catch (const std::exception& e) {
    kind = FailureKind::Other;
    return e.what();
  }
}

// The archive as the component reads it; `l`, `t`, `p` and the checks before `x` and `a`
// share the walk, so that they agree on what an archive is and on where a broken one stops.
TLzhWalkResult walk(TLzhArchiver& archiver, const std::string& archiveName,
                    const TLzhMemberVisitor& visit) {
  archiver.ArchiveName = archiveName;
  return archiver.walkMembers(visit);
}

// A descriptor of its own that closes with this object.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

int listArchive(const std::string& archiveName, bool verbose) {
  struct stat st {};
  if (::stat(archiveName.c_str(), &st) != 0)
    return fail("lzh", "l", withReason("Cannot open " + archiveName, errno));
  bool headerShown = false;
  auto showHeader = [&] {
    if (headerShown) return;
    headerShown = true;
    std::printf(" Original   Packed  Ratio Method Date       Time      CRC  Attr Lvl Name\n");
    std::printf("--------- -------- ------ ------ ---------- -------- ---- ---- --- ----\n");
  };
  std::uint64_t original = 0, packed = 0;
  bool scrambled = false;
  TLzhArchiver archiver;
  TLzhWalkResult result =
      walk(archiver, archiveName, [&](const TLzhStoredMember& m, const TLzhExpandInto&) {
        showHeader();
        original += m.OriginalSize;
        packed += m.PackedSize;
        scrambled = scrambled || m.Scrambled;
        std::printf("%9u %8u %5.1f%% %-6s %s %04X  %02X  %d%s %s\n", m.OriginalSize, m.PackedSize,
                    ratio(m.PackedSize, m.OriginalSize), shownName(m.MethodId).c_str(),
                    dosDateTimeText(m.DateTime).c_str(), m.CRC, m.Attribute, m.Level,
                    m.Scrambled ? "*" : " ", shownMember(m.Name).c_str());
        if (verbose) {
          std::printf("          stored as %s\n", shownName(m.Name).c_str());
          if (!m.Comment.empty())
            std::printf("          note: %s\n", shownMember(m.Comment).c_str());
        }
        return true;
      });
  if (!result.Opened) return fail("lzh", "l", result.Error);
  if (result.NotArchive) return fail("lzh", "l", notArchiveText(archiveName));
  showHeader();
  std::printf("--------- -------- ------ ------ ---------- -------- ---- ---- --- ----\n");
  std::printf("%9llu %8llu %5.1f%% %d file(s)%s\n", static_cast<unsigned long long>(original),
              static_cast<unsigned long long>(packed), ratio(packed, original), result.Members,
              scrambled ? "   (* = scrambled with a password)" : "");
  if (!result.Error.empty()) return fail("lzh", "l", archiveName + ": " + result.Error);
  return 0;
}

// `t`: every selected member is decoded into a sink that only counts and checksums (the byte
// pump keeps the CRC), so testing needs no disk space and writes nothing.
int testArchive(const std::string& archiveName, const std::vector<std::string>& patterns,
                const std::string& password) {
  struct stat st {};
  if (::stat(archiveName.c_str(), &st) != 0)
    return fail("lzh", "t", withReason("Cannot open " + archiveName, errno));
  const Descriptor discard{::open("/dev/null", O_WRONLY | O_CLOEXEC)};
  if (discard.fd < 0) return fail("lzh", "t", withReason("Cannot open /dev/null", errno));
  TLzhArchiver archiver;
  archiver.Password = password;
  InterruptGuard interrupt(archiver.AbortFlag);
  ProgressBar bar;
  archiver.OnShowProgress = [&bar](int& percent) { bar.update(percent); };
  int tested = 0, failed = 0;
  bool cancelled = false;
  std::vector<std::string> members;
  TLzhWalkResult result =
      walk(archiver, archiveName, [&](const TLzhStoredMember& m, const TLzhExpandInto& expandInto) {
        members.push_back(m.Name);
        if (!selected(patterns, m.Name)) return true;
        bar.setLabel(shownMember(m.Name));
        FailureKind kind = FailureKind::Other;
        const std::string error = decodeInto(expandInto, discard.fd, "/dev/null", cancelled, kind);
        if (cancelled) return false;
        bar.clear();
        ++tested;
        if (error.empty()) {
          std::printf("OK      %s\n", shownMember(m.Name).c_str());
        } else {
          ++failed;
          std::printf("FAILED  %s: %s\n", shownMember(m.Name).c_str(),
                      escapeControl(error).c_str());
        }
        return true;
      });
  bar.clear();
  if (cancelled) return fail("lzh", "t", "Operation cancelled");
  if (!result.Opened) return fail("lzh", "t", result.Error);
  if (result.NotArchive) return fail("lzh", "t", notArchiveText(archiveName));
  if (!result.Error.empty()) {
    // The header after the last member read is broken: what follows it can't be tested.
    ++failed;
    std::printf("FAILED  header of member %d: %s\n", result.Members + 1,
                escapeControl(result.Error).c_str());
  }
  const bool matched = allPatternsMatch("t", patterns, members);
  std::printf("%d member(s) tested, %d failed\n", tested, failed);
  return failed > 0 || !matched ? kExitFailed : 0;
}

// `p`: the selected members, one after another, to standard output.
int printMembers(const std::string& archiveName, const std::vector<std::string>& patterns,
                 const std::string& password) {
  struct stat st {};
  if (::stat(archiveName.c_str(), &st) != 0)
    return fail("lzh", "p", withReason("Cannot open " + archiveName, errno));
  std::fflush(stdout);
#ifdef _WIN32
  const Descriptor out{::_dup(STDOUT_FILENO)};
  if (out.fd >= 0) ::_setmode(out.fd, _O_BINARY);  // members go out byte for byte, no CR added
#else
  const Descriptor out{::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0)};
#endif
  if (out.fd < 0) return fail("lzh", "p", withReason("Cannot write to standard output", errno));
  TLzhArchiver archiver;
  archiver.Password = password;
  InterruptGuard interrupt(archiver.AbortFlag);
  // A reader that goes away (`| head`) ends the output with EPIPE instead of killing us.
  // Windows has no SIGPIPE: a write to a closed pipe just fails.
#ifndef _WIN32
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
#endif
  int failed = 0;
  bool cancelled = false, outputGone = false;
  std::vector<std::string> members;
  TLzhWalkResult result =
      walk(archiver, archiveName, [&](const TLzhStoredMember& m, const TLzhExpandInto& expandInto) {
        members.push_back(m.Name);
        if (!selected(patterns, m.Name)) return true;
        FailureKind kind = FailureKind::Other;
        const std::string error =
            decodeInto(expandInto, out.fd, "standard output", cancelled, kind);
        if (cancelled) return false;
        if (!error.empty()) {
          ++failed;
          if (kind == FailureKind::ClosedOutput) {
            outputGone = true;  // the reader has all it wanted: end quietly, as the classics do
            return false;
          }
          say("lzh", "p", shownMember(m.Name) + ": " + error);
        }
        return true;
      });
#ifndef _WIN32
  ::sigaction(SIGPIPE, &previous, nullptr);
#endif
  if (cancelled) return fail("lzh", "p", "Operation cancelled");
  if (!result.Opened) return fail("lzh", "p", result.Error);
  if (result.NotArchive) return fail("lzh", "p", notArchiveText(archiveName));
  if (!result.Error.empty()) return fail("lzh", "p", archiveName + ": " + result.Error);
  if (outputGone) return kExitFailed;
  const bool matched = allPatternsMatch("p", patterns, members);
  return failed > 0 || !matched ? kExitFailed : 0;
}

}  // namespace pagora::cli
