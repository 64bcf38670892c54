// A store file filled with places the way the store writes them: an object row, a
// top-level "metadata" attribute whose "name" attribute holds the name text with its
// sort key, further text rows and position rows. The schema comes from the store's
// own connection; the rows are written with plain SQL, so searches are tested on the
// file a store leaves behind. Shared by the search tests and the search benchmark.
#pragma once

#include "adaptation_umbo/base/Utils.h"
#include "adaptation_umbo/database/DatabaseConnection.h"

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace keldra_search {

struct Place {
  std::string class_name = "location";
  std::string name;  // no name row when empty
  std::vector<std::string> texts;
  std::vector<std::pair<double, double> > positions;  // latitude, longitude
  int modified = 0;
  int linkmods = 0;
  int updeps = 0;
  int downdeps = 0;
};

class PlaceFile {
 public:
  // Creates (or opens) the store file at |path| with the store's schema.
  explicit PlaceFile(const std::string& path) : m_db(nullptr) {
    {
      orva::keldra::internal::DatabaseConnection schema;
      if (!schema.open(path)) throw std::runtime_error("cannot create " + path);
    }
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      throw std::runtime_error("cannot open " + path);
    }
  }
  ~PlaceFile() { sqlite3_close(m_db); }
  PlaceFile(const PlaceFile&) = delete;
  PlaceFile& operator=(const PlaceFile&) = delete;

  sqlite3* handle() { return m_db; }

  void exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : "?";
      sqlite3_free(error);
      throw std::runtime_error(sql + ": " + message);
    }
  }

  // Adds one place; returns its local id.
  unsigned int add(const Place& place) {
    sqlite3_stmt* s = prepare(
        "INSERT INTO object (class_name, name, version, timestamp, service, sharing, modified, "
        "linkmods, updeps, downdeps, no_sync) VALUES (?, ?, 1, 0, 'personal', 0, ?, ?, ?, ?, 0)");
    sqlite3_bind_text(s, 1, place.class_name.c_str(), -1, SQLITE_TRANSIENT);
    if (!place.name.empty()) sqlite3_bind_text(s, 2, place.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 3, place.modified);
    sqlite3_bind_int(s, 4, place.linkmods);
    sqlite3_bind_int(s, 5, place.updeps);
    sqlite3_bind_int(s, 6, place.downdeps);
    done(s);
    const sqlite3_int64 id = sqlite3_last_insert_rowid(m_db);
    if (!place.name.empty()) {
      const sqlite3_int64 metadata = attribute(id, 0, "metadata", "metadata");
      const sqlite3_int64 name = attribute(id, metadata, "name", "text");
      text(id, name, place.name);
    }
    if (!place.texts.empty()) {
      const sqlite3_int64 parent = attribute(id, 0, "description", "text");
      for (const std::string& t : place.texts) text(id, parent, t);
    }
    for (const auto& p : place.positions) {
      const sqlite3_int64 parent = attribute(id, 0, "position", "position");
      s = prepare(
          "INSERT INTO position (latitude, longitude, parent_object, parent_attribute) "
          "VALUES (?, ?, ?, ?)");
      sqlite3_bind_double(s, 1, p.first);
      sqlite3_bind_double(s, 2, p.second);
      sqlite3_bind_int64(s, 3, id);
      sqlite3_bind_int64(s, 4, parent);
      done(s);
    }
    return static_cast<unsigned int>(id);
  }

 private:
  sqlite3_stmt* prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string(sql) + ": " + sqlite3_errmsg(m_db));
    }
    return s;
  }
  void done(sqlite3_stmt* s) {
    const int rc = sqlite3_step(s);
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(m_db));
  }
  sqlite3_int64 attribute(sqlite3_int64 object, sqlite3_int64 parent, const char* name,
                          const char* class_name) {
    sqlite3_stmt* s = prepare(
        "INSERT INTO attribute (class_name, name, parent_object, parent_attribute) "
        "VALUES (?, ?, ?, ?)");
    sqlite3_bind_text(s, 1, class_name, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, name, -1, SQLITE_STATIC);
    sqlite3_bind_int64(s, 3, object);
    sqlite3_bind_int64(s, 4, parent);
    done(s);
    return sqlite3_last_insert_rowid(m_db);
  }
  void text(sqlite3_int64 object, sqlite3_int64 parent, const std::string& value) {
    using namespace orva::keldra::internal;
    const std::string key = collate_key(casefold_and_normalize(value));
    sqlite3_stmt* s = prepare(
        "INSERT INTO text (type, name, value_text, collate_key, parent_object, parent_attribute) "
        "VALUES (8, 'text', ?, ?, ?, ?)");
    sqlite3_bind_text(s, 1, value.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, key.c_str(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 3, object);
    sqlite3_bind_int64(s, 4, parent);
    done(s);
  }

  sqlite3* m_db;
};

}  // namespace keldra_search
