#include "support/DbTestUtil.h"

#include "adaptation_umbo/database/DatabaseConnection.h"
#include "adaptation_umbo/database/Query.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "support/TestEnv.h"

#include <keldra/LoggerUmbo.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace db_test {

using orva::keldra::internal::DatabaseConnection;
using orva::keldra::internal::LoggerUmbo;

RawDb::RawDb(const std::string& path) : m_db(nullptr) {
  if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << path;
  }
}

RawDb::~RawDb() { sqlite3_close(m_db); }

int RawDb::exec(const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error);
  sqlite3_free(error);
  return rc;
}

std::vector<std::string> rows_on(sqlite3* db, const std::string& sql) {
  std::vector<std::string> out;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot prepare: " << sql << ": " << sqlite3_errmsg(db);
    return out;
  }
  // quote() of each column, done on this side so any SQL works.
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      if (i) row += "|";
      switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_NULL:
          row += "NULL";
          break;
        case SQLITE_INTEGER:
          row += std::to_string(sqlite3_column_int64(stmt, i));
          break;
        case SQLITE_FLOAT: {
          std::ostringstream s;
          s << sqlite3_column_double(stmt, i);
          row += s.str();
          break;
        }
        case SQLITE_BLOB: {
          const unsigned char* p = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, i));
          char hex[3];
          row += "X'";
          for (int k = 0; k < sqlite3_column_bytes(stmt, i); ++k) {
            snprintf(hex, sizeof hex, "%02X", p[k]);
            row += hex;
          }
          row += "'";
          break;
        }
        default:
          row +=
              "'" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i))) + "'";
      }
    }
    out.push_back(row);
  }
  sqlite3_finalize(stmt);
  return out;
}

std::vector<std::string> RawDb::rows(const std::string& sql) { return rows_on(m_db, sql); }

std::string RawDb::value(const std::string& sql) {
  std::vector<std::string> r = rows(sql);
  return r.empty() ? std::string() : r[0];
}

sqlite3* handle_of(DatabaseConnection& connection) {
  return sqlite3_db_handle(connection.get_query_manager()
                               ->get_known_query(orva::keldra::internal::BEGIN_TRANSACTION)
                               ->get_statement());
}

std::string fresh_db_path(const std::string& name) {
  const std::string path = keldra_test::home_dir() + "/" + name;
  for (const char* suffix : {"", ".old", "-wal", "-shm", "-journal"})
    ::unlink((path + suffix).c_str());
  return path;
}

long long shared_global_ids(const std::string& path) {
  const std::string value = RawDb(path).value(
      "SELECT count(*) FROM (SELECT global_id FROM object WHERE global_id != 0 "
      "GROUP BY global_id HAVING count(*) > 1)");
  return value.empty() ? -1 : std::stoll(value);
}

std::string file_bytes(const std::string& path) { return keldra_test::read_file(path); }

bool file_exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

TraceLog::TraceLog() {
  const std::string level = keldra_test::home_dir() + "/trace_level";
  keldra_test::write_file(level, "32\n");
  LoggerUmbo::set_level_file_path(level);
  ::mkdir((keldra_test::home_dir() + "/.cities").c_str(), 0700);
  m_logger = LoggerUmbo::instance();
  m_path = m_logger->log_path();
  // Only lines written from now on count (the log is appended to).
  m_start = file_bytes(m_path).size();
}

TraceLog::~TraceLog() {
  m_logger.release();
  LoggerUmbo::set_level_file_path(keldra_test::home_dir() + "/no_log_level");
}

int TraceLog::count(const std::string& text) const {
  std::istringstream in(file_bytes(m_path).substr(m_start));
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.find(text) != std::string::npos) ++n;
  }
  return n;
}

}  // namespace db_test
