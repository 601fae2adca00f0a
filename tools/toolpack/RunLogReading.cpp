#include "RunLogReading.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "app/StartupRules.h"
#include "core/LogForms.h"
#include "platform/Utf.h"
#include "ToolpackIo.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace updater::toolpack {
namespace lf = logform;
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kArrow = "→ ";

// Length of the UTF-8 character at p, or 0 when none starts there.
size_t Utf8CharLength(const std::string& s, size_t p) {
  const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = b(p);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || p + n > s.size() || (n == 2 && c < 0xC2)) return 0;
  for (size_t i = 1; i < n; ++i)
    if ((b(p + i) >> 6) != 2) return 0;
  return n;
}

bool ValidUtf8(const std::string& s) {
  for (size_t p = 0; p < s.size();) {
    const size_t n = Utf8CharLength(s, p);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

#ifdef _WIN32
std::string DecodeCp949(const std::string& bytes, size_t& undecodable) {
  std::wstring wide;
  for (size_t p = 0; p < bytes.size();) {
    const size_t n = ::IsDBCSLeadByteEx(949, static_cast<BYTE>(bytes[p])) && p + 1 < bytes.size() ? 2 : 1;
    wchar_t w[2];
    const int got = ::MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, bytes.data() + p, static_cast<int>(n), w, 2);
    if (got == 1) {
      wide += w[0];
      p += n;
    } else {
      wide += L'\xFFFD';
      ++undecodable;
      ++p;
    }
  }
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}
#else
std::string DecodeCp949(const std::string& bytes, size_t& undecodable) {
  std::string out;
  iconv_t cd = ::iconv_open("UTF-8", "CP949");
  if (cd == reinterpret_cast<iconv_t>(-1)) {  // no converter: the ASCII part still reads
    for (const char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) out += c;
      else out += kReplacement, ++undecodable;
    }
    return out;
  }
  char* in = const_cast<char*>(bytes.data());
  size_t left = bytes.size();
  std::string buffer(4096, '\0');
  while (left > 0) {
    char* o = buffer.data();
    size_t room = buffer.size();
    const size_t r = ::iconv(cd, &in, &left, &o, &room);
    out.append(buffer.data(), static_cast<size_t>(o - buffer.data()));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {  // a byte that starts no character, or a cut one
      out += kReplacement;
      ++undecodable;
      ++in;
      --left;
      ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  ::iconv_close(cd);
  return out;
}
#endif

bool IsTimeStamp(std::string_view s) {  // "yyyy-mm-dd, hh:mm:ss"
  static constexpr std::string_view shape = "0000-00-00, 00:00:00";
  if (s.size() < shape.size()) return false;
  for (size_t i = 0; i < shape.size(); ++i)
    if (shape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(s[i])) : s[i] != shape[i]) return false;
  return true;
}

bool Is(LogForm form, std::string_view text) { return Match(form, text).has_value(); }

// Reads one file's lines into runs.
class Reader {
 public:
  explicit Reader(LogFileRead& file) : file_(file) {}

  void Line(size_t number, std::string_view line) {
    if (line.empty()) return;
    std::string time;
    std::string_view text = line;
    if (IsTimeStamp(line)) {
      time = std::string(line.substr(0, 20));
      text.remove_prefix(std::min<size_t>(21, text.size()));
    }
    // A form holds no indentation and no leading arrow.
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.starts_with(kArrow)) text.remove_prefix(kArrow.size());
    if (time.empty()) {  // no time stamp: a line the program did not write whole, or a foreign one
      Current(number, time).unknownLines.emplace_back(line);
      return;
    }
    Dispatch(number, time, std::string(text), std::string(line));
  }

 private:
  RunRecord& NewRun(size_t number, const std::string& time) {
    file_.runs.emplace_back();
    RunRecord& run = file_.runs.back();
    run.file = file_.path;
    run.firstLine = number;
    run.started = time;
    gateRun_ = deployPass_ = inPrerequisite_ = turnClosed_ = false;
    return run;
  }
  RunRecord& Current(size_t number, const std::string& time) {
    if (file_.runs.empty() || gateRun_) NewRun(number, time);  // lines before the first start line
    RunRecord& run = file_.runs.back();
    if (!time.empty()) run.ended = time;
    return run;
  }
  ToolTurn& Turn(RunRecord& run) {
    if (run.tools.empty()) run.tools.emplace_back();
    return run.tools.back();
  }

  void Dispatch(size_t number, const std::string& time, const std::string& text, const std::string& raw) {
    if (text == lf::kRunSeparator) {
      NewRun(number, time).ended = time;
      separatorOnly_ = true;
      return;
    }
    if (const auto f = Match(lf::kRunStart, text)) {
      RunRecord& run = separatorOnly_ && !file_.runs.empty() ? file_.runs.back() : NewRun(number, time);
      separatorOnly_ = false;
      run.program = (*f)[0];
      run.programVersion = (*f)[1];
      run.tool08 = IsTool08Name((*f)[0]);
      run.ended = time;
      return;
    }
    separatorOnly_ = false;
    if (const auto f = Match(lf::kBracketedError, text); f && (*f)[0] == lf::kGateStep) {
      // The gate runs before a run's first line; a refusal ends the program.
      if (!gateRun_) NewRun(number, time);
      gateRun_ = true;
      file_.runs.back().gateRefusals.push_back((*f)[1]);
      file_.runs.back().ended = time;
      return;
    }
    RunRecord& run = Current(number, time);
    if (Run(run, text)) return;
    if (Tool(run, text)) return;
    if (Failure(run, text)) return;
    for (const LogForm form : lf::kProgressForms)
      if (Is(form, text)) return;
    if (inPrerequisite_ && !run.tools.empty()) {  // the prerequisite step's own failure texts
      Turn(run).prerequisite = text;
      Turn(run).failures.push_back({"선수 툴", text});
      return;
    }
    if (const auto f = Match(lf::kRunOnceAction, text); f && deployPass_ && !run.tools.empty()) {
      Turn(run).actions.push_back((*f)[0] + " " + (*f)[1] + " (RunOnce " + (*f)[2] + ")");
      return;
    }
    if (const auto f = Match(lf::kOpenAction, text); f && deployPass_ && !run.tools.empty()) {
      Turn(run).actions.push_back((*f)[0] + " " + (*f)[1]);
      return;
    }
    run.unknownLines.push_back(raw);
  }

  // Lines about the run as a whole.
  bool Run(RunRecord& run, const std::string& text) {
    if (const auto f = Match(lf::kManualStart, text)) return run.byHand = true;
    if (text.starts_with(lf::kCallerPart) || text.starts_with(lf::kUserPart) || text.starts_with(lf::kHiddenPart)) {
      std::string rest = text.starts_with(lf::kCallerPart) ? text.substr(lf::kCallerPart.size()) : text;
      const auto take = [&](std::string_view part, std::string& into) {
        if (const size_t at = rest.rfind(part); at != std::string::npos) {
          into = rest.substr(at + part.size());
          rest.erase(at);
        }
      };
      take(lf::kHiddenPart, run.hiddenArgument);
      take(lf::kUserPart, run.userId);
      run.caller = rest;
      return true;
    }
    if (Is(lf::kHiddenOption, text)) return run.hiddenOption = true;
    if (const auto f = Match(lf::kDataToolOption, text)) {
      if (std::find(run.dataTools.begin(), run.dataTools.end(), (*f)[0]) == run.dataTools.end()) run.dataTools.push_back((*f)[0]);
      return true;
    }
    if (const auto f = Match(lf::kFailureSummary, text)) {
      run.failureSummary = (*f)[0];
      return true;
    }
    if (Is(lf::kRunEnd, text)) return run.endLine = true;
    if (Is(lf::kNothingToRun, text)) return run.nothingToRun = run.endLine = true;
    if (Is(lf::kCancelledByHand, text) || Is(lf::kCancelledFromCaller, text)) return run.cancelled = true;
    if (const auto f = Match(lf::kRunError, text)) {
      run.fatalError = (*f)[0];
      return true;
    }
    return false;
  }

  // Lines of one tool's turn.
  bool Tool(RunRecord& run, const std::string& text) {
    if (const auto f = Match(lf::kToolStart, text)) {
      run.tools.emplace_back();
      run.tools.back().tool = (*f)[0];
      if ((*f)[0] == run.program) run.tools.back().version = run.programVersion;
      deployPass_ = inPrerequisite_ = turnClosed_ = false;
      return true;
    }
    if (const auto f = Match(lf::kToolLoad, text)) {
      if (run.tools.empty() || (!run.tools.back().tool.empty() && run.tools.back().tool != (*f)[0])) run.tools.emplace_back();
      Turn(run).tool = (*f)[0];
      if ((*f)[0] == run.program) Turn(run).version = run.programVersion;
      return true;
    }
    if (run.tools.empty()) return false;
    ToolTurn& turn = Turn(run);
    if (const auto f = Match(lf::kDigestsMatch, text)) return turn.digestsMatched = std::atol((*f)[0].c_str()), true;
    if (const auto f = Match(lf::kFileList, text)) return turn.listed = std::atol((*f)[0].c_str()), true;
    if (Is(lf::kPrevToolCheck, text)) return inPrerequisite_ = true;
    if (Is(lf::kPrevToolCheckDone, text)) return !(inPrerequisite_ = false);
    if (Is(lf::kNoPrevTool, text)) return turn.prerequisite = "none", true;
    if (const auto f = Match(lf::kPrevToolHadRun, text)) return turn.prerequisite = "had run: " + (*f)[0], true;
    if (const auto f = Match(lf::kPrevToolRan, text)) return turn.prerequisite = "ran: " + (*f)[0], true;
    if (Match(lf::kBackupPass, text)) return !(deployPass_ = false);
    if (Match(lf::kDeployPass, text)) return deployPass_ = true;
    if (Is(lf::kDeployPassDone, text)) {
      deployPass_ = false;
      return turn.deployPassEnded = turn.finished = true;
    }
    if (const auto f = Match(lf::kCopyKept, text)) {
      if ((*f)[4] == lf::kDeployKeptWord) ++turn.kept;
      return true;
    }
    if (Match(lf::kCopyFile, text)) {
      if (deployPass_) ++turn.copied;
      return true;
    }
    if (Is(lf::kRollback, text)) return turn.rolledBack = true;
    if (Match(lf::kTempFilesDeleted, text)) return turn.finished = turnClosed_ = true;  // the tool's last step
    if (Match(lf::kRestoreFile, text) || Match(lf::kRemoveFile, text) || Match(lf::kRollbackFolderRemoved, text)) return true;
    if (const auto f = Match(lf::kRestored, text)) return turn.restored.push_back((*f)[1]), true;
    if (const auto f = Match(lf::kRemoved, text)) return turn.removed.push_back((*f)[0]), true;
    if (const auto f = Match(lf::kRestoreFailed, text)) {
      turn.notPutBack.push_back((*f)[1]);
      turn.failures.push_back({"롤백", text});
      return true;
    }
    if (const auto f = Match(lf::kRemoveFailed, text)) {
      turn.notPutBack.push_back((*f)[0]);
      turn.failures.push_back({"롤백", text});
      return true;
    }
    if (const auto f = Match(lf::kTerminated, text)) return turn.stopped = true;
    return false;
  }

  // Failure lines, in the three forms the program writes them.
  bool Failure(RunRecord& run, const std::string& text) {
    std::optional<LogFailure> failure;
    if (const auto c = Match(lf::kCopyError, text)) failure = LogFailure{"FileCopyWithProgress", (*c)[1] + " (" + (*c)[2] + ")"};
    else if (const auto r = Match(lf::kRetryError, text)) failure = LogFailure{"FileCopyWithProgressNew1st", "the retry failed (" + (*r)[0] + ")"};
    else if (const auto m = Match(lf::kRetrySizeMismatch, text))
      failure = LogFailure{"FileCopyWithProgressNew1st", "short after the retry (" + (*m)[1] + ", " + (*m)[2] + " to " + (*m)[3] + ")"};
    else if (const auto p = Match(lf::kProcessNotEnded, text)) failure = LogFailure{"프로세스종료실패", (*p)[0] + " did not end (" + (*p)[1] + ")"};
    else if (const auto u = Match(lf::kModuleUser, text)) failure = LogFailure{"ModuleName", (*u)[0] + ": " + (*u)[1]};
    else if (const auto t = Match(lf::kTindleCheckError, text)) failure = LogFailure{"Tindle", (*t)[0]};
    else if (const auto d = Match(lf::kFolderNotRemoved, text)) failure = LogFailure{"폴더삭제", (*d)[0]};
    else if (const auto f = Match(lf::kLoadError, text)) failure = LogFailure{(*f)[1], (*f)[0]};
    else if (const auto g = Match(lf::kBracketedError, text)) failure = LogFailure{(*g)[0], (*g)[1]};
    else if (const auto h = Match(lf::kStepError, text)) failure = LogFailure{(*h)[0], (*h)[1]};
    if (!failure) return false;
    if (run.tools.empty() || turnClosed_) {  // before the first tool or in the close steps
      run.failures.push_back(*failure);
      return true;
    }
    if (failure->step == lf::kReportStep) Turn(run).reportError = failure->message;
    else Turn(run).failures.push_back(*failure);
    return true;
  }

  LogFileRead& file_;
  bool gateRun_ = false, separatorOnly_ = false, deployPass_ = false, inPrerequisite_ = false, turnClosed_ = false;
};

}  // namespace

const LogFailure* ToolTurn::LoadFailure() const { return listed < 0 && !failures.empty() ? &failures.front() : nullptr; }

bool RunRecord::Failed() const {
  if (!gateRefusals.empty() || !fatalError.empty() || !failures.empty()) return true;
  for (const ToolTurn& t : tools)
    if (!t.Deployed()) return true;
  return EndState() == "did not end";
}

std::string RunRecord::EndState() const {
  if (!gateRefusals.empty()) return "refused by the database";
  if (endLine) return "ended";
  if (!caller.empty() && (cancelled || !failureSummary.empty() || (!tools.empty() && (tools.back().deployPassEnded || tools.back().listed < 0))))
    return "ended (caller started again)";
  return "did not end";
}

std::string RunRecord::HowStarted() const {
  std::string how;
  if (program.empty()) return "not in the log";
  if (!caller.empty()) {
    how = "by the client program " + caller;
    if (!userId.empty()) how += ", user id " + userId;
    if (!hiddenArgument.empty()) how += ", hidden (" + hiddenArgument + ")";
  } else if (byHand) {
    how = "by hand";
  } else {
    how = "unknown";
  }
  if (hiddenOption) how += ", hidden by the tool's option";
  if (tool08) how += ", tool08";
  return how;
}

std::string DecodeLog(const std::string& bytes, std::string& encoding, size_t& undecodable) {
  undecodable = 0;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    encoding = "UTF-16LE";
    std::u16string wide;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return Utf16ToUtf8(wide);
  }
  const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii && ValidUtf8(bytes)) {
    encoding = "UTF-8";
    return bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
  }
  encoding = "CP949";
  return DecodeCp949(bytes, undecodable);
}

LogFileRead ReadRunLog(const std::string& path, const std::string& bytes) {
  LogFileRead file;
  file.path = path;
  const std::string text = DecodeLog(bytes, file.encoding, file.undecodable);
  file.endsMidLine = !text.empty() && text.back() != '\n';
  Reader reader(file);
  // A message with line breaks goes on over lines without a time stamp: they belong to the line
  // before, read with blanks for the breaks, as the program writes most messages.
  std::string held;
  size_t heldNumber = 0, start = 0, number = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    ++number;
    start = end + 1;
    if (!line.empty() && !IsTimeStamp(line) && !held.empty()) {
      held += " ";
      held += line;
      continue;
    }
    if (!held.empty()) reader.Line(heldNumber, held);
    held = line;
    heldNumber = number;
  }
  if (!held.empty()) reader.Line(heldNumber, held);
  file.lines = number;
  return file;
}

std::vector<std::string> RunLogFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& p : paths) {
    std::error_code ec;
    if (!std::filesystem::is_directory(Path(p), ec)) {
      files.push_back(p);
      continue;
    }
    std::vector<std::string> day;
    for (const auto& entry : std::filesystem::directory_iterator(Path(p), ec)) {
      const std::string name = Utf8(entry.path().filename());
      if (name.starts_with("CvlUpdaterLogNew") && name.ends_with(".log")) day.push_back(Utf8(entry.path()));
    }
    std::sort(day.begin(), day.end());  // yymmdd: the names sort by date within a century
    files.insert(files.end(), day.begin(), day.end());
  }
  return files;
}

}  // namespace updater::toolpack
