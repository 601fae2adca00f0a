#pragma once
// TtsQuery: every statement of the tool runs through one of these. All of them share one provider
// and one connection, made with the first query object and freed with the last. The connection is
// opened on demand; a failed statement is written to the query error log with its text and raised
// again; a lost connection is reconnected once and the other open queries go back to their record.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/DbProvider.h"
#include "platform/Clock.h"
#include "platform/Ui.h"

namespace updater {

// The Ui and Clock the database layer shows its boxes and keeps its time with; the program entry
// sets them before the first query object (tests set their own).
void UseDatabaseSeams(Ui& ui, Clock& clock);

class TtsQuery {
 public:
  TtsQuery();
  ~TtsQuery();
  TtsQuery(const TtsQuery&) = delete;
  TtsQuery& operator=(const TtsQuery&) = delete;

  bool IsPostgreSql() const { return isPostgreSql_; }
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
  static void SavePositions();
  static void ReopenAfterReconnect();

  bool isPostgreSql_ = false;
  Operation lastOperation_ = Operation::None;
  size_t savedRecNo_ = 0;
  std::optional<OdbcResult> result_;
};

// The window's and each updater's query object; null would mean no database layer.
std::unique_ptr<TtsQuery> CreateQuery();

// The key (32 characters) and initialisation vector (16) of the protected columns.
inline constexpr const char* kColumnKey = "Cvl2000#Clinic&ProtectedColumn!1";
inline constexpr const char* kColumnIv = "Cvl2000#IV#2024!";

// A field as text; under PostgreSQL a protected column whose value is longer than 20 characters
// is deciphered (empty when that fails).
std::string ReadFieldText(const TtsQuery& query, const std::string& column);
// Deciphers through CVLCrypto.dll; empty when the DLL, its export or the deciphering fails.
std::string DecryptColumnText(const std::string& text);

}  // namespace updater
