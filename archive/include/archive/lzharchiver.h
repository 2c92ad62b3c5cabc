// TLzhArchiver: the archive component. Compresses a list of files into an LZH archive,
// expands or verifies members, and lists an archive's members, reporting through events.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/coder_state.h"
#include "archive/lzh_errors.h"
#include "archive/lzh_format.h"
#include "archive/lzh_types.h"
#include "archive/member_coder.h"

namespace pagora {

// The framework's stream-write failure ("Cannot add ... to itself!").
class EStreamWriteError : public Exception {
 public:
  explicit EStreamWriteError(const std::string& message) : Exception(message) {}
};

class TLzhArchiver {
 public:
  TLzhArchiver();
  virtual ~TLzhArchiver();
  TLzhArchiver(const TLzhArchiver&) = delete;
  TLzhArchiver& operator=(const TLzhArchiver&) = delete;

  // Lists the archive into FileList/FileInfoList; false when ArchiveName does not exist.
  virtual bool Scan();
  // Adds FilesToProcess to ArchiveName; the previous archive survives every failure.
  virtual void Compress();
  // Expands the members FilesToProcess selects (all when empty) under TargetPath.
  virtual void Expand();
  // Expands the selected members into temporary files to check them, then deletes those.
  virtual void Verify();

  // Events and the confirmation question (no handler: the answer is Yes).
  TLzhFilenameCheckEvent OnCheckFile;
  TLzhAfterProcessedEvent OnAfterProcessed;
  TLzhShowProgressEvent OnShowProgress;
  TLzhConfirmEvent OnConfirm;
  // Asked by Compress for each file it adds: filling `contents` and answering true stores those
  // bytes instead of the file's (the member keeps the file's date, time and attributes); false
  // reads the file. The file on disk is never changed.
  std::function<bool(const std::string& path, std::string& contents)> OnMemberContents;

  // Folder names are POSIX paths here; the setters append the '/' a non-empty value lacks.
  const std::string& TargetPath() const { return targetPath_; }
  void setTargetPath(const std::string& path);
  const std::string& TempArchivePath() const { return tempArchivePath_; }
  void setTempArchivePath(const std::string& path);

  bool MakeDirectories = false;
  bool SafeMode = false;
  bool VerifyMode = false;
  TLzhArchiveType ArchiveType = caLHARC;
  bool AllowDuplicates = false;
  bool StorePath = false;
  bool ForceUpperCase = false;
  bool ExceptionOnFileError = false;
  std::string ArchiveName;
  TLzhMethod CompressionMethod = colh0;
  bool Confirm = false;
  bool CheckSpaceBeforeExpand = false;
  std::string Password;

  // Input list; Compress and Expand leave their results in it.
  std::vector<std::string>& FilesToProcess() { return filesToProcess_; }
  const std::vector<std::string>& FilesToProcess() const { return filesToProcess_; }
  void setFilesToProcess(const std::vector<std::string>& files) { filesToProcess_ = files; }
  // Caption, then the compress, expand, delete and verify questions ("%s" placeholders).
  const std::vector<std::string>& ConfirmMessages() const { return confirmMessages_; }
  void setConfirmMessages(const std::vector<std::string>& messages) { confirmMessages_ = messages; }

  int FileInformationIndex() const { return fileInformationIndex_; }
  const std::vector<std::string>& FileList() const { return fileList_; }
  const std::vector<TLzhFileInfo>& FileInfoList() const { return fileInfoList_; }
  const std::vector<std::string>& ProcessedFiles() const { return processedFiles_; }
  int CompressionRatio() const { return compressionRatio_; }
  std::int64_t ElapsedTicks() const { return elapsedTicks_; }
  // Set from any thread to cancel at the coder's next 8 KB chunk.
  std::atomic<bool> AbortFlag{false};

 private:
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
  void expandMembers();
  std::string expandTarget(const LzhMemberHeader& header);
  bool expandOne(LzhReadArchive& archive, const LzhMemberHeader& header,
                 std::vector<std::string>& done);
  void confirm(int kind, const std::string& name, std::string& newName);
  LzhCoderContext coderContext();

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
  TLzhCoderState coderState_;
};

}  // namespace pagora
