#pragma once
// The run-wide lists and flags: they live from program start to program end. The update run owns
// the one RunState and hands it, or the list a step writes, to whoever needs it.
#include <string>
#include <string_view>

#include "core/StringList.h"

namespace updater {

struct RunState {
  StringList FailureList;          // failures and notable events, reported at close
  StringList RunningHolderList;    // running programs that hold package files
  StringList PrevToolOwnerList;    // tools whose package names a prerequisite tool
  StringList PrevToolList;         // parallel: "VEROZ" + number + ".exe", or its staging path
  StringList DataToolList;         // data tool names of the packages, later their deployed paths
  StringList DataToolAutoRunList;  // parallel: "1" or "0"
  StringList OpenFileList;         // documents of the packages, later their deployed paths
  StringList PackageExeList;       // lower-case .exe names of the packages
  StringList PackageDllList;       // lower-case .dll names of the packages
  StringList KillFailedList;       // programs that could not be terminated

  bool HiddenRun = false;
  bool OpenDocuments = false;
  bool PrevToolRan = false;
  bool MobileServerWasRunning = false;
  std::string RunSummary;
  int ToolCount = 0;
  bool Terminating = false;  // the application was asked to end (the session is ending)
};

// "[" + RunSummary + "](" + RunningHolderList joined by "," + ",실행프로세스" + count + "건)".
std::string RunningHolderText(const RunState& run);

// Every failure line goes through these. Each logs indent + the line (flushed when asked) and adds
// the line to the failure list; it answers the line.
// A line of its own form.
std::string RecordFailure(StringList& failures, std::string line, std::string_view indent = "", bool flush = false);
// The load's form: "AddUpdater(에러발생,Err.Message:" + message + ",CurrentRunningTask:" + task + ")".
std::string RecordLoadError(StringList& failures, std::string_view message, std::string_view task);
// step + " 에러발생(" + message + ")"
std::string RecordError(StringList& failures, std::string_view step, std::string_view message, std::string_view indent = "",
                        bool flush = false);
// step + " [에러발생(" + message + ")]"
std::string RecordBracketedError(StringList& failures, std::string_view step, std::string_view message,
                                 std::string_view indent = "", bool flush = false);
// The bracketed form of a line that is logged but not reported, or reported but not logged.
std::string BracketedErrorText(std::string_view step, std::string_view message);

}  // namespace updater
