// The connection on real files: the schema of a new file, the version rules with
// pre-made files, the metadata row, nested transactions, and sharing the file.
#include "support/DbTestUtil.h"
#include "support/TestEnv.h"

#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/database/DatabaseConnection.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "adaptation_umbo/database/BindableQuery.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace orva::keldra::internal;
using db_test::RawDb;

// The file format: the statements as sqlite_master keeps them (SQLite drops
// "IF NOT EXISTS" and the final ';').
const char* const kSchema[] = {
    "table|metadata|CREATE TABLE metadata (id INTEGER,uid TEXT, version INTEGER, locale TEXT, "
    "PRIMARY KEY(id))",
    "table|object|CREATE TABLE object (local_id INTEGER PRIMARY KEY AUTOINCREMENT, global_id "
    "INTEGER, class_name TEXT, name TEXT, version INTEGER, timestamp INTEGER, service TEXT, owner "
    "TEXT,sharing INTEGER, modified INTEGER, linkmods INTEGER, updeps INTEGER, downdeps INTEGER, "
    "no_sync INTEGER)",
    "table|attribute|CREATE TABLE attribute (id INTEGER, class_name TEXT, name TEXT, value_blob "
    "BLOB, parent_object INTEGER, parent_attribute INTEGER, PRIMARY KEY(id) )",
    "table|link|CREATE TABLE link (id INTEGER,target_id INTEGER,target_gid INTEGER,name "
    "TEXT,parent_object INTEGER,parent_attribute INTEGER, PRIMARY KEY(id))",
    "table|box|CREATE TABLE box (id INTEGER, min_lat FLOAT, max_lat FLOAT, min_long FLOAT,max_long "
    "FLOAT, min_alt FLOAT, max_alt FLOAT, datum INTEGER, parent_object INTEGER, parent_attribute "
    "INTEGER,PRIMARY KEY(id))",
    "table|position|CREATE TABLE position (id INTEGER, latitude FLOAT, longitude FLOAT, accuracy "
    "FLOAT, altitude FLOAT, altitude_above_sea FLOAT, alt_accuracy FLOAT,datetime INTEGER, course "
    "FLOAT, speed FLOAT, datum INTEGER, parent_object INTEGER, parent_attribute INTEGER,PRIMARY "
    "KEY(id))",
    "table|text|CREATE TABLE text (id INTEGER, name TEXT, type INTEGER, value_text TEXT, "
    "collate_key BLOB, parent_object INTEGER, parent_attribute INTEGER,PRIMARY KEY(id))",
    "table|removed|CREATE TABLE removed (local_id INTEGER)",
    "index|object_gid_index|CREATE INDEX object_gid_index ON object(global_id)",
    "index|attribute_parent_object_index|CREATE INDEX attribute_parent_object_index ON "
    "attribute(parent_object)",
    "index|attribute_parent_attribute_index|CREATE INDEX attribute_parent_attribute_index ON "
    "attribute(parent_attribute)",
    "index|link_parent_object_index|CREATE INDEX link_parent_object_index ON link(parent_object)",
    "index|link_parent_attribute_index|CREATE INDEX link_parent_attribute_index ON "
    "link(parent_attribute)",
    "index|position_parent_attribute_index|CREATE INDEX position_parent_attribute_index ON "
    "position(parent_object)",
    "index|box_parent_object_index|CREATE INDEX box_parent_object_index ON box(parent_object)",
    "index|box_parent_attribute_index|CREATE INDEX box_parent_attribute_index ON "
    "box(parent_attribute)",
    "index|text_parent_object_index|CREATE INDEX text_parent_object_index ON text(parent_object)",
    "index|text_parent_attribute_index|CREATE INDEX text_parent_attribute_index ON "
    "text(parent_attribute)",
    "index|text_collate_key_index|CREATE INDEX text_collate_key_index ON text(collate_key)",
    "trigger|delete_child_attribute_on_object_delete|CREATE TRIGGER "
    "delete_child_attribute_on_object_delete BEFORE DELETE ON object BEGIN DELETE FROM attribute "
    "WHERE parent_objecT = OLD.local_id; END",
    "trigger|delete_child_link_on_object_delete|CREATE TRIGGER delete_child_link_on_object_delete "
    "BEFORE DELETE ON object BEGIN DELETE FROM link WHERE parent_objecT = OLD.local_id; END",
    "trigger|delete_child_position_on_object_delete|CREATE TRIGGER "
    "delete_child_position_on_object_delete BEFORE DELETE ON object BEGIN DELETE FROM position "
    "WHERE parent_objecT = OLD.local_id; END",
    "trigger|delete_child_text_on_object_delete|CREATE TRIGGER delete_child_text_on_object_delete "
    "BEFORE DELETE ON object BEGIN DELETE FROM text WHERE parent_objecT = OLD.local_id; END",
    "trigger|delete_child_box_on_object_delete|CREATE TRIGGER delete_child_box_on_object_delete "
    "BEFORE DELETE ON object BEGIN DELETE FROM box WHERE parent_objecT = OLD.local_id; END",
    "trigger|update_link_target_id_on_object_insert|CREATE TRIGGER "
    "update_link_target_id_on_object_insert AFTER INSERT ON object BEGIN UPDATE link SET "
    "target_id=new.local_id WHERE new.global_id NOT NULL AND target_gid=new.global_id; END",
    "trigger|update_link_target_id_on_object_update|CREATE TRIGGER "
    "update_link_target_id_on_object_update AFTER UPDATE ON object BEGIN UPDATE link SET "
    "target_id=new.local_id WHERE new.global_id NOT NULL AND target_gid=new.global_id; UPDATE link "
    "SET target_gid=new.global_id WHERE new.local_id NOT NULL AND target_id=new.local_id;END",
    // beyond the version-5 statements: the link targets, for the writes' lookups
    "index|link_target_id_index|CREATE INDEX link_target_id_index ON link(target_id)",
    "index|link_target_gid_index|CREATE INDEX link_target_gid_index ON link(target_gid)",
};

// The schema as the plain reader lists it, in creation order.
std::vector<std::string> schema_of(RawDb& raw) {
  std::vector<std::string> out;
  for (const std::string& row :
       raw.rows("SELECT type, name, sql FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' "
                "ORDER BY rowid")) {
    out.push_back(std::regex_replace(row, std::regex("'"), ""));
  }
  return out;
}

// A file made by plain SQLite: the tables of schema 5 with one object row, plus the
// given metadata statements.
void make_file(const std::string& path, const std::string& metadata_sql) {
  RawDb raw(path);
  ASSERT_EQ(SQLITE_OK, raw.exec("CREATE TABLE object (local_id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                "name TEXT); INSERT INTO object(name) VALUES ('kept');" +
                                metadata_sql));
}

TEST(DatabaseConnection, NewFileGetsSchemaFiveAndOneMetadataRow) {
  const std::string path = db_test::fresh_db_path("new.db");
  struct timeval before;
  gettimeofday(&before, nullptr);
  DatabaseConnection conn;
  ASSERT_TRUE(conn.open(path));
  EXPECT_EQ(5, conn.version());

  RawDb raw(path);
  EXPECT_EQ(std::vector<std::string>(std::begin(kSchema), std::end(kSchema)), schema_of(raw));
  EXPECT_EQ(
      "8",
      raw.value(
          "SELECT count(*) FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%'"));
  EXPECT_EQ("13", raw.value("SELECT count(*) FROM sqlite_master WHERE type='index'"));
  EXPECT_EQ("7", raw.value("SELECT count(*) FROM sqlite_master WHERE type='trigger'"));

  const std::vector<std::string> meta = raw.rows("SELECT id, version, locale, uid FROM metadata");
  ASSERT_EQ(1u, meta.size());
  std::smatch m;
  ASSERT_TRUE(std::regex_match(meta[0], m, std::regex("1\\|5\\|NULL\\|'([0-9]+)'"))) << meta[0];
  // seconds then microseconds, unpadded
  EXPECT_EQ(0u, m[1].str().find(std::to_string(before.tv_sec).substr(0, 8)));
  EXPECT_EQ(m[1].str(), conn.uid());
  EXPECT_EQ("'wal'", raw.value("PRAGMA journal_mode"));
  EXPECT_TRUE(conn.validate());
}

TEST(DatabaseConnection, VersionFiveOpensAndKeepsUidAndLocale) {
  const std::string path = db_test::fresh_db_path("five.db");
  std::string uid;
  {
    DatabaseConnection conn;
    ASSERT_TRUE(conn.open(path));
    uid = conn.uid();
    ASSERT_TRUE(conn.set_locale("fi_FI"));
    RawDb raw(path);
    ASSERT_EQ(SQLITE_OK, raw.exec("INSERT INTO object(name) VALUES ('kept')"));
  }
  {
    // A version-5 file made without the link indexes gets them at the next open.
    RawDb raw(path);
    ASSERT_EQ(SQLITE_OK,
              raw.exec("DROP INDEX link_target_id_index; DROP INDEX link_target_gid_index;"));
  }
  DatabaseConnection again;
  ASSERT_TRUE(again.open(path));
  EXPECT_EQ(uid, again.uid());
  EXPECT_EQ("fi_FI", again.locale());
  EXPECT_EQ(
      2u, RawDb(path).rows("SELECT name FROM sqlite_master WHERE name LIKE 'link_target%'").size());
  EXPECT_FALSE(db_test::file_exists(path + ".old"));
  RawDb raw(path);
  EXPECT_EQ("'kept'", raw.value("SELECT name FROM object"));
  EXPECT_EQ("1", raw.value("SELECT count(*) FROM metadata"));
}

// Any version above 5 is refused, read whole: no value outside 32 bits may pass for an
// older version (file moved aside) or for version 5.
TEST(DatabaseConnection, NewerVersionIsRefusedAndTheFileLeftAsItWas) {
  const char* const versions[] = {"6", "2147483647", "2147483648", "4294967301",
                                  "9223372036854775807"};
  for (const char* version : versions) {
    SCOPED_TRACE(version);
    const std::string path = db_test::fresh_db_path("six.db");
    make_file(path,
              "CREATE TABLE metadata (id INTEGER, uid TEXT, version INTEGER, locale TEXT, "
              "PRIMARY KEY(id));"
              "INSERT INTO metadata VALUES (1, 'u6', " +
                  std::string(version) + ", 'C');");
    const std::string bytes = db_test::file_bytes(path);
    ASSERT_FALSE(bytes.empty());
    {
      DatabaseConnection conn;
      EXPECT_FALSE(conn.open(path));
      EXPECT_EQ(nullptr, conn.get_query_manager());
    }
    EXPECT_TRUE(bytes == db_test::file_bytes(path)) << "file changed";
    EXPECT_FALSE(db_test::file_exists(path + ".old"));
  }
}

// A version-5 file that lacks one of the tables every load and write needs is refused
// at open, and left as it is.
TEST(DatabaseConnection, MissingTableIsRefusedAndTheFileLeftAsItWas) {
  const char* const tables[] = {"object",   "attribute", "link",   "box",
                                "position", "text",      "removed"};
  for (const char* table : tables) {
    SCOPED_TRACE(table);
    const std::string path = db_test::fresh_db_path("missing.db");
    {
      DatabaseConnection conn;
      ASSERT_TRUE(conn.open(path));
    }
    {
      RawDb raw(path);
      ASSERT_EQ(SQLITE_OK, raw.exec(std::string("DROP TABLE ") + table));
    }
    const std::string bytes = db_test::file_bytes(path);
    {
      DatabaseConnection conn;
      EXPECT_FALSE(conn.open(path));
      EXPECT_EQ(nullptr, conn.get_query_manager());
    }
    EXPECT_TRUE(bytes == db_test::file_bytes(path)) << "file changed";
    EXPECT_FALSE(db_test::file_exists(path + ".old"));
  }
  // A view by a table's name does not stand in for it.
  const std::string path = db_test::fresh_db_path("view.db");
  {
    DatabaseConnection conn;
    ASSERT_TRUE(conn.open(path));
  }
  {
    RawDb raw(path);
    ASSERT_EQ(SQLITE_OK,
              raw.exec("DROP TABLE removed; CREATE VIEW removed AS SELECT 1 AS local_id"));
  }
  DatabaseConnection conn;
  EXPECT_FALSE(conn.open(path));
}

TEST(DatabaseConnection, OlderOrMissingVersionIsMovedAsideAndReplaced) {
  struct Case {
    const char* label;
    const char* metadata_sql;
  } cases[] = {
      {"version 4",
       "CREATE TABLE metadata (id INTEGER, uid TEXT, version INTEGER, locale TEXT, PRIMARY "
       "KEY(id));"
       "INSERT INTO metadata VALUES (1, 'u4', 4, 'C');"},
      {"empty metadata table",
       "CREATE TABLE metadata (id INTEGER, uid TEXT, version INTEGER, locale TEXT, PRIMARY "
       "KEY(id));"},
      {"no metadata table", ""},
      {"version NULL",
       "CREATE TABLE metadata (id INTEGER, uid TEXT, version INTEGER, locale TEXT, PRIMARY "
       "KEY(id));"
       "INSERT INTO metadata VALUES (1, 'u', NULL, 'C');"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = db_test::fresh_db_path("old.db");
    db_test::RawDb(path + ".old").exec("CREATE TABLE earlier (x)");  // an earlier copy
    make_file(path, c.metadata_sql);
    const std::string bytes = db_test::file_bytes(path);
    {
      DatabaseConnection conn;
      ASSERT_TRUE(conn.open(path));
      EXPECT_EQ(5, conn.version());
    }
    EXPECT_EQ(bytes, db_test::file_bytes(path + ".old"));
    RawDb raw(path);
    EXPECT_EQ("0", raw.value("SELECT count(*) FROM object"));
    EXPECT_EQ("5", raw.value("SELECT version FROM metadata"));
  }
}

// A metadata table that is there but cannot be read (its rows fail, or its statement
// cannot even be prepared) must not count as "no schema" or "no metadata": the file is
// neither re-created nor moved, and open fails.
TEST(DatabaseConnection, UnreadableMetadataFailsOpenWithoutTouchingTheFile) {
  const struct {
    const char* label;
    const char* metadata_sql;
  } cases[] = {
      // a row that fails while it is read (integer overflow in abs())
      {"row fails",
       "CREATE VIEW metadata AS SELECT 1 AS id, 'u' AS uid, "
       "abs(-9223372036854775807 - 1) AS version, 'C' AS locale;"},
      // a statement that cannot be prepared
      {"unknown function",
       "CREATE VIEW metadata AS SELECT 1 AS id, 'u' AS uid, no_such_function(5) AS version, "
       "'C' AS locale;"},
      {"view over a missing table",
       "CREATE VIEW metadata AS SELECT id, uid, version, locale FROM gone;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = db_test::fresh_db_path("unreadable.db");
    make_file(path, c.metadata_sql);
    const std::string bytes = db_test::file_bytes(path);
    DatabaseConnection conn;
    try {
      conn.open(path);
      ADD_FAILURE() << "open did not fail";
    } catch (UmboException& e) {
      EXPECT_EQ(ORVA_ERROR_UNKNOWN, e.get_reason());
    }
    EXPECT_EQ(nullptr, conn.get_query_manager());
    EXPECT_TRUE(bytes == db_test::file_bytes(path)) << "file changed";
    EXPECT_FALSE(db_test::file_exists(path + ".old"));
  }
}

TEST(DatabaseConnection, AFailedMetadataRewriteKeepsTheOldRow) {
  const std::string path = db_test::fresh_db_path("meta.db");
  DatabaseConnection conn;
  ASSERT_TRUE(conn.open(path));
  const std::string uid = conn.uid();
  ASSERT_TRUE(conn.set_locale("de_DE"));
  RawDb raw(path);
  ASSERT_EQ(SQLITE_OK, raw.exec("CREATE TRIGGER no_insert BEFORE INSERT ON metadata "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
  EXPECT_FALSE(conn.set_locale("en_GB"));
  EXPECT_FALSE(conn.is_in_transaction());
  EXPECT_EQ("1|5|'de_DE'|'" + uid + "'",
            raw.value("SELECT id, version, locale, uid FROM metadata"));

  ASSERT_EQ(SQLITE_OK, raw.exec("DROP TRIGGER no_insert"));
  DatabaseConnection again;
  ASSERT_TRUE(again.open(path));
  EXPECT_EQ(uid, again.uid());
  EXPECT_FALSE(db_test::file_exists(path + ".old"));
}

TEST(DatabaseConnection, OpenRefusals) {
  const std::string path = db_test::fresh_db_path("twice.db");
  db_test::TraceLog log;
  DatabaseConnection conn;
  EXPECT_FALSE(conn.open(""));
  ASSERT_TRUE(conn.open(path));
  EXPECT_FALSE(conn.open(path));
  EXPECT_EQ(1, log.count("DatabaseConnection::open: connection already opened!"));
  EXPECT_NE(nullptr, conn.get_query_manager());  // the first stays usable

  DatabaseConnection bad;
  EXPECT_FALSE(bad.open(keldra_test::home_dir() + "/no/such/folder/x.db"));
}

// Nested transactions as sequences: b begin, c commit, r rollback. Expected: the
// result of c (1 true, 0 false, 0x6006 thrown), or 0x6006 thrown by b; the level after
// each step; and whether the row inserted after the first begin survives.
TEST(DatabaseConnection, NestedTransactions) {
  struct Step {
    char op;
    int result;
    int level;
  };
  struct Case {
    const char* label;
    std::vector<Step> steps;
    bool row_kept;
  } cases[] = {
      {"begin begin commit commit", {{'b', 0, 1}, {'b', 0, 2}, {'c', 0, 1}, {'c', 1, 0}}, true},
      {"inner rollback fails the transaction",
       {{'b', 0, 1}, {'b', 0, 2}, {'r', 0, 1}, {'c', 0x6006, 1}, {'b', 0x6006, 1}, {'r', 0, 0}},
       false},
      {"outer rollback", {{'b', 0, 1}, {'b', 0, 2}, {'c', 0, 1}, {'r', 0, 0}}, false},
      {"commit and rollback at level 0",
       {{'b', 0, 1}, {'c', 1, 0}, {'c', 0, 0}, {'r', 0, 0}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = db_test::fresh_db_path("tx.db");
    DatabaseConnection conn;
    ASSERT_TRUE(conn.open(path));
    bool inserted = false;
    for (const Step& s : c.steps) {
      int result = 0;
      try {
        if (s.op == 'b') {
          conn.begin_transaction(true, 0);
        } else if (s.op == 'c') {
          result = conn.commit_transaction() ? 1 : 0;
        } else {
          conn.rollback_transaction();
        }
      } catch (UmboException& e) {
        result = e.get_reason();
      }
      EXPECT_EQ(s.result, result) << s.op;
      EXPECT_EQ(s.level, conn.transaction_level()) << s.op;
      if (!inserted && conn.is_in_transaction()) {
        BindableQuery* q =
            static_cast<BindableQuery*>(conn.get_query_manager()->get_known_query(INSERT_REMOVED));
        q->bind(LOCAL_ID, 5);
        q->execute(0);
        inserted = true;
      }
    }
    EXPECT_EQ(0, conn.failed_transaction_code());
    RawDb raw(path);
    EXPECT_EQ(c.row_kept ? "1" : "0", raw.value("SELECT count(*) FROM removed"));
  }
}

// WAL: a reader on another connection is not held up by a writer's open transaction,
// and a second process opens and writes the same file.
TEST(DatabaseConnection, FileIsSharedWithReadersAndOtherProcesses) {
  const std::string path = db_test::fresh_db_path("shared.db");
  DatabaseConnection writer;
  ASSERT_TRUE(writer.open(path));
  const std::string uid = writer.uid();

  writer.begin_transaction(true, 0);
  BindableQuery* insert =
      static_cast<BindableQuery*>(writer.get_query_manager()->get_known_query(INSERT_REMOVED));
  insert->bind(LOCAL_ID, 1);
  insert->execute(0);
  {
    DatabaseConnection reader;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(reader.open(path));
    EXPECT_EQ(uid, reader.uid());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ("0", db_test::rows_on(db_test::handle_of(reader), "SELECT count(*) FROM removed")[0]);
  }
  ASSERT_TRUE(writer.commit_transaction());

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int code = 1;
    try {
      DatabaseConnection other;
      if (other.open(path) && other.uid() == uid) {
        other.begin_transaction(true, 0);
        BindableQuery* q =
            static_cast<BindableQuery*>(other.get_query_manager()->get_known_query(INSERT_REMOVED));
        q->bind(LOCAL_ID, 2);
        q->execute(0);
        code = other.commit_transaction() ? 0 : 2;
      }
    } catch (...) {
      code = 3;
    }
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_EQ(
      (std::vector<std::string>{"1", "2"}),
      db_test::rows_on(db_test::handle_of(writer), "SELECT local_id FROM removed ORDER BY 1"));
}

}  // namespace
