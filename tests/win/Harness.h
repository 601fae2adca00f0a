#pragma once
// Helpers for tests that run under Wine: sandbox drives, files, child programs, CP949 logs.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/Ui.h"

namespace updater::test {

// Folder of the test program (the build folder, where UpdateTool.exe and the fixtures lie).
std::string BuildFolder();

// Removes every CVL2000 candidate on C:, D:, E:, F: when made and when destroyed.
class CleanInstallRoots {
 public:
  CleanInstallRoots();
  ~CleanInstallRoots();
};

void RemoveTree(std::string_view path);
void MakeFolders(std::string_view path);
void WriteFileBytes(std::string_view path, std::string_view bytes);
std::string ReadFileBytes(std::string_view path);
// A file written in code page 949, as UTF-8.
std::string ReadCp949File(std::string_view path);
std::vector<std::string> Lines(std::string_view text);

struct ChildResult {
  bool started = false;
  bool finished = false;
  uint32_t exitCode = 0;
};
// A variable of the environment the tests run in (scripts/test passes the database server's); empty
// when it is not set.
std::string EnvironmentValue(const char* name);

// Points the clinic on D: at the test PostgreSQL server that scripts/test starts: DBServer.ini and
// the constants DLL double with the login. False when no server was started.
bool UseClinicDatabase();

// Starts a program (UTF-8 command line) and waits for it at most timeoutMs.
ChildResult RunProgram(std::string_view commandLine, uint32_t timeoutMs = 60000);

// Answers message boxes without showing them, and remembers what they said.
class ScriptedUi final : public Ui {
 public:
  std::vector<std::string> errors, infos, confirms;
  bool confirmAnswer = true;
  DeferralAnswer deferralAnswer = DeferralAnswer::Now;
  int deferralQuestions = 0;
  void Information(std::string_view text) override { infos.emplace_back(text); }
  void Error(std::string_view text) override { errors.emplace_back(text); }
  bool Confirm(std::string_view text) override {
    confirms.emplace_back(text);
    return confirmAnswer;
  }
  DeferralAnswer ConfirmUpdateNow() override {
    ++deferralQuestions;
    return deferralAnswer;
  }
};

// A clock the test sets by hand.
class FakeClock final : public Clock {
 public:
  LocalTime now{2025, 7, 24, 14, 5, 9, 0};
  uint32_t tick = 1000, lastInput = 1000;
  LocalTime Now() override { return now; }
  uint32_t TickCount() override { return tick; }
  uint32_t LastInputTick() override { return lastInput; }
  void Sleep(uint32_t ms) override { tick += ms; }
};

}  // namespace updater::test

#include "deploy/Passes.h"
#include "app/UpdateRun.h"

namespace updater::test {

// Records what the passes show.
class RecordingView final : public PassView {
 public:
  std::vector<std::pair<uint64_t, uint64_t>> progress;
  int totalSteps = 0;
  std::vector<std::string> statuses;
  void SetFileProgress(uint64_t position, uint64_t maximum) override { progress.emplace_back(position, maximum); }
  void ProcessMessages() override {}
  void ShowFileCountLabels(bool) override {}
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void ShowCurrentFile(int, const std::string&, const std::string&) override {}
  void StepTotalProgress() override { ++totalSteps; }
};

// The main window's part of a run, recorded instead of shown: the run needs no window in a test.
class RecordingMainView final : public MainView {
 public:
  std::vector<std::string> captions;
  bool shown = false, timerStarted = false;
  int quits = 0, totalSteps = 0;
  size_t totalFiles = 0;
  void SetRunCaption(std::string_view text) override { captions.emplace_back(text); }
  void SetTopmost(bool on) override { topmost.push_back(on); }
  std::vector<bool> topmost;
  void PrepareToolProgress(const std::string& toolPath, size_t fileCount) override {
    captions.push_back("업데이트 " + toolPath.substr(toolPath.rfind('\\') + 1));
    totalFiles = fileCount;
  }
  void SetTotalProgress(int) override {}
  void ShowMainWindow() override { shown = true; }
  void HideMainWindow() override { shown = false; }
  void StartRunTimer() override { timerStarted = true; }
  void Quit() override { ++quits; }
  void SetFileProgress(uint64_t, uint64_t) override {}
  void ProcessMessages() override {}
  void ShowFileCountLabels(bool) override {}
  void ShowStatus(const std::string&) override {}
  void ShowCurrentFile(int, const std::string&, const std::string&) override {}
  void StepTotalProgress() override { ++totalSteps; }
};

// A running copy of the dummy client under the given path; terminated when destroyed.
class DummyProcess {
 public:
  // unkillable: other processes may not open it to terminate it.
  DummyProcess(const std::string& exePath, const std::string& arguments, bool unkillable = false);
  ~DummyProcess();
  bool Running() const;
  uint32_t Pid() const { return pid_; }

 private:
  void* process_ = nullptr;
  uint32_t pid_ = 0;
};

// Saves the screen as build/win/screenshots/<name>.bmp.
void SaveScreenshot(const std::string& name);
// Whether the run log holds a line containing part, among all its lines or from line since on.
bool RunLogHas(std::string_view part, size_t since = 0);
// The number of lines in the run log now: a mark for RunLogHas.
size_t RunLogMark();
bool NoTemporaryFiles(std::string_view folder);

}  // namespace updater::test
