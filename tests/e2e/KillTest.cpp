#include <gtest/gtest.h>

#include <random>

#include "env/Housekeeping.h"
#include "Harness.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

std::string Pattern(size_t size, char seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + (i * 131) % 251);
  return s;
}

}  // namespace

// A deploy killed at any moment leaves the target whole: the old file or the new one.
TEST(KillTest, ATargetIsAlwaysTheOldOrTheNewFile) {
  CleanInstallRoots clean;
  MakeFolders("D:\\CVL2000\\Exe");
  MakeFolders("D:\\stage");
  const std::string source = "D:\\stage\\Big.dll", target = "D:\\CVL2000\\Exe\\Big.dll";
  const std::string fresh = Pattern(48u << 20, 'n'), old = Pattern(40u << 20, 'o');
  WriteFileBytes(source, fresh);
  const std::string probe = "\"" + BuildFolder() + "copy_probe.exe\" \"" + source + "\" \"" + target + "\"";

  WriteFileBytes(target, old);
  const DWORD start = ::GetTickCount();
  ASSERT_EQ(RunProgram(probe).exitCode, 0u);
  const DWORD full = std::max<DWORD>(::GetTickCount() - start, 50);
  ASSERT_EQ(ReadFileBytes(target), fresh);

  std::mt19937 rng(20261209);
  int sawOld = 0, sawNew = 0;
  for (int round = 0; round < 20; ++round) {
    WriteFileBytes(target, old);
    std::wstring cmd = Wide(probe);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    ::Sleep(rng() % (full + full / 4));
    ::TerminateProcess(process.Get(), 9);
    ::WaitForSingleObject(process.Get(), 10000);
    const std::string now = ReadFileBytes(target);
    ASSERT_TRUE(now == old || now == fresh) << "round " << round << ": torn target of " << now.size() << " bytes";
    (now == old ? sawOld : sawNew)++;
  }
  std::printf("killed 20 deploys: %d left the old file, %d the new one\n", sawOld, sawNew);
  StringList failures;
  SweepTemporaryFiles("D:\\CVL2000\\Exe", failures);  // the next run's start
  EXPECT_TRUE(NoTemporaryFiles("D:\\CVL2000\\Exe"));
  RemoveTree("D:\\stage");
}
