#pragma once
// Query object over the one shared clinic database connection.
#include <memory>

namespace updater {

class TtsQuery {
 public:
  bool IsPostgreSql() const { return dbmsKind_ == 1; }

 private:
  int dbmsKind_ = 0;  // 0 SQL Anywhere, 1 PostgreSQL
};

// The window's query object. The connection layer does not exist yet, so there is none.
std::unique_ptr<TtsQuery> CreateQuery();

}  // namespace updater
