#pragma once
// The run-wide lists and flags: they live from program start to program end, in this one place.
#include <string>

#include "core/StringList.h"

namespace updater {

class TUpdater;

struct RunState {
  StringList FailureList;          // failures and notable events, reported at close
  StringList RunningHolderList;    // running programs that hold package files
  StringList BusyFileList;         // files another process kept from being written
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
  TUpdater* CurrentUpdater = nullptr;
  std::string RunSummary;
  int ToolCount = 0;
  bool IsPostgresDb = false;
  bool Terminating = false;  // the application was asked to end (the session is ending)
};

RunState& Run();

}  // namespace updater
