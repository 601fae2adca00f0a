#include "core/ClientFolders.h"

#include <array>
#include <shlobj.h>

#include "core/PathText.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace updater {
namespace {

constexpr std::array<std::string_view, kSubFolderCount> kSubFolders = {
    "직접지정", "Halvek", "Campaign", "Drg", "eSign", "Etc", "Exe", "Graphic", "Image", "Live",
    "Windra", "Log", "Manual\\Update", "Brisko", "Plumet", "Tool", "Etc\\Tindle", "DotNetUtils",
    "Etc\\Vessany", "Etc\\Gorvane", "Lumora", "Marlen", "Chart", "Manual\\Update\\ChartManual",
    "Etc\\신이미지", "Etc\\Corvel메세지서버(New)", "Plumet+", "Truvial", "Mobile", "LumoraUpdate",
    "Tindle", "CommLib", "NarcoticEnc", "TXEditor", "Exe\\DLL", "CheckUp", "TXHIE", "NewEMR"};

constexpr std::array<std::string_view, 4> kRootCandidates = {"D:\\CVL2000", "C:\\CVL2000", "E:\\CVL2000",
                                                             "F:\\CVL2000"};

std::string Join(std::string_view folder, std::string_view part) { return WithTrailingBackslash(std::string(folder) + std::string(part)); }

// One level only: the parent is the install root, which the client product owns.
std::string CreatedOrFallback(std::string_view part) {
  const std::string folder = Join(InstallRoot(), part);
  if (FolderExists(folder)) return folder;
  if (::CreateDirectoryW(Wide(folder).c_str(), nullptr) || FolderExists(folder)) return folder;
  return "C:\\";
}

}  // namespace

std::string_view SubFolderEntry(int index) {
  return index >= 0 && index < kSubFolderCount ? kSubFolders[static_cast<size_t>(index)] : std::string_view{};
}

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
  wchar_t buf[MAX_PATH] = {};
  std::string base;
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILESX86, nullptr, SHGFP_TYPE_CURRENT, buf))) base = Narrow(buf);
  std::string folder = WithTrailingBackslash(base, false);
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
  return ::CreateDirectoryW(Wide(trimmed).c_str(), nullptr) || FolderExists(trimmed);
}

PathAnswer TargetPath(const ItemPlace& item) {
  std::string folder;
  const bool inTable = item.subFolderIndex >= 0 && item.subFolderIndex < kSubFolderCount;
  switch (item.baseKind) {
    case 0:
      // Without a folder the name alone would land in the current directory.
      if (Trim(item.itemPath).empty()) return {};
      folder = WithTrailingBackslash(item.itemPath);
      break;
    case 1:
      // An index outside the table would read past it: such an item goes nowhere.
      if (!inTable) return {};
      folder = Join(InstallRoot(), item.subFolderIndex != 0 ? SubFolderEntry(item.subFolderIndex) : item.itemPath);
      break;
    case 2:
      if (!FolderExists(QuorixRoot())) return {};
      break;
    default:
      break;
  }
  // Without a target folder (Quorix root, Exe folder) the folder and file conditions cannot hold.
  if (folder.empty() && (item.copyType == 5 || item.copyType == 6 || item.copyType == 8)) return {};
  switch (item.copyType) {
    case 5: {
      const bool webViewLoader = folder.find("eSign\\runtimes\\win-x86\\native") != std::string::npos &&
                                 item.fileName.find("WebView2Loader.dll") != std::string::npos;
      if (!FolderExists(webViewLoader ? ESignFolder() : folder)) return {};
      break;
    }
    case 6:
      if (!FolderExists(folder)) return {};
      break;
    case 8:
      if (!FileExists(folder + item.fileName)) return {};
      break;
    default:
      break;
  }
  switch (item.baseKind) {
    case 0:
    case 1:
      return {true, folder + item.fileName};
    case 2: {
      const std::string quorix = QuorixRoot();
      if (!FolderExists(quorix)) return {false, quorix};
      return {true, WithTrailingBackslash(quorix) + item.fileName};
    }
    default:
      return {true, ExeFolder() + item.fileName};
  }
}

BackupAnswer BackupAndTarget(const ItemPlace& item) {
  const std::string root = BackupRoot();
  switch (item.baseKind) {
    case 0:
      if (Trim(item.itemPath).empty()) return {false, root, {}};
      return {true, Join(root, "Specific"), WithTrailingBackslash(item.itemPath) + item.fileName};
    case 1:
      if (item.subFolderIndex < 0 || item.subFolderIndex >= kSubFolderCount) return {false, root, {}};
      if (item.subFolderIndex != 0) {
        const std::string_view entry = SubFolderEntry(item.subFolderIndex);
        return {true, Join(root, entry), Join(InstallRoot(), entry) + item.fileName};
      }
      return {true, Join(TempFolder(), "FX4\\Backup\\CvlSpecific"), Join(InstallRoot(), item.itemPath) + item.fileName};
    case 2: {
      const std::string quorix = QuorixRoot();
      if (!FolderExists(quorix)) return {false, root, quorix};
      return {true, Join(root, "Vantrel"), WithTrailingBackslash(quorix) + item.fileName};
    }
    default:
      return {true, Join(root, "Exe"), ExeFolder() + item.fileName};
  }
}

}  // namespace updater
