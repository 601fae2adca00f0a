#include <gtest/gtest.h>

#include "core/ClientFolders.h"
#include "core/RunState.h"
#include "env/Housekeeping.h"
#include "Harness.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {
class Housekeeping : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders("D:\\CVL2000\\Exe");
  }
  CleanInstallRoots clean;
  RunState run;
};
bool StartsWithDot(const FolderEntry& e) { return e.name.starts_with('.'); }
}  // namespace

TEST_F(Housekeeping, OldToolsOutsideTheKeepWindowAreDeleted) {
  const std::string folder = FennixUpdateFolder(false);
  RemoveTree(folder.substr(0, folder.size() - 1));
  MakeFolders(folder);
  ::WritePrivateProfileStringW(L"LATESTTOOL", L"RUNVER", L"6.0.2.80", L"D:\\CVL2000\\Updater.ini");  // R = 60280
  for (const char* name : {"Ruve01_60249.exe", "Ruve01_60250.exe", "Ruve01_60280.exe", "Ruve01_beta.exe", "Tool08_1.exe"})
    WriteFileBytes(folder + name, "x");
  DeleteOldTools(false);
  EXPECT_FALSE(FileExists(folder + "Ruve01_60249.exe"));  // R - 31
  EXPECT_TRUE(FileExists(folder + "Ruve01_60250.exe"));   // R - 30
  EXPECT_TRUE(FileExists(folder + "Ruve01_60280.exe"));
  EXPECT_TRUE(FileExists(folder + "Ruve01_beta.exe"));
  EXPECT_TRUE(FileExists(folder + "Tool08_1.exe"));
  EXPECT_TRUE(RunLogHas("[오래된 툴 파일 삭제] " + folder + "Ruve01_60249.exe"));
  RemoveTree(folder.substr(0, folder.size() - 1));
}

TEST_F(Housekeeping, SweepAndBusyFileRename) {
  WriteFileBytes("D:\\CVL2000\\Exe\\Main_20250724_101530.yte", "x");
  WriteFileBytes("D:\\CVL2000\\Exe\\keep.dll", "x");
  ::SetFileAttributesW(L"D:\\CVL2000\\Exe\\Main_20250724_101530.yte", FILE_ATTRIBUTE_READONLY);
  SweepTemporaryFiles("D:\\CVL2000\\Exe", run.FailureList);
  EXPECT_TRUE(NoTemporaryFiles("D:\\CVL2000\\Exe"));
  EXPECT_TRUE(FileExists("D:\\CVL2000\\Exe\\keep.dll"));
  EXPECT_TRUE(RunLogHas("[임시파일삭제] D:\\CVL2000\\Exe\\Main_20250724_101530.yte"));

  WriteFileBytes("D:\\CVL2000\\Exe\\Main.dll", "busy");
  FakeClock clock;
  const std::string renamed = RenameBusyFile("D:\\CVL2000\\Exe\\Main.dll", clock);
  EXPECT_EQ(renamed, "D:\\CVL2000\\Exe\\Main_20250724_140509.yte");
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Exe\\Main.dll"));
  EXPECT_EQ(ReadFileBytes(renamed), "busy");
}

// The machine-wide Path, set by a test and put back as it was afterwards.
class MachinePath {
 public:
  MachinePath() {
    ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                    KEY_READ | KEY_WRITE, key_.Put());
    saved_ = Get(&type_);
  }
  ~MachinePath() { Set(saved_, type_ == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ); }
  void Set(const std::wstring& value, DWORD type = REG_EXPAND_SZ) {
    ::RegSetValueExW(key_.Get(), L"Path", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  std::wstring Get(DWORD* type = nullptr) {
    DWORD t = 0, size = 0;
    ::RegQueryValueExW(key_.Get(), L"Path", nullptr, &t, nullptr, &size);
    std::wstring value(size / 2 + 1, L'\0');
    ::RegQueryValueExW(key_.Get(), L"Path", nullptr, &t, reinterpret_cast<BYTE*>(value.data()), &size);
    if (type) *type = t;
    value.resize(wcslen(value.c_str()));
    return value;
  }

 private:
  RegKey key_;
  std::wstring saved_;
  DWORD type_ = REG_EXPAND_SZ;
};

TEST_F(Housekeeping, SearchPathUsesASubstringTestAndStaysExpandable) {
  MachinePath path;
  path.Set(L"%SystemRoot%\\system32;D:\\CVL2000\\Exe\\DLL");
  AddSearchPathEntries();
  DWORD type = 0;
  const std::wstring value = path.Get(&type);
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  // Exe is "in" Path already through Exe\DLL; CommLib and Tool are appended.
  EXPECT_EQ(Narrow(value), "%SystemRoot%\\system32;D:\\CVL2000\\Exe\\DLL;D:\\CVL2000\\CommLib;D:\\CVL2000\\Tool");
}

TEST_F(Housekeeping, ListingAndFolderRemoval) {
  MakeFolders("D:\\CVL2000\\Temp\\FX4\\New\\T\\sub");
  MakeFolders("D:\\CVL2000\\Temp\\FX4\\New\\T\\.hidden");
  WriteFileBytes("D:\\CVL2000\\Temp\\FX4\\New\\T\\a.dll", "a");
  WriteFileBytes("D:\\CVL2000\\Temp\\FX4\\New\\T\\sub\\b.dll", "b");
  WriteFileBytes("D:\\CVL2000\\Temp\\FX4\\New\\T\\.keep", "k");
  std::vector<std::string> list;
  ListFilesInto("D:\\CVL2000\\Temp\\FX4\\New\\T", "*.dll", {.recurse = true}, list);
  EXPECT_EQ(list.size(), 2u);

  DeleteTree("D:\\CVL2000\\Temp\\", true, StartsWithDot);
  EXPECT_TRUE(FolderExists("D:\\CVL2000\\Temp"));  // the Temp folder itself stays
  EXPECT_TRUE(FileExists("D:\\CVL2000\\Temp\\FX4\\New\\T\\.keep"));  // names beginning with "." are passed over
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Temp\\FX4\\New\\T\\a.dll"));
  EXPECT_FALSE(FolderExists("D:\\CVL2000\\Temp\\FX4\\New\\T\\sub"));

  MakeFolders("D:\\CVL2000\\CommLib\\Chromium\\x\\y");
  WriteFileBytes("D:\\CVL2000\\CommLib\\Chromium\\x\\y\\z.pak", "z");
  RemoveFolderTree("D:\\CVL2000\\CommLib\\Chromium");
  EXPECT_FALSE(FolderExists("D:\\CVL2000\\CommLib\\Chromium"));
}

TEST_F(Housekeeping, ALongPathIsReadWholeAndNotExtendedAgain) {
  MachinePath path;
  std::wstring test = L"%SystemRoot%\\system32";
  while (test.size() < 3000) test += L";C:\\Program Files\\Some Vendor\\Some Product\\bin";
  test += L";D:\\CVL2000\\CommLib;D:\\CVL2000\\Exe;D:\\CVL2000\\Tool";
  path.Set(test);
  const std::optional<std::string> read = ReadEnvironmentValue("Path");
  ASSERT_TRUE(read);
  EXPECT_GT(read->size(), 3000u);
  AddSearchPathEntries();
  EXPECT_EQ(path.Get(), test);  // every entry was there: nothing appended
}

// A junction inside a tree points outside it: deleting or listing the tree never reaches through.
TEST_F(Housekeeping, WalkersNeverEnterAJunction) {
  MakeFolders("D:\\outside");
  WriteFileBytes("D:\\outside\\precious.txt", "keep");
  MakeFolders("D:\\CVL2000\\CommLib\\Chromium\\sub");
  WriteFileBytes("D:\\CVL2000\\CommLib\\Chromium\\sub\\a.pak", "a");
  const std::wstring link = L"D:\\CVL2000\\CommLib\\Chromium\\link";
  if (!::CreateSymbolicLinkW(link.c_str(), L"D:\\outside", SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      !(::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "this file system makes no directory links (error " << ::GetLastError() << ")";
  MakeFolders("D:\\CVL2000\\Temp\\FX4\\New\\T");
  ::CreateSymbolicLinkW(L"D:\\CVL2000\\Temp\\FX4\\New\\T\\link", L"D:\\outside", SYMBOLIC_LINK_FLAG_DIRECTORY);
  ::CreateSymbolicLinkW(L"D:\\outside\\loop", L"D:\\outside", SYMBOLIC_LINK_FLAG_DIRECTORY);

  std::vector<std::string> list;
  ListFilesInto("D:\\CVL2000\\CommLib", "*.*", {.recurse = true}, list);
  EXPECT_EQ(list, std::vector<std::string>{"D:\\CVL2000\\CommLib\\Chromium\\sub\\a.pak"});
  list.clear();
  ListFilesInto("D:\\outside", "*.*", {.recurse = true}, list);
  EXPECT_EQ(list.size(), 1u);  // the loop is not followed
  RemoveFolderTree("D:\\CVL2000\\CommLib\\Chromium");
  DeleteTree("D:\\CVL2000\\Temp\\", true, StartsWithDot);
  EXPECT_FALSE(FolderExists("D:\\CVL2000\\CommLib\\Chromium"));
  EXPECT_FALSE(FolderExists("D:\\CVL2000\\Temp\\FX4\\New\\T"));
  EXPECT_EQ(ReadFileBytes("D:\\outside\\precious.txt"), "keep");
  ::RemoveDirectoryW(L"D:\\outside\\loop");
  RemoveTree("D:\\outside");
}
