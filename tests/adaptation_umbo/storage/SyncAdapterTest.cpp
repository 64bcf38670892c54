// The sync adapter on a real store file with the relay: the server's objects written
// from sync (state, removed-id record, change events and their holding), the lists the
// storage plug-in reads, and the server address by backend and debug redirect.
#include "support/AdapterFixture.h"

#include <keldra/Attribute.h>
#include <keldra/Link.h>
#include <keldra/ObjectConverter.h>
#include <keldra/RepositoryEvent.h>
#include <keldra/SyncAdapter.h>

#include "adaptation_umbo/base/Settings.h"
#include "adaptation_umbo/syncml/SyncAdapterUmbo.h"
#include "adaptation_umbo/database/Database.h"
#include "support/DbTestUtil.h"
#include "support/TestEnv.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using keldra_test::AdapterTest;
using keldra_test::Batches;
using keldra_test::Broadcast;
using keldra_test::Events;
using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::RepositoryEvent;
using orva::keldra::SyncAdapter;
using orva::keldra::UploadQueueItem;
using orva::keldra::internal::DataAdapterUmbo;
using orva::keldra::internal::Settings;
using orva::keldra::internal::SyncAdapterUmbo;

const char kUriVariable[] = "KELDRA_TEST_SYNC_URI";

// The adapter fixture with a sync adapter, the debug library stand-in in place (its
// address comes from KELDRA_TEST_SYNC_URI, empty when unset) and the log captured.
class SyncAdapterTest : public AdapterTest {
 protected:
  void SetUp() override {
    unsetenv(kUriVariable);
    Settings::set_library_path(KELDRADEBUG_URI_PATH);
    capture_log_ = true;
    AdapterTest::SetUp();
    if (HasFatalFailure()) return;
    sync_ = adapter_->sync_adapter();
    ASSERT_TRUE(sync_.is_valid());
  }
  void TearDown() override {
    sync_.release();
    AdapterTest::TearDown();
    Settings::set_library_path("/usr/lib/libkeldradebug");
    unsetenv(kUriVariable);
  }

  // A place as the server sends it: with its global id, modified marks set.
  static Object received(const char* name, unsigned long long global_id) {
    Object o = place(name);
    o.set_global_id(global_id);
    return o;
  }
  // Adds a received place; its new local id (0 on failure).
  unsigned int add(const char* name, unsigned long long global_id) {
    Object o = received(name, global_id);
    if (sync_->add_object(o) != 0) return 0;
    return o.get_local_id();
  }
  // The events of everything written so far, as the observer heard them; clears both
  // records for the next step.
  Batches heard() {
    settle_bus();
    Batches batches = observer_.batches;
    observer_.batches.clear();
    peer_->heard.clear();
    return batches;
  }
  // One integer of the store file read over a connection of its own; -1 without a row.
  static long long file_value(const std::string& sql) {
    sqlite3* db = nullptr;
    long long value = -1;
    const std::string path = keldra_test::home_dir() + "/.cities/OstraMaps.db";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
          sqlite3_step(stmt) == SQLITE_ROW) {
        value = sqlite3_column_int64(stmt, 0);
      }
      sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return value;
  }
  static long long state_of(unsigned int local_id) {
    return file_value("SELECT modified FROM object WHERE local_id = " + std::to_string(local_id));
  }
  static long long removed_records() { return file_value("SELECT count(*) FROM removed"); }
  static std::vector<unsigned int> ids_of(const std::vector<Object>& objects) {
    std::vector<unsigned int> ids;
    for (const Object& o : objects) ids.push_back(o.get_local_id());
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  static Events events(const std::vector<std::pair<int, unsigned int>>& pairs) {
    Events out;
    for (const auto& p : pairs) out.push_back(RepositoryEvent(p.first, static_cast<int>(p.second)));
    return out;
  }

  // The object of a compact text as the server or the sync daemon sends it.
  static Object decoded(const std::string& text) {
    SharedPointer<orva::keldra::ObjectConverter> converter =
        orva::keldra::ObjectConverter::create();
    ObjectPtr object;
    EXPECT_EQ(0, converter->decode(reinterpret_cast<const unsigned char*>(text.data()),
                                   static_cast<unsigned int>(text.size()), object,
                                   KELDRA_COMPACT_MIME_TYPE))
        << text;
    return object.is_valid() ? *object : Object();
  }
  // The url of the object's local file; "-" when it names none.
  static std::string local_file(const Object& o) {
    const int i = o.get_attributes().find_attribute("local_uri", std::string());
    if (i < 0) return "-";
    const Attribute& a = *o.get_attributes()[static_cast<unsigned int>(i)];
    const int f = a.find_field("url");
    if (f < 0) return "-";
    std::string url;
    a.get_fields()[static_cast<unsigned int>(f)].get_value(url);
    return url;
  }
  std::string stored_file(unsigned int local_id) {
    Object o;
    EXPECT_EQ(0, repo_->get_object(local_id, o)) << local_id;
    return local_file(o);
  }
  // A photo whose file is |path| on this device, synchronised with global id |gid|: made
  // here, then confirmed by the server. Its local id.
  unsigned int synced_photo(const std::string& path, unsigned long long gid) {
    Object o("multimedia");
    o.set_name(std::string("photo"));
    o.set_service(std::string("personal"));
    if (!path.empty()) {
      SharedPointer<Attribute> uri(new Attribute("local_uri", "uri"));
      uri->add_field("url")->set_value(path);
      o.get_attributes().push_back(uri);
    }
    EXPECT_EQ(0, repo_->insert_object(o));
    Object copy("multimedia");
    copy.set_name(std::string("photo"));
    copy.set_global_id(gid);
    EXPECT_EQ(0, sync_->replace_object(o.get_local_id(), copy));
    EXPECT_EQ(path.empty() ? "-" : path, stored_file(o.get_local_id()));
    return o.get_local_id();
  }
  static long long shared_global_ids() {
    return db_test::shared_global_ids(keldra_test::home_dir() + "/.cities/OstraMaps.db");
  }
  // Every local file the object records, at any level, as "<place>=<url>": the place is
  // the path of names with each one's rank among its siblings of that name and class.
  static std::vector<std::string> files_of(const orva::keldra::AttributeList& list,
                                           const std::string& at = "") {
    std::vector<std::string> out;
    for (unsigned int i = 0; i < list.size(); ++i) {
      const Attribute& a = *list[i];
      int rank = 0;
      for (unsigned int j = 0; j < i; ++j) {
        rank += list[j]->get_name() == a.get_name() &&
                list[j]->get_class_name() == a.get_class_name();
      }
      const std::string place = at + a.get_name() + "#" + std::to_string(rank);
      if (a.get_name() == "local_uri") {
        std::string url = "-";
        if (a.find_field("url") >= 0) a.get_fields()[a.find_field("url")].get_value(url);
        out.push_back(place + "=" + url);
      }
      for (const std::string& f : files_of(a.get_attributes(), place + "/")) out.push_back(f);
    }
    return out;
  }
  std::vector<std::string> stored_files(unsigned int local_id) {
    Object o;
    EXPECT_EQ(0, repo_->get_object(local_id, o)) << local_id;
    return files_of(o.get_attributes());
  }

  SharedPointer<SyncAdapter> sync_;
};

TEST_F(SyncAdapterTest, EveryCallGivesANewAdapterOverTheOneDatabase) {
  SharedPointer<SyncAdapter> other = adapter_->sync_adapter();
  ASSERT_TRUE(other.is_valid());
  EXPECT_NE(other.get(), sync_.get());
  unsigned int a = add("a", 500);
  ASSERT_NE(0u, a);
  std::vector<Object> all;
  ASSERT_EQ(0, other->all_objects(all));
  EXPECT_EQ(std::vector<unsigned int>{a}, ids_of(all));
  // The storage plug-in reaches the purge through the implementation type.
  EXPECT_NE(nullptr, dynamic_cast<SyncAdapterUmbo*>(other.get()));
  EXPECT_TRUE(log_->has("SyncAdapterUmbo::SyncAdapterUmbo"));
  other.release();
  EXPECT_TRUE(log_->has("SyncAdapterUmbo::~SyncAdapterUmbo"));
}

TEST_F(SyncAdapterTest, AddStoresTheServersObjectSynchronisedUnderANewLocalId) {
  Object o = received("from server", 700);
  o.set_local_id(4242);  // the sender's id means nothing here
  ASSERT_EQ(0, sync_->add_object(o));
  const unsigned int id = o.get_local_id();
  EXPECT_NE(0u, id);
  EXPECT_NE(4242u, id);
  EXPECT_FALSE(o.is_modified());
  EXPECT_EQ(0, state_of(id));
  EXPECT_EQ((Batches{events({{1, id}})}), heard());
  Object stored;
  ASSERT_EQ(0, repo_->get_object(id, stored));
  EXPECT_EQ(700ull, stored.get_global_id());
  EXPECT_EQ("from server", stored.get_name());
  EXPECT_TRUE(log_->has("SyncAdapterUmbo::add_object: lid 4242, gid 700"));
}

TEST_F(SyncAdapterTest, AddOfAStoredGlobalIdReplacesThatObject) {
  const unsigned int id = add("first", 701);
  ASSERT_NE(0u, id);
  heard();
  Object again = received("second", 701);
  ASSERT_EQ(0, sync_->add_object(again));
  EXPECT_EQ(id, again.get_local_id());
  EXPECT_FALSE(again.is_modified());
  EXPECT_EQ((Batches{events({{2, id}})}), heard());
  std::vector<Object> all;
  ASSERT_EQ(0, sync_->all_objects(all));
  EXPECT_EQ(std::vector<unsigned int>{id}, ids_of(all));
  Object stored;
  ASSERT_EQ(0, repo_->get_object(id, stored));
  EXPECT_EQ("second", stored.get_name());
  EXPECT_TRUE(log_->has("SyncAdapterUmbo::add_object called for existing object(" +
                        std::to_string(id) + "), using replace!"));
}

TEST_F(SyncAdapterTest, AddWithoutGlobalIdInsertsAfterAWarning) {
  const unsigned int a = add("a", 0);
  const unsigned int b = add("b", 0);
  ASSERT_NE(0u, a);
  ASSERT_NE(0u, b);
  EXPECT_NE(a, b);
  EXPECT_EQ(0, state_of(a));
  EXPECT_EQ((Batches{events({{1, a}}), events({{1, b}})}), heard());
  EXPECT_EQ(2, log_->count("WARNING SyncAdapterUmbo::add_object, null gid!"));
}

TEST_F(SyncAdapterTest, ReplaceRewritesALocalObjectAsSynchronised) {
  const unsigned int id = insert("local");
  ASSERT_NE(0u, id);
  ASSERT_EQ(1, state_of(id));  // new, never uploaded
  heard();
  Object o = received("from server", 702);
  ASSERT_EQ(0, sync_->replace_object(id, o));
  EXPECT_EQ(id, o.get_local_id());
  EXPECT_FALSE(o.is_modified());
  EXPECT_EQ(0, state_of(id));
  EXPECT_EQ(702ull, repo_->get_object_global_id(id));
  EXPECT_EQ((Batches{events({{2, id}})}), heard());
}

TEST_F(SyncAdapterTest, DeleteByLocalOrGlobalIdLeavesNoRemovedRecord) {
  const struct {
    const char* name;
    bool by_global_id;
  } cases[] = {{"by local id", false}, {"by global id", true}};
  unsigned long long gid = 800;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const unsigned int keep = add("keep", ++gid);
    const unsigned int id = add("gone", ++gid);
    ASSERT_NE(0u, id);
    heard();
    const orva::ErrorCode code =
        c.by_global_id ? sync_->delete_object(gid) : sync_->delete_object(id);
    EXPECT_EQ(0, code);
    EXPECT_EQ((Batches{events({{3, id}})}), heard());
    Object gone;
    EXPECT_EQ(8, repo_->get_object(id, gone));
    EXPECT_EQ(0, removed_records());
    std::vector<Object> removed;
    ASSERT_EQ(0, sync_->removed_objects(removed));
    EXPECT_TRUE(removed.empty());
    Object kept;
    EXPECT_EQ(0, repo_->get_object(keep, kept));
  }
}

// A global id that no object has names nothing to remove: success, and no event (an
// event for local id 0 would name no object).
TEST_F(SyncAdapterTest, DeleteOfAnUnknownGlobalIdSucceedsSilently) {
  const unsigned int id = add("stays", 900);
  ASSERT_NE(0u, id);
  heard();
  umbo_->setInSync(true);
  EXPECT_EQ(0, sync_->delete_object(901ull));
  EXPECT_TRUE(umbo_->held_events().empty());
  umbo_->setInSync(false);
  EXPECT_EQ(0, sync_->delete_object(902ull));
  EXPECT_TRUE(heard().empty());
  std::vector<Object> all;
  ASSERT_EQ(0, sync_->all_objects(all));
  EXPECT_EQ(std::vector<unsigned int>{id}, ids_of(all));
  // A local id is taken as the server named it: removing what is not there succeeds.
  EXPECT_EQ(0, sync_->delete_object(777u));
  EXPECT_EQ((Batches{events({{3, 777}})}), heard());
}

// A lookup of the global id that fails is the operation's failure: taking it for an
// unknown id would report a removal that never happened, or store the server's object a
// second time.
TEST_F(SyncAdapterTest, AFailedGlobalIdLookupIsReturnedNotTakenForAnUnknownId) {
  const unsigned int stored = add("stored", 990);
  ASSERT_NE(0u, stored);
  heard();
  // An adapter whose database was never opened: every read fails with 1.
  SharedPointer<DataAdapterUmbo> unopened_adapter(new DataAdapterUmbo());
  SharedPointer<SyncAdapter> unopened = unopened_adapter->sync_adapter();
  ASSERT_TRUE(unopened.is_valid());
  const orva::ErrorCode kFailed = 0x6006;
  const struct {
    const char* name;
    bool in_failed_transaction;
    SyncAdapter* adapter;
    std::function<orva::ErrorCode(SyncAdapter&)> write;
    orva::ErrorCode code;
  } cases[] = {
      {"delete by a stored global id in a failed transaction", true, sync_.get(),
       [](SyncAdapter& s) { return s.delete_object(990ull); }, kFailed},
      {"delete by an unknown global id in a failed transaction", true, sync_.get(),
       [](SyncAdapter& s) { return s.delete_object(991ull); }, kFailed},
      {"add of a stored global id in a failed transaction", true, sync_.get(),
       [](SyncAdapter& s) {
         Object o = received("again", 990);
         return s.add_object(o);
       },
       kFailed},
      {"delete by global id, database not open", false, unopened.get(),
       [](SyncAdapter& s) { return s.delete_object(990ull); }, 1},
      {"add of a global id, database not open", false, unopened.get(),
       [](SyncAdapter& s) {
         Object o = received("again", 990);
         return s.add_object(o);
       },
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.in_failed_transaction) {
      ASSERT_EQ(0, repo_->begin_transaction(true));
      // A level rolled back on the database itself, as the runner does for a failed step.
      ASSERT_EQ(0, umbo_->database()->begin_transaction(false));
      umbo_->database()->rollback_transaction();
    }
    EXPECT_EQ(c.code, c.write(*c.adapter));
    if (c.in_failed_transaction) {
      EXPECT_EQ(kFailed, repo_->commit_transaction());
    }
    EXPECT_TRUE(heard().empty());
    EXPECT_EQ(1, file_value("SELECT count(*) FROM object WHERE global_id = 990"));
    Object read;
    ASSERT_EQ(0, repo_->get_object(stored, read));
    EXPECT_EQ("stored", read.get_name());
  }
}

TEST_F(SyncAdapterTest, AFailedWriteDispatchesNothing) {
  const unsigned int stored = add("stored", 950);
  ASSERT_NE(0u, stored);
  const struct {
    const char* name;
    std::function<orva::ErrorCode(SyncAdapter&)> write;
    orva::ErrorCode code;
  } cases[] = {
      {"replace of a local id no object has",
       [](SyncAdapter& s) {
         Object o = received("x", 951);
         return s.replace_object(777, o);
       },
       8},
      {"replace by an object of another class",
       [&](SyncAdapter& s) {
         Object o = received("x", 950);
         o.set_class_name(std::string("route"));
         return s.replace_object(stored, o);
       },
       3},
      {"add whose stored namesake has another class",
       [](SyncAdapter& s) {
         Object o = received("x", 950);
         o.set_class_name(std::string("route"));
         return s.add_object(o);
       },
       3},
      {"delete of local id 0", [](SyncAdapter& s) { return s.delete_object(0u); }, 3},
      {"add without a class",
       [](SyncAdapter& s) {
         Object o = received("x", 952);
         o.set_class_name(std::string());
         return s.add_object(o);
       },
       3},
  };
  heard();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool in_sync : {false, true}) {
      umbo_->setInSync(in_sync);
      EXPECT_EQ(c.code, c.write(*sync_));
      EXPECT_TRUE(umbo_->held_events().empty());
      umbo_->setInSync(false);
    }
    EXPECT_TRUE(heard().empty());
  }
  Object read;
  ASSERT_EQ(0, repo_->get_object(stored, read));
  EXPECT_EQ("stored", read.get_name());
}

// Writes inside a caller's transaction that failed: each returns the failure, none is
// announced, and the commit announces nothing either.
TEST_F(SyncAdapterTest, WritesInAFailedTransactionAnnounceNothing) {
  const unsigned int id = add("stored", 960);
  ASSERT_NE(0u, id);
  heard();
  ASSERT_EQ(0, repo_->begin_transaction(true));
  // A level rolled back on the database itself, as the runner does for a failed step.
  ASSERT_EQ(0, umbo_->database()->begin_transaction(false));
  umbo_->database()->rollback_transaction();
  const int kFailed = 0x6006;
  Object a = received("a", 961);
  EXPECT_EQ(kFailed, sync_->add_object(a));
  Object b = received("b", 960);
  EXPECT_EQ(kFailed, sync_->replace_object(id, b));
  EXPECT_EQ(kFailed, sync_->delete_object(id));
  EXPECT_TRUE(umbo_->held_events().empty());
  EXPECT_EQ(kFailed, repo_->commit_transaction());
  EXPECT_TRUE(heard().empty());
  EXPECT_EQ(id, repo_->get_object_local_id(960));
}

TEST_F(SyncAdapterTest, EventsAreHeldUnderTheSyncMarkAndInsideATransaction) {
  const unsigned int old = add("old", 970);
  ASSERT_NE(0u, old);
  heard();
  enum Holder { SYNC_MARK, TRANSACTION, ROLLED_BACK };
  const struct {
    const char* name;
    Holder holder;
  } cases[] = {{"sync mark, sent by flush", SYNC_MARK},
               {"transaction, sent by the commit", TRANSACTION},
               {"rolled back transaction, never sent", ROLLED_BACK}};
  unsigned long long gid = 980;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.holder == SYNC_MARK) {
      umbo_->setInSync(true);
    } else {
      ASSERT_EQ(0, repo_->begin_transaction(true));
    }
    const unsigned int added = add("new", ++gid);
    ASSERT_NE(0u, added);
    Object replaced = received("replaced", 970);
    ASSERT_EQ(0, sync_->add_object(replaced));
    const unsigned int removed = add("short-lived", ++gid);
    ASSERT_EQ(0, sync_->delete_object(gid));
    EXPECT_EQ(4u, umbo_->held_events().size());
    settle_bus();
    EXPECT_TRUE(observer_.batches.empty());
    const Events written = events({{1, added}, {2, old}, {1, removed}, {3, removed}});
    switch (c.holder) {
      case SYNC_MARK:
        umbo_->setInSync(false);
        settle_bus();
        EXPECT_TRUE(observer_.batches.empty());  // clearing the mark sends nothing
        umbo_->flush(false);
        EXPECT_EQ(Batches{written}, heard());
        break;
      case TRANSACTION:
        ASSERT_EQ(0, repo_->commit_transaction());
        EXPECT_EQ(Batches{written}, heard());
        break;
      case ROLLED_BACK:
        repo_->rollback_transaction();
        EXPECT_TRUE(heard().empty());
        EXPECT_EQ(0u, repo_->get_object_local_id(gid - 1));
        break;
    }
    EXPECT_TRUE(umbo_->held_events().empty());
  }
}

TEST_F(SyncAdapterTest, ListsAndPurgeFollowTheStoredStates) {
  const unsigned int fresh = insert("new, never uploaded");
  const unsigned int synced = add("synchronised", 1001);
  const unsigned int changed = add("changed here", 1002);
  Object o;
  ASSERT_EQ(0, repo_->get_object(changed, o));
  o.set_name(std::string("changed locally"));
  ASSERT_EQ(0, repo_->update_object(o));
  const unsigned int removed = add("removed here", 1003);
  ASSERT_EQ(0, repo_->remove_object(removed));
  Object hidden = place("not synchronised");
  hidden.set_no_sync(true);
  ASSERT_EQ(0, repo_->insert_object(hidden));
  ASSERT_EQ(2, state_of(changed));

  const struct {
    const char* name;
    orva::ErrorCode (SyncAdapter::*list)(std::vector<Object>&) const;
    std::vector<unsigned int> ids;
    const char* log_line;
  } cases[] = {
      {"all", &SyncAdapter::all_objects, {fresh, synced, changed}, "SyncAdapterUmbo::all_objects"},
      {"new", &SyncAdapter::new_objects, {fresh}, "SyncAdapterUmbo::new_objects"},
      {"changed", &SyncAdapter::changed_objects, {changed}, "SyncAdapterUmbo::changed_objects"},
      {"removed", &SyncAdapter::removed_objects, {removed}, "SyncAdapterUmbo::removed_objects"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Object> out;
    ASSERT_EQ(0, ((*sync_).*c.list)(out));
    std::vector<unsigned int> expected = c.ids;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, ids_of(out));
    EXPECT_TRUE(log_->has(c.log_line));
  }

  SyncAdapterUmbo* umbo_sync = dynamic_cast<SyncAdapterUmbo*>(sync_.get());
  ASSERT_NE(nullptr, umbo_sync);
  EXPECT_EQ(0, umbo_sync->purge_removed_ids());
  EXPECT_TRUE(log_->has("SyncAdapterUmbo::purge_removed_ids"));
  std::vector<Object> after;
  ASSERT_EQ(0, sync_->removed_objects(after));
  EXPECT_TRUE(after.empty());
  EXPECT_EQ(0, removed_records());
  EXPECT_EQ(0, umbo_sync->purge_removed_ids());  // nothing left: still fine
  std::vector<Object> all;
  ASSERT_EQ(0, sync_->all_objects(all));
  EXPECT_EQ(3u, all.size());
}

// Only the removals a sync sent are forgotten: one recorded after the list was taken
// stays for the next sync.
TEST_F(SyncAdapterTest, PurgeOfListedIdsKeepsLaterRemovals) {
  const unsigned int first = add("sent removal", 1101);
  const unsigned int second = add("removed meanwhile", 1102);
  ASSERT_EQ(0, repo_->remove_object(first));
  std::vector<Object> listed;
  ASSERT_EQ(0, sync_->removed_objects(listed));
  ASSERT_EQ(std::vector<unsigned int>{first}, ids_of(listed));
  ASSERT_EQ(0, repo_->remove_object(second));

  SyncAdapterUmbo* umbo_sync = dynamic_cast<SyncAdapterUmbo*>(sync_.get());
  ASSERT_NE(nullptr, umbo_sync);
  EXPECT_EQ(0, umbo_sync->purge_removed_ids(std::vector<unsigned int>{first}));
  std::vector<Object> after;
  ASSERT_EQ(0, sync_->removed_objects(after));
  EXPECT_EQ(std::vector<unsigned int>{second}, ids_of(after));
  // Nothing listed: nothing forgotten.
  EXPECT_EQ(0, umbo_sync->purge_removed_ids(std::vector<unsigned int>{}));
  EXPECT_EQ(1, removed_records());
}

TEST_F(SyncAdapterTest, UnsupportedOperationsAnswerOneAndChangeNothing) {
  const unsigned int id = insert("local");
  ASSERT_NE(0u, id);
  heard();
  // The record is never read, so any storage will do for its reference.
  alignas(8) char record[64] = {};
  UploadQueueItem& item = reinterpret_cast<UploadQueueItem&>(record);
  std::vector<Object> out(1);
  const struct {
    const char* name;
    std::function<long long()> call;
    long long result;
    const char* warning;  // null: nothing logged
  } cases[] = {
      {"get_last_sync", [&] { return sync_->get_last_sync(); }, 0, nullptr},
      {"set_last_sync", [&] { return (long long)sync_->set_last_sync(123456); }, 1, nullptr},
      {"get_last_sync after setting", [&] { return sync_->get_last_sync(); }, 0, nullptr},
      {"new_objects with a filter",
       [&] { return (long long)sync_->new_objects(out, "class = 'location'"); }, 1, nullptr},
      {"mark_object_synced", [&] { return (long long)sync_->mark_object_synced(id); }, 1,
       "WARNING: SyncAdapterUmbo::mark_object_synced called: not implemented!"},
      {"mark_all_unsynced", [&] { return (long long)sync_->mark_all_unsynced(); }, 1,
       "WARNING: SyncAdapterUmbo::mark_all_unsynced called: not implemented!"},
      {"update_queue_item", [&] { return (long long)sync_->update_queue_item(item); }, 1,
       "WARNING: SyncAdapterUmbo::update_queue_item called: not implemented!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.result, c.call());
    if (c.warning) {
      EXPECT_EQ(1u, log_->count_exact(c.warning));
    }
  }
  EXPECT_EQ(1u, out.size());  // the filtered list leaves its output alone
  EXPECT_EQ(1, state_of(id));
  EXPECT_TRUE(heard().empty());
  static_cast<SyncAdapterUmbo*>(sync_.get())->sync_event(0x6001, 0.5f);  // has no effect
  EXPECT_EQ(1, state_of(id));
}

TEST_F(SyncAdapterTest, ServerAddressByBackendOrRedirect) {
  const std::string default_uri =
      std::string("https://") + SyncAdapterUmbo::kDefaultHost + ":443/sync";
  const std::string china_uri = std::string("https://") + SyncAdapterUmbo::kChinaHost + ":443/sync";
  EXPECT_NE(default_uri, china_uri);
  const char* redirect = "https://127.0.0.1:8443/keldra/sync";
  const struct {
    const char* name;
    int32_t backend;
    const char* redirect;  // null: the debug library gives no address
    std::string uri;
    const char* log_line;
  } cases[] = {
      {"default endpoint", DataAdapterUmbo::DEFAULT, nullptr, default_uri,
       "SyncAdapterUmbo::select_backend_impl SyncService::DEFAULT use KELD_DEFAULT_URI "
       "(default)."},
      {"China endpoint", DataAdapterUmbo::CHINA, nullptr, china_uri,
       "SyncAdapterUmbo::select_backend_impl SyncService::CHINA use chinese backend server."},
      {"redirect over the default endpoint", DataAdapterUmbo::DEFAULT, redirect, redirect,
       "SyncAdapterUmbo::server_uri: server_uri = https://127.0.0.1:8443/keldra/sync"},
      {"redirect over the China endpoint", DataAdapterUmbo::CHINA, redirect, redirect,
       "SyncAdapterUmbo::server_uri: server_uri = https://127.0.0.1:8443/keldra/sync"},
      {"an empty redirect changes nothing", DataAdapterUmbo::CHINA, "", china_uri,
       "SyncAdapterUmbo::server_uri --"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(0, umbo_->select_backend(c.backend));
    if (c.redirect) {
      setenv(kUriVariable, c.redirect, 1);
    } else {
      unsetenv(kUriVariable);
    }
    const size_t before = log_->count_exact(c.log_line);
    EXPECT_EQ(c.uri, sync_->server_uri());
    EXPECT_EQ(before + 1, log_->count_exact(c.log_line));
  }
  // A refused backend leaves the last one in force.
  EXPECT_EQ(3, umbo_->select_backend(2));
  unsetenv(kUriVariable);
  EXPECT_EQ(china_uri, sync_->server_uri());
}

// No object from the server or the sync daemon sets, changes or clears a file of the
// device: the stored file stays whatever the object names. Only the device's own
// download stores the file it gives.
TEST_F(SyncAdapterTest, ServerObjectsNeverSetChangeOrClearALocalFile) {
  const std::string mine = keldra_test::home_dir() + "/Pictures/md777002";
  const std::string secret = keldra_test::home_dir() + "/secret.txt";
  const std::string named = "A0:uri:local_uri;F:8:url:" + secret + ";F:8:mime:text/plain;";
  enum Write { ADD, REPLACE, REPLACE_WITH_OWN_FILE };
  const struct {
    const char* name;
    std::string stored_file;  // the stored object's file; "" no stored object (or none)
    bool stored;
    Write write;
    std::string text;  // the object written
    std::string file_after;
  } cases[] = {
      {"add of a new object naming a file", "", false, ADD, "O:multimedia:photo:9999;" + named,
       "-"},
      {"add of a stored global id naming another file", mine, true, ADD,
       "O:multimedia:photo:9999;" + named, mine},
      {"replace naming another file", mine, true, REPLACE, "O:multimedia:photo:9999;" + named,
       mine},
      {"replace without a file (a rename)", mine, true, REPLACE, "O:multimedia:renamed:9999;",
       mine},
      {"replace naming a file over an object without one", "", true, REPLACE,
       "O:multimedia:photo:9999;" + named, "-"},
      {"a file named under another class", mine, true, REPLACE,
       "O:multimedia:photo:9999;A0:text:local_uri;F:8:url:" + secret + ";", mine},
      {"the device's own download", "", true, REPLACE_WITH_OWN_FILE,
       "O:multimedia:photo:9999;" + named, secret},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const unsigned int id = c.stored ? synced_photo(c.stored_file, 9999) : 0;
    Object o = decoded(c.text);
    ASSERT_EQ(9999ull, o.get_global_id());
    switch (c.write) {
      case ADD:
        ASSERT_EQ(0, sync_->add_object(o));
        break;
      case REPLACE:
        ASSERT_EQ(0, sync_->replace_object(id, o));
        break;
      case REPLACE_WITH_OWN_FILE:
        ASSERT_EQ(0, dynamic_cast<SyncAdapterUmbo&>(*sync_).replace_object_with_local_file(id, o));
        break;
    }
    const unsigned int written = o.get_local_id();
    if (c.stored) {
      EXPECT_EQ(id, written);
    }
    EXPECT_EQ(c.file_after, stored_file(written));
    EXPECT_EQ(0, state_of(written));
    ASSERT_EQ(0, sync_->delete_object(written));
  }
}

// Local files below the top level (an icon frame of a place's metadata has one) come
// from the device alone as well: received data names none at any level, and a server
// copy keeps the stored file of each part it still has at the same place (same name
// and class, same rank, at every level), while a part it no longer has takes its file
// with it.
TEST_F(SyncAdapterTest, ServerObjectsNeverSetOrClearTheFilesOfTheirParts) {
  const std::string icon_a = keldra_test::home_dir() + "/icons/a.png";
  const std::string icon_b = keldra_test::home_dir() + "/icons/b.png";
  const std::string deep = keldra_test::home_dir() + "/icons/deep.png";
  const std::string passwd = "A3:uri:local_uri;F:8:url:/etc/passwd;";
  auto icon = [](const std::string& file) {
    return "A1:frame:icon;F:1:frameno:0;" +
           (file.empty() ? std::string() : "A2:uri:local_uri;F:8:url:" + file + ";");
  };
  // A place of the application's: two icons with files, and an address whose own
  // metadata has an icon with a file.
  const std::string mine = "O:location:home:0;A0:metadata:meta;" + icon(icon_a) + icon(icon_b) +
                           "A0:address:address;A1:metadata:meta;A2:frame:icon;"
                           "A3:uri:local_uri;F:8:url:" + deep + ";";
  const std::string a = "meta#0/icon#0/local_uri#0=" + icon_a;
  const std::string b = "meta#0/icon#1/local_uri#0=" + icon_b;
  const std::string d = "address#0/meta#0/icon#0/local_uri#0=" + deep;
  enum Write { ADD, REPLACE };
  const struct {
    const char* name;
    bool stored;  // the application's place, then this copy of the server's
    Write write;
    std::string copy;
    std::vector<std::string> files_after;
  } cases[] = {
      {"a received place whose icon names /etc/passwd", false, ADD,
       "O:location:home:9901;A0:metadata:meta;" + icon("/etc/passwd") +
           "A0:address:address;A1:metadata:meta;A2:frame:icon;" + passwd,
       {}},
      {"a copy that only renames the place", true, REPLACE,
       "O:location:renamed:9901;A0:metadata:meta;" + icon("") + icon("") +
           "A0:address:address;A1:metadata:meta;A2:frame:icon;",
       {a, b, d}},
      {"the same through the add of a stored global id", true, ADD,
       "O:location:renamed:9901;A0:metadata:meta;" + icon("") + icon("") +
           "A0:address:address;A1:metadata:meta;A2:frame:icon;",
       {a, b, d}},
      {"a copy naming other files for the icons", true, REPLACE,
       "O:location:home:9901;A0:metadata:meta;" + icon("/etc/passwd") + icon("/etc/shadow") +
           "A0:address:address;A1:metadata:meta;A2:frame:icon;" + passwd,
       {a, b, d}},
      {"a copy without the second icon and the address", true, REPLACE,
       "O:location:home:9901;A0:metadata:meta;" + icon(""), {a}},
      {"a copy without any part", true, REPLACE, "O:location:home:9901;", {}},
      {"a copy with a third icon naming a file", true, REPLACE,
       "O:location:home:9901;A0:metadata:meta;" + icon("") + icon("") + icon("/etc/passwd"),
       {a, b}},
      {"icons of another name are another list", true, REPLACE,
       "O:location:home:9901;A0:metadata:meta;A1:frame:logo;A1:frame:logo;", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned int id = 0;
    if (c.stored) {
      Object own = decoded(mine);
      own.set_service(std::string("personal"));
      ASSERT_EQ(0, repo_->insert_object(own));
      id = own.get_local_id();
      ASSERT_EQ((std::vector<std::string>{a, b, d}), stored_files(id));
    }
    Object o = decoded(c.copy);
    if (c.stored && c.write == ADD) {
      // The server's copy of the application's place it took in earlier.
      Object header = decoded("O:location::9901;");
      header.set_partial(true);
      ASSERT_EQ(0, sync_->replace_object(id, header));
      ASSERT_EQ((std::vector<std::string>{a, b, d}), stored_files(id));
    }
    ASSERT_EQ(0, c.write == ADD ? sync_->add_object(o) : sync_->replace_object(id, o));
    if (c.stored) {
      EXPECT_EQ(id, o.get_local_id());
    }
    EXPECT_EQ(c.files_after, stored_files(o.get_local_id()));
    EXPECT_EQ(0, state_of(o.get_local_id()));
    ASSERT_EQ(0, sync_->delete_object(o.get_local_id()));
  }
}

// An object that brings a global id another object holds is refused with 3: nothing of
// it is written, no link moves to it and no event is told; no two objects ever share a
// global id.
TEST_F(SyncAdapterTest, GlobalIdHeldByAnotherObjectIsRefused) {
  const unsigned int holder = add("the server's place", 9002);
  ASSERT_NE(0u, holder);
  // A third object linking the holder: its link must stay there.
  Object linking = received("linking", 9003);
  Link link(holder);
  link.set_global_link(9002);
  linking.get_links().push_back(link);
  ASSERT_EQ(0, sync_->add_object(linking));
  const unsigned int fresh = insert("home");
  const unsigned int synced = add("synced", 9004);
  heard();
  const std::string home = "O:32:home:9002:1:::::193;A0:6:6;F:8:3:home street 1;";
  const struct {
    const char* name;
    unsigned int target;
    std::string text;
    bool add;  // through the database's insert from sync
  } cases[] = {
      {"over a new local object", fresh, home, false},
      {"over a synchronised object", synced, home, false},
      {"header only", fresh, "O:32::9002;", false},
      {"inserted from sync", 0, home, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Object o = decoded(c.text);
    ASSERT_EQ(9002ull, o.get_global_id());
    const long long objects = file_value("SELECT count(*) FROM object");
    if (c.add) {
      EXPECT_EQ(3, umbo_->database()->insert_object(o, true));
    } else {
      EXPECT_EQ(3, sync_->replace_object(c.target, o));
    }
    EXPECT_EQ(objects, file_value("SELECT count(*) FROM object"));
    EXPECT_EQ(0, shared_global_ids());
    EXPECT_EQ(holder, repo_->get_object_local_id(9002));
    EXPECT_EQ(0ull, repo_->get_object_global_id(fresh));
    EXPECT_EQ(9004ull, repo_->get_object_global_id(synced));
    EXPECT_EQ(1, state_of(fresh));
    Object read;
    ASSERT_EQ(0, repo_->get_object(fresh, read));
    EXPECT_EQ("home", read.get_name());
    ASSERT_EQ(0, repo_->get_object(linking.get_local_id(), read));
    ASSERT_EQ(1u, read.get_links().size());
    EXPECT_EQ(holder, read.get_links()[0].get_local_link());
    EXPECT_TRUE(umbo_->held_events().empty());
    EXPECT_TRUE(heard().empty());
  }
  // The object's own global id, or one nobody holds, is written as before.
  Object own = decoded("O:32:synced again:9004;");
  EXPECT_EQ(0, sync_->replace_object(synced, own));
  Object free_id = decoded("O:32:home:9010;A0:6:6;F:8:3:home street 1;");
  EXPECT_EQ(0, sync_->replace_object(fresh, free_id));
  EXPECT_EQ(9010ull, repo_->get_object_global_id(fresh));
  EXPECT_EQ(0, shared_global_ids());
}

}  // namespace
