#pragma once
// TDBConnection_Info, one per login record, and the connection strings built from it: the SQL
// Anywhere attempts (local, remote with CommLinks, remote with the host form) and the three
// PostgreSQL addresses. Pure.
#include <string>
#include <vector>

namespace updater {

struct TDBConnection_Info {
  std::string Driver, UserName, Password;
  std::string Server;  // never filled: "Server=" is always sent empty
  std::string EngineName, CommLinks, HostName;
  std::string PgHostIpAddress, PgHostIpAddress2, PgHostName, PgPort, PgPort2;
};

inline constexpr const char* kPostgreSqlDriver = "PostgreSQL UNICODE";

// The attribute list of a SQL Anywhere attempt; hostForm sends "Host=" + HostName + ":2638" in
// place of the CommLinks entry.
std::vector<std::string> SybaseAttributes(const TDBConnection_Info& entry, bool hostForm);
// The attribute list of a PostgreSQL attempt: mode 0 the first address, 1 the host name, 2 the
// second address with its own port.
std::vector<std::string> PgAttributes(const TDBConnection_Info& entry, int mode);
// "UID=…;PWD=…;DRIVER=…;" then every attribute and ";", each part left out when it is empty.
std::string ConnectionString(const std::string& driver, const std::string& user, const std::string& password,
                             const std::vector<std::string>& attributes);

}  // namespace updater
