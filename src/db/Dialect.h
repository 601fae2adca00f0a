#pragma once
// SQL text that one statement needs to serve SQL Anywhere and PostgreSQL, and the texts by which
// the query wrapper recognises a lost connection and a protected column. Pure.
#include <string>
#include <string_view>

namespace updater {

enum class DbmsKind { SqlAnywhere = 0, PostgreSql = 1 };

std::string TopClause(int n, DbmsKind kind);          // "TOP n" for SQL Anywhere, else empty
std::string LimitClause(int n, DbmsKind kind);        // "Limit n" for PostgreSQL, else empty
std::string CurrentDateKeyword(DbmsKind kind);        // "CURRENT DATE" or "CURRENT_DATE"
// A value as an SQL text literal: single quotes around it, every single quote inside doubled.
std::string QuotedLiteral(std::string_view value);
// The message holds one of the texts (letter case significant) of a lost connection.
bool IsConnectionLostMessage(std::string_view message);
// One of the columns a PostgreSQL clinic database stores enciphered (any letter case).
bool IsProtectedColumn(std::string_view name);

}  // namespace updater
