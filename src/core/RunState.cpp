#include "core/RunState.h"

#include "core/LogForms.h"
#include "core/RunLog.h"

namespace updater {
std::string RecordFailure(StringList& failures, std::string line, std::string_view indent, bool flush) {
  LogLine(std::string(indent) + line, flush);
  failures.Add(line);
  return line;
}

std::string RecordLoadError(StringList& failures, std::string_view message, std::string_view task) {
  return RecordFailure(failures, Fill(logform::kLoadError, {message, task}), "    ");
}

std::string RunningHolderText(const RunState& run) {
  std::string names;
  for (const std::string& n : run.RunningHolderList) names += (names.empty() ? "" : ",") + n;
  return "[" + run.RunSummary + "](" + names + ",실행프로세스" + std::to_string(run.RunningHolderList.Size()) + "건)";
}

std::string BracketedErrorText(std::string_view step, std::string_view message) {
  return Fill(logform::kBracketedError, {step, message});
}

std::string RecordError(StringList& failures, std::string_view step, std::string_view message, std::string_view indent,
                        bool flush) {
  return RecordFailure(failures, Fill(logform::kStepError, {step, message}), indent, flush);
}

std::string RecordBracketedError(StringList& failures, std::string_view step, std::string_view message,
                                 std::string_view indent, bool flush) {
  return RecordFailure(failures, BracketedErrorText(step, message), indent, flush);
}

}  // namespace updater
