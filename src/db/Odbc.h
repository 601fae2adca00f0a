#pragma once
// A thin layer over the ODBC W functions: handles that cannot leak, every return code checked,
// diagnostics turned into one error type with the driver's text and SQLSTATE. A statement's rows
// are read whole into an OdbcResult (the clinic queries return few rows).
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Handles.h"

#include <sql.h>
#include <sqlext.h>

namespace updater {

// The longest a statement of the clinic may take before it fails as any failed statement does (never
// a reconnect). The tool's statements read or write a handful of rows; a minute is far beyond any
// of them on a working server, and short enough that a lock held by another program or a stalled
// server does not freeze the tool.
inline constexpr uint32_t kStatementTimeoutSeconds = 60;

class OdbcError : public std::runtime_error {
 public:
  OdbcError(const std::string& message, std::string state, int32_t native)
      : std::runtime_error(message), state_(std::move(state)), native_(native) {}
  const std::string& State() const { return state_; }  // SQLSTATE, five characters
  int32_t Native() const { return native_; }

 private:
  std::string state_;
  int32_t native_;
};

template <SQLSMALLINT Kind>
struct OdbcTraits {
  using Type = SQLHANDLE;
  static Type Empty() { return SQL_NULL_HANDLE; }
  static bool Valid(Type h) { return h != SQL_NULL_HANDLE; }
  static void Close(Type h) { ::SQLFreeHandle(Kind, h); }
};

class OdbcEnvironment {
 public:
  OdbcEnvironment();  // ODBC 3 behaviour
  SQLHENV Handle() const { return env_.Get(); }

 private:
  UniqueResource<OdbcTraits<SQL_HANDLE_ENV>> env_;
};

class OdbcConnection {
 public:
  explicit OdbcConnection(OdbcEnvironment& environment);
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  // Opens the connection without a prompt; a dead address fails after loginTimeoutSeconds.
  void Connect(const std::string& connectionString, uint32_t loginTimeoutSeconds);
  void Disconnect();
  // Disconnects when connected and frees the handle, never raising; the next Connect starts anew.
  void Terminate();
  bool Connected() const { return connected_; }
  void SetIsolation(SQLULEN level);
  SQLHDBC Handle() const { return dbc_.Get(); }

 private:
  void Allocate();
  OdbcEnvironment& environment_;
  UniqueResource<OdbcTraits<SQL_HANDLE_DBC>> dbc_;
  bool connected_ = false;
};

// The rows of one statement, with a cursor: RecNo counts from 1; EOF after the last row.
class OdbcResult {
 public:
  std::vector<std::string> Columns;
  std::vector<std::vector<std::optional<std::string>>> Rows;  // empty optional: NULL

  bool Eof() const { return recNo_ > Rows.size() || Rows.empty(); }
  void Next() { ++recNo_; }
  size_t RecNo() const { return recNo_; }
  void SetRecNo(size_t recNo) { recNo_ = recNo < 1 ? 1 : recNo; }
  // Field values of the current row as text ("" for NULL); by 0-based index or by name (any case).
  std::string Text(size_t column) const;
  std::string Text(const std::string& name) const;
  int64_t Integer(const std::string& name) const;

 private:
  size_t recNo_ = 1;
};

// Runs a statement; the rows of a result set, or none.
// Runs one statement and reads all its rows. A timeout (seconds, 0 for none) ends a statement that
// the server does not finish in time with an ordinary statement error.
OdbcResult ExecuteStatement(OdbcConnection& connection, const std::string& sql, uint32_t timeoutSeconds = 0);

}  // namespace updater
