#pragma once
// Reads the program's run logs back into runs, for the support desk: which tools ran, what each
// did, what failed and what was put back. The lines are matched with the program's own line forms
// (core/LogForms.h). Never fails on a log: what it cannot place is kept and counted.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace updater::toolpack {

struct LogFailure {
  std::string step;     // the step's name as the line gives it
  std::string message;
};

struct ToolTurn {
  std::string tool;     // the tool's path as logged
  std::string version;  // when the log names it (the run's own program)
  long digestsMatched = -1;  // files that matched the digest list; -1: not logged
  long listed = -1;          // the update list's size; -1: the load never got that far
  long copied = 0, kept = 0;
  bool deployPassEnded = false;
  bool finished = false;  // its finish step (report, history, rollback, clean-up) ran to its end
  bool rolledBack = false;
  bool stopped = false;  // the session ended under it
  std::vector<std::string> restored, removed, notPutBack;
  std::vector<LogFailure> failures;  // every failure line of the turn, in order
  std::vector<std::string> actions;  // after-deploy actions: installers started, RunOnce entries
  std::string prerequisite;  // "", "none", "had run: X", "ran: X" or the failure's text
  std::string reportError;   // the update service agent refused the result
  // A tool that loaded and whose deploy pass ended without a rollback deployed what it copied.
  bool Deployed() const { return listed >= 0 && deployPassEnded && !rolledBack && !stopped && LoadFailure() == nullptr; }
  const LogFailure* LoadFailure() const;
  long Skipped() const { return listed < 0 ? 0 : std::max(0L, listed - copied - kept); }
};

struct RunRecord {
  std::string file;
  size_t firstLine = 0;       // 1-based
  std::string started, ended;  // "yyyy-mm-dd, hh:mm:ss" of the first and the last line
  std::string program, programVersion;
  bool byHand = false, hiddenOption = false, tool08 = false;
  std::string caller, userId, hiddenArgument;
  std::vector<std::string> gateRefusals;  // the clinic database refused the run, and why
  std::vector<ToolTurn> tools;
  std::vector<std::string> dataTools;  // flagged to run at the end of a successful run
  std::vector<LogFailure> failures;    // outside any tool's turn: before the first, or in the close steps
  std::string failureSummary;          // as reported to the maker
  std::string fatalError;
  bool cancelled = false, nothingToRun = false, endLine = false;
  std::vector<std::string> unknownLines;
  bool Failed() const;
  // "ended", "ended (caller started again)", "refused by the database", "did not end".
  std::string EndState() const;
  std::string HowStarted() const;
};

struct LogFileRead {
  std::string path;
  std::string encoding;      // "CP949", "UTF-8", "UTF-16LE"
  size_t undecodable = 0;    // bytes that fit no character of the encoding
  bool endsMidLine = false;  // the last line has no line end (the file was cut)
  size_t lines = 0;
  std::vector<RunRecord> runs;
};

// Reads one log's bytes.
LogFileRead ReadRunLog(const std::string& path, const std::string& bytes);
// The log files a list of files and folders names: a folder gives its CvlUpdaterLogNew*.log in
// date order.
std::vector<std::string> RunLogFiles(const std::vector<std::string>& paths);
// The day's bytes decoded to UTF-8; a byte that fits no character becomes U+FFFD and is counted.
std::string DecodeLog(const std::string& bytes, std::string& encoding, size_t& undecodable);

}  // namespace updater::toolpack
