// Statement layer on a real database file: binding and reading rules, the statement
// life cycle, the slots of the manager, error codes and the busy back-off.
#include "support/DbTestUtil.h"

#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/database/BindableAndGettableQuery.h"
#include "adaptation_umbo/database/BindableQuery.h"
#include "adaptation_umbo/database/DatabaseConnection.h"
#include "adaptation_umbo/database/ErrorHandler.h"
#include "adaptation_umbo/database/GettableQuery.h"
#include "adaptation_umbo/database/QueryManager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

using namespace orva::keldra::internal;
using db_test::RawDb;
using orva::keldra::DynamicBuffer;
using orva::keldra::Field;

class QueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log.reset(new db_test::TraceLog());  // before the connection takes the logger
    path = db_test::fresh_db_path("query.db");
    conn.reset(new DatabaseConnection());
    ASSERT_TRUE(conn->open(path));
    qm = conn->get_query_manager();
    ASSERT_TRUE(qm);
  }

  // An ad-hoc statement on the connection; the slot is released by the test's end.
  template <class T>
  T* adhoc(int np, const QueryParameter* p, int nr, const QueryParameter* r, const char* sql) {
    return static_cast<T*>(qm->get_query(qm->new_query(np, p, nr, r, sql)));
  }

  void run(const char* sql) {
    Query* q = qm->get_query(qm->new_query(0, nullptr, 0, nullptr, sql));
    while (q->execute(0) != Query::DONE) {
    }
    qm->release_query(q);
  }

  std::unique_ptr<db_test::TraceLog> log;
  std::string path;
  std::unique_ptr<DatabaseConnection> conn;
  QueryManager* qm = nullptr;
};

Field binary_field(std::vector<unsigned char> bytes) {
  Field f;
  f.set_value(bytes);
  return f;
}

Field special_string() {
  Field f("special");
  f.set_special_type(Field::TYPE_SPECIAL_USTRING);
  return f;
}

// Each field type binds as its column form and reads back as the same field.
TEST_F(QueryTest, FieldsBindAsTheirColumnFormAndReadBack) {
  struct Case {
    const char* label;
    Field field;
    const char* stored;  // typeof(v) | v as the plain reader sees it
    bool comes_back;     // read back with its own type gives an equal field
  } cases[] = {
      {"none", Field(), "'null'|NULL", false},
      {"int32", Field(-5), "'integer'|-5", true},
      {"uint32 above 2^31-1", Field(4294967295u), "'integer'|-1", true},
      {"int64", Field(-1234567890123LL), "'integer'|-1234567890123", true},
      {"uint64 above 2^63-1", Field(9223372036854775809ULL), "'integer'|-9223372036854775807",
       true},
      {"float", Field(1.5f), "'real'|1.5", true},
      {"double", Field(-0.25), "'real'|-0.25", true},
      {"string", Field("Caf\xC3\xA9"), "'text'|'Caf\xC3\xA9'", true},
      {"empty string", Field(""), "'null'|NULL", false},
      {"special string", special_string(), "'null'|NULL", false},
      {"binary", binary_field({1, 2, 0, 255}), "'blob'|X'010200FF'", true},
      {"empty binary", binary_field({}), "'null'|NULL", false},
  };
  Field timestamp;
  timestamp.set_timestamp(1700000000123LL);

  const QueryParameter p[] = {VALUE_TEXT};
  const QueryParameter r[] = {VALUE_TEXT};
  run("CREATE TABLE t (id INTEGER PRIMARY KEY, v)");
  RawDb raw(path);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    run("DELETE FROM t");
    BindableQuery* insert = adhoc<BindableQuery>(1, p, 0, nullptr, "INSERT INTO t(v) VALUES (?)");
    insert->bind(VALUE_TEXT, c.field);
    EXPECT_EQ(Query::DONE, insert->execute(0));
    qm->release_query(insert);
    EXPECT_EQ(c.stored, raw.value("SELECT typeof(v), v FROM t"));

    GettableQuery* select = adhoc<GettableQuery>(0, nullptr, 1, r, "SELECT v FROM t");
    ASSERT_EQ(Query::ROW, select->execute(0));
    Field back;
    back.set_value(77);  // a NULL column leaves numeric fields as they were
    select->get_result(VALUE_TEXT, c.field.get_type(), back);
    if (c.comes_back) {
      EXPECT_TRUE(back.is_equal(c.field, false));
    }
    qm->release_query(select);
  }

  // A type-10 field is stored as NULL and comes back as an empty type-8 string.
  GettableQuery* select = adhoc<GettableQuery>(0, nullptr, 1, r, "SELECT v FROM t");
  ASSERT_EQ(Query::ROW, select->execute(0));
  Field back(12);
  EXPECT_FALSE(select->get_result(VALUE_TEXT, Field::TYPE_SPECIAL_USTRING, back));
  EXPECT_EQ(Field::TYPE_USTRING, back.get_type());
  std::string text = "x";
  back.get_value(text);
  EXPECT_EQ("", text);
  // Type 0 resets the field whatever the column holds.
  EXPECT_FALSE(select->get_result(VALUE_TEXT, Field::TYPE_NONE, back));
  EXPECT_EQ(Field::TYPE_NONE, back.get_type());
  qm->release_query(select);
}

TEST_F(QueryTest, BindingSkipsMembersOutsideTheListAndReadsNullAsNoValue) {
  BindableQuery* insert = static_cast<BindableQuery*>(qm->get_known_query(INSERT_ATTRIBUTE));
  insert->bind(ID, 999);  // not in the statement's list: SQLite picks the id
  insert->bind(VALUE_INT, 5);
  insert->bind(CLASS_NAME, std::string("address"));
  insert->bind(NAME, std::string(""));  // empty text binds nothing
  insert->bind(VALUE_BLOB, orva::SharedPointer<DynamicBuffer>());
  insert->bind(PARENT_OBJECT, 7);
  insert->bind(PARENT_ATTRIBUTE, 0);
  EXPECT_EQ(Query::DONE, insert->execute(0));
  EXPECT_EQ(1, conn->last_inserted_id());

  RawDb raw(path);
  EXPECT_EQ("1|'address'|NULL|NULL|7|0", raw.value("SELECT * FROM attribute"));

  BindableAndGettableQuery* select =
      static_cast<BindableAndGettableQuery*>(qm->get_known_query(SELECT_ATTRIBUTES));
  select->bind(PARENT_OBJECT, 7);
  ASSERT_EQ(Query::ROW, select->execute(0));
  std::string name = "old";
  EXPECT_FALSE(select->get_result(NAME, name));
  EXPECT_EQ("", name);
  int number = 42;
  EXPECT_FALSE(select->get_result(TARGET_ID, number));  // not a result of this statement
  EXPECT_EQ(42, number);
  orva::SharedPointer<DynamicBuffer> blob;
  EXPECT_FALSE(select->get_result(VALUE_BLOB, blob));
  EXPECT_FALSE(blob.is_valid());
  long long parent = 0;
  EXPECT_TRUE(select->get_result(PARENT_OBJECT, parent));
  EXPECT_EQ(7, parent);
  EXPECT_EQ(Query::DONE, select->execute(0));
}

TEST_F(QueryTest, AFinishedStatementRunsAgainWithItsBindingsCleared) {
  BindableQuery* insert = static_cast<BindableQuery*>(qm->get_known_query(INSERT_REMOVED));
  insert->bind(LOCAL_ID, 11);
  EXPECT_EQ(Query::DONE, insert->execute(0));
  EXPECT_EQ(Query::STATE_READY, insert->get_state());
  EXPECT_EQ(Query::DONE, insert->execute(0));  // the earlier binding is gone
  insert->bind(LOCAL_ID, 12);
  EXPECT_EQ(Query::DONE, insert->execute(0));
  // The same prepared statement is handed out again.
  EXPECT_EQ(insert, qm->get_known_query(INSERT_REMOVED));
  RawDb raw(path);
  EXPECT_EQ((std::vector<std::string>{"11", "NULL", "12"}),
            raw.rows("SELECT local_id FROM removed ORDER BY rowid"));
}

TEST_F(QueryTest, StepErrorsMapToCodesAndAFailedStatementIsPreparedAgain) {
  run("CREATE TABLE u (k INTEGER PRIMARY KEY)");
  const QueryParameter p[] = {ID};
  BindableQuery* insert = adhoc<BindableQuery>(1, p, 0, nullptr, "INSERT INTO u VALUES (?)");
  insert->bind(ID, 1);
  insert->execute(0);
  insert->bind(ID, 1);
  try {
    insert->execute(0);
    FAIL() << "constraint violation not reported";
  } catch (UmboException& e) {
    EXPECT_EQ(ORVA_ERROR_UNKNOWN, e.get_reason());  // SQLite result 19
    EXPECT_NE(std::string::npos, e.get_error_message().find("UNIQUE"));
  }
  EXPECT_EQ(Query::STATE_UNPREPARED, insert->get_state());
  insert->bind(ID, 2);  // binding prepares the statement again
  EXPECT_EQ(Query::DONE, insert->execute(0));
  RawDb raw(path);
  EXPECT_EQ("2", raw.value("SELECT count(*) FROM u"));

  // A table locked by a reader of the same connection: 0x6007 at once, no waiting.
  const QueryParameter r[] = {ID};
  GettableQuery* reader = adhoc<GettableQuery>(0, nullptr, 1, r, "SELECT k FROM u");
  ASSERT_EQ(Query::ROW, reader->execute(0));
  Query* drop = qm->get_query(qm->new_query(0, nullptr, 0, nullptr, "DROP TABLE u"));
  const int failures = log->count("Query::execute: failed: finalize");
  try {
    drop->execute(0);
    FAIL() << "locked table not reported";
  } catch (UmboException& e) {
    EXPECT_EQ(ORVA_ERROR_KELDRA_DATABASE_BUSY, e.get_reason());
  }
  EXPECT_EQ(0, log->count("Query::execute: busy: waiting"));
  EXPECT_EQ(failures + 1, log->count("Query::execute: failed: finalize"));
}

TEST_F(QueryTest, BadOrEmptySqlIsReported) {
  try {
    qm->new_query(0, nullptr, 0, nullptr, "SELEC nonsense");
    FAIL() << "bad SQL accepted";
  } catch (UmboException& e) {
    EXPECT_EQ(ORVA_ERROR_UNKNOWN, e.get_reason());
  }
  // The refused statement took no slot.
  EXPECT_EQ(34, qm->new_query(0, nullptr, 0, nullptr, "SELECT 1"));

  Query* empty = qm->get_query(qm->new_query(0, nullptr, 0, nullptr, ""));
  EXPECT_EQ(nullptr, empty->get_statement());
  EXPECT_THROW(empty->execute(0), UmboException);
}

TEST_F(QueryTest, EveryKnownStatementPreparesOnSchemaFiveWithItsClass) {
  for (int i = 0; i < KNOWN_QUERY_COUNT; ++i) {
    SCOPED_TRACE(i);
    Query* q = qm->get_known_query(static_cast<QueryName>(i));
    ASSERT_NE(nullptr, q);
    EXPECT_NE(nullptr, q->get_statement());
    EXPECT_EQ(known_query(i)->type, q->get_type());
    EXPECT_EQ(known_query(i)->sql, q->get_query_string());
    EXPECT_EQ(known_query(i)->param_count, sqlite3_bind_parameter_count(q->get_statement()));
    // SELECT * statements list every column of their table, in the table's order.
    if (known_query(i)->result_count) {
      EXPECT_EQ(known_query(i)->result_count, sqlite3_column_count(q->get_statement()));
    }
  }
  EXPECT_EQ(-1, QueryManager::get_known_query_index(KNOWN_QUERY_COUNT));
}

TEST_F(QueryTest, ManagerSlots) {
  EXPECT_EQ(nullptr, qm->get_query(-1));
  EXPECT_EQ(nullptr, qm->get_query(qm->slot_count()));
  EXPECT_EQ(2, log->count("WARNING QueryManager::get_query(): false index"));

  Query* known = qm->get_known_query(DELETE_OBJECT);
  qm->release_query(DELETE_OBJECT);  // fixed statements stay
  qm->release_query(known);
  EXPECT_EQ(known, qm->get_known_query(DELETE_OBJECT));

  EXPECT_EQ(34, qm->new_query(0, nullptr, 0, nullptr, "SELECT 1"));
  EXPECT_EQ(35, qm->new_query(0, nullptr, 0, nullptr, "SELECT 2"));
  qm->release_query(34);
  EXPECT_EQ(nullptr, qm->get_query(34));
  EXPECT_EQ(34, qm->new_query(0, nullptr, 0, nullptr, "SELECT 3"));
  EXPECT_EQ(36, qm->new_query(0, nullptr, 0, nullptr, "SELECT 4"));
  EXPECT_EQ(37, qm->new_query(0, nullptr, 0, nullptr, "SELECT 5"));
  EXPECT_EQ(38, qm->slot_count());
  qm->release_query(35);
  qm->release_query(36);
  // The hint is the last released slot; then the first empty one from 34 up.
  EXPECT_EQ(36, qm->new_query(0, nullptr, 0, nullptr, "SELECT 6"));
  EXPECT_EQ(35, qm->new_query(0, nullptr, 0, nullptr, "SELECT 7"));

  // The ad-hoc class follows the list counts.
  const QueryParameter l[] = {ID};
  EXPECT_EQ(QUERY_PLAIN, qm->get_query(35)->get_type());
  EXPECT_EQ(QUERY_BINDABLE, qm->get_query(qm->new_query(1, l, 0, nullptr, "SELECT ?"))->get_type());
  EXPECT_EQ(QUERY_GETTABLE, qm->get_query(qm->new_query(0, nullptr, 1, l, "SELECT 1"))->get_type());
  EXPECT_EQ(QUERY_BINDABLE_GETTABLE,
            qm->get_query(qm->new_query(1, l, 1, l, "SELECT ?"))->get_type());

  // reset drops every statement and finalizes ones made behind the manager's back.
  sqlite3_stmt* foreign = nullptr;
  sqlite3* db = db_test::handle_of(*conn);
  ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "SELECT 1", -1, &foreign, nullptr));
  qm->reset();
  EXPECT_EQ(nullptr, qm->get_query(34));
  EXPECT_EQ(nullptr, sqlite3_next_stmt(db, nullptr));
  EXPECT_EQ(
      1, log->count("WARNING: QueryManager::reset: found a statement not handled by the manager"));
}

// Another connection holds BEGIN EXCLUSIVE: our statements wait 5, 10, 20 ... ms.
TEST_F(QueryTest, BusyBackOffAgainstAnotherWriter) {
  RawDb other(path);
  ASSERT_EQ(SQLITE_OK, other.exec("BEGIN EXCLUSIVE"));
  Query* begin = qm->get_known_query(BEGIN_EXCLUSIVE_TRANSACTION);

  // Limited: three waits (35 ms), then 0x6007.
  auto start = std::chrono::steady_clock::now();
  try {
    begin->execute(3);
    FAIL() << "busy not reported";
  } catch (UmboException& e) {
    EXPECT_EQ(ORVA_ERROR_KELDRA_DATABASE_BUSY, e.get_reason());
  }
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(35));
  EXPECT_LT(waited, std::chrono::milliseconds(1500));
  EXPECT_EQ(3, log->count("Query::execute: busy: waiting"));

  // Unlimited: ten waits, 5115 ms in all, then 0x6007; the statement is prepared again.
  start = std::chrono::steady_clock::now();
  try {
    begin->execute(0);
    FAIL() << "busy not reported";
  } catch (UmboException& e) {
    EXPECT_EQ(ORVA_ERROR_KELDRA_DATABASE_BUSY, e.get_reason());
  }
  waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(5115));
  EXPECT_LT(waited, std::chrono::milliseconds(9000));
  EXPECT_EQ(13, log->count("Query::execute: busy: waiting"));

  // The other writer lets go while we wait: the statement goes through.
  std::thread releaser([&other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    other.exec("COMMIT");
  });
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(Query::DONE, begin->execute(0));
  releaser.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
  EXPECT_EQ(Query::DONE, qm->get_known_query(ROLLBACK_TRANSACTION)->execute(0));
}

// Preparing reads the schema: while another connection holds the file alone (another
// process making a new file's schema, say), a connection that has not read the schema
// yet waits as a step does, and its statement is prepared once the other lets go.
TEST_F(QueryTest, PreparingWaitsWhileAnotherConnectionHoldsTheFile) {
  const std::string plain = db_test::fresh_db_path("plain.db");  // no WAL: readers wait too
  RawDb other(plain);
  ASSERT_EQ(SQLITE_OK, other.exec("CREATE TABLE t (x); BEGIN EXCLUSIVE"));
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(plain.c_str(), &db));
  {
    ErrorHandler handler(db);
    std::thread releaser([&other] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      other.exec("COMMIT");
    });
    std::unique_ptr<Query> query;
    EXPECT_NO_THROW(query.reset(new Query(db, &handler, "SELECT x FROM t")));
    releaser.join();
    EXPECT_LE(1, log->count("Query::init: busy: waiting"));
    ASSERT_TRUE(query);
    EXPECT_EQ(Query::DONE, query->execute(0));
  }
  sqlite3_close(db);
}

}  // namespace
