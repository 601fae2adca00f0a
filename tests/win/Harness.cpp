#include "db/Database.h"
#include "Harness.h"

#include <gtest/gtest.h>

#include "core/PathText.h"
#include "core/RunLog.h"
#include "package/PackageFormat.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace updater::test {

std::string BuildFolder() {
  FolderAndName parts;
  SplitAtLastBackslash(OwnExecutablePath(), parts);
  return parts.folder;
}

namespace {
void RemoveAllRoots() {
  for (const char* root : {"C:\\CVL2000", "D:\\CVL2000", "E:\\CVL2000", "F:\\CVL2000"}) RemoveTree(root);
}
}  // namespace

// The run log every test program writes to, as the program's entry makes one.
namespace {
ProcessRunLog testRunLog(SystemClock());
}  // namespace

CleanInstallRoots::CleanInstallRoots() { RemoveAllRoots(); }

std::string EnvironmentValue(const char* name) {
  wchar_t value[512] = {};
  return ::GetEnvironmentVariableW(Wide(name).c_str(), value, 512) ? Narrow(value) : std::string{};
}

bool UseClinicDatabase() {
  const std::string port = EnvironmentValue("UPDATER_PGPORT"), user = EnvironmentValue("UPDATER_PGUSER"),
                    password = EnvironmentValue("UPDATER_PGPASSWORD");
  if (port.empty()) return false;
  MakeFolders("D:\\CVL2000\\Exe");
  WriteFileBytes("D:\\CVL2000\\DBServer.ini",
                 "[Connection Config]\r\nDBMSKind=POSTGRESQL\r\nPGHostIpAddress=127.0.0.1\r\nPGPort=" + port + "\r\n");
  ::CopyFileW(Wide(BuildFolder() + "doubles\\CVLSConst.dll").c_str(), L"D:\\CVL2000\\Exe\\CVLSConst.dll", FALSE);
  WriteFileBytes("D:\\CVL2000\\Exe\\CVLSConst.ini", "[GetALLDBConstData]\r\nUser0=" + user + "\r\nPassword0=" + password +
                                                    "\r\nUser1=" + user + "\r\nPassword1=" + password + "\r\n");
  return true;
}

// With UPDATER_KEEP_LOGS set to a folder, each test's run logs are kept there (named after the
// test), so the logs of two builds can be compared line by line.
CleanInstallRoots::~CleanInstallRoots() {
  const std::string keep = EnvironmentValue("UPDATER_KEEP_LOGS");
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!keep.empty() && test) {
    WIN32_FIND_DATAW fd;
    FindHandle logs(::FindFirstFileW(L"D:\\CVL2000\\Log\\CvlUpdaterLogNew*.log", &fd));
    const std::wstring kept = Wide(keep) + L"\\" + Wide(std::string(test->test_suite_name()) + "." + test->name()) + L".log";
    if (logs) ::CopyFileW((std::wstring(L"D:\\CVL2000\\Log\\") + fd.cFileName).c_str(), kept.c_str(), FALSE);
  }
  RemoveAllRoots();
}

void RemoveTree(std::string_view path) {
  const std::wstring w = Wide(path);
  const DWORD attributes = ::GetFileAttributesW(w.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  ::SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::DeleteFileW(w.c_str());
    return;
  }
  WIN32_FIND_DATAW fd;
  FindHandle find(::FindFirstFileW((w + L"\\*").c_str(), &fd));
  if (find) {
    do {
      const std::wstring name = fd.cFileName;
      if (name != L"." && name != L"..") RemoveTree(std::string(path) + "\\" + Narrow(name));
    } while (::FindNextFileW(find.Get(), &fd));
  }
  find.Reset();
  ::RemoveDirectoryW(w.c_str());
}

void MakeFolders(std::string_view path) {
  std::string partial;
  for (const std::string& piece : SplitList(path, "\\")) {
    partial += piece + "\\";
    ::CreateDirectoryW(Wide(partial).c_str(), nullptr);
  }
}

void WriteFileBytes(std::string_view path, std::string_view bytes) {
  UniqueHandle f(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (f) ::WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ReadFileBytes(std::string_view path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

std::string ReadCp949File(std::string_view path) {
  const std::string bytes = ReadFileBytes(path);
  if (bytes.empty()) return {};
  const int n = ::MultiByteToWideChar(949, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  ::MultiByteToWideChar(949, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
  return Narrow(w);
}

std::vector<std::string> Lines(std::string_view text) { return TextLines(text); }

ChildResult RunProgram(std::string_view commandLine, uint32_t timeoutMs) {
  ChildResult result;
  std::wstring cmd = Wide(commandLine);
  STARTUPINFOW si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return result;
  result.started = true;
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  if (::WaitForSingleObject(process.Get(), timeoutMs) == WAIT_OBJECT_0) {
    result.finished = true;
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    result.exitCode = code;
  } else {
    ::TerminateProcess(process.Get(), 99);
  }
  return result;
}

}  // namespace updater::test


#include <sddl.h>

namespace updater::test {

DummyProcess::DummyProcess(const std::string& exePath, const std::string& arguments, bool unkillable) {
  MakeFolders(exePath.substr(0, exePath.rfind('\\')));
  ::CopyFileW(Wide(BuildFolder() + "dummy_client.exe").c_str(), Wide(exePath).c_str(), FALSE);
  const std::string ready = exePath + ".ready";
  ::DeleteFileW(Wide(ready).c_str());
  std::wstring cmd = Wide("\"" + exePath + "\" " + arguments + " --ready \"" + ready + "\"");
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, FALSE};
  PSECURITY_DESCRIPTOR sd = nullptr;
  // Everyone is denied PROCESS_TERMINATE; the creator keeps its full handle.
  if (unkillable &&
      ::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x0001;;;WD)(A;;GA;;;WD)", SDDL_REVISION_1, &sd, nullptr))
    sa.lpSecurityDescriptor = sd;
  const BOOL started = ::CreateProcessW(nullptr, cmd.data(), unkillable ? &sa : nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  if (sd) ::LocalFree(sd);
  if (!started) return;
  ::CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  for (int i = 0; i < 200 && !FileExists(ready); ++i) ::Sleep(25);
}

DummyProcess::~DummyProcess() {
  if (!process_) return;
  ::TerminateProcess(process_, 0);
  ::WaitForSingleObject(process_, 5000);
  ::CloseHandle(process_);
}

bool DummyProcess::Running() const {
  return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void SaveScreenshot(const std::string& name) {
  const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  ::SelectObject(mem, old);
  const DWORD stride = ((w * 3 + 3) & ~3), size = stride * h;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
  fh.bfSize = fh.bfOffBits + size;
  std::string out(reinterpret_cast<const char*>(&fh), sizeof fh);
  out.append(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
  out.append(static_cast<const char*>(bits), size);
  MakeFolders(BuildFolder() + "screenshots");
  WriteFileBytes(BuildFolder() + "screenshots\\" + name + ".bmp", out);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
}

bool RunLogHas(std::string_view part, size_t since) {
  const std::vector<std::string>& lines = TheRunLog().Lines();
  for (size_t i = since; i < lines.size(); ++i)
    if (lines[i].find(part) != std::string::npos) return true;
  return false;
}

size_t RunLogMark() { return TheRunLog().Lines().size(); }

bool NoTemporaryFiles(std::string_view folder) {
  WIN32_FIND_DATAW fd;
  FindHandle h(::FindFirstFileW(Wide(std::string(folder) + "\\*.yte").c_str(), &fd));
  return !h;
}

}  // namespace updater::test
