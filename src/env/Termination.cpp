#include "env/Termination.h"

#include <array>

#include "core/LogForms.h"
#include "core/ClientFolders.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "platform/Processes.h"
#include "platform/Messages.h"
#include "platform/Text.h"

namespace updater {
namespace {

constexpr std::array<const char*, 12> kClosable = {"TCvlQuest.exe", "Lumora2.App.exe", "TindleTill.exe", "TXOrvex.exe",
                                                   "Halcyra.exe",   "Truvial.exe",     "CVL2012.exe",    "Tessor.exe",
                                                   "CVLPane.exe",   "FX4Runner.exe",   "TSignGate.exe",  "Cvl.Sentra.Main.exe"};
constexpr char kMobileServer[] = "CvlOrbiter_REST.exe";
constexpr DWORD kWaitMs = 10000;
// A terminated process that still has not ended after this many waits is recorded as a failure
// instead of holding the tool forever.
constexpr int kMaxWaits = 3;
constexpr size_t kModuleLimit = 300;

struct Outcome {
  bool ended = false;
  std::string waitText;
};

Outcome EndProcess(const ProcessEntry& p) {
  const TerminationAnswer answer = TerminateAndWait(p.pid, kWaitMs, kMaxWaits);
  const DWORD error = answer.error;
  Outcome o;
  switch (answer.wait) {
    case WAIT_OBJECT_0:
      o.ended = true;
      o.waitText = "WaitForSingleObjectResult: WAIT_OBJECT_0";
      break;
    case WAIT_FAILED:
      // The process may have ended on its own between the snapshot and the termination.
      o.ended = (error == ERROR_INVALID_HANDLE || error == ERROR_SUCCESS || error == ERROR_INVALID_WINDOW_HANDLE) &&
                !IsRunning(p.exeName);
      o.waitText = "WaitForSingleObjectResult: WAIT_FAILED";
      break;
    case WAIT_ABANDONED:
      o.waitText = "WaitForSingleObjectResult: WAIT_ABANDONED";
      break;
    default:
      o.waitText = "WaitForSingleObjectResult: WAIT_TIMEOUT";
      break;
  }
  if (const std::string message = SystemErrorText(error); !message.empty()) o.waitText += "," + message;
  return o;
}

}  // namespace

bool TerminateProcessesByName(RunState& run, const StringList& names, bool nested, bool verbose) {
  if (!nested && verbose) LogLine(Fill(logform::kProcessCheck, {}));
  bool any = false;
  for (const ProcessEntry& p : ProcessSnapshot()) {
    if (!names.Contains(ToLowerAscii(p.exeName))) continue;
    if (verbose) LogLine("    " + Fill(logform::kProcessToEnd, {p.exeName}));
    if (EqualsIgnoreCase(p.exeName, kMobileServer)) run.MobileServerWasRunning = true;
    const Outcome o = EndProcess(p);
    if (o.ended) {
      any = true;
      if (verbose) LogLine("    → " + Fill(logform::kProcessEnded, {p.exeName}));
      continue;
    }
    run.KillFailedList.AddUnique(p.exeName);
    const std::string line = Fill(logform::kProcessNotEnded, {p.exeName, o.waitText});
    if (verbose) LogLine("    → " + line);
    if (!run.FailureList.Contains(line)) {
      run.FailureList.Add(line);
      if (!run.RunningHolderList.Empty()) run.FailureList.AddUnique(Trim(RunningHolderText(run)));
    }
  }
  if (verbose && !any) LogLine("    " + Fill(logform::kNoProcessToEnd, {}));
  if (!nested && verbose) {
    LogLine(Fill(logform::kProcessCheckDone, {}));
    LogLine("");
  }
  return any;
}

void TerminateModuleUsers(RunState& run, const StringList& moduleNames, bool verbose) {
  if (verbose) LogLine(Fill(logform::kKillDllList, {}));
  StringList holders;
  if (FindModuleUsers(run, moduleNames, holders)) {
    if (holders.Contains(kMobileServer)) run.MobileServerWasRunning = true;
    if (!holders.Empty()) TerminateProcessesByName(run, holders, true, verbose);  // the list ignores case
  } else if (verbose) {
    LogLine("    " + Fill(logform::kNoProcessToEnd, {}));
  }
  if (verbose) {
    LogLine(Fill(logform::kKillDllListDone, {}));
    LogLine("");
  }
}

bool FindRunningByName(const StringList& names, StringList& found) {
  for (const ProcessEntry& p : ProcessSnapshot())
    if (names.Contains(ToLowerAscii(p.exeName))) found.Add(p.exeName);
  return !found.Empty();
}

bool FindModuleUsers(RunState& run, const StringList& moduleNames, StringList& found) {
  const std::string root = ToLowerAscii(InstallRoot());
  const std::string quorix = ToLowerAscii(QuorixRoot());
  const bool bridge = moduleNames.Contains("tindlebridge.dll"), slate = moduleNames.Contains("txslate2.ocx");
  StringList seen;
  bool any = false;
  for (const ProcessEntry& p : ProcessSnapshot()) {
    std::string modulePath;
    try {
      for (const std::string& raw : ProcessModulePaths(p.pid, kModuleLimit)) {
        const std::string path = Trim(raw);
        modulePath = path;
        const std::string file = FileNamePart(path);
        const std::string lowerPath = ToLowerAscii(path);
        const bool holder =
            (bridge && (EqualsIgnoreCase(file, "TTindleCourier.exe") || EqualsIgnoreCase(file, "TindleOptionSync.exe"))) ||
            (slate && (EqualsIgnoreCase(file, "TSignGate.exe") || EqualsIgnoreCase(file, "TSlateProbe.exe"))) ||
            (moduleNames.Contains(ToLowerAscii(file)) &&
             ((!root.empty() && lowerPath.find(root) != std::string::npos) ||
              (!quorix.empty() && lowerPath.find(quorix) != std::string::npos)));
        if (holder && seen.AddUnique(ToLowerAscii(p.exeName))) {
          found.Add(p.exeName);
          any = true;
        }
      }
    } catch (const std::exception& e) {
      RecordBracketedError(run.FailureList, "GetProcessListUsingDll2ByList", e.what(), "    ", true);
      const std::string where = "→ " + Fill(logform::kModuleUser, {p.exeName, Trim(modulePath)});
      LogLine("    " + where);
      run.FailureList.Add(where);
    }
  }
  return any;
}

bool OnlyClosableHolders(const StringList& holders) {
  StringList work;
  for (const std::string& h : holders) work.AddUnique(ToLowerAscii(Trim(h)));
  if (work.Empty()) return true;
  std::vector<std::string> left = work.Items();
  for (const char* closable : kClosable) {
    std::erase(left, ToLowerAscii(closable));
    if (left.empty()) return true;
  }
  return false;
}

}  // namespace updater
