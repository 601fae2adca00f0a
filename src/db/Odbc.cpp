#include "db/Odbc.h"

#include <charconv>

#include "core/PathText.h"
#include "platform/Text.h"

namespace updater {
namespace {

std::string FromSql(const SQLWCHAR* text, size_t units) {
  return Narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(text), units));
}

// The first diagnostic record of the handle as an error (the driver's own text).
OdbcError Diagnostics(SQLSMALLINT kind, SQLHANDLE handle, const char* call) {
  SQLWCHAR state[6] = {}, message[1024] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  const SQLRETURN r = ::SQLGetDiagRecW(kind, handle, 1, state, &native, message, 1024, &length);
  if (!SQL_SUCCEEDED(r)) return OdbcError(std::string(call) + " failed without a diagnostic", "HY000", 0);
  return OdbcError(FromSql(message, std::min<size_t>(length, 1023)), FromSql(state, 5), native);
}

void Check(SQLRETURN r, SQLSMALLINT kind, SQLHANDLE handle, const char* call) {
  if (!SQL_SUCCEEDED(r)) throw Diagnostics(kind, handle, call);
}

std::optional<std::string> ReadText(SQLHSTMT statement, SQLUSMALLINT column) {
  std::wstring value;
  SQLWCHAR buf[2048];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN r = ::SQLGetData(statement, column, SQL_C_WCHAR, buf, sizeof buf, &indicator);
    if (r == SQL_NO_DATA) break;
    Check(r, SQL_HANDLE_STMT, statement, "SQLGetData");
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    const size_t room = sizeof buf / sizeof buf[0] - 1;
    const size_t got = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) / sizeof(SQLWCHAR) > room
                           ? room
                           : static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
    value.append(reinterpret_cast<const wchar_t*>(buf), got);
    if (r == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: more of the value follows
  }
  return Narrow(value);
}

}  // namespace

OdbcEnvironment::OdbcEnvironment() {
  SQLHANDLE env = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(::SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
    throw OdbcError("SQLAllocHandle (environment) failed", "HY001", 0);
  env_.Reset(env);
  Check(::SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), SQL_HANDLE_ENV, env,
        "SQLSetEnvAttr");
}

OdbcConnection::OdbcConnection(OdbcEnvironment& environment) : environment_(environment) { Allocate(); }

OdbcConnection::~OdbcConnection() { Terminate(); }

void OdbcConnection::Allocate() {
  SQLHANDLE dbc = SQL_NULL_HANDLE;
  Check(::SQLAllocHandle(SQL_HANDLE_DBC, environment_.Handle(), &dbc), SQL_HANDLE_ENV, environment_.Handle(), "SQLAllocHandle");
  dbc_.Reset(dbc);
}

void OdbcConnection::Connect(const std::string& connectionString, uint32_t loginTimeoutSeconds) {
  if (connected_) Disconnect();
  if (!dbc_) Allocate();
  ::SQLSetConnectAttrW(dbc_.Get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(loginTimeoutSeconds)), 0);
  std::wstring text = Wide(connectionString);
  SQLSMALLINT outLength = 0;
  try {
    Check(::SQLDriverConnectW(dbc_.Get(), nullptr, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS, nullptr, 0, &outLength,
                              SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, dbc_.Get(), "SQLDriverConnectW");
  } catch (...) {
    Terminate();  // a failed attempt leaves a fresh handle for the next one
    throw;
  }
  connected_ = true;
}

void OdbcConnection::Disconnect() {
  if (!connected_) return;
  try {
    Check(::SQLDisconnect(dbc_.Get()), SQL_HANDLE_DBC, dbc_.Get(), "SQLDisconnect");
  } catch (...) {
    // A disconnect that failed would leave the driver connected and every later connect failing:
    // the handle goes, and the next Connect starts anew.
    Terminate();
    throw;
  }
  connected_ = false;
}

void OdbcConnection::Terminate() {
  if (connected_ && dbc_) ::SQLDisconnect(dbc_.Get());
  connected_ = false;
  dbc_.Reset();
}

void OdbcConnection::SetIsolation(SQLULEN level) {
  Check(::SQLSetConnectAttrW(dbc_.Get(), SQL_ATTR_TXN_ISOLATION, reinterpret_cast<SQLPOINTER>(level), 0), SQL_HANDLE_DBC,
        dbc_.Get(), "SQLSetConnectAttrW");
}

std::string OdbcResult::Text(size_t column) const {
  if (Eof() || column >= Columns.size()) throw std::out_of_range("No such field or row");
  return Rows[recNo_ - 1][column].value_or("");
}

std::string OdbcResult::Text(const std::string& name) const {
  for (size_t i = 0; i < Columns.size(); ++i)
    if (EqualsIgnoreCase(Columns[i], name)) return Text(i);
  throw std::out_of_range("Field '" + name + "' not found");
}

int64_t OdbcResult::Integer(const std::string& name) const {
  const std::string text = Trim(Text(name));
  if (text.empty()) return 0;
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) throw std::invalid_argument("'" + text + "' is not a valid integer value");
  return v;
}

OdbcResult ExecuteStatement(OdbcConnection& connection, const std::string& sql, uint32_t timeoutSeconds) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  Check(::SQLAllocHandle(SQL_HANDLE_STMT, connection.Handle(), &handle), SQL_HANDLE_DBC, connection.Handle(), "SQLAllocHandle");
  UniqueResource<OdbcTraits<SQL_HANDLE_STMT>> statement(handle);
  if (timeoutSeconds > 0)
    ::SQLSetStmtAttrW(handle, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(timeoutSeconds)), 0);
  std::wstring text = Wide(sql);
  const SQLRETURN r = ::SQLExecDirectW(handle, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
  OdbcResult result;
  if (r == SQL_NO_DATA) return result;  // an update or delete that touched no row
  Check(r, SQL_HANDLE_STMT, handle, "SQLExecDirectW");
  SQLSMALLINT columns = 0;
  Check(::SQLNumResultCols(handle, &columns), SQL_HANDLE_STMT, handle, "SQLNumResultCols");
  for (SQLUSMALLINT c = 1; c <= columns; ++c) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    Check(::SQLDescribeColW(handle, c, name, 256, &length, &type, &size, &digits, &nullable), SQL_HANDLE_STMT, handle,
          "SQLDescribeColW");
    result.Columns.push_back(FromSql(name, std::min<size_t>(length, 255)));
  }
  if (columns == 0) return result;
  for (;;) {
    const SQLRETURN f = ::SQLFetch(handle);
    if (f == SQL_NO_DATA) break;
    Check(f, SQL_HANDLE_STMT, handle, "SQLFetch");
    std::vector<std::optional<std::string>> row;
    for (SQLUSMALLINT c = 1; c <= columns; ++c) row.push_back(ReadText(handle, c));
    result.Rows.push_back(std::move(row));
  }
  return result;
}

}  // namespace updater
