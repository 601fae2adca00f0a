// Extraction benchmark (figures only, no pass or fail): packs about 256 MB of files into an update
// tool, lets the packed tool extract its own package, and compares the throughput with plain zlib
// inflate of the same streams in this run, and with the same tool carrying its digest list. Prints
// the packed tool's peak memory beside its image size.
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
#include "Toolpack.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"
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

struct Extraction {
  DWORD code = 1;
  double inside = 0, whole = 0;  // seconds in ExtractPackage, and with process start and end
  std::string report;
};

// Writes the tool and lets it extract itself; it reports its own peak memory.
Extraction RunPackedTool(const std::vector<unsigned char>& tool, const std::string& toolPath) {
  {
    UniqueHandle f(::CreateFileW(Wide(toolPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ::WriteFile(f.Get(), tool.data(), static_cast<DWORD>(tool.size()), &written, nullptr);
  }
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
  Extraction e;
  const auto t1 = Timer::now();
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return e;
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  ::WaitForSingleObject(process.Get(), INFINITE);
  e.whole = Seconds(t1, Timer::now());
  out.Reset();
  ::GetExitCodeProcess(process.Get(), &e.code);
  UniqueHandle in(::CreateFileW(Wide(report).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  char text[512] = {};
  DWORD got = 0;
  ::ReadFile(in.Get(), text, sizeof text - 1, &got, nullptr);
  e.report = text;
  if (const char* at = std::strstr(text, "extraction ")) e.inside = std::strtoul(at + 11, nullptr, 10) / 1000.0;
  return e;
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
  const std::vector<unsigned char> checked = toolpack::WithDigestList(tool);
  streams.clear();
  package.clear();
  EnsureFolder("D:\\CVL2000\\Exe");
  EnsureFolder("D:\\bench");
  const Extraction e = RunPackedTool(tool, "D:\\bench\\Tool01_9999.exe");
  const Extraction d = RunPackedTool(checked, "D:\\bench\\Tool01_9998.exe");

  const double mb = static_cast<double>(plainBytes) / (1 << 20);
  std::printf("package: %zu files, %.0f MB inflated, tool image %.1f MB\n", files.size(), mb, tool.size() / 1048576.0);
  std::printf("plain zlib inflate: %.2f s, %.0f MB/s\n", plainSeconds, mb / plainSeconds);
  std::printf("packed tool extracting itself (exit %lu): %.2f s in ExtractPackage, %.2f s with process start and end\n", e.code,
              e.inside, e.whole);
  std::printf("throughput ratio (extraction / plain inflate): %.2f (target >= 0.85); whole process %.2f\n",
              e.inside > 0 ? plainSeconds / e.inside : 0.0, plainSeconds / e.whole);
  std::printf("with the SHA-256 digest list checked as it extracts (exit %lu): %.2f s in ExtractPackage (%+.0f %%)\n", d.code,
              d.inside, e.inside > 0 ? (d.inside / e.inside - 1) * 100 : 0.0);
  std::printf("packed tool: %s", e.report.c_str());
  std::printf("packed tool with its digest list: %s", d.report.c_str());
  std::printf("memory target: peak at most image %.1f MB + 32 MB = %.1f MB\n", tool.size() / 1048576.0, tool.size() / 1048576.0 + 32);
  return e.code == 0 && d.code == 0 ? 0 : 1;
}
