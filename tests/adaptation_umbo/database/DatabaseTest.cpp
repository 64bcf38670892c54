// The database's life cycle, its transaction runner, and the object lists and id
// lookups, on the real file under the test's home.
#include "support/DbTestUtil.h"

#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/base/Utils.h"
#include "adaptation_umbo/database/BindableQuery.h"
#include "adaptation_umbo/database/Database.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <keldra/Attribute.h>
#include <keldra/StringPool.h>

#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <new>
#include <set>
#include <stdexcept>
#include <unistd.h>

namespace {

using namespace orva::keldra::internal;
using db_test::RawDb;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::ProgressHandler;

std::string db_path() { return keldra_test::home_dir() + "/.cities/OstraMaps.db"; }

// Every case starts without a store folder (cases may share one process).
class Database : public ::testing::Test {
 protected:
  // Names of fields and attributes live in the thread's string pool.
  orva::SharedPointer<orva::keldra::StringPool> pool = orva::keldra::StringPool::create();
  void SetUp() override {
    QDir(QString::fromStdString(keldra_test::home_dir() + "/.cities")).removeRecursively();
    ::unlink((keldra_test::home_dir() + "/.cities").c_str());
  }
};

struct Reports : ProgressHandler {
  std::vector<std::pair<float, int>> seen;
  void handle_progress(float progress, orva::ErrorCode status) override {
    seen.push_back({progress, status});
  }
};

void spin_event_loop(int ms = 100) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A database whose work steps write a row of table removed and then end as told.
class StepDb : public orva::keldra::internal::Database {
 public:
  enum Ending { RETURN, THROW_UMBO, THROW_BAD_ALLOC, THROW_OTHER };
  struct Step {
    int row;
    Ending ending;
    int code;
  };
  void write_then(void* record) {
    const Step* s = static_cast<const Step*>(record);
    BindableQuery* q =
        static_cast<BindableQuery*>(get_query_manager()->get_known_query(INSERT_REMOVED));
    q->bind(LOCAL_ID, s->row);
    q->execute(0);
    switch (s->ending) {
      case THROW_UMBO:
        throw UmboException(s->code, "step failed");
      case THROW_BAD_ALLOC:
        throw std::bad_alloc();
      case THROW_OTHER:
        throw std::runtime_error("other");
      default:
        break;
    }
  }
  orva::ErrorCode run(int row, Ending ending, int code = 0) {
    Step step = {row, ending, code};
    return execute_transaction(static_cast<WorkStep>(&StepDb::write_then), &step, true, 0);
  }
};

std::vector<std::string> removed_rows() {
  RawDb raw(db_path());
  return raw.rows("SELECT local_id FROM removed ORDER BY 1");
}

TEST_F(Database, InitReportsSuccessOnceFromTheEventLoop) {
  Reports first, second;
  StepDb db;
  db.init(&first);
  EXPECT_TRUE(first.seen.empty());  // nothing before init returns
  EXPECT_TRUE(db_test::file_exists(db_path()));
  db.init(&second);  // while the first report is still pending
  spin_event_loop();
  EXPECT_EQ((std::vector<std::pair<float, int>>{{1.0f, 0}}), first.seen);
  EXPECT_EQ((std::vector<std::pair<float, int>>{{1.0f, 0}}), second.seen);
  EXPECT_FALSE(db.uid().empty());

  // A later init opens nothing and reports again; a null handler hears nothing.
  Reports third;
  db.init(&third);
  db.init(nullptr);
  spin_event_loop();
  EXPECT_EQ(1u, third.seen.size());
  EXPECT_EQ(1u, first.seen.size());
}

TEST_F(Database, InitFailureIsReportedAtOnceAndOperationsRefuseWithoutConnection) {
  // A file where the folder should be: the database cannot be opened.
  ASSERT_TRUE(keldra_test::write_file(keldra_test::home_dir() + "/.cities", "not a folder"));
  Reports reports;
  StepDb db;
  // Before any init, and after the failed one, nothing reaches a connection.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::vector<Object> objects;
    std::vector<Link> links;
    EXPECT_EQ(1, db.get_object_headers(objects));
    EXPECT_EQ(1, db.get_new_objects(objects));
    EXPECT_EQ(1, db.get_modified_objects(objects));
    EXPECT_EQ(1, db.get_removed_objects(objects));
    EXPECT_EQ(1, db.get_object_children(1, links));
    EXPECT_EQ(0u, db.get_object_global_id(1));
    EXPECT_EQ(0u, db.get_object_local_id(1));
    EXPECT_EQ(1, db.purge_removed_ids());
    EXPECT_EQ(1, db.begin_transaction(true));
    EXPECT_EQ(1, db.commit_transaction());
    db.rollback_transaction();
    EXPECT_FALSE(db.is_in_transaction());
    EXPECT_EQ(1, db.run(1, StepDb::RETURN));
    EXPECT_EQ("", db.uid());
    if (round == 0) {
      db.init(&reports);
      EXPECT_EQ((std::vector<std::pair<float, int>>{{0.0f, 1}}), reports.seen);
    }
  }
  spin_event_loop();
  EXPECT_EQ(1u, reports.seen.size());  // nothing more from the event loop
}

// A store whose file lost one of its tables is refused with 1 at init, and its file is
// left as it is (not moved aside, not re-created).
TEST_F(Database, InitRefusesAStoreWithAMissingTable) {
  {
    StepDb db;
    db.init(nullptr);
    ASSERT_TRUE(db.is_open());
  }
  {
    RawDb raw(db_path());
    ASSERT_EQ(SQLITE_OK, raw.exec("DROP TABLE text"));
  }
  const std::string bytes = db_test::file_bytes(db_path());
  Reports reports;
  StepDb db;
  db.init(&reports);
  EXPECT_EQ((std::vector<std::pair<float, int>>{{0.0f, 1}}), reports.seen);
  EXPECT_FALSE(db.is_open());
  spin_event_loop();
  EXPECT_EQ(1u, reports.seen.size());
  EXPECT_TRUE(bytes == db_test::file_bytes(db_path())) << "file changed";
  EXPECT_FALSE(db_test::file_exists(db_path() + ".old"));
}

// The runner: how each ending of a work step leaves the data, alone and inside a
// caller's transaction.
TEST_F(Database, RunnerEndings) {
  struct Case {
    const char* label;
    StepDb::Ending ending;
    int code;
    int result;
    bool kept;
  } cases[] = {
      {"success", StepDb::RETURN, 0, 0, true},
      {"invalid parameters: committed", StepDb::THROW_UMBO, 3, 3, true},
      {"not found: committed", StepDb::THROW_UMBO, 8, 8, true},
      {"general failure: rolled back", StepDb::THROW_UMBO, 1, 1, false},
      {"busy: rolled back", StepDb::THROW_UMBO, 0x6007, 0x6007, false},
      {"out of memory: rolled back", StepDb::THROW_BAD_ALLOC, 0, 2, false},
      {"other exception: rolled back", StepDb::THROW_OTHER, 0, 1, false},
  };
  StepDb db;
  db.init(nullptr);
  ASSERT_TRUE(db.is_open());
  RawDb raw(db_path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    raw.exec("DELETE FROM removed");
    // Alone: its own transaction.
    EXPECT_EQ(c.result, db.run(1, c.ending, c.code));
    EXPECT_FALSE(db.is_in_transaction());
    EXPECT_EQ(c.kept ? "1" : "0", raw.value("SELECT count(*) FROM removed"));

    // Inside a caller's transaction, after a first successful step.
    raw.exec("DELETE FROM removed");
    ASSERT_EQ(0, db.begin_transaction(true));
    EXPECT_EQ(0, db.run(2, StepDb::RETURN));
    EXPECT_EQ(c.result, db.run(3, c.ending, c.code));
    EXPECT_TRUE(db.is_in_transaction());
    if (c.kept) {
      EXPECT_EQ(0, db.run(4, StepDb::RETURN));
      EXPECT_EQ(0, db.commit_transaction());
      EXPECT_EQ((std::vector<std::string>{"2", "3", "4"}), removed_rows());
    } else {
      // The failed transaction refuses further work and its commit rolls it all back.
      EXPECT_EQ(0x6006, db.run(4, StepDb::RETURN));
      EXPECT_EQ(0x6006, db.commit_transaction());
      EXPECT_TRUE(removed_rows().empty());
    }
    EXPECT_FALSE(db.is_in_transaction());
    // Nothing holds the file: another connection can write at once.
    EXPECT_EQ(SQLITE_OK, raw.exec("BEGIN EXCLUSIVE; COMMIT;"));
  }
}

TEST_F(Database, CommitWithoutTransactionAndDestructionInsideOne) {
  {
    StepDb db;
    db.init(nullptr);
    EXPECT_EQ(0, db.commit_transaction());
    ASSERT_EQ(0, db.begin_transaction(true));
    EXPECT_EQ(0, db.run(5, StepDb::RETURN));
  }
  EXPECT_TRUE(removed_rows().empty());
}

TEST_F(Database, LocaleChangeRebuildsTheSortKeys) {
  {
    orva::keldra::internal::Database db;
    db.init(nullptr);
  }
  const char* current = std::setlocale(LC_ALL, nullptr);
  {
    RawDb raw(db_path());
    EXPECT_EQ("'" + std::string(current) + "'", raw.value("SELECT locale FROM metadata"));
    ASSERT_EQ(SQLITE_OK,
              raw.exec("UPDATE metadata SET locale='xx_XX';"
                       "INSERT INTO text(type, name, value_text, collate_key) VALUES "
                       "(8, 'name', 'Caf\xC3\xA9', 'stale'), (8, 'name', 'Hall', 'stale'),"
                       "(1, 'n', NULL, 'stale');"));
  }
  orva::keldra::internal::Database db;
  db.init(nullptr);
  ASSERT_TRUE(db.is_open());
  RawDb raw(db_path());
  EXPECT_EQ("'" + std::string(current) + "'", raw.value("SELECT locale FROM metadata"));
  const std::vector<std::string> keys = raw.rows("SELECT collate_key FROM text ORDER BY id");
  ASSERT_EQ(3u, keys.size());
  EXPECT_EQ("'" + collate_key("cafe\xCC\x81") + "'", keys[0]);
  EXPECT_EQ("'" + collate_key("hall") + "'", keys[1]);
  EXPECT_EQ("NULL", keys[2]);  // no text, no key

  // With the same locale, nothing is recomputed.
  raw.exec("UPDATE text SET collate_key='kept'");
  orva::keldra::internal::Database again;
  again.init(nullptr);
  EXPECT_EQ("'kept'", raw.value("SELECT DISTINCT collate_key FROM text"));
}

TEST_F(Database, ObjectListsAndIdLookups) {
  orva::keldra::internal::Database db;
  db.init(nullptr);
  ASSERT_TRUE(db.is_open());
  {
    RawDb raw(db_path());
    // local_id, global_id, modified, no_sync
    ASSERT_EQ(
        SQLITE_OK,
        raw.exec(
            "INSERT INTO object(local_id, global_id, class_name, modified, no_sync, updeps) VALUES "
            "(1, 101, 'location', 0, 0, 1), (2, NULL, 'location', 1, 0, 0),"
            "(3, 103, 'route', 2, 0, 0), (4, 104, 'location', 3, 0, 0),"
            "(5, 105, 'location', 4, 0, 0), (6, 995, 'sys_config', 1, 1, 0),"
            "(7, 106, 'location', 2, 1, 0);"
            "INSERT INTO removed VALUES (40), (41);"
            "INSERT INTO attribute(id, class_name, parent_object, parent_attribute) VALUES "
            "(1, 'collection', 3, 0), (2, 'item', 3, 1);"
            "INSERT INTO link(target_id, target_gid, name, parent_object, parent_attribute) VALUES "
            "(1, 101, 'top', 3, 0), (2, NULL, 'a', 3, 1), (NULL, 999, 'b', 3, 2);"));
  }
  auto ids = [](const std::vector<Object>& list) {
    std::vector<unsigned int> out;
    for (const Object& o : list) {
      EXPECT_TRUE(o.is_partial());
      out.push_back(o.get_local_id());
    }
    return out;
  };
  std::vector<Object> headers, fresh, changed, removed;
  EXPECT_EQ(0, db.get_object_headers(headers));
  EXPECT_EQ((std::vector<unsigned int>{1, 2, 3, 4, 5}), ids(headers));
  EXPECT_EQ(101u, headers[0].get_global_id());
  EXPECT_TRUE(headers[0].has_local_only_content());
  EXPECT_TRUE(headers[3].get_flags() & Object::FLAG_STATE_3);
  EXPECT_EQ("route", headers[2].get_class_name());
  EXPECT_EQ(0, db.get_new_objects(fresh));
  EXPECT_EQ((std::vector<unsigned int>{2}), ids(fresh));
  EXPECT_EQ(0, db.get_modified_objects(changed));
  EXPECT_EQ((std::vector<unsigned int>{3}), ids(changed));
  EXPECT_EQ(0, db.get_removed_objects(removed));
  EXPECT_EQ((std::vector<unsigned int>{40, 41}), ids(removed));
  EXPECT_EQ(0u, removed[0].get_global_id());

  std::vector<Link> links;
  EXPECT_EQ(0, db.get_object_children(3, links));
  ASSERT_EQ(3u, links.size());
  EXPECT_EQ("top", links[0].get_name());
  EXPECT_EQ(101u, links[0].get_global_link());
  EXPECT_EQ(2u, links[1].get_local_link());
  EXPECT_EQ(0u, links[1].get_global_link());
  EXPECT_EQ(0u, links[2].get_local_link());
  EXPECT_EQ(999u, links[2].get_global_link());
  links.clear();
  EXPECT_EQ(0, db.get_object_children(1, links));
  EXPECT_TRUE(links.empty());

  struct Lookup {
    unsigned int local;
    unsigned long long global;
  } lookups[] = {{1, 101}, {3, 103}, {6, 995}};
  for (const Lookup& l : lookups) {
    EXPECT_EQ(l.global, db.get_object_global_id(l.local));
    EXPECT_EQ(l.local, db.get_object_local_id(l.global));
  }
  EXPECT_EQ(0u, db.get_object_global_id(2));  // stored without global id
  EXPECT_EQ(0u, db.get_object_global_id(0));
  EXPECT_EQ(0u, db.get_object_local_id(0));
  EXPECT_EQ(0u, db.get_object_global_id(99));
  EXPECT_EQ(0u, db.get_object_local_id(12345));

  EXPECT_EQ(0, db.purge_removed_ids());
  removed.clear();
  EXPECT_EQ(0, db.get_removed_objects(removed));
  EXPECT_TRUE(removed.empty());
}

// The local files whose path holds a name: each "local_uri" url at any depth (a place's
// icon frame too), whatever the characters of its folder, and no other text of the
// store (a remote address, another field of the uri) even where it holds the name.
TEST_F(Database, LocalFilesHoldingAName) {
  using orva::SharedPointer;
  using orva::keldra::Attribute;
  orva::keldra::internal::Database db;
  db.init(nullptr);
  ASSERT_TRUE(db.is_open());
  auto uri = [](const char* name, const std::string& url, const std::string& mime) {
    SharedPointer<Attribute> a(new Attribute(name, "uri"));
    a->add_field("url")->set_value(url);
    if (!mime.empty()) a->add_field("mime")->set_value(mime);
    return a;
  };
  auto media = [&](const std::string& local, const std::string& remote,
                   const std::string& mime = std::string()) {
    Object o("multimedia");
    o.set_service(std::string("personal"));
    if (!local.empty()) o.get_attributes().push_back(uri("local_uri", local, mime));
    if (!remote.empty()) o.get_attributes().push_back(uri("remote_uri", remote, ""));
    ASSERT_EQ(0, db.insert_object(o, false)) << local;
  };
  media("/p/md12", "https://example.com/f/md1");
  media("/p/md12-2", "");
  media("/p/md1", "");
  media("/home/\xc3\xa4\xe5\x86\x99/Bilder/md12", "");
  media("/p/other", "https://example.com/md12", "md12");
  Object place("location");
  place.set_service(std::string("personal"));
  SharedPointer<Attribute> meta(new Attribute("meta", "metadata"));
  SharedPointer<Attribute> icon(new Attribute("icon", "frame"));
  icon->get_attributes().push_back(uri("local_uri", "/p/icons/md12", "image/png"));
  meta->get_attributes().push_back(icon);
  place.get_attributes().push_back(meta);
  ASSERT_EQ(0, db.insert_object(place, false));

  const struct {
    const char* fragment;
    std::set<std::string> files;
  } cases[] = {
      {"md12", {"/p/md12", "/p/md12-2", "/home/\xc3\xa4\xe5\x86\x99/Bilder/md12", "/p/icons/md12"}},
      {"md1",
       {"/p/md12", "/p/md12-2", "/p/md1", "/home/\xc3\xa4\xe5\x86\x99/Bilder/md12",
        "/p/icons/md12"}},
      {"\xe5\x86\x99/Bilder", {"/home/\xc3\xa4\xe5\x86\x99/Bilder/md12"}},
      {"mdl7", {}},
      {"",
       {"/p/md12", "/p/md12-2", "/p/md1", "/home/\xc3\xa4\xe5\x86\x99/Bilder/md12", "/p/other",
        "/p/icons/md12"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fragment);
    std::vector<std::string> files;
    EXPECT_EQ(0, db.get_local_files(c.fragment, files));
    EXPECT_EQ(c.files, std::set<std::string>(files.begin(), files.end()));
    EXPECT_EQ(c.files.size(), files.size());
  }
}

}  // namespace
