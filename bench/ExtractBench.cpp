// Extraction benchmark (figures only, no pass or fail): packs about 256 MB of files into an update
// tool, lets the packed tool extract its own package, and compares the throughput with plain zlib
// inflate of the same streams in this run. Prints the packed tool's peak memory beside its image size.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/RunLog.h"
#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "package/Inflate.h"
#include "package/PackageFormat.h"
#include "PEWriter.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using Timer = std::chrono::steady_clock;

namespace {

// Compresses about 3:1, like executables and DLLs: runs of structure with noise in them.
std::string Content(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  const char* words[] = {"Corvel", "clinic", "patient", "update", "record", "\x00\x00\x00\x00", "\x8B\x45\xFC", "\xE8\x00\x10"};
  for (size_t i = 0; i < size;) {
    if (rng() % 4 == 0) {
      s[i++] = static_cast<char>(rng());
    } else {
      const char* w = words[rng() % 8];
      for (size_t k = 0; w[k] && i < size; ++k) s[i++] = w[k];
    }
  }
  return s;
}

double Seconds(Timer::time_point a, Timer::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::string Exe(const std::string& name) {
  FolderAndName parts;
  SplitAtLastBackslash(OwnExecutablePath(), parts);
  return parts.folder + name;
}

}  // namespace

int main() {
  ProcessRunLog runLog(SystemClock());
  const std::vector<std::pair<const char*, size_t>> files = {
      {"Chromium.pak", 150u << 20}, {"Main.dll", 40u << 20}, {"Viewer.exe", 30u << 20}, {"Report.dll", 20u << 20},
      {"Help.mht", 10u << 20},      {"Small.dll", 6u << 20}};
  std::vector<NewResource> package;
  std::vector<std::string> streams;
  uint64_t plainBytes = 0;
  unsigned seed = 1;
  for (const auto& [name, size] : files) {
    const std::string content = Content(size, seed++);
    plainBytes += content.size();
    streams.push_back(DeflateBest(content.data(), content.size()));
    TUpdateFileResource f{"MODULE", name, "1.0.0.0", 0, 1, 6, "", "", 0};
    package.push_back({"MODULE", MakeResourceName(f), kPackageLanguage, 0, {streams.back().begin(), streams.back().end()}});
  }

  // Plain zlib inflate of the same streams, output discarded.
  const auto t0 = Timer::now();
  for (const std::string& z : streams) {
    size_t at = 0;
    InflateStream(
        [&](void* buf, size_t max) {
          const size_t n = std::min(max, z.size() - at);
          std::memcpy(buf, z.data() + at, n);
          at += n;
          return n;
        },
        [](const void*, size_t) {});
  }
  const double plainSeconds = Seconds(t0, Timer::now());

  const std::string probeBytes = [] {
    UniqueHandle f(::CreateFileW(Wide(Exe("package_probe.exe")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string b(::GetFileSize(f.Get(), nullptr), '\0');
    DWORD got = 0;
    ::ReadFile(f.Get(), b.data(), static_cast<DWORD>(b.size()), &got, nullptr);
    return b;
  }();
  const std::vector<unsigned char> tool = WriteResources({probeBytes.begin(), probeBytes.end()}, package);
  streams.clear();
  package.clear();
  EnsureFolder("D:\\CVL2000\\Exe");
  const std::string toolPath = "D:\\bench\\Tool01_9999.exe";
  EnsureFolder("D:\\bench");
  {
    UniqueHandle f(::CreateFileW(Wide(toolPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ::WriteFile(f.Get(), tool.data(), static_cast<DWORD>(tool.size()), &written, nullptr);
  }

  // The packed tool extracts itself; it reports its own peak memory.
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  const std::string report = "D:\\bench\\probe.txt";
  UniqueHandle out(::CreateFileW(Wide(report).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr));
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out.Get();
  si.hStdError = out.Get();
  std::wstring cmd = Wide("\"" + toolPath + "\" --memory");
  PROCESS_INFORMATION pi{};
  const auto t1 = Timer::now();
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("cannot start the packed tool\n");
    return 1;
  }
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  ::WaitForSingleObject(process.Get(), INFINITE);
  const double extractSeconds = Seconds(t1, Timer::now());
  out.Reset();
  DWORD code = 1;
  ::GetExitCodeProcess(process.Get(), &code);

  UniqueHandle in(::CreateFileW(Wide(report).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  char text[512] = {};
  DWORD got = 0;
  ::ReadFile(in.Get(), text, sizeof text - 1, &got, nullptr);

  const double mb = static_cast<double>(plainBytes) / (1 << 20);
  std::printf("package: %zu files, %.0f MB inflated, tool image %.1f MB\n", files.size(), mb, tool.size() / 1048576.0);
  std::printf("plain zlib inflate: %.2f s, %.0f MB/s\n", plainSeconds, mb / plainSeconds);
  unsigned long extractMs = 0;
  if (const char* at = std::strstr(text, "extraction ")) extractMs = std::strtoul(at + 11, nullptr, 10);
  const double inside = extractMs / 1000.0;
  std::printf("packed tool extracting itself (exit %lu): %.2f s in ExtractPackage, %.2f s with process start and end\n", code,
              inside, extractSeconds);
  std::printf("throughput ratio (extraction / plain inflate): %.2f (target >= 0.85); whole process %.2f\n",
              inside > 0 ? plainSeconds / inside : 0.0, plainSeconds / extractSeconds);
  std::printf("packed tool: %s", text);
  std::printf("memory target: peak at most image %.1f MB + 32 MB = %.1f MB\n", tool.size() / 1048576.0, tool.size() / 1048576.0 + 32);
  return code == 0 ? 0 : 1;
}
