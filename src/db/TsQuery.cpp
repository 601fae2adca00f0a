#include "db/TsQuery.h"

#include <algorithm>
#include <stdexcept>

#include "core/ClientFolders.h"
#include "core/LogMan.h"
#include "core/PathText.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace updater {
namespace {

// The shared part of every query object: created with the first, freed with the last.
struct Shared {
  Ui* ui = nullptr;
  Clock* clock = nullptr;
  std::vector<TtsQuery*> queries;
  std::unique_ptr<TDbProvider> provider;
  std::unique_ptr<DbConnection> connection;
  std::unique_ptr<TLogMan> errorLog;
  bool reconnecting = false;  // a lost connection while the others reopen is not retried again
};

Shared& TheShared() {
  static Shared shared;
  return shared;
}

TLogMan& QueryErrorLog() {
  Shared& s = TheShared();
  if (!s.errorLog) s.errorLog = std::make_unique<TLogMan>(*s.clock, "QueryError", true, LogFolder());
  return *s.errorLog;
}

}  // namespace

void UseDatabaseSeams(Ui& ui, Clock& clock) {
  TheShared().ui = &ui;
  TheShared().clock = &clock;
}

TtsQuery::TtsQuery() {
  Shared& s = TheShared();
  if (!s.ui || !s.clock) throw std::logic_error("The database layer was given no Ui and Clock");
  isPostgreSql_ = Db().kind == DbmsKind::PostgreSql;
  if (!s.provider) s.provider = CreateProvider(Db().kind, *s.ui, *s.clock);
  if (!s.connection) {
    s.connection = s.provider->CreateConnection();
    s.connection->BeforeDisconnect = [] {
      SavePositions();
      for (TtsQuery* q : TheShared().queries) q->Close();  // the statements go with the connection
    };
    s.provider->Use(*s.connection);
  }
  s.queries.push_back(this);
}

TtsQuery::~TtsQuery() {
  Shared& s = TheShared();
  const auto at = std::find(s.queries.rbegin(), s.queries.rend(), this);
  if (at != s.queries.rend()) s.queries.erase(std::next(at).base());
  if (s.queries.empty()) {
    s.connection.reset();
    s.provider.reset();
  }
}

bool TtsQuery::Connect() { return TheShared().provider->Connect(); }

bool TtsQuery::Connected() const { return TheShared().connection && TheShared().connection->Connected(); }

std::string TtsQuery::Text() const {
  std::string text;
  for (size_t i = 0; i < SQL.size(); ++i) text += (i ? "\r\n" : "") + SQL[i];
  return text;
}

const OdbcResult& TtsQuery::Result() const {
  if (!result_) throw std::logic_error("The query is not open");
  return *result_;
}

void TtsQuery::OpenQuery() {
  Close();
  Run(Operation::Open);
}
void TtsQuery::ExecQuery() { Run(Operation::Exec); }

void TtsQuery::Call(Operation operation) {
  OdbcResult r = TheShared().connection->Run(Text());
  if (operation == Operation::Open) result_ = std::move(r);
}

void TtsQuery::Run(Operation operation) {
  lastOperation_ = operation;
  Shared& s = TheShared();
  if (!Connected()) Connect();  // when it failed, the statement fails with its own error
  try {
    if (!Connected()) throw OdbcError("no connection to the server", "08003", 0);
    Call(operation);
    return;
  } catch (const OdbcError& e) {
    QueryErrorLog().Write(std::string(operation == Operation::Open ? "[Open] " : "[ExecSQL] ") + e.what(), Text());
    if (!IsConnectionLostMessage(e.what()) || s.reconnecting) {
      if (EqualsIgnoreCase(FileNamePart(OwnExecutablePath()), "Pellan.exe")) return;
      throw std::runtime_error(e.what());
    }
  }
  // A lost connection: once more on a fresh one, with the other open queries back at their record.
  s.connection->Terminate();
  Connect();
  s.reconnecting = true;
  try {
    ReopenAfterReconnect();
  } catch (...) {
    s.reconnecting = false;
    throw;
  }
  s.reconnecting = false;
  if (operation == Operation::Open && Active()) return;  // reopened with the others
  Call(operation);
}

void TtsQuery::SavePositions() {
  for (TtsQuery* q : TheShared().queries) q->savedRecNo_ = q->RecNo();
}

void TtsQuery::ReopenAfterReconnect() {
  for (TtsQuery* q : TheShared().queries) {
    if (q->Active() || q->SQL.empty() || q->lastOperation_ == Operation::None) continue;
    if (q->lastOperation_ == Operation::Open) q->OpenQuery();
    if (q->lastOperation_ != Operation::Exec && q->savedRecNo_ >= 1) q->SetRecNo(q->savedRecNo_);
  }
}

std::unique_ptr<TtsQuery> CreateQuery() { return std::make_unique<TtsQuery>(); }

namespace {

using Decrypt = bool(__stdcall*)(const char* key, const char* iv, const char* input, char* output);

// Loaded at the first deciphering and kept until the process ends; a missing DLL says so each time.
Decrypt LoadCryptoLibrary() {
  static Library library;
  static Decrypt decrypt = nullptr;
  try {
    if (!library) {
      library.Reset(::LoadLibraryW(L"CVLCrypto.dll"));
      if (!library) library.Reset(::LoadLibraryW(Wide(ExeFolder() + "CVLCrypto.dll").c_str()));
      if (!library) {
        if (TheShared().ui) TheShared().ui->Information("CVLCrypto DLL 로드 실패");
        return nullptr;
      }
      decrypt = reinterpret_cast<Decrypt>(reinterpret_cast<void*>(::GetProcAddress(library.Get(), "CVLDecryptAES256")));
    }
  } catch (...) {
  }
  return decrypt;
}

}  // namespace

std::string DecryptColumnText(const std::string& text) {
  const Decrypt decrypt = LoadCryptoLibrary();
  if (!decrypt) return {};
  std::string output(4097, '\0');
  if (!decrypt(kColumnKey, kColumnIv, ToAnsi(text).c_str(), output.data())) return {};
  output.resize(std::min<size_t>(output.find('\0'), 4097));
  return Trim(FromAnsi(output));
}

std::string ReadFieldText(const TtsQuery& query, const std::string& column) {
  std::string value = query.FieldText(column);
  if (Db().kind == DbmsKind::PostgreSql && IsProtectedColumn(ToUpperAscii(column)) && Wide(value).size() > 20)
    value = DecryptColumnText(value);
  return value;
}

}  // namespace updater
