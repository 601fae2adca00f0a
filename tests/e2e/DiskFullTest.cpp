// A clinic on a small file system that fills up (D: is a size-limited tmpfs here, mounted by
// scripts/test): while the tool extracts its package, and while it deploys.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "Scenario.h"

using namespace updater;
using namespace updater::test;

namespace {

std::string Noise(size_t size, unsigned seed) {  // does not compress: it takes its full size on disk
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (size_t i = 0; i + 4 <= size; i += 4) {
    const uint32_t v = rng();
    std::memcpy(&s[i], &v, 4);
  }
  return s;
}

class DiskFull : public Scenario {
 protected:
  void SetUp() override {
    ULARGE_INTEGER total{};
    if (!::GetDiskFreeSpaceExW(L"D:\\", nullptr, &total, nullptr) || total.QuadPart > (128u << 20))
      GTEST_SKIP() << "D: is no small file system: scripts/test mounts one when it runs as root or with sudo";
    Scenario::SetUp();
    MakeFolders(tools);
  }
  void TearDown() override {
    RemoveTree(tools);
    Scenario::TearDown();
  }
  static uint64_t FreeBytes() {
    ULARGE_INTEGER free{};
    ::GetDiskFreeSpaceExW(L"D:\\", &free, nullptr, nullptr);
    return free.QuadPart;
  }
  // The system's own text for a full disk, as the run log must carry it.
  static std::string DiskFullText() { return SystemErrorText(ERROR_DISK_FULL); }
  const std::string tools = BuildFolder() + "diskfull\\";  // the tools themselves are not on D:
};

}  // namespace

// Nothing of a tool that cannot be staged is deployed; the staging folder goes and the failure is
// reported with the reason.
TEST_F(DiskFull, DuringExtractionNothingIsDeployed) {
  const uint64_t free = FreeBytes();
  const std::string tool = Pack("Tool01_8101.exe", {Module("Small.txt", "small"), Module("Huge.dat", Noise(free + (4u << 20), 1), 5)}, false, tools);
  Script("267 0\n");
  EXPECT_EQ(RunTool("\"" + tool + "\"", 180000).exitCode, 0u);
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Exe\\Small.txt"));
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Etc\\Huge.dat"));
  std::vector<std::string> left;
  FindNamed("D:\\CVL2000\\Temp", "", left);
  EXPECT_TRUE(std::none_of(left.begin(), left.end(), [](const std::string& p) { return p.find("Tool01_8101") != std::string::npos; }))
      << "the staging folder goes";
  FindNamed("D:\\CVL2000", ".yte", left);  // no partial file of the one-step writer
  for (const std::string& p : left) EXPECT_EQ(p.find(".yte"), std::string::npos) << p;
  EXPECT_TRUE(LogHas(DiskFullText())) << "the run log says the disk is full: " << DiskFullText();
  EXPECT_TRUE(AgentGot("result_code=1"));
  wchar_t value[64] = {};
  ::GetPrivateProfileStringW(L"HISTORY", L"Tool01_8101.exe", L"", value, 64, L"D:\\CVL2000\\Updater.ini");
  EXPECT_EQ(Narrow(value).substr(0, 2), "N,");
  EXPECT_GE(FreeBytes() + (1u << 20), free) << "the space the tool used is given back";
}

// The disk fills up in the middle of the deploy pass: the file deployed before it is rolled back
// to its backup, the one that did not fit leaves nothing.
TEST_F(DiskFull, DuringDeploymentWhatWasDeployedIsRolledBack) {
  ::CopyFileW(Wide(BuildFolder() + "ver_none.dll").c_str(), L"D:\\CVL2000\\Exe\\Main.dll", FALSE);
  const std::string installed = ReadFileBytes("D:\\CVL2000\\Exe\\Main.dll");
  const uint64_t free = FreeBytes();
  // Main.dll (newer) is staged, backed up and deployed first; Zbig.dat is staged, but its copy
  // does not fit beside its staged self.
  const size_t big = static_cast<size_t>(free / 2 + (2u << 20));
  const std::string tool = Pack("Tool01_8102.exe",
                                {Module("Main.dll", ReadFileBytes(BuildFolder() + "ver_plain.dll")), Module("Zbig.dat", Noise(big, 4), 5)}, false, tools);
  Script("267 0\n");
  EXPECT_EQ(RunTool("\"" + tool + "\"", 180000).exitCode, 0u);
  EXPECT_TRUE(LogHas("[D:\\CVL2000\\Temp\\FX4\\New\\Tool01_8102\\Main.dll] to [D:\\CVL2000\\Exe\\Main.dll] 파일복사"))
      << "Main.dll was deployed before the disk filled up";
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Exe\\Main.dll"), installed) << "rolled back";
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Etc\\Zbig.dat"));
  EXPECT_TRUE(LogHas(DiskFullText()));
  EXPECT_TRUE(AgentGot("result_code=1"));
  wchar_t value[64] = {};
  ::GetPrivateProfileStringW(L"HISTORY", L"Tool01_8102.exe", L"", value, 64, L"D:\\CVL2000\\Updater.ini");
  EXPECT_EQ(Narrow(value).substr(0, 2), "N,");
  EXPECT_GE(FreeBytes() + (1u << 20), free) << "the staged files go";
}
