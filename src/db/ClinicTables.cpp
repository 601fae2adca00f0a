#include "db/ClinicTables.h"

#include "core/PathText.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "db/Database.h"
#include "db/Dialect.h"
#include "platform/Network.h"

namespace updater {
namespace {

DbmsKind KindOf(const TtsQuery& query) { return query.Db().Kind; }

}  // namespace

PcIdentity IdentifyThisPc(TtsQuery& query) {
  PcIdentity pc;
  pc.computerName = ComputerName();
  pc.hostAddresses = HostAddresses();
  // The gate found the database a moment ago; should it fail now, the run goes on without the
  // registered IP (no data tool is then started), and the log says why.
  try {
    pc.registeredIp = RegisteredAddress(query, pc.hostAddresses);
  } catch (const std::exception& e) {
    LogLine("    " + BracketedErrorText("RegisteredLocalAddress", e.what()));
  }
  try {
    pc.pcIds = PcIdsOf(query, pc.hostAddresses);
  } catch (const std::exception& e) {
    LogLine("    " + BracketedErrorText("PcIds", e.what()));
  }
  return pc;
}

std::string RegisteredAddress(TtsQuery& query, const std::vector<std::string>& addresses) {
  for (const std::string& address : addresses) {
    query.SQL = {"select * from PCINFO", "where IPADDR = " + QuotedLiteral(address)};
    query.OpenQuery();
    if (!query.Eof()) return address;
  }
  return {};
}

std::vector<std::string> PcIdsOf(TtsQuery& query, const std::vector<std::string>& addresses) {
  std::vector<std::string> ids;
  if (addresses.empty()) return ids;
  query.SQL = {"SELECT PCID FROM PCINFO ", "WHERE "};
  for (size_t i = 0; i < addresses.size(); ++i) query.SQL.push_back((i ? "OR IPADDR = " : "IPADDR = ") + QuotedLiteral(addresses[i]));
  query.OpenQuery();
  for (; !query.Eof(); query.Next()) ids.push_back(query.FieldText(0));
  return ids;
}

std::string PcIdOf(TtsQuery& query, const std::string& address) {
  query.SQL = {"SELECT PCID FROM PCINFO ", "WHERE IPADDR = " + QuotedLiteral(address)};
  query.OpenQuery();
  return query.Eof() ? std::string{} : query.FieldText("PCID");
}

std::optional<int32_t> DataToolPermission(TtsQuery& query, const std::string& address) {
  query.SQL = {"SELECT " + TopClause(1, KindOf(query)) + " EXECCHECK ", "FROM DBA.PCINFO ",
               "WHERE IPADDR = " + QuotedLiteral(address), "ORDER BY EXECCHECK DESC ", LimitClause(1, KindOf(query))};
  query.OpenQuery();
  if (query.Eof()) return std::nullopt;
  return query.FieldInteger("EXECCHECK");
}

void RecordToolVersion(TtsQuery& query, const std::string& pcId, const std::string& version) {
  const std::vector<std::string> where = {"WHERE UserId = " + QuotedLiteral(pcId), "AND Module = " + QuotedLiteral("CvlChart"),
                                          "AND Type = " + QuotedLiteral("Updated Tool Version")};
  query.SQL = {"SELECT * FROM ModuleSetting"};
  query.SQL.insert(query.SQL.end(), where.begin(), where.end());
  query.OpenQuery();
  if (!query.Eof()) {
    query.SQL = {"UPDATE ModuleSetting", "SET", " Value = " + QuotedLiteral(version) + ", ", " ModifiedDateTime = Now()"};
    query.SQL.insert(query.SQL.end(), where.begin(), where.end());
  } else {
    query.SQL = {"INSERT INTO ModuleSetting", "(UserID, Module, Type, Value, ModifiedDateTime)", "VALUES", "(",
                 QuotedLiteral(pcId) + ", ", QuotedLiteral("CvlChart") + ", ", QuotedLiteral("Updated Tool Version") + ", ",
                 QuotedLiteral(version) + ", ", "Now()", ")"};
  }
  query.ExecQuery();
}

bool DataToolHasRun(TtsQuery& query, const std::string& fileName) {
  if (Trim(fileName).empty()) return false;
  query.SQL = {"select coalesce(EXECHK, " + QuotedLiteral("N") + ") as EXECHK ", "from TOOLLIST ",
               "where TOOLNAME = " + QuotedLiteral(fileName), "and EXECHK = " + QuotedLiteral("Y")};
  query.OpenQuery();
  return !query.Eof() && query.FieldText(0) == "Y";
}

std::string LatestDataTool(TtsQuery& query, bool executedOnly, bool wantName) {
  query.SQL = {"select " + TopClause(1, KindOf(query)) + " TOOLNAME, VERSION from TOOLLIST ",
               "where (upper(substring(TOOLNAME, 1, 6)) = " + QuotedLiteral("VEROZ4") + " ",
               "or upper(substring(TOOLNAME, 1, 6)) = " + QuotedLiteral("VEROZ5") + ") "};
  if (executedOnly) query.SQL.push_back("and (upper(EXECHK) = " + QuotedLiteral("Y") + ") ");
  query.SQL.push_back("order by VERSION desc ");
  query.SQL.push_back(LimitClause(1, KindOf(query)));
  query.OpenQuery();
  if (query.Eof()) return {};
  return query.FieldText(wantName ? "TOOLNAME" : "VERSION");
}

bool DataToolRegistered(TtsQuery& query, const std::string& name, const std::string& version) {
  query.SQL = {"SELECT * FROM TOOLLIST ", "WHERE TOOLNAME = " + QuotedLiteral(name), "AND VERSION = " + QuotedLiteral(version)};
  query.OpenQuery();
  return !query.Eof();
}

void RegisterDataTool(TtsQuery& query, const std::string& name, const std::string& version) {
  query.SQL = {"INSERT INTO TOOLLIST(TOOLNAME, VERSION, EXECHK, TOOLDATE) ",
               "VALUES ( " + QuotedLiteral(name) + ", " + QuotedLiteral(version) + ", " + QuotedLiteral("N") + ", " +
                   CurrentDateKeyword(KindOf(query)) + "); "};
  query.ExecQuery();
}

std::string TindleAgentPc(TtsQuery& query) {
  query.SQL = {"SELECT SETUPVALUE FROM FOPTION ", "WHERE SETUPSECT = " + QuotedLiteral("TINDLE AGENT RUNNING PC")};
  query.OpenQuery();
  return query.Eof() ? std::string{} : Trim(query.FieldText(0));
}

bool TindleInUse(TtsQuery& query) {
  query.SQL = {"SELECT COUNT(1) FROM FOPTION ",
               "WHERE (SETUPSECT IN (" + QuotedLiteral("USE TINDLE") + ", " + QuotedLiteral("USE TINDLE RSV") + ")) ",
               "AND (SETUPVALUE = " + QuotedLiteral("1") + ") "};
  query.OpenQuery();
  return !query.Eof() && std::stoll(Trim(query.FieldText(0))) > 0;
}

std::vector<std::string> InstitutionNumbers(TtsQuery& query) {
  query.SQL = {"select * from DBA.HOSINFO ", "order by YOYANGNUM; "};
  query.OpenQuery();
  std::vector<std::string> numbers;
  for (; !query.Eof(); query.Next()) numbers.push_back(query.FieldText("YOYANGNUM"));
  return numbers;
}

std::string DatabaseMachineName(TtsQuery& query) {
  query.SQL = {"SELECT PROPERTY('MachineName'); "};
  query.OpenQuery();
  return query.Eof() ? std::string{} : query.FieldText(0);
}

}  // namespace updater
