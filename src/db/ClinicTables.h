#pragma once
// Every statement of the run on the clinic tables PCINFO, TOOLLIST, ModuleSetting, FOPTION and
// HOSINFO, and this PC's identity on the clinic network, looked up once a run.
#include <optional>
#include <string>
#include <vector>

#include "db/TsQuery.h"

namespace updater {

// This PC as the clinic database knows it.
struct PcIdentity {
  std::string computerName;
  std::vector<std::string> hostAddresses;  // in the resolver's order
  std::string registeredIp;                // the first host address with a PCINFO row; empty when none
  std::vector<std::string> pcIds;          // PCID of every PCINFO row of a host address
  std::string FirstHostAddress() const { return hostAddresses.empty() ? std::string{} : hostAddresses.front(); }
};
// The names and addresses from the system, then the registered IP and the PC ids from PCINFO. A
// statement that fails leaves its part empty and is logged: the run goes on without it.
PcIdentity IdentifyThisPc(TtsQuery& query);

// PCINFO
// The first of the addresses that has a PCINFO row; empty when none has.
std::string RegisteredAddress(TtsQuery& query, const std::vector<std::string>& addresses);
std::vector<std::string> PcIdsOf(TtsQuery& query, const std::vector<std::string>& addresses);
// The PCID of the row of one address; empty when there is none.
std::string PcIdOf(TtsQuery& query, const std::string& address);
// EXECCHECK of the address's row: whether this PC may run data tools; none without a row.
std::optional<int32_t> DataToolPermission(TtsQuery& query, const std::string& address);

// ModuleSetting: this PC's "Updated Tool Version" of "CvlChart", updated or inserted.
void RecordToolVersion(TtsQuery& query, const std::string& pcId, const std::string& version);

// TOOLLIST
// Whether TOOLLIST records the data tool as run (EXECHK 'Y').
bool DataToolHasRun(TtsQuery& query, const std::string& fileName);
// TOOLNAME (wantName) or VERSION of the newest VEROZ4/VEROZ5 data tool; empty when none.
std::string LatestDataTool(TtsQuery& query, bool executedOnly, bool wantName);
bool DataToolRegistered(TtsQuery& query, const std::string& name, const std::string& version);
// A new row, not yet run (EXECHK 'N'), dated today.
void RegisterDataTool(TtsQuery& query, const std::string& name, const std::string& version);

// FOPTION: the PC meant to run the Tindle agent, and whether the clinic uses Tindle.
std::string TindleAgentPc(TtsQuery& query);
bool TindleInUse(TtsQuery& query);

// HOSINFO: the institution numbers, in order.
std::vector<std::string> InstitutionNumbers(TtsQuery& query);
// The machine that runs the SQL Anywhere server; empty when no row.
std::string DatabaseMachineName(TtsQuery& query);

}  // namespace updater
