#include "app/CopyEngine.h"

#include <memory>
#include <stdexcept>

#include "core/PathText.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "env/FileVersion.h"
#include "env/Processes.h"
#include "env/Termination.h"
#include "package/Updater.h"
#include "platform/FileSystem.h"
#include "platform/OsError.h"
#include "platform/ReplacingFile.h"
#include "platform/Text.h"

namespace updater {
namespace {

std::string KindWord(CopyKind kind, bool force) {
  std::string word = kind == CopyKind::Backup ? "파일복사(백업)" : "파일복사";
  if (force) word += "(강제덮어쓰기,파일버전무시)";
  return word;
}

void Header(const std::string& source, const std::string& destination, CopyKind kind, uint8_t copyType) {
  LogLine("    → [" + source + "] to [" + destination + "] " + KindWord(kind, copyType == 7));
}

void SetSuccess(TUpdater& updater, CopyView& view, bool ok) {
  updater.Success = ok;
  view.MirrorSuccess(ok);
}

void RecordFailure(const std::string& text, TUpdater& updater, CopyView& view, bool arrow) {
  LogLine((arrow ? "    → " : "") + text, true);
  Run().FailureList.Add(text);
  SetSuccess(updater, view, false);
}

std::string CreateError(const std::string& path, DWORD error) { return CannotCreate(path, error).what(); }

// After a failed move: ends the programs that hold the file; true when one of them ended.
bool TerminateHolders(const std::string& fileName) {
  const std::string lower = ToLowerAscii(fileName);
  StringList names;
  names.Add(lower);
  if (lower.find(".exe") != std::string::npos) return IsRunning(lower) && TerminateProcessesByName(Run(), names, false, false);
  if (lower.find(".dll") == std::string::npos && lower.find(".ocx") == std::string::npos) return false;
  StringList holders;
  if (!FindModuleUsers(Run(), names, holders) || holders.Empty()) return false;
  TerminateModuleUsers(Run(), names, false);
  for (const std::string& h : holders)
    if (!IsRunning(h)) return true;
  return false;
}

}  // namespace

CopyResult FileCopyWithProgress(const std::string& source, const std::string& destination, uint8_t copyType, CopyKind kind,
                                TUpdater& updater, CopyView& view) {
  CopyResult result = CopyResult::Copied;
  SetSuccess(updater, view, true);
  Header(source, destination, kind, copyType);
  const std::string name = FileNamePart(source);

  UniqueHandle in(::CreateFileW(LongPath(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER sourceSize{};
  if (!in || !::GetFileSizeEx(in.Get(), &sourceSize))
    throw CannotOpen(source, ::GetLastError());
  const uint64_t total = static_cast<uint64_t>(sourceSize.QuadPart);
  uint64_t copied = 0;
  view.SetFileProgress(0, total);

  ReplacingFile out(destination);
  bool loopOk = out.Created();
  if (out.Created()) {
    // Disk I/O in runs of 16 blocks; progress and messages still after every block.
    constexpr size_t kRun = 16 * kCopyBlock;
    std::unique_ptr<char[]> buffer(new char[kRun]);
    while (copied < total && !Run().Terminating) {
      const DWORD want = static_cast<DWORD>(std::min<uint64_t>(kRun, total - copied));
      DWORD got = 0;
      // A read that fails or makes no progress ends the loop: retrying it would never end.
      if (!::ReadFile(in.Get(), buffer.get(), want, &got, nullptr) || got == 0 || !out.Write(buffer.get(), got)) {
        const DWORD error = ::GetLastError();
        const std::string message = got == 0 && error == ERROR_SUCCESS ? "the source ended early" : SystemErrorText(error);
        result = CopyResult::Failed;
        RecordFailure("FileCopyWithProgress [에러발생(1)(" + message + ", " + name + ")]", updater, view, true);
        loopOk = false;
        break;
      }
      for (DWORD done = 0; done < got && !Run().Terminating;) {
        const DWORD block = std::min<DWORD>(static_cast<DWORD>(kCopyBlock), got - done);
        done += block;
        copied += block;
        view.SetFileProgress(copied, total);
        view.ProcessMessages();
      }
    }
  }

  // A destination that could not even be created is one failed write, not a short copy to retry.
  auto sizeCheck = [&] {
    if (!out.Created() || copied == total) return;
    result = CopyResult::SizeMismatch;
    LogLine("    → " + KindWord(kind, false) + " 후 파일크기 상이(" + name + ", 원본: " + FileSizeText(static_cast<int64_t>(total)) +
                ", 대상: " + FileSizeText(static_cast<int64_t>(copied)) + ")",
            true);
  };
  if (!out.Created()) {
    result = CopyResult::Failed;
    RecordFailure("FileCopyWithProgress [에러발생(2)(" + CreateError(destination, out.OpenError()) + ", " + name + ")]", updater,
                  view, true);
  } else if (loopOk && copied == total && !out.Commit()) {
    // A partial copy never reaches this point: it does not replace the destination, and the size
    // check below sends the caller to the retry.
    const std::string error = CreateError(destination, ::GetLastError());
    result = CopyResult::Failed;
    if (TerminateHolders(name)) {
      if (!out.Commit()) {
        const DWORD again = ::GetLastError();
        sizeCheck();
        throw CannotCreate(destination, again);
      }
      result = CopyResult::Copied;
    }
    if (result == CopyResult::Failed)
      RecordFailure("FileCopyWithProgress [에러발생(2)(" + error + ", " + name + ")]", updater, view, true);
  }
  sizeCheck();
  return result;
}

CopyResult FileCopyWithProgressNew1st(const std::string& source, const std::string& destination, uint8_t copyType,
                                      CopyKind kind, TUpdater& updater, CopyView& view) {
  CopyResult result = CopyResult::Copied;
  SetSuccess(updater, view, true);
  Header(source, destination, kind, copyType);
  const std::string name = FileNamePart(source);
  if (!PlainCopy(source, destination)) {
    result = CopyResult::Failed;
    RecordFailure("FileCopyWithProgressNew1st [파일복사에러, " + name + "]", updater, view, false);
  }
  const int64_t a = std::max<int64_t>(FileSize(source), 0), b = std::max<int64_t>(FileSize(destination), 0);
  const std::string sizes = "(" + name + ", 원본: " + FileSizeText(a) + ", 대상: " + FileSizeText(b) + ")";
  if (a == b) {
    LogLine("    → " + KindWord(kind, false) + "(재시도) 후 파일복사 성공" + sizes, true);
  } else {
    result = CopyResult::SizeMismatch;
    const std::string text = KindWord(kind, false) + "(재시도) 후 파일크기 상이" + sizes;
    LogLine("    → " + text, true);
    Run().FailureList.Add(text);
  }
  return result;
}

CopyResult CopyWithRetry(const std::string& source, const std::string& destination, uint8_t copyType, CopyKind kind,
                         TUpdater& updater, CopyView& view) {
  const CopyResult r = FileCopyWithProgress(source, destination, copyType, kind, updater, view);
  if (r != CopyResult::SizeMismatch) return r;
  return FileCopyWithProgressNew1st(source, destination, copyType, kind, updater, view);
}

}  // namespace updater
