#pragma once
// What the whole-run tests share: a clinic with the agent and caller doubles on D:, tools packed
// from the real program, and reading back its logs and windows.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/LogFormat.h"
#include "core/PathText.h"
#include "db/ConnectionEntry.h"
#include "db/Dialect.h"
#include "db/Odbc.h"
#include "Harness.h"
#include "RunLogReading.h"
#include "package/Inflate.h"
#include "package/PackageFormat.h"
#include "PEWriter.h"
#include "Toolpack.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "platform/Text.h"

namespace updater::test {

inline std::vector<unsigned char> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

inline NewResource Module(const std::string& fileName, const std::string& content, int index = 6, uint8_t baseKind = 1,
                          const std::string& folder = "", uint8_t copyType = 0) {
  TUpdateFileResource f{"MODULE", fileName, "", copyType, baseKind, index, folder, "", 0};
  const std::string z = DeflateBest(content.data(), content.size());
  return {"MODULE", MakeResourceName(f), kPackageLanguage, 0, Bytes(z)};
}

inline NewResource PlainModule(const std::string& fileName, const std::string& content) {
  TUpdateFileResource f{"MODULE", fileName, "", 0, 1, 6, "", "", 1};
  return {"MODULE", MakeResourceName(f), kPackageLanguage, 0, Bytes(content)};
}

// Every file below root (links not entered) whose name contains part.
inline void FindNamed(const std::string& root, std::string_view part, std::vector<std::string>& found, int depth = 0) {
  WIN32_FIND_DATAW fd;
  FindHandle h(::FindFirstFileW(Wide(root + "\\*").c_str(), &fd));
  if (!h || depth > 12) return;
  do {
    const std::string name = Narrow(fd.cFileName);
    if (name == "." || name == "..") continue;
    if (ToLowerAscii(name).find(part) != std::string::npos) found.push_back(root + "\\" + name);
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      FindNamed(root + "\\" + name, part, found, depth + 1);
  } while (::FindNextFileW(h.Get(), &fd));
}

// A connection of the test's own to the clinic database, to lay out and read back its rows.
inline void ConnectAsClinic(OdbcConnection& c) {
  c.Connect(ConnectionString(kPostgreSqlDriver, EnvironmentValue("UPDATER_PGUSER"), EnvironmentValue("UPDATER_PGPASSWORD"),
                             {std::string("Driver=") + kPostgreSqlDriver, "Database=cvl2000", "Server=127.0.0.1",
                              "Port=" + EnvironmentValue("UPDATER_PGPORT")}),
            5);
}

class Scenario : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders("D:\\CVL2000\\Exe");
    if (!UseClinicDatabase()) GTEST_SKIP() << "no clinic database: scripts/test starts one";
    // Every scenario starts from empty clinic tables: what an earlier one left cannot change it.
    OdbcEnvironment env;
    OdbcConnection admin(env);
    ConnectAsClinic(admin);
    ExecuteStatement(admin, "TRUNCATE TOOLLIST, PCINFO, FOPTION, HOSINFO, ModuleSetting");
    MakeFolders("D:\\tools");
    ::CopyFileW(Wide(BuildFolder() + "doubles\\appinterface.dll").c_str(), L"D:\\CVL2000\\Exe\\appinterface.dll", FALSE);
    ::CopyFileW(Wide(BuildFolder() + "dummy_caller.exe").c_str(), L"D:\\CVL2000\\Exe\\Caller.exe", FALSE);
  }
  void TearDown() override { RemoveTree("D:\\tools"); }

  static void Script(const std::string& lines) { WriteFileBytes("D:\\CVL2000\\Exe\\appinterface.script", lines); }
  static std::vector<std::string> AgentLog() { return Lines(ReadFileBytes("D:\\CVL2000\\Exe\\appinterface.log")); }
  // The tool with the package; sealed: with the digest list of every resource it then holds.
  static std::string Pack(const std::string& name, const std::vector<NewResource>& package, bool sealed = false,
                          const std::string& folder = "D:\\tools\\") {
    const std::string image = ReadFileBytes(BuildFolder() + "UpdateTool.exe");
    std::vector<unsigned char> tool = WriteResources(Bytes(image), package);
    if (sealed) tool = toolpack::WithDigestList(tool);
    const std::string path = folder + name;
    WriteFileBytes(path, std::string(tool.begin(), tool.end()));
    return path;
  }
  static std::vector<std::string> Log() {
    return Lines(ReadCp949File("D:\\CVL2000\\Log\\CvlUpdaterLogNew" + DateStampYymmdd(SystemClock().Now()) + ".log"));
  }
  // The last run of the day's log as the support desk's reader sees it.
  static toolpack::RunRecord LastRun() {
    const std::string path = "D:\\CVL2000\\Log\\CvlUpdaterLogNew" + DateStampYymmdd(SystemClock().Now()) + ".log";
    toolpack::LogFileRead read = toolpack::ReadRunLog(path, ReadFileBytes(path));
    return read.runs.empty() ? toolpack::RunRecord{} : read.runs.back();
  }
  static bool LogHas(std::string_view part) {
    for (const std::string& l : Log())
      if (l.find(part) != std::string::npos) return true;
    return false;
  }
  static bool AgentGot(std::string_view part) {
    for (const std::string& l : AgentLog())
      if (l.find(part) != std::string::npos) return true;
    return false;
  }
  // The caller is started as the tool ends: give it a moment to write its line.
  static std::string CallerLine(const std::string& folder = "D:\\CVL2000\\Exe\\") {
    for (int i = 0; i < 250 && !FileExists(folder + "caller.txt"); ++i) ::Sleep(20);
    ::Sleep(50);
    // A caller started by the previous scenario's tool may have written here too: the last line counts.
    const std::vector<std::string> lines = Lines(Trim(ReadUtf16File(folder + "caller.txt")));
    return lines.empty() ? std::string{} : Trim(lines.back());
  }
  static std::string ReadUtf16File(const std::string& path) {
    const std::string b = ReadFileBytes(path);
    return Narrow(std::wstring(reinterpret_cast<const wchar_t*>(b.data()), b.size() / 2));
  }

  CleanInstallRoots clean;
};

// Every visible child's text, read back from the window itself.
inline BOOL CALLBACK AddChildText(HWND child, LPARAM out) {
  wchar_t text[256] = {};
  DWORD_PTR ignored = 0;
  if (::IsWindowVisible(child) &&
      ::SendMessageTimeoutW(child, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &ignored))
    reinterpret_cast<std::vector<std::string>*>(out)->push_back(Narrow(text));
  return TRUE;
}

inline std::vector<std::string> ChildTexts(HWND window) {
  std::vector<std::string> texts;
  ::EnumChildWindows(window, AddChildText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

inline bool WaitForChildTexts(HWND window, const std::vector<std::string>& wanted, DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 20) {
    const std::vector<std::string> texts = ChildTexts(window);
    if (std::all_of(wanted.begin(), wanted.end(), [&](const std::string& w) { return std::find(texts.begin(), texts.end(), w) != texts.end(); }))
      return true;
    ::Sleep(20);
  }
  return false;
}

// Starts the tool, waits for a visible window of the class, saves a screenshot of the screen.
struct RunningTool {
  PROCESS_INFORMATION pi{};
  explicit RunningTool(const std::string& commandLine) {
    std::wstring cmd = Wide(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    ::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  }
  HWND WaitForWindow(const wchar_t* cls, const wchar_t* title, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 20) {
      HWND h = ::FindWindowW(cls, title);
      if (h && ::IsWindowVisible(h)) return h;
      if (::WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
  }
  // A box of this process, visible (the first one found); null when none.
  struct BoxSearch {
    DWORD pid;
    HWND found;
  };
  static BOOL CALLBACK FindBox(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<BoxSearch*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    wchar_t cls[16] = {};
    ::GetClassNameW(w, cls, 16);
    if (owner != s->pid || !::IsWindowVisible(w) || std::wstring(cls) != L"#32770") return TRUE;
    s->found = w;
    return FALSE;
  }
  HWND Box() const {
    BoxSearch search{pi.dwProcessId, nullptr};
    ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  // The exit code. A tool that stops at a box nobody answers fails the test within boxMs and
  // names the box, rather than waiting for the test runner's limit.
  uint32_t Wait(DWORD ms = 120000, DWORD boxMs = 20000) {
    DWORD code = 259, boxSince = 0;
    bool ended = false;
    for (DWORD waited = 0; waited < ms && !ended; waited += 200) {
      ended = ::WaitForSingleObject(pi.hProcess, 200) == WAIT_OBJECT_0;
      if (ended) break;
      if (HWND box = Box()) {
        boxSince += 200;
        if (boxSince < boxMs) continue;
        std::string texts;
        for (const std::string& t : ChildTexts(box)) texts += "[" + t + "] ";
        ADD_FAILURE() << "the tool stopped at a box: " << texts;
        break;
      }
      boxSince = 0;
    }
    if (!ended) ::TerminateProcess(pi.hProcess, 99);
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    pi = {};
    return code;
  }
  // Ends the tool as a clinic's task manager would; the exit code.
  uint32_t Kill() {
    ::TerminateProcess(pi.hProcess, 98);
    ::WaitForSingleObject(pi.hProcess, 30000);
    return Wait(1);
  }
  ~RunningTool() {
    if (pi.hProcess) Wait(1);
  }
};

// Runs the tool to its end: a box nobody answers fails the test within seconds and is named.
inline ChildResult RunTool(const std::string& commandLine, DWORD ms = 120000) {
  RunningTool run(commandLine);
  ChildResult result;
  result.started = run.pi.hProcess != nullptr;
  result.exitCode = run.Wait(ms);
  result.finished = result.exitCode != 99;
  return result;
}

}  // namespace updater::test
