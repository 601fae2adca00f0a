#include "db/ConnectionEntry.h"

namespace updater {

std::vector<std::string> SybaseAttributes(const TDBConnection_Info& e, bool hostForm) {
  std::vector<std::string> a = {"Delphi=Yes"};
  if (e.EngineName.empty() || (e.CommLinks.empty() && e.HostName.empty())) return a;
  a.push_back("Server=" + e.Server);
  a.push_back("EngineName=" + e.EngineName);
  a.push_back(hostForm ? "Host=" + e.HostName + ":2638" : "CommLinks=" + e.CommLinks);
  for (const char* fixed : {"AutoStop=Yes", "Integrated=No", "Debug=No", "DisableMultiRowFetch=No", "PrefetchBuffer=2M",
                            "PrefetchRows=200"})
    a.push_back(fixed);
  return a;
}

std::vector<std::string> PgAttributes(const TDBConnection_Info& e, int mode) {
  std::vector<std::string> a = {std::string("Driver=") + kPostgreSqlDriver, "Database=cvl2000"};
  switch (mode) {
    case 0: a.insert(a.end(), {"Server=" + e.PgHostIpAddress, "Port=" + e.PgPort}); break;
    case 1: a.insert(a.end(), {"Server=" + e.PgHostName, "Port=" + e.PgPort}); break;
    default: a.insert(a.end(), {"Server=" + e.PgHostIpAddress2, "Port=" + e.PgPort2}); break;
  }
  return a;
}

namespace {

// A value that would end its pair early or start a braced one is sent in braces, so a password or
// a setting holding ";" cannot add attributes of its own; every other value goes as it is.
std::string Value(const std::string& v) {
  if (v.find_first_of(";{}") == std::string::npos && (v.empty() || (v.front() != ' ' && v.back() != ' '))) return v;
  std::string braced = "{";
  for (char c : v) braced += c == '}' ? std::string("}}") : std::string(1, c);
  return braced + "}";
}

std::string Pair(const std::string& attribute) {
  const size_t eq = attribute.find('=');
  return eq == std::string::npos ? attribute : attribute.substr(0, eq + 1) + Value(attribute.substr(eq + 1));
}

}  // namespace

std::string ConnectionString(const std::string& driver, const std::string& user, const std::string& password,
                             const std::vector<std::string>& attributes) {
  std::string s;
  if (!user.empty()) s += "UID=" + Value(user) + ";";
  if (!password.empty()) s += "PWD=" + Value(password) + ";";
  if (!driver.empty()) s += "DRIVER=" + Value(driver) + ";";
  for (const std::string& a : attributes) s += Pair(a) + ";";
  return s;
}

}  // namespace updater
