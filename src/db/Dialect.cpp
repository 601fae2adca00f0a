#include "db/Dialect.h"

#include <array>

#include "core/PathText.h"

namespace updater {
namespace {

// The seven texts of the drivers the product was built with, and the two psqlODBC gives for a
// backend that was ended (57P01) and for every statement after it (08S01); without them a lost
// PostgreSQL connection would be reported as a plain failure and never reconnected.
constexpr std::array<std::string_view, 9> kConnectionLost = {
    "Connection was terminated", "Communication error", "Invalid ODBC Handle", "could not receive data from server",
    "Software caused connection abort", "Error on data writing to the connection", "no connection to the server",
    "terminating connection due to administrator command", "unable due to the connection lost"};

// As listed for the client product: "CVL_PREGI" stands there twice.
constexpr std::array<std::string_view, 19> kProtectedColumns = {
    "ANEREGI", "EREGI", "FREGI", "PATPREGI", "PREGI", "PREGI1", "RADREGI", "REGINUM", "REGISTRATIONNUMBER", "SOCIALNUM",
    "REPORTJSON", "BPREGI", "CVL_PREGI", "OPERATOR", "PATIENTRRN", "MCM_PREGI", "CVL_PREGI", "MCM_REPORTJSON", "ORIFREGI"};

}  // namespace

std::string TopClause(int n, DbmsKind kind) { return kind == DbmsKind::SqlAnywhere ? "TOP " + std::to_string(n) : ""; }
std::string LimitClause(int n, DbmsKind kind) { return kind == DbmsKind::PostgreSql ? "Limit " + std::to_string(n) : ""; }
std::string CurrentDateKeyword(DbmsKind kind) { return kind == DbmsKind::SqlAnywhere ? "CURRENT DATE" : "CURRENT_DATE"; }

std::string QuotedLiteral(std::string_view value) {
  std::string out = "'";
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

bool IsConnectionLostMessage(std::string_view message) {
  for (std::string_view text : kConnectionLost)
    if (message.find(text) != std::string_view::npos) return true;
  return false;
}

bool IsProtectedColumn(std::string_view name) {
  for (std::string_view column : kProtectedColumns)
    if (EqualsIgnoreCase(name, column)) return true;
  return false;
}

}  // namespace updater
