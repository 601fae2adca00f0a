#pragma once
// The run log: one list of lines held in memory and written whole to the day's file at flush
// points and at process end. The file is in the ANSI code page; lines inside are UTF-8.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace updater {

class RunLog {
 public:
  // Loads the file's earlier content first, so every save keeps the day's earlier runs.
  RunLog(Clock& clock, std::string filePath);
  ~RunLog();  // saves once more
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  void Add(std::string_view text, bool flush = false);
  // A failed save (locked or read-only file) keeps every line; the next save writes them all.
  bool Save();
  const std::string& FilePath() const { return path_; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  Clock& clock_;
  std::string path_;
  std::string earlier_;  // the file's bytes as loaded, kept byte for byte
  std::vector<std::string> lines_;
};

// "CvlUpdaterLogNew" + yymmdd + ".log" in the Log folder ("C:\" when that cannot be made).
std::string RunLogFilePath(Clock& clock);

// The process's run log: the program entry makes it first thing, with the process's one clock,
// so that every path, also one that ends before the window exists, logs; it is saved when it goes.
// There is one at a time.
class ProcessRunLog {
 public:
  explicit ProcessRunLog(Clock& clock);
  ~ProcessRunLog();
  ProcessRunLog(const ProcessRunLog&) = delete;
  ProcessRunLog& operator=(const ProcessRunLog&) = delete;
  RunLog& Log() { return log_; }

 private:
  RunLog log_;
};

// The process's run log; throws std::logic_error when none was made.
RunLog& TheRunLog();
void LogLine(std::string_view text, bool flush = false);
// Writes the run log as it stands to its file, when the process has one: before a box or a wait
// that may hold the run for long, so that a run killed there leaves its lines.
void SaveRunLog();

}  // namespace updater
