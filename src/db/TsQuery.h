#pragma once
// TtsQuery: every statement of the tool runs through one of these. All of them share the
// database's one provider and connection, made with the first query object and freed with the
// last. The connection is
// opened on demand; a failed statement is written to the query error log with its text and raised
// again; a lost connection is reconnected once and the other open queries go back to their record.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/DbProvider.h"

namespace updater {

class Database;

class TtsQuery {
 public:
  explicit TtsQuery(Database& database);
  ~TtsQuery();
  TtsQuery(const TtsQuery&) = delete;
  TtsQuery& operator=(const TtsQuery&) = delete;

  bool IsPostgreSql() const { return isPostgreSql_; }
  Database& Db() const { return db_; }
  std::vector<std::string> SQL;  // the statement, one line each

  bool Connect();
  bool Connected() const;
  void OpenQuery();
  void ExecQuery();
  void Close() { result_.reset(); }
  bool Active() const { return result_.has_value(); }
  bool Eof() const { return !result_ || result_->Eof(); }
  void Next() { if (result_) result_->Next(); }
  size_t RecNo() const { return result_ ? result_->RecNo() : 0; }
  void SetRecNo(size_t recNo) { if (result_) result_->SetRecNo(recNo); }
  const OdbcResult& Result() const;
  std::string FieldText(size_t column) const { return Result().Text(column); }
  std::string FieldText(const std::string& name) const { return Result().Text(name); }
  int64_t FieldInteger(const std::string& name) const { return Result().Integer(name); }
  std::string Text() const;  // the statement's lines joined with line breaks

 private:
  enum class Operation : uint8_t { None = 0, Open = 1, Exec = 2 };
  void Run(Operation operation);
  void Call(Operation operation);
  void ReopenAfterReconnect();

  Database& db_;
  bool isPostgreSql_ = false;
  Operation lastOperation_ = Operation::None;
  size_t savedRecNo_ = 0;
  std::optional<OdbcResult> result_;
};

// The window's and each updater's query object.
std::unique_ptr<TtsQuery> CreateQuery(Database& database);

// A field as text; under PostgreSQL a protected column whose value is longer than 20 characters
// is deciphered (empty when that fails).
std::string ReadFieldText(const TtsQuery& query, const std::string& column);

}  // namespace updater
