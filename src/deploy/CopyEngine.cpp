#include "deploy/CopyEngine.h"

#include <algorithm>
#include <stdexcept>

#include "core/LogForms.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "env/FileVersion.h"
#include "platform/Processes.h"
#include "env/Termination.h"
#include "platform/FileSystem.h"
#include "platform/OsError.h"
#include "platform/ReplacingFile.h"
#include "platform/Text.h"

namespace updater {
namespace {

std::string KindWord(CopyKind kind, bool force) {
  std::string word = kind == CopyKind::Backup ? std::string(logform::kBackupCopyWord) : "파일복사";
  if (force) word += "(강제덮어쓰기,파일버전무시)";
  return word;
}

void Header(const std::string& source, const std::string& destination, CopyKind kind, uint8_t copyType) {
  LogLine("    → " + Fill(logform::kCopyHeader, {source, destination, KindWord(kind, copyType == 7)}));
}

void RecordCopyFailure(RunState& run, int kind, const std::string& message, const std::string& name) {
  RecordFailure(run.FailureList, Fill(logform::kCopyError, {std::to_string(kind), message, name}), "    → ", true);
}

std::string CreateError(const std::string& path, DWORD error) { return CannotCreate(path, error).what(); }

// After a failed move: ends the programs that hold the file; true when one of them ended.
bool TerminateHolders(RunState& run, const std::string& fileName) {
  const std::string lower = ToLowerAscii(fileName);
  StringList names;
  names.Add(lower);
  if (lower.find(".exe") != std::string::npos) return IsRunning(lower) && TerminateProcessesByName(run, names, false, false);
  if (lower.find(".dll") == std::string::npos && lower.find(".ocx") == std::string::npos) return false;
  StringList holders;
  if (!FindModuleUsers(run, names, holders) || holders.Empty()) return false;
  TerminateModuleUsers(run, names, false);
  for (const std::string& h : holders)
    if (!IsRunning(h)) return true;
  return false;
}

}  // namespace

CopyResult FileCopyWithProgress(const std::string& source, const std::string& destination, uint8_t copyType, CopyKind kind,
                                RunState& run, CopyView& view) {
  CopyResult result = CopyResult::Copied;
  Header(source, destination, kind, copyType);
  const std::string name = FileNamePart(source);

  InputFile in(source);
  const uint64_t total = in.Size();
  uint64_t copied = 0;
  view.SetFileProgress(0, total);

  ReplacingFile out(destination);
  bool loopOk = out.Created();
  if (out.Created()) {
    // Disk I/O in runs of 16 blocks; progress and messages still after every block.
    uint64_t requested = 0;
    const auto read = [&](void* data, size_t size) -> size_t {
      const DWORD want = static_cast<DWORD>(std::min<uint64_t>(size, total - requested));
      if (want == 0) return 0;
      const size_t got = in.Read(data, want);
      // A read that makes no progress ends the copy: retrying it would never end.
      if (got == 0) throw std::runtime_error("the source ended early");
      requested += got;
      return got;
    };
    const auto progress = [&](uint64_t written) {
      while (copied < written) {
        if (run.Terminating) return false;
        copied += std::min<uint64_t>(kCopyBlock, written - copied);
        view.SetFileProgress(copied, total);
        view.ProcessMessages();
      }
      return !run.Terminating;
    };
    try {
      out.CopyFrom(read, 16 * kCopyBlock, progress);
    } catch (const std::exception& e) {
      const auto* os = dynamic_cast<const OsError*>(&e);
      result = CopyResult::Failed;
      RecordCopyFailure(run, 1, os ? SystemErrorText(os->Code()) : e.what(), name);
      loopOk = false;
    }
  }

  // A destination that could not even be created is one failed write, not a short copy to retry.
  auto sizeCheck = [&] {
    if (!out.Created() || copied == total) return;
    result = CopyResult::SizeMismatch;
    LogLine("    → " + Fill(logform::kSizeMismatch, {KindWord(kind, false), name, FileSizeText(static_cast<int64_t>(total)),
                                                   FileSizeText(static_cast<int64_t>(copied))}),
            true);
  };
  if (!out.Created()) {
    result = CopyResult::Failed;
    RecordCopyFailure(run, 2, CreateError(destination, out.OpenError()), name);
  } else if (loopOk && copied == total && !out.Commit()) {
    // A partial copy never reaches this point: it does not replace the destination, and the size
    // check below sends the caller to the retry.
    const std::string error = CreateError(destination, LastOsError());
    result = CopyResult::Failed;
    if (TerminateHolders(run, name)) {
      if (!out.Commit()) {
        const DWORD again = LastOsError();
        sizeCheck();
        throw CannotCreate(destination, again);
      }
      result = CopyResult::Copied;
    }
    if (result == CopyResult::Failed) RecordCopyFailure(run, 2, error, name);
  }
  sizeCheck();
  return result;
}

CopyResult FileCopyWithProgressNew1st(const std::string& source, const std::string& destination, uint8_t copyType,
                                      CopyKind kind, RunState& run) {
  CopyResult result = CopyResult::Copied;
  Header(source, destination, kind, copyType);
  const std::string name = FileNamePart(source);
  if (!PlainCopy(source, destination)) {
    result = CopyResult::Failed;
    RecordFailure(run.FailureList, Fill(logform::kRetryError, {name}), "", true);
  }
  const int64_t a = std::max<int64_t>(FileSize(source), 0), b = std::max<int64_t>(FileSize(destination), 0);
  if (a == b) {
    LogLine("    → " + Fill(logform::kRetryCopied, {KindWord(kind, false), name, FileSizeText(a), FileSizeText(b)}), true);
  } else {
    result = CopyResult::SizeMismatch;
    RecordFailure(run.FailureList, Fill(logform::kRetrySizeMismatch, {KindWord(kind, false), name, FileSizeText(a), FileSizeText(b)}), "    → ",
                  true);
  }
  return result;
}

CopyResult CopyWithRetry(const std::string& source, const std::string& destination, uint8_t copyType, CopyKind kind,
                         RunState& run, CopyView& view) {
  const CopyResult r = FileCopyWithProgress(source, destination, copyType, kind, run, view);
  if (r != CopyResult::SizeMismatch) return r;
  return FileCopyWithProgressNew1st(source, destination, copyType, kind, run);
}

}  // namespace updater
