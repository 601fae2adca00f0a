// The target rules row by row over a PC of the test's own: which folders and files exist decides.
#include <gtest/gtest.h>

#include <set>

#include "core/PathText.h"
#include "core/TargetRules.h"

namespace updater {
namespace {

class TablePc final : public ClientView {
 public:
  TablePc(std::set<std::string> folders, std::set<std::string> files) : folders_(std::move(folders)), files_(std::move(files)) {}
  std::string InstallRoot() const override { return "D:\\CVL2000\\"; }
  std::string TempFolder() const override { return "D:\\CVL2000\\Temp\\"; }
  std::string QuorixRoot() const override { return quorix; }
  bool FolderExists(std::string_view path) const override { return folders_.count(WithoutTrailingBackslash(path)) > 0; }
  bool FileExists(std::string_view path) const override { return files_.count(std::string(path)) > 0; }
  std::string quorix;

 private:
  std::set<std::string> folders_, files_;
};

TEST(TargetRules, WhereEachItemGoesAndWhenItsConditionHolds) {
  struct Row {
    const char* what;
    ItemPlace item;
    std::set<std::string> folders, files;
    const char* target;  // null: declined
  };
  const Row rows[] = {
      {"a table entry", {"Main.dll", 1, 6, "", 0}, {}, {}, "D:\\CVL2000\\Exe\\Main.dll"},
      {"base kind 0: the folder as written, blanks removed", {"X.dll", 0, 0, "C:\\Program Files\\X", 0}, {}, {},
       "C:\\ProgramFiles\\X\\X.dll"},
      {"type 5 without its folder", {"Viewer.exe", 1, 0, "Extra\\Viewer", 5}, {}, {}, nullptr},
      {"type 5 with its folder", {"Viewer.exe", 1, 0, "Extra\\Viewer", 5}, {"D:\\CVL2000\\Extra\\Viewer"}, {},
       "D:\\CVL2000\\Extra\\Viewer\\Viewer.exe"},
      {"the WebView2 loader without the eSign folder", {"WebView2Loader.dll", 1, 0, "eSign\\runtimes\\win-x86\\native", 5}, {}, {},
       nullptr},
      {"the WebView2 loader needs only the eSign folder", {"WebView2Loader.dll", 1, 0, "eSign\\runtimes\\win-x86\\native", 5},
       {"D:\\CVL2000\\eSign"}, {}, "D:\\CVL2000\\eSign\\runtimes\\win-x86\\native\\WebView2Loader.dll"},
      {"type 6 without CheckUp", {"Setup.exe", 1, 35, "", 6}, {}, {}, nullptr},
      {"type 8 without the file", {"Only.dll", 1, 6, "", 8}, {}, {}, nullptr},
      {"type 8 over the file", {"Only.dll", 1, 6, "", 8}, {}, {"D:\\CVL2000\\Exe\\Only.dll"}, "D:\\CVL2000\\Exe\\Only.dll"},
      {"any other base kind: the Exe folder", {"Other.dll", 9, 0, "", 0}, {}, {}, "D:\\CVL2000\\Exe\\Other.dll"},
      {"an index past the table", {"A.dll", 1, 38, "", 0}, {}, {}, nullptr},
      {"a negative index", {"A.dll", 1, -1, "", 0}, {}, {}, nullptr},
      {"base kind 0 with a blank folder", {"A.dll", 0, 0, " ", 0}, {}, {}, nullptr},
      {"the Quorix root unknown", {"Q.dll", 2, 0, "", 0}, {}, {}, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const TablePc pc(row.folders, row.files);
    const PathAnswer a = TargetPath(row.item, pc);
    EXPECT_EQ(a.ok, row.target != nullptr);
    EXPECT_EQ(a.path, row.target ? row.target : "");
  }
}

TEST(TargetRules, NoBackupPlaceForAnItemThatGoesNowhere) {
  const TablePc pc({}, {});
  EXPECT_FALSE(BackupAndTarget(ItemPlace{"A.dll", 1, 99, "", 0}, pc).ok);
  EXPECT_FALSE(BackupAndTarget(ItemPlace{"A.dll", 0, 0, "", 0}, pc).ok);
  const BackupAnswer b = BackupAndTarget(ItemPlace{"Main.dll", 1, 6, "", 0}, pc);
  EXPECT_TRUE(b.ok);
  EXPECT_EQ(b.targetPath, "D:\\CVL2000\\Exe\\Main.dll");
}

}  // namespace
}  // namespace updater
