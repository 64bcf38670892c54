// Helpers of the database tests: plain SQLite access to a test's files (no library
// code in between), the log of a test and file bytes.
#pragma once

#include <keldra/LoggerUmbo.h>
#include <keldra/SharedPointer.h>

#include <sqlite3.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {
class DatabaseConnection;
}
}  // namespace keldra
}  // namespace orva

namespace db_test {

// A plain SQLite connection of its own to a file.
class RawDb {
 public:
  explicit RawDb(const std::string& path);
  ~RawDb();
  sqlite3* handle() const { return m_db; }
  // Runs the SQL; returns SQLite's result code.
  int exec(const std::string& sql);
  // The rows of the SQL, each as its columns in quote() form joined by '|'.
  std::vector<std::string> rows(const std::string& sql);
  // The single value (quote() form) of the SQL's first row, "" when there is none.
  std::string value(const std::string& sql);

 private:
  sqlite3* m_db;
};

// The same on a handle that is not owned.
std::vector<std::string> rows_on(sqlite3* db, const std::string& sql);

// The SQLite handle of a connection made by the library (through one of its statements).
sqlite3* handle_of(orva::keldra::internal::DatabaseConnection& connection);

// A fresh path under the test's home, with no file at it.
std::string fresh_db_path(const std::string& name);

// How many global ids more than one object of the store file at |path| holds (none may:
// links follow global ids); -1 when it cannot be read.
long long shared_global_ids(const std::string& path);

std::string file_bytes(const std::string& path);
bool file_exists(const std::string& path);

// Turns on the trace log (type 32) for the logger created after it and reads it back.
// Construct before any library object that holds the logger.
class TraceLog {
 public:
  TraceLog();
  ~TraceLog();
  // Lines of the log that contain |text|.
  int count(const std::string& text) const;

 private:
  orva::SharedPointer<orva::keldra::internal::LoggerUmbo> m_logger;
  std::string m_path;
  size_t m_start = 0;
};

}  // namespace db_test
