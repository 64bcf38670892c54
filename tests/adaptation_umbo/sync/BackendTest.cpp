// The backend through the driver: id lists, items in the compact format, received items,
// the refusals, the daemon's statuses and what uninit sends and purges, with the store
// file, the fake daemon and the relay all real.
#include "StorageFixture.h"

#include <keldra/Object.h>
#include <keldra/Store.h>
#include <keldra/UserManager.h>

#include "transfer/FileManager.h"

#include "support/UserEntry.h"

#include "support/TestEnv.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace keldra_test {
namespace {

using orva::keldra::Object;
using orva::keldra::ObjectPtr;

using BackendTest = StorageTest;

// The words of an answer after its first one ("true", "false").
QStringList rest_of(const QString& answer) { return answer.split(' ').mid(1); }

std::vector<unsigned int> ids_in(const std::vector<Object>& objects) {
  std::vector<unsigned int> out;
  for (const Object& o : objects) out.push_back(o.get_local_id());
  return out;
}

TEST_F(BackendTest, ListsPutSystemObjectsFirstAndAreAskedOnce) {
  const unsigned int fresh[] = {insert("new one"), insert("new two"), insert("new three")};
  const unsigned int changed = server_place("changed", 5002);
  server_place("synchronised", 5001);
  Object o;
  ASSERT_EQ(0, repo_->get_object(changed, o));
  o.set_name(std::string("changed here"));
  ASSERT_EQ(0, repo_->update_object(o));
  const unsigned int removed = server_place("removed", 5003);
  ASSERT_EQ(0, repo_->remove_object(removed));
  std::vector<Object> news, all;
  ASSERT_EQ(0, sync_->new_objects(news));
  ASSERT_EQ(0, sync_->all_objects(all));
  ASSERT_EQ(3u, news.size());
  (void)fresh;

  start_driver();
  init_session();
  const QString newIds = call("newids");
  const QStringList words = rest_of(newIds);
  ASSERT_GE(words.size(), 4) << newIds.toStdString();
  // The system objects first (the config object always), then the store's order.
  const int system = words.size() - 3;
  EXPECT_EQ(QString::number(kConfigId), words[0]);
  for (int i = 0; i < system; ++i)
    EXPECT_GE(words[i].toUInt(), 0x7FFFFFFBu) << words[i].toStdString();
  EXPECT_EQ(ids(ids_in(news)), QStringList(words.mid(system)).join(' '));
  const QString systemIds = QStringList(words.mid(0, system)).join(' ');
  EXPECT_EQ("true " + systemIds + " " + ids(ids_in(all)), call("allids"));
  EXPECT_EQ("true " + QString::number(changed), call("modifiedids"));
  EXPECT_EQ("true " + QString::number(removed), call("deletedids"));

  // Asked once per session: a place added meanwhile is not in the lists.
  insert("added during the session");
  EXPECT_EQ(newIds, call("newids"));
  EXPECT_EQ("true " + systemIds + " " + ids(ids_in(all)), call("allids"));
  EXPECT_EQ("true", call("uninit"));

  const std::string log = plugin_log();
  EXPECT_NE(std::string::npos, log.find("KeldraBackend::getNewIds: found 3 added objects"));
  EXPECT_NE(std::string::npos, log.find("KeldraBackend::getDeletedIds: found 1 removed objects"));
}

TEST_F(BackendTest, ItemsCarryOneCompactObjectEach) {
  const unsigned int a = insert("first place");
  const unsigned int b = server_place("second place", 6001);
  start_driver();
  init_session();

  QString id;
  ObjectPtr object = object_of_item(call("get " + QString::number(a)), &id);
  ASSERT_TRUE(object.is_valid());
  EXPECT_EQ(QString::number(a), id);
  EXPECT_EQ("first place", object->get_name());

  // Ids without an object are left out of the list forms.
  const QStringList got = call(QString("getitems %1 999999 %2").arg(b).arg(a)).split(' ');
  ASSERT_EQ(2, got.size());
  ASSERT_TRUE((object = object_of_item(got[0], &id)).is_valid());
  EXPECT_EQ(QString::number(b), id);
  EXPECT_EQ(6001ull, object->get_global_id());
  EXPECT_EQ("null", call("get 999999"));
  EXPECT_EQ("null", call("get abc"));

  // The system objects travel as items too: the config object under its reserved id.
  const QStringList items = rest_of(call("newitems"));
  ASSERT_GE(items.size(), 2);
  ASSERT_TRUE((object = object_of_item(items[0], &id)).is_valid());
  EXPECT_EQ(QString::number(kConfigId), id);
  EXPECT_EQ(999ull, object->get_global_id());
  ASSERT_TRUE((object = object_of_item(items.last(), &id)).is_valid());
  EXPECT_EQ(QString::number(a), id);
  EXPECT_EQ(rest_of(call("allids")).size(), rest_of(call("allitems")).size());
  EXPECT_EQ("true", call("uninit"));
}

TEST_F(BackendTest, ReceivedItemsAreStoredAsSynchronised) {
  const unsigned int existing = server_place("known", 7000);
  start_driver();
  init_session();
  const qint64 before = object_count();

  const QString added = call("additems " + item_of(received_place("from server", 7001)) + " " +
                             item_of(received_place("known, renamed", 7000)) + " " +
                             QByteArray("not compact").toBase64());
  const QStringList parts = added.split(" | ");
  ASSERT_EQ(2, parts.size()) << added.toStdString();
  EXPECT_EQ("0 0 -3", parts[0]);
  const QStringList newIds = parts[1].split(' ');
  ASSERT_EQ(3, newIds.size());
  const unsigned int fresh = newIds[0].toUInt();
  EXPECT_EQ(QString::number(existing), newIds[1]) << "the same global id replaces";
  EXPECT_EQ(before + 1, object_count());
  EXPECT_EQ(0, state_of(fresh));
  Object stored;
  ASSERT_EQ(0, repo_->get_object(existing, stored));
  EXPECT_EQ("known, renamed", stored.get_name());

  EXPECT_EQ("0 -3", call("modifyitems " + QString::number(fresh) + ":" +
                         item_of(received_place("changed by server", 7001)) +
                         " 999999:" + item_of(received_place("nowhere", 7002))));
  ASSERT_EQ(0, repo_->get_object(fresh, stored));
  EXPECT_EQ("changed by server", stored.get_name());
  EXPECT_EQ(0, state_of(fresh));

  EXPECT_EQ("0 0", call("deleteitems " + QString::number(fresh) + " " + QString::number(existing)));
  EXPECT_EQ(before - 1, object_count());
  EXPECT_EQ("", removed_ids()) << "removals by the server are not recorded for sending";
  EXPECT_EQ("true", call("uninit"));
}

TEST_F(BackendTest, InvalidItemIdsAreRefusedAndChangeNothing) {
  const unsigned int target = server_place("target", 8001);
  start_driver();
  init_session();
  Object config("config");
  config.set_global_id(999);
  // The server's config object is stored as a system row with an id of the store's.
  ASSERT_EQ("0 " + QString::number(kConfigId), call("add " + item_of(config)));
  const long long configRow = file_value("SELECT local_id FROM object WHERE global_id = 999");
  ASSERT_GT(configRow, 0);
  const long long before = object_count();
  const QString ordinary = item_of(received_place("overwriting", 8002));

  const QString refused[] = {
      "delete abc",
      "delete 0",
      "delete -1",
      "delete 12abc",
      "delete 4294967297",
      "delete " + QString::number(kConfigId),
      "delete " + QString::number(configRow),
      "modify abc " + ordinary,
      "modify +1 " + ordinary,
      "modify " + QString::number(kConfigId) + " " + ordinary,
      "modify " + QString::number(configRow) + " " + ordinary,
      "deleteitems abc " + QString::number(target),
  };
  for (const QString& c : refused) {
    const QString answer = call(c);
    EXPECT_TRUE(answer.startsWith("-3")) << c.toStdString() << " -> " << answer.toStdString();
  }
  // The list form refused only the bad id.
  EXPECT_EQ(before - 1, object_count());
  EXPECT_EQ(999, file_value("SELECT global_id FROM object WHERE local_id = " +
                            std::to_string(configRow)));
  EXPECT_EQ(0, file_value("SELECT count(*) FROM object WHERE global_id = 8002"));
  EXPECT_EQ("true", call("uninit"));
}

// A list whose computation failed is not kept: asked again, it is computed again
// instead of giving the system objects alone (which would tell a slow sync that the
// store holds nothing else).
TEST_F(BackendTest, FailedListIsComputedAgain) {
  const unsigned int a = insert("one");
  const unsigned int b = server_place("two", 9001);
  start_driver();
  init_session();
  ASSERT_TRUE(file_exec("ALTER TABLE object RENAME TO object_away"));
  EXPECT_EQ("false", call("allids"));
  EXPECT_EQ("false", call("newids"));
  ASSERT_TRUE(file_exec("ALTER TABLE object_away RENAME TO object"));

  const QStringList all = rest_of(call("allids"));
  EXPECT_TRUE(all.contains(QString::number(a)) && all.contains(QString::number(b)))
      << all.join(' ').toStdString();
  EXPECT_TRUE(rest_of(call("newids")).contains(QString::number(a)));
  EXPECT_EQ("true", call("uninit"));
  EXPECT_NE(std::string::npos, plugin_log().find("mSyncAdapter->all_objects ERROR: "));
}

// Removals are forgotten only after DONE for this plug-in's profile, the last status
// counting; other profiles are not heard.
TEST_F(BackendTest, OnlyDoneOfTheProfilePurgesRemovals) {
  const struct {
    const char* name;
    std::vector<std::pair<const char*, int>> statuses;
    bool purged;
  } cases[] = {
      {"no status", {}, false},
      {"progress", {{"maps-keldra", 1}, {"maps-keldra", 2}}, false},
      {"done of another profile", {{"maps-keldra", 2}, {"other", 4}}, false},
      {"done then error", {{"maps-keldra", 4}, {"maps-keldra", 3}}, false},
      {"unknown status", {{"maps-keldra", 9}}, false},
      {"done", {{"maps-keldra", 2}, {"maps-keldra", 4}}, true},
  };
  start_driver();
  unsigned long long gid = 9100;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const unsigned int removed = server_place("to remove", ++gid);
    ASSERT_EQ(0, repo_->remove_object(removed));
    init_session();
    EXPECT_TRUE(rest_of(call("deletedids")).contains(QString::number(removed)));
    for (const auto& s : c.statuses) report_status(s.second, s.first);
    EXPECT_EQ("true", call("uninit"));
    const std::string left = removed_ids();
    EXPECT_EQ(c.purged, left.empty()) << left;
  }
  const std::string log = plugin_log();
  for (const char* line :
       {"KeldraBackend::slotHandleSyncStatus: STARTED", "KeldraBackend::slotHandleSyncStatus: DONE",
        "KeldraBackend::slotHandleSyncStatus: UNKNOWN STATUS",
        "KeldraBackend::uninit(): Warning: Sync failed, can not commit objects!"}) {
    EXPECT_NE(std::string::npos, log.find(line)) << line;
  }
}

// A place removed after the plug-in listed the removals stays recorded for the next
// sync: only what was listed (sent) is forgotten.
TEST_F(BackendTest, PurgeKeepsRemovalsMadeAfterTheList) {
  const unsigned int sent = server_place("sent", 9201);
  const unsigned int later = server_place("removed later", 9202);
  ASSERT_EQ(0, repo_->remove_object(sent));
  start_driver();
  init_session();
  EXPECT_EQ("true " + QString::number(sent), call("deletedids"));
  ASSERT_EQ(0, repo_->remove_object(later));
  report_status(4);
  EXPECT_EQ("true", call("uninit"));
  EXPECT_EQ(std::to_string(later), removed_ids());
}

// The account comes from the account id file that the sync engine writes: the users
// object goes out only when that account's entry was edited.
TEST_F(BackendTest, AccountIdFileNamesTheCurrentUser) {
  const unsigned int kUsersId = 0x7FFFFFFCu;
  orva::SharedPointer<orva::keldra::Store> store;
  ASSERT_EQ(0, orva::keldra::Store::open(store));
  orva::SharedPointer<orva::keldra::UserManager> users = store->get_user_manager();
  ASSERT_TRUE(users.is_valid());
  ASSERT_EQ(0, users->set_user_info(user_entry("acct-7", "Seven")));
  auto files = orva::keldra::internal::FileManager::open();
  const std::string path = std::string(std::getenv("TMPDIR")) + "/sync_params";

  const struct {
    const char* account;  // null: no file
    bool listed;
  } cases[] = {{nullptr, false}, {"acct-7", true}, {"someone-else", false}, {"", false}};
  start_driver();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.account ? c.account : "(no file)");
    std::remove(path.c_str());
    if (c.account) ASSERT_EQ(0, files->write_account_id_file(c.account));
    init_session();
    EXPECT_EQ(c.listed, rest_of(call("newids")).contains(QString::number(kUsersId)));
    EXPECT_EQ("true", call("uninit"));
  }
  users.release();
  store.release();
}

// A store file of a newer schema is refused: init fails and every item call refuses,
// the list forms with one status per item.
TEST_F(BackendTest, NewerSchemaRefusesEveryItemCall) {
  const unsigned int a = insert("kept");
  ASSERT_TRUE(file_exec("UPDATE metadata SET version = version + 1"));
  start_driver();
  EXPECT_EQ("false", call("init"));
  const QString item = item_of(received_place("refused", 9301));
  const struct {
    QString call;
    QString answer;
  } steps[] = {
      {"newitem", "null"},
      {"add " + item, "-3 "},
      {"additems " + item + " " + item + " " + item, "-3 -3 -3 |   "},
      {"modify " + QString::number(a) + " " + item, "-3"},
      {"modifyitems " + QString::number(a) + ":" + item + " 5:" + item, "-3 -3"},
      {"delete " + QString::number(a), "-3"},
      {"deleteitems " + QString::number(a) + " 5", "-3 -3"},
      {"uninit", "true"},
  };
  for (const auto& step : steps) EXPECT_EQ(step.answer, call(step.call)) << step.call.toStdString();
  EXPECT_EQ(1, object_count());
  EXPECT_EQ(0, file_value("SELECT count(*) FROM object WHERE global_id = 9301"));
  // The store's report and each refusal say why in the log.
  const std::string log = plugin_log();
  for (const char* line :
       {"KeldraBackend::handle_progress()", "KeldraBackend::init() --, failure: mStatus is 1",
        "KeldraBackend::checkEnv: ERR: something's wrong, status 1",
        "KeldraBackend::checkEnv: ERR: data 0x00000000, repo 0x00000000, store 0x"}) {
    EXPECT_NE(std::string::npos, log.find(line)) << line;
  }
}

// A whole session: the daemon's statuses, the items sent and received, the store's
// content, and the change events held until uninit sends them through the relay (a
// batch for several, a single message for one).
TEST_F(BackendTest, SessionHoldsEventsUntilUninit) {
  const unsigned int mine = insert("made on the phone");
  const unsigned int gone = server_place("removed on the server", 9401);
  const unsigned int kept = server_place("changed on the server", 9402);
  settle_bus();
  peer_->heard.clear();
  observer_.batches.clear();

  start_driver();
  init_session();
  report_status(1);
  report_status(2);
  const QStringList sent = rest_of(call("newitems"));
  ASSERT_FALSE(sent.isEmpty());
  QString id;
  ASSERT_TRUE(object_of_item(sent.last(), &id).is_valid());
  EXPECT_EQ(QString::number(mine), id);

  const QStringList added =
      call("additems " + item_of(received_place("new from server", 9403))).split(" | ");
  ASSERT_EQ(2, added.size());
  EXPECT_EQ("0", added[0]);
  const unsigned int fresh = added[1].toUInt();
  EXPECT_EQ("0", call("modify " + QString::number(kept) + " " +
                      item_of(received_place("changed on the server, v2", 9402))));
  EXPECT_EQ("0", call("delete " + QString::number(gone)));
  // Held while the daemon syncs: nothing has reached the relay's listeners.
  settle_bus();
  EXPECT_TRUE(peer_->heard.empty());

  report_status(4);
  daemon_.emit_results_available("maps-keldra", "<syncresults majorcode=\"0\" minorcode=\"7\"/>");
  ASSERT_EQ("ok", call("sync"));
  EXPECT_EQ("true", call("uninit"));
  EXPECT_NE(std::string::npos,
            plugin_log().find("slotHandleResultsAvailable: major code 0, minor code 7"));
  ASSERT_TRUE(wait_until([&] { return !peer_->heard.empty(); }));
  settle_bus();
  EXPECT_EQ((std::vector<Broadcast>{Broadcast::many(batch_of({{1, static_cast<int>(fresh)},
                                                              {2, static_cast<int>(kept)},
                                                              {3, static_cast<int>(gone)}}))}),
            peer_->heard);
  Object stored;
  ASSERT_EQ(0, repo_->get_object(kept, stored));
  EXPECT_EQ("changed on the server, v2", stored.get_name());
  EXPECT_EQ(0, state_of(fresh));
  EXPECT_EQ(-1, file_value("SELECT local_id FROM object WHERE local_id = " + std::to_string(gone)));

  // One event alone goes as a single message.
  peer_->heard.clear();
  init_session();
  const QStringList one =
      call("additems " + item_of(received_place("one more", 9404))).split(" | ");
  ASSERT_EQ(2, one.size());
  EXPECT_EQ("true", call("uninit"));
  ASSERT_TRUE(wait_until([&] { return !peer_->heard.empty(); }));
  settle_bus();
  EXPECT_EQ((std::vector<Broadcast>{Broadcast::one(1, one[1].toInt())}), peer_->heard);
}

}  // namespace
}  // namespace keldra_test
