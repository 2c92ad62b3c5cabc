// TLzhArchiver: the archive component and the archive engine's whole public face. Compresses a
// list of files into an LZH archive, expands or verifies members, and lists an archive's
// members, reporting through events. Its failures are in lzh_errors.h, its types in lzh_types.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/lzh_errors.h"
#include "archive/lzh_types.h"

namespace pagora {

// The framework's stream-write failure ("Cannot add ... to itself!").
class EStreamWriteError : public Exception {
 public:
  explicit EStreamWriteError(const std::string& message) : Exception(message, FailureKind::Usage) {}
};

class TLzhArchiver {
 public:
  TLzhArchiver();
  virtual ~TLzhArchiver();
  TLzhArchiver(const TLzhArchiver&) = delete;
  TLzhArchiver& operator=(const TLzhArchiver&) = delete;

  // Reads ArchiveName header by header, calling `visit` (when set) for each member, which may
  // expand it into a descriptor with Password, OnShowProgress and AbortFlag. Also the probe:
  // the result tells a file that is no archive from a broken one. Raises nothing.
  TLzhWalkResult walkMembers(const TLzhMemberVisitor& visit = nullptr);
  // The name the archive takes while Compress rebuilds it: its extension replaced by ".$$$".
  static std::string temporaryArchiveName(const std::string& archiveName);
  // Whether `fileName` is ArchiveName itself or its temporary file (the same file on disk,
  // whatever the name): Compress never adds either.
  bool isArchiveItself(const std::string& fileName) const;
  // Whether a name holds the wildcards * or ?.
  static bool hasWildcard(const std::string& pattern);
  // The files a pattern names (pattern/S also searches subfolders), by the rule Compress uses.
  static std::vector<std::string> expandWildcard(const std::string& pattern);
  // Whether a pattern selects a member name, by the rule Expand uses.
  static bool selects(const std::string& pattern, const std::string& memberName);

  // Lists the archive into FileList/FileInfoList; false when ArchiveName does not exist.
  virtual bool Scan();
  // Adds FilesToProcess to ArchiveName; the previous archive survives every failure.
  virtual void Compress();
  // Expands the members FilesToProcess selects (all when empty) under TargetPath.
  virtual void Expand();
  // Expands the selected members into temporary files to check them, then deletes those.
  virtual void Verify();

  // Events and the confirmation question (no handler: the answer is Yes).
  TLzhFilenameCheckEvent OnCheckFile;        // before each file or member
  TLzhAfterProcessedEvent OnAfterProcessed;  // after each file or member
  TLzhShowProgressEvent OnShowProgress;      // percentage done; -1 cancels
  TLzhConfirmEvent OnConfirm;                // asked when Confirm is set
  // Asked by Compress for each file it adds: filling `contents` and answering true stores those
  // bytes instead of the file's (the member keeps the file's date, time and attributes); false
  // reads the file. The file on disk is never changed.
  std::function<bool(const std::string& path, std::string& contents)> OnMemberContents;

  // Folder names are POSIX paths here; the setters append the '/' a non-empty value lacks.
  // The folder Expand writes under.
  const std::string& TargetPath() const { return targetPath_; }
  void setTargetPath(const std::string& path);
  // A folder for the rebuilt archive's temporary file (empty: beside the archive).
  const std::string& TempArchivePath() const { return tempArchivePath_; }
  void setTempArchivePath(const std::string& path);

  bool MakeDirectories = false;           // Expand and Compress make missing folders
  bool SafeMode = false;                  // Expand writes a temporary file, renamed when whole
  bool VerifyMode = false;                // Compress reads each new member back
  TLzhArchiveType ArchiveType = caLHARC;  // the header level Compress writes
  bool AllowDuplicates = false;           // Compress appends instead of rebuilding
  bool StorePath = false;                 // stored names keep their folders
  bool ForceUpperCase = false;            // stored names in upper case
  bool ExceptionOnFileError = false;      // a file that cannot be read or made raises
  std::string ArchiveName;                // the archive every operation works on
  TLzhMethod CompressionMethod = colh0;   // how Compress codes new members
  bool Confirm = false;                   // ask OnConfirm before each file or member
  bool CheckSpaceBeforeExpand = false;    // refuse a member the disk cannot hold
  std::string Password;                   // scrambles new members, unscrambles old ones

  // Input list; Compress and Expand leave their results in it.
  std::vector<std::string>& FilesToProcess() { return filesToProcess_; }
  const std::vector<std::string>& FilesToProcess() const { return filesToProcess_; }
  void setFilesToProcess(const std::vector<std::string>& files) { filesToProcess_ = files; }
  // Caption, then the compress, expand, delete and verify questions ("%s" placeholders).
  const std::vector<std::string>& ConfirmMessages() const { return confirmMessages_; }
  void setConfirmMessages(const std::vector<std::string>& messages) { confirmMessages_ = messages; }

  // The index of the member or file under way, -1 when none is.
  int FileInformationIndex() const { return fileInformationIndex_; }
  // Member names as stored, after Scan.
  const std::vector<std::string>& FileList() const { return fileList_; }
  // One entry per name of FileList, after Scan.
  const std::vector<TLzhFileInfo>& FileInfoList() const { return fileInfoList_; }
  // The files or members the last operation dealt with.
  const std::vector<std::string>& ProcessedFiles() const { return processedFiles_; }
  // Packed size of the last member in percent of its original size.
  int CompressionRatio() const { return compressionRatio_; }
  // Milliseconds the last member's coding took.
  std::int64_t ElapsedTicks() const { return elapsedTicks_; }
  // Set from any thread to cancel at the coder's next 8 KB chunk.
  std::atomic<bool> AbortFlag{false};

 private:
  // The engine behind this face: the coders' tables and the steps of each operation.
  struct Engine;

  std::string targetPath_;
  std::string tempArchivePath_;
  std::vector<std::string> filesToProcess_;
  std::vector<std::string> confirmMessages_;
  int fileInformationIndex_ = -1;
  std::vector<std::string> fileList_;
  std::vector<TLzhFileInfo> fileInfoList_;
  std::vector<std::string> processedFiles_;
  int compressionRatio_ = 0;
  std::int64_t elapsedTicks_ = 0;
  std::unique_ptr<Engine> engine_;
};

}  // namespace pagora
