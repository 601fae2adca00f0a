// toolpack log: a clinic's run logs as runs, tools and outcomes.
#include <ostream>
#include <sstream>

#ifdef _WIN32
#include "core/ClientFolders.h"
#endif
#include "RunLogReading.h"
#include "Toolpack.h"
#include "ToolpackIo.h"

namespace updater::toolpack {
namespace {

std::string Time(const std::string& stamp) { return stamp.empty() ? "?" : stamp.substr(0, 10) + " " + stamp.substr(12); }

// What the update service agent and the history file were told follows from the tool's end: the
// program reports 0 and "Y" after a deployment, 1 and "N" after a failure, nothing when the session
// ended under it.
std::string Told(const ToolTurn& t) {
  if (t.stopped) return "nothing (the session ended)";
  if (!t.finished) return "nothing yet (the log ends before the tool's finish step)";
  std::string told = t.Deployed() ? "agent: result 0, history: Y" : "agent: result 1, history: N";
  if (!t.reportError.empty()) told += " (the agent refused: " + t.reportError + ")";
  return told;
}

std::string Outcome(const ToolTurn& t) {
  if (t.stopped) return "stopped: the session ended";
  if (const LogFailure* f = t.LoadFailure()) return "failed at its load: " + f->step + ": " + f->message;
  if (t.Deployed())
    return "deployed " + std::to_string(t.copied) + ", kept " + std::to_string(t.kept) + ", skipped " + std::to_string(t.Skipped());
  if (t.rolledBack) {
    std::string what = "failed and rolled back";
    if (!t.failures.empty()) what += ": " + t.failures.front().step + ": " + t.failures.front().message;
    return what;
  }
  return "did not finish (" + std::to_string(t.copied) + " copied before the log ends)";
}

void Text(const RunRecord& r, std::ostream& out, bool verbose) {
  const std::string end = r.EndState();
  out << Time(r.started) << " to " << Time(r.ended) << "  " << end
      << (end == "did not end" ? " (killed, power lost or still running: the last line is the last thing it did)" : "")
      << (r.Failed() ? "  FAILED" : "") << "\n";
  out << "  log        " << r.file << ", line " << r.firstLine << "\n";
  if (!r.program.empty()) out << "  program    " << r.program << " (" << r.programVersion << ")\n";
  out << "  started    " << r.HowStarted() << "\n";
  out << "  database   " << (!r.gateRefusals.empty() ? "refused the run" : r.program.empty() ? "not in the log" : "let the run through") << "\n";
  for (const std::string& why : r.gateRefusals) out << "             " << why << "\n";
  if (r.cancelled) out << "  cancelled  by the user at the question\n";
  if (r.nothingToRun) out << "  tools      none to run\n";
  for (const ToolTurn& t : r.tools) {
    out << "  tool       " << t.tool << (t.version.empty() ? "" : " (" + t.version + ")") << "\n";
    out << "             " << Outcome(t) << "\n";
    if (t.digestsMatched >= 0) out << "             digests: " << t.digestsMatched << " files matched\n";
    if (!t.prerequisite.empty()) out << "             prerequisite: " << t.prerequisite << "\n";
    for (const std::string& a : t.actions) out << "             action: " << a << "\n";
    if (t.rolledBack && t.restored.empty() && t.removed.empty() && t.notPutBack.empty()) {
      out << "             put back: nothing (the tool had written nothing)\n";
    } else if (t.rolledBack) {
      out << "             put back: " << t.restored.size() << " restored, " << t.removed.size() << " removed";
      out << (t.notPutBack.empty() ? "" : ", " + std::to_string(t.notPutBack.size()) + " NOT put back") << "\n";
      for (const std::string& f : t.restored) out << "               restored " << f << "\n";
      for (const std::string& f : t.removed) out << "               removed  " << f << "\n";
      for (const std::string& f : t.notPutBack) out << "               NOT put back " << f << "\n";
    }
    for (size_t i = 1; i < t.failures.size(); ++i) out << "             also: " << t.failures[i].step << ": " << t.failures[i].message << "\n";
    out << "             told " << Told(t) << "\n";
  }
  for (const std::string& d : r.dataTools) out << "  data tool  " << d << " (started after a successful run where this PC may run it)\n";
  for (const LogFailure& f : r.failures) out << "  failure    " << f.step << ": " << f.message << "\n";
  if (!r.fatalError.empty()) out << "  error      " << r.fatalError << "\n";
  if (!r.failureSummary.empty()) out << "  summary    " << r.failureSummary << "\n";
  if (!r.unknownLines.empty()) {
    out << "  other      " << r.unknownLines.size() << " lines not read" << (verbose ? ":" : " (--verbose shows them)") << "\n";
    if (verbose)
      for (const std::string& l : r.unknownLines) out << "             " << l << "\n";
  }
  out << "\n";
}

std::string JsonList(const std::vector<std::string>& items) {
  std::string s = "[";
  for (size_t i = 0; i < items.size(); ++i) s += (i ? ", " : "") + Json(items[i]);
  return s + "]";
}

std::string JsonFailures(const std::vector<LogFailure>& failures) {
  std::string s = "[";
  for (size_t i = 0; i < failures.size(); ++i)
    s += (i ? ", " : "") + std::string("{\"step\": ") + Json(failures[i].step) + ", \"message\": " + Json(failures[i].message) + "}";
  return s + "]";
}

std::string JsonRun(const RunRecord& r) {
  std::ostringstream o;
  o << "{\"file\": " << Json(r.file) << ", \"line\": " << r.firstLine << ", \"started\": " << JsonOrNull(r.started)
    << ", \"ended\": " << JsonOrNull(r.ended) << ", \"end\": " << Json(r.EndState()) << ", \"failed\": " << (r.Failed() ? "true" : "false")
    << ", \"program\": " << JsonOrNull(r.program) << ", \"programVersion\": " << JsonOrNull(r.programVersion)
    << ", \"how\": " << Json(r.HowStarted()) << ", \"byHand\": " << (r.byHand ? "true" : "false")
    << ", \"caller\": " << JsonOrNull(r.caller) << ", \"userId\": " << JsonOrNull(r.userId)
    << ", \"hidden\": " << (r.hiddenOption || !r.hiddenArgument.empty() ? "true" : "false") << ", \"tool08\": " << (r.tool08 ? "true" : "false")
    << ", \"databaseRefusals\": " << JsonList(r.gateRefusals) << ", \"cancelled\": " << (r.cancelled ? "true" : "false") << ", \"tools\": [";
  for (size_t i = 0; i < r.tools.size(); ++i) {
    const ToolTurn& t = r.tools[i];
    o << (i ? ", " : "") << "{\"tool\": " << Json(t.tool) << ", \"version\": " << JsonOrNull(t.version)
      << ", \"result\": " << Json(t.stopped ? "stopped" : t.Deployed() ? "deployed" : t.LoadFailure() ? "load failed" : t.rolledBack ? "rolled back" : "unfinished")
      << ", \"outcome\": " << Json(Outcome(t)) << ", \"deployed\": " << (t.Deployed() ? t.copied : 0) << ", \"copied\": " << t.copied
      << ", \"kept\": " << t.kept << ", \"skipped\": " << t.Skipped() << ", \"listed\": " << t.listed
      << ", \"digestsMatched\": " << t.digestsMatched << ", \"prerequisite\": " << JsonOrNull(t.prerequisite)
      << ", \"failures\": " << JsonFailures(t.failures) << ", \"actions\": " << JsonList(t.actions) << ", \"rolledBack\": " << (t.rolledBack ? "true" : "false")
      << ", \"restored\": " << JsonList(t.restored) << ", \"removed\": " << JsonList(t.removed) << ", \"notPutBack\": " << JsonList(t.notPutBack)
      << ", \"told\": " << Json(Told(t)) << "}";
  }
  o << "], \"dataTools\": " << JsonList(r.dataTools) << ", \"failures\": " << JsonFailures(r.failures)
    << ", \"error\": " << JsonOrNull(r.fatalError) << ", \"summary\": " << JsonOrNull(r.failureSummary)
    << ", \"otherLines\": " << JsonList(r.unknownLines) << "}";
  return o.str();
}

}  // namespace

size_t Log(std::vector<std::string> paths, std::ostream& out, const LogOptions& options) {
#ifdef _WIN32
  if (paths.empty()) paths.push_back(InstallRoot() + "Log");  // on a clinic PC: its own logs
#endif
  const std::vector<std::string> files = RunLogFiles(paths);
  if (files.empty()) throw Error(paths.empty() ? std::string() : paths.front(), "no run log (CvlUpdaterLogNew*.log) here");
  size_t failed = 0, shown = 0;
  std::string jsonFiles, jsonRuns;
  size_t unreadable = 0;
  for (const std::string& path : files) {
    std::string bytes;
    try {
      const std::vector<unsigned char> data = ReadBinary(path);
      bytes.assign(data.begin(), data.end());
    } catch (const Error&) {  // one file that cannot be read does not hide the others
      ++unreadable;
      if (options.json) jsonFiles += std::string(jsonFiles.empty() ? "" : ", ") + "{\"path\": " + Json(path) + ", \"error\": \"cannot be read\"}";
      else out << "== " << path << ": cannot be read\n\n";
      continue;
    }
    const LogFileRead read = ReadRunLog(path, bytes);
    size_t unknown = 0;
    for (const RunRecord& r : read.runs) unknown += r.unknownLines.size();
    if (options.json) {
      jsonFiles += std::string(jsonFiles.empty() ? "" : ", ") + "{\"path\": " + Json(path) + ", \"encoding\": " + Json(read.encoding) +
                   ", \"undecodableBytes\": " + std::to_string(read.undecodable) + ", \"endsMidLine\": " + (read.endsMidLine ? "true" : "false") +
                   ", \"lines\": " + std::to_string(read.lines) + ", \"runs\": " + std::to_string(read.runs.size()) +
                   ", \"otherLines\": " + std::to_string(unknown) + "}";
    } else {
      out << "== " << path << ": " << read.runs.size() << (read.runs.size() == 1 ? " run, " : " runs, ") << read.lines << " lines, "
          << read.encoding;
      if (read.undecodable) out << ", " << read.undecodable << " bytes not " << read.encoding;
      if (read.endsMidLine) out << ", cut in the middle of its last line";
      out << "\n\n";
    }
    for (const RunRecord& r : read.runs) {
      if (r.Failed()) ++failed;
      if (options.errorsOnly && !r.Failed()) continue;
      ++shown;
      if (options.json) jsonRuns += (jsonRuns.empty() ? "" : ",\n  ") + JsonRun(r);
      else Text(r, out, options.verbose);
    }
  }
  if (unreadable == files.size()) throw Error(files.front(), "cannot be read");
  if (options.json) out << "{\"files\": [" << jsonFiles << "],\n \"runs\": [\n  " << jsonRuns << "]}\n";
  else out << shown << (shown == 1 ? " run shown, " : " runs shown, ") << failed << " with a failure\n";
  return failed;
}

}  // namespace updater::toolpack
