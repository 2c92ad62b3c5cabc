// `pagora-cli lzh x`: extracting members through the component in its safe mode, resumed
// after a member that fails, with questions about files already there.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <exception>

#include "common/file_access.h"
#include "lzh_shared.h"
#include "terminal.h"

namespace pagora::cli {
namespace {

// What one `x` keeps between the component's callbacks and its runs.
struct Extraction {
  TLzhArchiver& archiver;
  ProgressBar& bar;
  Overwrite overwrite;
  bool interactive;
  int resume = 0;    // members before this index were dealt with by an earlier run
  int current = -1;  // the member under way, -1 when none is
  std::string currentTarget{};
  int extracted = 0, failed = 0, refused = 0;
  bool cancelled = false;

  // Gives the member its readable name and decides about a file already at its place; an
  // emptied target skips the member.
  void placeMember(const std::string& member, std::string& target) {
    const int index = archiver.FileInformationIndex();
    if (index < resume) {
      target.clear();
      return;
    }
    current = index;
    // The file gets the readable name; the folder part before it stays as given.
    const std::size_t folderLength = archiver.TargetPath().size();
    if (target.size() >= folderLength)
      target = target.substr(0, folderLength) + memberName(target.substr(folderLength));
    currentTarget = target;
    bar.setLabel(shownMember(member));
    struct stat existing {};
    if (statName(target, existing) != 0) return;
    if (overwrite == Overwrite::Ask && interactive) {
      bar.clear();
      switch (askReplace(target)) {
        case ReplaceAnswer::Yes:
          return;
        case ReplaceAnswer::All:
          overwrite = Overwrite::Always;
          return;
        case ReplaceAnswer::None:
          overwrite = Overwrite::Never;
          break;
        case ReplaceAnswer::No:
          break;
      }
    } else if (overwrite == Overwrite::Ask) {
      ++refused;
      say("lzh", "x",
          "skipped " + shownName(target) +
              ": the file exists (-o replaces it, -n keeps it quietly)");
    }
    if (overwrite == Overwrite::Always) return;
    target.clear();
    current = -1;
  }

  TLzhConfirmAnswer confirmMember(const std::string& text) {
    bar.clear();
    switch (askYesNo(text, true)) {
      case PromptAnswer::Yes:
        return TLzhConfirmAnswer::Yes;
      case PromptAnswer::No:
        current = -1;
        return TLzhConfirmAnswer::No;
      case PromptAnswer::Cancel:
        break;
    }
    cancelled = true;
    return TLzhConfirmAnswer::Cancel;
  }

  void memberDone(const std::string& target) {
    bar.clear();
    std::printf("x %s\n", shownName(target).c_str());
    ++extracted;
    current = -1;
  }

  // Reports why a run of the component stopped; true when a new run goes on after the member
  // that failed.
  bool runFailed(const std::exception& e, const std::string& archiveName,
                 const std::vector<std::string>& members) {
    bar.clear();
    const int index = archiver.FileInformationIndex();
    if (archiver.AbortFlag) return false;
    if (current < 0 || current != index) {
      // No member was under way: the archive's own header is broken, and nothing after it
      // can be read.
      ++failed;
      say("lzh", "x", archiveName + ": " + e.what());
      return false;
    }
    const std::string name = static_cast<std::size_t>(index) < members.size()
                                 ? shownMember(members[static_cast<std::size_t>(index)])
                                 : "member " + std::to_string(index + 1);
    say("lzh", "x", name + ": " + escapeControl(targetReason(e)));
    ++failed;
    resume = index + 1;
    return true;
  }

  // The component names its temporary file; the user knows only the file it stands for.
  std::string targetReason(const std::exception& e) const {
    if (const auto* temporary = dynamic_cast<const ELzhTemporaryFile*>(&e))
      return withReason("Cannot create file " + currentTarget, temporary->systemError());
    return e.what();
  }
};

}  // namespace

// `x` runs the component in its safe mode only: every member is expanded into a temporary file
// beside its target and renamed over it after its check value held, so a failed member never
// leaves a half, empty or wrong file under a real name. A member that fails ends the
// component's run; the run is started again after it, so that the other members still come out.
int extractArchive(const std::string& archiveName, const ExtractOptions& options) {
  struct stat st {};
  if (::stat(archiveName.c_str(), &st) != 0)
    return fail("lzh", "x", withReason("Cannot open " + archiveName, errno));
  std::vector<std::string> members;
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  const TLzhWalkResult walk =
      archiver.walkMembers([&](const TLzhStoredMember& m, const TLzhExpandInto&) {
        members.push_back(m.Name);
        return true;
      });
  if (!walk.Opened) return fail("lzh", "x", walk.Error);
  if (walk.NotArchive) return fail("lzh", "x", notArchiveText(archiveName));
  const bool matched = allPatternsMatch("x", options.patterns, members);

  archiver.Password = options.password;
  archiver.SafeMode = true;
  archiver.MakeDirectories = true;
  archiver.ExceptionOnFileError = true;
  archiver.setTargetPath(options.folder);
  ProgressBar bar;
  archiver.OnShowProgress = [&bar](int& percent) { bar.update(percent); };
  InterruptGuard interrupt(archiver.AbortFlag);

  Extraction x{.archiver = archiver,
               .bar = bar,
               .overwrite = options.overwrite,
               .interactive = isTerminal(stdin)};
  archiver.OnCheckFile = [&x](const std::string& member, std::string& target, std::int32_t,
                              TLzhProcessMode) { x.placeMember(member, target); };
  if (options.confirm) {
    archiver.Confirm = true;
    archiver.OnConfirm = [&x](const std::string&, const std::string& text) {
      return x.confirmMember(text);
    };
  }
  archiver.OnAfterProcessed = [&x](const std::string&, const std::string& target, std::int32_t,
                                   TLzhProcessMode) { x.memberDone(target); };

  for (;;) {
    archiver.setFilesToProcess(options.patterns);
    x.current = -1;
    try {
      archiver.Expand();
      break;
    } catch (const std::exception& e) {
      if (!x.runFailed(e, archiveName, members)) break;
    }
  }
  bar.clear();
  if (archiver.AbortFlag || x.cancelled) return fail("lzh", "x", "Operation cancelled");
  std::printf("%d member(s) extracted, %d failed, %d skipped\n", x.extracted, x.failed, x.refused);
  return x.failed > 0 || x.refused > 0 || !matched ? kExitFailed : 0;
}

}  // namespace pagora::cli
