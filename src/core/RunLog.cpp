#include "core/RunLog.h"

#include <stdexcept>

#include "core/ClientFolders.h"
#include "core/LogFormat.h"
#include "platform/FileSystem.h"
#include "platform/ReplacingFile.h"
#include "platform/Text.h"

namespace updater {
RunLog::RunLog(Clock& clock, std::string filePath) : clock_(clock), path_(std::move(filePath)) {
  ReadWholeFile(path_, earlier_);
  if (!earlier_.empty() && earlier_.back() != '\n') earlier_ += "\r\n";
}

RunLog::~RunLog() { Save(); }

void RunLog::Add(std::string_view text, bool flush) {
  lines_.push_back(FormatRunLogLine(clock_.Now(), text));
  if (flush) Save();
}

bool RunLog::Save() {
  std::string bytes = earlier_;
  for (const std::string& line : lines_) {
    bytes += ToAnsi(line);
    bytes += "\r\n";
  }
  ReplacingFile file(path_, ReplacingFile::Durability::Cached);
  return file.IsOpen() && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

std::string RunLogFilePath(Clock& clock) {
  return LogFolder() + "CvlUpdaterLogNew" + DateStampYymmdd(clock.Now()) + ".log";
}

namespace {
ProcessRunLog* processLog = nullptr;
}  // namespace

ProcessRunLog::ProcessRunLog(Clock& clock) : log_(clock, RunLogFilePath(clock)) {
  if (processLog) throw std::logic_error("A second run log for the process");
  processLog = this;
}

ProcessRunLog::~ProcessRunLog() { processLog = nullptr; }

RunLog& TheRunLog() {
  if (!processLog) throw std::logic_error("The process has no run log");
  return processLog->Log();
}

void LogLine(std::string_view text, bool flush) { TheRunLog().Add(text, flush); }

void SaveRunLog() {
  if (processLog) processLog->Log().Save();
}

}  // namespace updater
