// Stands in for a data tool (VEROZnnnn.exe), an installer or any program the tool starts: appends
// its command line (UTF-8) to <own path>.log (and to UPDATER_STARTED_LOG when set), then does what
// <own path>.script (else UPDATER_DATATOOL_SCRIPT) says, one word a line:
//   mark     marks itself run in TOOLLIST (EXECHK 'Y') through ODBC, with the test server's login
//   exit N   ends with code N (after the rest)
// Without a script it only records and ends with 0. Once its script is done it appends its command
// line to UPDATER_ENDED_LOG when set, so that a test can wait for a program it did not start itself
// to have done all it does. With "--host-addresses" it prints this PC's addresses as the update tool
// finds them, and ends.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "db/ConnectionEntry.h"
#include "db/Dialect.h"
#include "db/Odbc.h"
#include "platform/Network.h"
#include "platform/Text.h"

namespace {

std::string Environment(const wchar_t* name) {
  wchar_t value[512] = {};
  return ::GetEnvironmentVariableW(name, value, 512) ? updater::Narrow(value) : std::string{};
}

void Mark(const std::string& toolName) {
  using namespace updater;
  OdbcEnvironment env;
  OdbcConnection c(env);
  c.Connect(ConnectionString(kPostgreSqlDriver, Environment(L"UPDATER_PGUSER"), Environment(L"UPDATER_PGPASSWORD"),
                             {std::string("Driver=") + kPostgreSqlDriver, "Database=cvl2000", "Server=127.0.0.1",
                              "Port=" + Environment(L"UPDATER_PGPORT")}),
            5);
  const OdbcResult rows = ExecuteStatement(c, "SELECT TOOLNAME FROM TOOLLIST WHERE TOOLNAME = " + QuotedLiteral(toolName));
  if (rows.Eof())
    ExecuteStatement(c, "INSERT INTO TOOLLIST (TOOLNAME, VERSION, EXECHK, TOOLDATE) VALUES (" + QuotedLiteral(toolName) +
                            ", '0.0.0.0', 'Y', CURRENT_DATE)");
  else
    ExecuteStatement(c, "UPDATE TOOLLIST SET EXECHK = 'Y' WHERE TOOLNAME = " + QuotedLiteral(toolName));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // "--host-addresses": this PC's addresses as the program finds them (for a sample clinic's PCINFO).
  if (argc > 1 && std::wstring(argv[1]) == L"--host-addresses") {
    for (const std::string& address : updater::HostAddresses()) std::printf("%s\n", address.c_str());
    return 0;
  }
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::string self = updater::Narrow(path);
  // Beside itself, and where UPDATER_STARTED_LOG says (a copy in a staging folder goes with it).
  for (const std::string& path : {self + ".log", Environment(L"UPDATER_STARTED_LOG")}) {
    if (path.empty()) continue;
    std::ofstream log(std::filesystem::path(updater::Wide(path)), std::ios::app | std::ios::binary);
    log << updater::Narrow(::GetCommandLineW()) << "\n";
  }
  int code = 0;
  // The script beside it, else UPDATER_DATATOOL_SCRIPT (a file beside it would itself look like a
  // data tool of the same number to the tool's pre-scan).
  std::ifstream file(std::filesystem::path(updater::Wide(self + ".script")));
  std::stringstream script;
  if (file) script << file.rdbuf();
  else script << Environment(L"UPDATER_DATATOOL_SCRIPT");
  for (std::string line; std::getline(script, line);) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    try {
      if (word == "mark") Mark(self.substr(self.rfind('\\') + 1));
      if (word == "exit") words >> code;
    } catch (const std::exception& e) {
      std::ofstream(std::filesystem::path(updater::Wide(self + ".log")), std::ios::app | std::ios::binary) << "error: " << e.what() << "\n";
      code = 99;
      break;
    }
  }
  if (const std::string ended = Environment(L"UPDATER_ENDED_LOG"); !ended.empty())
    std::ofstream(std::filesystem::path(updater::Wide(ended)), std::ios::app | std::ios::binary) << updater::Narrow(::GetCommandLineW()) << "\n";
  return code;
}
