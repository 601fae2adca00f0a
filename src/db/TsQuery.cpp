#include "db/TsQuery.h"

#include <algorithm>
#include <stdexcept>

#include "core/ClientFolders.h"
#include "core/LogMan.h"
#include "db/Database.h"
#include "core/PathText.h"
#include "platform/Text.h"

namespace updater {

TtsQuery::TtsQuery(Database& database) : db_(database) {
  isPostgreSql_ = db_.Kind == DbmsKind::PostgreSql;
  if (!db_.provider_) db_.provider_ = CreateProvider(db_);
  if (!db_.connection_) {
    db_.connection_ = db_.provider_->CreateConnection();
    Database& db = db_;
    db_.connection_->BeforeDisconnect = [&db] {
      for (TtsQuery* q : db.queries_) q->savedRecNo_ = q->RecNo();
      for (TtsQuery* q : db.queries_) q->Close();  // the statements go with the connection
    };
    db_.provider_->Use(*db_.connection_);
  }
  db_.queries_.push_back(this);
}

TtsQuery::~TtsQuery() {
  auto& queries = db_.queries_;
  const auto at = std::find(queries.rbegin(), queries.rend(), this);
  if (at != queries.rend()) queries.erase(std::next(at).base());
  if (queries.empty()) {
    db_.connection_.reset();
    db_.provider_.reset();
  }
}

bool TtsQuery::Connect() { return db_.provider_->Connect(); }

bool TtsQuery::Connected() const { return db_.connection_ && db_.connection_->Connected(); }

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
  OdbcResult r = db_.connection_->Run(Text());
  if (operation == Operation::Open) result_ = std::move(r);
}

void TtsQuery::Run(Operation operation) {
  lastOperation_ = operation;
  // A connection that could not be made is not a lost one: the statement fails with its own
  // error, logged once and raised, and the connection sequence (with its boxes) is not run again.
  const bool notConnected = !Connected() && !Connect();
  try {
    if (notConnected) throw OdbcError("Connection not open", "08003", 0);
    Call(operation);
    return;
  } catch (const OdbcError& e) {
    if (!db_.errorLog_) db_.errorLog_ = std::make_unique<TLogMan>(db_.clock, "QueryError", true, LogFolder());
    db_.errorLog_->Write(std::string(operation == Operation::Open ? "[Open] " : "[ExecSQL] ") + e.what(), Text());
    if (notConnected || !IsConnectionLostMessage(e.what()) || db_.reconnecting_) {
      if (db_.SwallowFailedStatements) return;
      throw std::runtime_error(e.what());
    }
  }
  // A lost connection: once more on a fresh one, with the other open queries back at their record.
  db_.connection_->Terminate();
  Connect();
  db_.reconnecting_ = true;
  try {
    ReopenAfterReconnect();
  } catch (...) {
    db_.reconnecting_ = false;
    throw;
  }
  db_.reconnecting_ = false;
  if (operation == Operation::Open && Active()) return;  // reopened with the others
  Call(operation);
}

void TtsQuery::ReopenAfterReconnect() {
  for (TtsQuery* q : db_.queries_) {
    if (q->Active() || q->SQL.empty() || q->lastOperation_ == Operation::None) continue;
    if (q->lastOperation_ == Operation::Open) q->OpenQuery();
    if (q->lastOperation_ != Operation::Exec && q->savedRecNo_ >= 1) q->SetRecNo(q->savedRecNo_);
  }
}

std::unique_ptr<TtsQuery> CreateQuery(Database& database) { return std::make_unique<TtsQuery>(database); }

std::string ReadFieldText(const TtsQuery& query, const std::string& column) {
  std::string value = query.FieldText(column);
  if (query.Db().Kind == DbmsKind::PostgreSql && IsProtectedColumn(ToUpperAscii(column)) && Wide(value).size() > 20)
    value = query.Db().DecryptColumnText(value);
  return value;
}

}  // namespace updater
