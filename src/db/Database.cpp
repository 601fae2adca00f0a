#include "db/Database.h"

#include <algorithm>

#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "db/EngineDetection.h"
#include "db/Odbc.h"
#include "platform/FileSystem.h"
#include "platform/Settings.h"
#include "platform/Text.h"


namespace updater {
namespace {

constexpr const char* kSection = "Connection Config";

using Decrypt = bool(__stdcall*)(const char* key, const char* iv, const char* input, char* output);

}  // namespace

std::string DbServerIniPath() { return InstallRoot() + "DBServer.ini"; }

DbSettings ReadDbSettings() {
  DbSettings s;
  const std::string ini = DbServerIniPath();
  if (!FileExists(ini)) return s;
  auto read = [&](const char* key, std::string& value) { value = ReadIniString(ini, kSection, key, value); };
  read("EngineName", s.EngineName);
  read("CommLinks", s.CommLinks);
  read("HostName", s.HostName);
  read("PGHostIpAddress", s.PgHostIpAddress);
  read("PGHostIpAddress2", s.PgHostIpAddress2);
  read("PGHostName", s.PgHostName);
  read("PGPort", s.PgPort);
  read("PGPort2", s.PgPort2);
  return s;
}

DbmsKind ReadDbmsKind() {
  if (!FileExists(DbServerIniPath())) return DbmsKind::SqlAnywhere;
  return ToUpperAscii(ReadIniString(DbServerIniPath(), kSection, "DBMSKind", "SYBASE")) == "SYBASE" ? DbmsKind::SqlAnywhere
                                                                                                   : DbmsKind::PostgreSql;
}

bool WriteDbmsKind(const std::string& value) {
  if (!FileExists(DbServerIniPath())) return false;
  const std::string missing = "\x01missing";
  const std::string current = ReadIniString(DbServerIniPath(), kSection, "DBMSKind", missing);
  if (current != missing && ToUpperAscii(current) == value) return true;
  return WriteIniString(DbServerIniPath(), kSection, "DBMSKind", value);
}

bool IsServerInfoProgram(const std::string& executablePath) {
  return EqualsIgnoreCase(FileNamePart(executablePath), "Pellan.exe");
}

Database::Database(Ui& ui, Clock& clock, bool swallowFailedStatements)
    : ui(ui),
      clock(clock),
      SwallowFailedStatements(swallowFailedStatements),
      StatementTimeoutSeconds(kStatementTimeoutSeconds),
      ConnectedState(SystemConnectionState) {}

Database::~Database() = default;

void Database::Prepare() {
  errorLog_ = std::make_unique<TLogMan>(clock, "QueryError", true, LogFolder());
  Installed = {};
  Installed64 = {};
  Records = {};
  LastLoginIndex = LastMode = -1;
  Kind = ReadDbmsKind();
  if (Kind == DbmsKind::SqlAnywhere) DetectInstalledEngines(Installed, Installed64);
}

void Database::RecordLastConnection() const {
  // The profile functions make DBServer.ini when it is missing.
  auto integer = [](const std::string& key) {
    const std::string text = Trim(ReadIniString(DbServerIniPath(), kSection, key, "0"));
    try {
      return std::stoi(text);
    } catch (const std::exception&) {
      return 0;
    }
  };
  if (LastMode != -1 && integer("DBMSConnPriorityLastConnectedIndex") != LastMode)
    WriteIniString(DbServerIniPath(), kSection, "DBMSConnPriorityLastConnectedIndex", std::to_string(LastMode));
  if (LastLoginIndex != -1 && integer("DBMSLastConnectedLogInInfoIndex") != LastLoginIndex)
    WriteIniString(DbServerIniPath(), kSection, "DBMSLastConnectedLogInInfoIndex", std::to_string(LastLoginIndex));
}

std::string Database::DecryptColumnText(const std::string& text) {
  // A missing DLL says so each time it is needed.
  if (!crypto_) {
    if (!crypto_.Load("CVLCrypto.dll")) crypto_.Load(ExeFolder() + "CVLCrypto.dll");
    if (!crypto_) {
      ui.Information("CVLCrypto DLL 로드 실패");
      return {};
    }
  }
  const auto decrypt = crypto_.Export<Decrypt>("CVLDecryptAES256");
  if (!decrypt) return {};
  std::string output(4097, '\0');
  if (!decrypt(kColumnKey, kColumnIv, ToAnsi(text).c_str(), output.data())) return {};
  output.resize(std::min<size_t>(output.find('\0'), 4097));
  return Trim(FromAnsi(output));
}

}  // namespace updater
