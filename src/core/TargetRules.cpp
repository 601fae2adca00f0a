#include "core/TargetRules.h"

#include <array>

#include "core/PathText.h"

namespace updater {
namespace {

constexpr std::array<std::string_view, kSubFolderCount> kSubFolders = {
    "직접지정", "Halvek", "Campaign", "Drg", "eSign", "Etc", "Exe", "Graphic", "Image", "Live",
    "Windra", "Log", "Manual\\Update", "Brisko", "Plumet", "Tool", "Etc\\Tindle", "DotNetUtils",
    "Etc\\Vessany", "Etc\\Gorvane", "Lumora", "Marlen", "Chart", "Manual\\Update\\ChartManual",
    "Etc\\신이미지", "Etc\\Corvel메세지서버(New)", "Plumet+", "Truvial", "Mobile", "LumoraUpdate",
    "Tindle", "CommLib", "NarcoticEnc", "TXEditor", "Exe\\DLL", "CheckUp", "TXHIE", "NewEMR"};

std::string Join(std::string_view folder, std::string_view part) { return WithTrailingBackslash(std::string(folder) + std::string(part)); }

}  // namespace

std::string_view SubFolderEntry(int index) {
  return index >= 0 && index < kSubFolderCount ? kSubFolders[static_cast<size_t>(index)] : std::string_view{};
}

PathAnswer TargetPath(const ItemPlace& item, const ClientView& pc) {
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
      folder = Join(pc.InstallRoot(), item.subFolderIndex != 0 ? SubFolderEntry(item.subFolderIndex) : item.itemPath);
      break;
    case 2:
      if (!pc.FolderExists(pc.QuorixRoot())) return {};
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
      if (!pc.FolderExists(webViewLoader ? Join(pc.InstallRoot(), "eSign") : folder)) return {};
      break;
    }
    case 6:
      if (!pc.FolderExists(folder)) return {};
      break;
    case 8:
      if (!pc.FileExists(folder + item.fileName)) return {};
      break;
    default:
      break;
  }
  switch (item.baseKind) {
    case 0:
    case 1:
      return {true, folder + item.fileName};
    case 2: {
      const std::string quorix = pc.QuorixRoot();
      if (!pc.FolderExists(quorix)) return {false, quorix};
      return {true, WithTrailingBackslash(quorix) + item.fileName};
    }
    default:
      return {true, Join(pc.InstallRoot(), "Exe") + item.fileName};
  }
}

BackupAnswer BackupAndTarget(const ItemPlace& item, const ClientView& pc) {
  const std::string root = pc.TempFolder() + "FX4\\Backup\\";
  switch (item.baseKind) {
    case 0:
      if (Trim(item.itemPath).empty()) return {false, root, {}};
      return {true, Join(root, "Specific"), WithTrailingBackslash(item.itemPath) + item.fileName};
    case 1:
      if (item.subFolderIndex < 0 || item.subFolderIndex >= kSubFolderCount) return {false, root, {}};
      if (item.subFolderIndex != 0) {
        const std::string_view entry = SubFolderEntry(item.subFolderIndex);
        return {true, Join(root, entry), Join(pc.InstallRoot(), entry) + item.fileName};
      }
      return {true, Join(pc.TempFolder(), "FX4\\Backup\\CvlSpecific"), Join(pc.InstallRoot(), item.itemPath) + item.fileName};
    case 2: {
      const std::string quorix = pc.QuorixRoot();
      if (!pc.FolderExists(quorix)) return {false, root, quorix};
      return {true, Join(root, "Vantrel"), WithTrailingBackslash(quorix) + item.fileName};
    }
    default:
      return {true, Join(root, "Exe"), Join(pc.InstallRoot(), "Exe") + item.fileName};
  }
}

}  // namespace updater
