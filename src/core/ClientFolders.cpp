#include "core/ClientFolders.h"

#include <array>

#include "core/PathText.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace updater {
namespace {

constexpr std::array<std::string_view, 4> kRootCandidates = {"D:\\CVL2000", "C:\\CVL2000", "E:\\CVL2000",
                                                             "F:\\CVL2000"};

std::string Join(std::string_view folder, std::string_view part) { return WithTrailingBackslash(std::string(folder) + std::string(part)); }

// One level only: the parent is the install root, which the client product owns.
std::string CreatedOrFallback(std::string_view part) {
  const std::string folder = Join(InstallRoot(), part);
  if (FolderExists(folder)) return folder;
  if (CreateOneFolder(folder) || FolderExists(folder)) return folder;
  return "C:\\";
}

}  // namespace

std::string InstallRoot() {
  for (std::string_view candidate : kRootCandidates)
    if (EntryExists(candidate)) return WithTrailingBackslash(candidate);
  return WithTrailingBackslash(kRootCandidates[0]);
}

std::string ExeFolder() { return Join(InstallRoot(), "Exe"); }
std::string ToolFolder() { return Join(InstallRoot(), "Tool"); }
std::string LogFolder() { return CreatedOrFallback("Log"); }
std::string TempFolder() { return CreatedOrFallback("Temp"); }
std::string EtcFolder() { return Join(InstallRoot(), "Etc"); }
std::string ESignFolder() { return Join(InstallRoot(), "eSign"); }
std::string ManualUpdateFolder() { return Join(Join(InstallRoot(), "Manual"), "Update"); }
std::string CommLibFolder() { return Join(InstallRoot(), "CommLib"); }
std::string ChromiumFolder() { return Join(CommLibFolder(), "Chromium"); }
std::string MobileFolder() { return Join(InstallRoot(), "Mobile"); }
std::string BackupRoot() { return TempFolder() + "FX4\\Backup\\"; }

std::string StagingFolder(std::string_view toolPath) {
  EnsureFolder(ManualUpdateFolder());
  const std::string folder = Join(TempFolder() + "FX4\\New\\", BaseName(toolPath));
  EnsureFolder(folder);
  return folder;
}

std::string QuorixRoot() {
  // Created as a side effect when missing and the user may create it.
  EnsureRegistryKey(HKEY_LOCAL_MACHINE, "Software\\Vantrel\\Quorix\\Start");
  const std::string path = ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Vantrel\\Quorix\\Start", "Path");
  if (!path.empty() && FolderExists(path)) return path;
  if (FolderExists("C:\\Vantrel\\Quorix")) return "C:\\Vantrel\\Quorix";
  return {};
}

std::string FennixInstallFolder() {
  const std::string path = ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Tarvex\\Fennix", "InstallPath", KEY_WOW64_32KEY);
  return !path.empty() && FolderExists(path) ? path : std::string{};
}

std::string ProgramFilesFolder() {
  const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  std::string path = ReadRegistryString(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir (x86)");
  if (path.empty()) path = ReadRegistryString(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir");
  return path;
}

std::string FennixUpdateFolder(bool tool08) {
  std::string folder = WithTrailingBackslash(ProgramFilesX86Folder(), false);
  folder += "Tarvex\\Fennix\\";
  folder += tool08 ? "Update\\08\\" : "Update\\01\\";
  return folder;
}

bool EnsureFolder(std::string_view path) {
  if (path.empty()) return false;
  if (FolderExists(path)) return true;
  const std::string trimmed = WithoutTrailingBackslash(path);
  FolderAndName parts;
  if (SplitAtLastBackslash(trimmed, parts) && parts.folder.size() > 1 && !(parts.folder.size() == 3 && parts.folder[1] == ':'))
    if (!EnsureFolder(parts.folder)) return false;
  return CreateOneFolder(trimmed) || FolderExists(trimmed);
}

namespace {

// This PC, as the rules read it.
class ThisPc final : public ClientView {
 public:
  std::string InstallRoot() const override { return updater::InstallRoot(); }
  std::string TempFolder() const override { return updater::TempFolder(); }
  std::string QuorixRoot() const override { return updater::QuorixRoot(); }
  bool FolderExists(std::string_view path) const override { return updater::FolderExists(path); }
  bool FileExists(std::string_view path) const override { return updater::FileExists(path); }
};

}  // namespace

PathAnswer TargetPath(const ItemPlace& item) { return TargetPath(item, ThisPc()); }
BackupAnswer BackupAndTarget(const ItemPlace& item) { return BackupAndTarget(item, ThisPc()); }

}  // namespace updater
