// Installed SQL Anywhere versions from the uninstall entries of both registry views, and a running
// network server by its process name and main window title.
#include <gtest/gtest.h>

#include "db/Database.h"
#include "Harness.h"
#include "db/DbProvider.h"
#include "db/EngineDetection.h"
#include "platform/Handles.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct Entry {
  std::wstring name;
  REGSAM view;
  Entry(std::wstring keyName, const wchar_t* displayName, REGSAM v) : name(std::move(keyName)), view(v) {
    RegKey key;
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kUninstall + name).c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, key.Put(), nullptr);
    ::RegSetValueExW(key.Get(), L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(displayName),
                     static_cast<DWORD>((wcslen(displayName) + 1) * sizeof(wchar_t)));
  }
  ~Entry() { ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (kUninstall + name).c_str(), view, 0); }
};

}  // namespace

TEST(EngineDetection, VersionsFromTheUninstallEntries) {
  struct Row {
    const char* what;
    std::vector<std::tuple<std::wstring, const wchar_t*, REGSAM>> entries;
    std::array<bool, 2> installed, installed64;
  };
  const Row rows[] = {
      {"a deployment in any case with blanks around", {{L"{A1}", L"  sql anywhere 17 Deployment ", KEY_WOW64_32KEY}}, {false, true}, {false, false}},
      {"the plain product name", {{L"{A2}", L"SQL Anywhere 12", KEY_WOW64_32KEY}}, {true, false}, {false, false}},
      {"a client only", {{L"{A3}", L"SQL Anywhere 17 Client", KEY_WOW64_32KEY}}, {false, false}, {false, false}},
      {"a key not in braces", {{L"SQLA17", L"SQL Anywhere 17", KEY_WOW64_32KEY}}, {false, false}, {false, false}},
      {"a 64-bit deployment in the 64-bit view only", {{L"{A4}", L"SQL Anywhere 12 Deployment_64bit", KEY_WOW64_64KEY}}, {true, false}, {true, false}},
      {"a 64-bit name in the 32-bit view does not count", {{L"{A5}", L"SQL Anywhere 17 Deployment_64bit", KEY_WOW64_32KEY}}, {false, false}, {false, false}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<std::unique_ptr<Entry>> made;
    for (const auto& [name, display, view] : row.entries) made.push_back(std::make_unique<Entry>(name, display, view));
    ScriptedUi ui;
    FakeClock clock;
    Database db(ui, clock);
    DetectInstalledEngines(db.Installed, db.Installed64);
    EXPECT_EQ(db.Installed, row.installed);
    EXPECT_EQ(db.Installed64, row.installed64);
  }
}

TEST(EngineDetection, ARunningServerByItsWindowTitle) {
  EXPECT_EQ(ServerNameFromTitle("CVL2000 - SQL Anywhere Network Server"), "CVL2000");
  EXPECT_EQ(ServerNameFromTitle(" CVL2000 - sql anywhere network server "), "CVL2000");
  EXPECT_EQ(ServerNameFromTitle("CVL2000 - SQL Anywhere 네트워크 서버"), "CVL2000");
  EXPECT_EQ(FindRunningNetworkServer(), "");
  {
    DummyProcess other("D:\\run\\dbsrv16.exe", "--window \"OLD - SQL Anywhere Network Server\"");
    EXPECT_EQ(FindRunningNetworkServer(), "");  // only 12 and 17 count
  }
  DummyProcess server("D:\\run\\DBSRV17.EXE", "--window \"CVL2000 - SQL Anywhere Network Server\"");
  ASSERT_TRUE(server.Running());
  EXPECT_EQ(FindRunningNetworkServer(), "CVL2000");
}
