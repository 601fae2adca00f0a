#include "core/RunState.h"

#include "core/RunLog.h"

namespace updater {
namespace {

std::string Record(StringList& failures, std::string line, std::string_view indent, bool flush) {
  LogLine(std::string(indent) + line, flush);
  failures.Add(line);
  return line;
}

}  // namespace

std::string RunningHolderText(const RunState& run) {
  std::string names;
  for (const std::string& n : run.RunningHolderList) names += (names.empty() ? "" : ",") + n;
  return "[" + run.RunSummary + "](" + names + ",실행프로세스" + std::to_string(run.RunningHolderList.Size()) + "건)";
}

std::string BracketedErrorText(std::string_view step, std::string_view message) {
  return std::string(step) + " [에러발생(" + std::string(message) + ")]";
}

std::string RecordError(StringList& failures, std::string_view step, std::string_view message, std::string_view indent,
                        bool flush) {
  return Record(failures, std::string(step) + " 에러발생(" + std::string(message) + ")", indent, flush);
}

std::string RecordBracketedError(StringList& failures, std::string_view step, std::string_view message,
                                 std::string_view indent, bool flush) {
  return Record(failures, BracketedErrorText(step, message), indent, flush);
}

}  // namespace updater
