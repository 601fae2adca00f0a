#include <gtest/gtest.h>

#include "core/ClientFolders.h"
#include "Harness.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

void SetRegistryString(HKEY root, const wchar_t* key, const wchar_t* name, std::string_view value, REGSAM view = 0) {
  RegKey k;
  ASSERT_EQ(::RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_WRITE | view, nullptr, k.Put(), nullptr), ERROR_SUCCESS);
  const std::wstring v = Wide(value);
  ::RegSetValueExW(k.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                   static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
}

void DeleteRegistryValue(HKEY root, const wchar_t* key, const wchar_t* name, REGSAM view = 0) {
  RegKey k;
  if (::RegOpenKeyExW(root, key, 0, KEY_WRITE | view, k.Put()) == ERROR_SUCCESS) ::RegDeleteValueW(k.Get(), name);
}

class ClientFolders : public ::testing::Test {
 protected:
  CleanInstallRoots clean;
};

}  // namespace

TEST_F(ClientFolders, NoCandidateGivesDriveDAndLogFallsBackToC) {
  EXPECT_EQ(InstallRoot(), "D:\\CVL2000\\");
  EXPECT_EQ(ExeFolder(), "D:\\CVL2000\\Exe\\");
  EXPECT_EQ(ChromiumFolder(), "D:\\CVL2000\\CommLib\\Chromium\\");
  EXPECT_EQ(ManualUpdateFolder(), "D:\\CVL2000\\Manual\\Update\\");
  // The Log folder is made one level deep only; without the root it cannot be.
  EXPECT_EQ(LogFolder(), "C:\\");
  EXPECT_EQ(TempFolder(), "C:\\");
  EXPECT_FALSE(FolderExists("D:\\CVL2000"));
}

TEST_F(ClientFolders, CandidatesAreTriedInTableOrderNotDriveOrder) {
  MakeFolders("E:\\CVL2000");
  EXPECT_EQ(InstallRoot(), "E:\\CVL2000\\");
  MakeFolders("C:\\CVL2000");
  EXPECT_EQ(InstallRoot(), "C:\\CVL2000\\");
  MakeFolders("D:\\CVL2000");
  EXPECT_EQ(InstallRoot(), "D:\\CVL2000\\");
}

TEST_F(ClientFolders, AnEntryOfThatNameIsEnough) {
  WriteFileBytes("F:\\CVL2000", "not a folder");
  EXPECT_EQ(InstallRoot(), "F:\\CVL2000\\");
}

TEST_F(ClientFolders, WorkingFoldersAreCreatedOnUse) {
  MakeFolders("D:\\CVL2000");
  EXPECT_EQ(LogFolder(), "D:\\CVL2000\\Log\\");
  EXPECT_TRUE(FolderExists("D:\\CVL2000\\Log"));
  EXPECT_EQ(BackupRoot(), "D:\\CVL2000\\Temp\\FX4\\Backup\\");
  EXPECT_EQ(StagingFolder("D:\\Down\\Tool01_5521.exe"), "D:\\CVL2000\\Temp\\FX4\\New\\Tool01_5521\\");
  EXPECT_TRUE(FolderExists("D:\\CVL2000\\Temp\\FX4\\New\\Tool01_5521"));
  EXPECT_TRUE(FolderExists("D:\\CVL2000\\Manual\\Update"));
}

TEST_F(ClientFolders, EnsureFolderMakesParentsAndRefusesEmpty) {
  EXPECT_TRUE(EnsureFolder("D:\\CVL2000\\a\\b\\c\\"));
  EXPECT_TRUE(FolderExists("D:\\CVL2000\\a\\b\\c"));
  EXPECT_TRUE(EnsureFolder("D:\\CVL2000\\a"));
  EXPECT_FALSE(EnsureFolder(""));
  WriteFileBytes("D:\\CVL2000\\file", "x");
  EXPECT_FALSE(EnsureFolder("D:\\CVL2000\\file\\sub"));
}

TEST_F(ClientFolders, QuorixRootFromRegistryThenDefault) {
  const wchar_t* key = L"Software\\Vantrel\\Quorix\\Start";
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, L"Path");
  RemoveTree("C:\\Vantrel");
  EXPECT_EQ(QuorixRoot(), "");
  RegKey created;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, created.Put()), ERROR_SUCCESS);  // made by the read

  MakeFolders("C:\\Vantrel\\Quorix");
  EXPECT_EQ(QuorixRoot(), "C:\\Vantrel\\Quorix");
  MakeFolders("E:\\Quorix Data");
  SetRegistryString(HKEY_LOCAL_MACHINE, key, L"Path", "E:\\Quorix Data");
  EXPECT_EQ(QuorixRoot(), "E:\\Quorix Data");  // as found: blanks and no backslash added
  SetRegistryString(HKEY_LOCAL_MACHINE, key, L"Path", "E:\\Gone");
  EXPECT_EQ(QuorixRoot(), "C:\\Vantrel\\Quorix");

  DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, L"Path");
  RemoveTree("C:\\Vantrel");
  RemoveTree("E:\\Quorix Data");
}

TEST_F(ClientFolders, FennixFoldersAndProgramFiles) {
  const wchar_t* key = L"Software\\Tarvex\\Fennix";
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, L"InstallPath", KEY_WOW64_32KEY);
  EXPECT_EQ(FennixInstallFolder(), "");
  MakeFolders("E:\\Fennix");
  SetRegistryString(HKEY_LOCAL_MACHINE, key, L"InstallPath", "E:\\Fennix", KEY_WOW64_32KEY);
  EXPECT_EQ(FennixInstallFolder(), "E:\\Fennix");
  SetRegistryString(HKEY_LOCAL_MACHINE, key, L"InstallPath", "E:\\Missing", KEY_WOW64_32KEY);
  EXPECT_EQ(FennixInstallFolder(), "");
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, L"InstallPath", KEY_WOW64_32KEY);
  RemoveTree("E:\\Fennix");

  const std::string programFiles = ProgramFilesFolder();
  EXPECT_FALSE(programFiles.empty());
  const std::string update01 = FennixUpdateFolder(false), update08 = FennixUpdateFolder(true);
  EXPECT_NE(update01.find("Program Files"), std::string::npos) << update01;  // blanks kept
  EXPECT_EQ(update01.substr(update01.size() - 24), "Tarvex\\Fennix\\Update\\01\\");
  EXPECT_EQ(update08.substr(update08.size() - 24), "Tarvex\\Fennix\\Update\\08\\");
}

TEST_F(ClientFolders, QuorixItemsAreSkippedWithoutTheirRoot) {
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, L"Software\\Vantrel\\Quorix\\Start", L"Path");
  RemoveTree("C:\\Vantrel");
  EXPECT_FALSE(TargetPath(ItemPlace{"Q.dll", 2, 0, "", 0}).ok);
  EXPECT_FALSE(BackupAndTarget(ItemPlace{"Q.dll", 2, 0, "", 0}).ok);
  MakeFolders("C:\\Vantrel\\Quorix");
  EXPECT_EQ(TargetPath(ItemPlace{"Q.dll", 2, 0, "", 0}).path, "C:\\Vantrel\\Quorix\\Q.dll");
  const BackupAnswer b = BackupAndTarget(ItemPlace{"Q.dll", 2, 0, "", 0});
  EXPECT_EQ(b.targetPath, "C:\\Vantrel\\Quorix\\Q.dll");
  RemoveTree("C:\\Vantrel");
}

TEST_F(ClientFolders, BackupFoldersByBaseKind) {
  MakeFolders("D:\\CVL2000");
  BackupAnswer b = BackupAndTarget(ItemPlace{"A.dll", 0, 0, "E:\\Some Where", 0});
  EXPECT_EQ(b.backupFolder, "D:\\CVL2000\\Temp\\FX4\\Backup\\Specific\\");
  EXPECT_EQ(b.targetPath, "E:\\SomeWhere\\A.dll");
  b = BackupAndTarget(ItemPlace{"B.dll", 1, 24, "", 0});
  EXPECT_EQ(b.backupFolder, "D:\\CVL2000\\Temp\\FX4\\Backup\\Etc\\신이미지\\");
  EXPECT_EQ(b.targetPath, "D:\\CVL2000\\Etc\\신이미지\\B.dll");
  b = BackupAndTarget(ItemPlace{"C.dll", 1, 0, "Extra\\Viewer", 0});
  EXPECT_EQ(b.backupFolder, "D:\\CVL2000\\Temp\\FX4\\Backup\\CvlSpecific\\");
  EXPECT_EQ(b.targetPath, "D:\\CVL2000\\Extra\\Viewer\\C.dll");
  b = BackupAndTarget(ItemPlace{"D.dll", 7, 0, "", 0});
  EXPECT_EQ(b.backupFolder, "D:\\CVL2000\\Temp\\FX4\\Backup\\Exe\\");
  EXPECT_EQ(b.targetPath, "D:\\CVL2000\\Exe\\D.dll");
}

// The folder and file conditions of copy types 5, 6 and 8 against every base kind: they hold only
// where the package names a target folder (base kinds 0 and 1); elsewhere they answer false, even
// when the file lies in the process's current folder.
TEST_F(ClientFolders, CopyTypeConditionsAgainstEveryBaseKind) {
  MakeFolders("D:\\CVL2000\\Exe");
  MakeFolders("C:\\Vantrel\\Quorix");
  MakeFolders("D:\\cwd");
  WriteFileBytes("D:\\cwd\\Cond.dll", "in the current folder");
  wchar_t previous[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ::SetCurrentDirectoryW(L"D:\\cwd");
  struct Place { uint8_t baseKind; int index; const char* folder; const char* targetFolder; };
  const Place places[] = {
      {0, 0, "D:\\Abs", "D:\\Abs\\"}, {1, 7, "", "D:\\CVL2000\\Graphic\\"}, {1, 0, "Extra", "D:\\CVL2000\\Extra\\"},
      {2, 0, "", nullptr}, {3, 0, "", nullptr}, {255, 0, "", nullptr}};
  for (const Place& p : places) {
    for (int state = 0; state < 3; ++state) {  // nothing, the folder, the folder and the file
      RemoveTree("D:\\Abs");
      RemoveTree("D:\\CVL2000\\Extra");
      RemoveTree("D:\\CVL2000\\Graphic");
      ::DeleteFileW(L"D:\\CVL2000\\Exe\\Cond.dll");
      ::DeleteFileW(L"C:\\Vantrel\\Quorix\\Cond.dll");
      if (p.targetFolder && state >= 1) MakeFolders(p.targetFolder);
      if (p.targetFolder && state == 2) WriteFileBytes(std::string(p.targetFolder) + "Cond.dll", "installed");
      if (!p.targetFolder && state == 2) {
        WriteFileBytes("D:\\CVL2000\\Exe\\Cond.dll", "installed");
        WriteFileBytes("C:\\Vantrel\\Quorix\\Cond.dll", "installed");
      }
      for (uint8_t type : {0, 5, 6, 8}) {
        bool expected = true;
        if (type == 5 || type == 6) expected = p.targetFolder && state >= 1;
        if (type == 8) expected = p.targetFolder && state == 2;
        EXPECT_EQ(TargetPath(ItemPlace{"Cond.dll", p.baseKind, p.index, p.folder, type}).ok, expected)
            << "base " << int(p.baseKind) << ", index " << p.index << ", state " << state << ", type " << int(type);
      }
    }
  }
  ::SetCurrentDirectoryW(previous);
  RemoveTree("D:\\cwd");
  RemoveTree("D:\\Abs");
  RemoveTree("C:\\Vantrel");
}
