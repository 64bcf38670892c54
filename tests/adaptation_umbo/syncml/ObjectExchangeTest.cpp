// The object and subscription exchange end to end: SyncService::synchronize with the
// library's direct transfer over the Qt network adapter, against the loopback HTTPS
// server answering scripted replies, over the real store file. Each case checks the
// posted archive's command text and the store after the run.
#include "SyncFixture.h"

#include "adaptation_umbo/transfer/NetworkAdapterUmbo.h"
#include "compact/SyncSerializer.h"
#include "support/LoopbackServerSuite.h"
#include "support/TestEnv.h"
#include "support/ZipReader.h"
#include "transfer/DirectTransferHandlerImpl.h"

#include <keldra/Attribute.h>
#include <keldra/DataAdapter.h>
#include <keldra/DatabaseManager.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/Field.h>
#include <keldra/Link.h>
#include <keldra/Object.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Repository.h>
#include <keldra/Static.h>
#include <keldra/SyncAdapter.h>
#include <keldra/SyncService.h>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using keldra_test::HttpsTestServer;
using keldra_test::wait_until;
using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Object;
using orva::keldra::SyncService;

const orva::ErrorCode IN_PROGRESS = ORVA_ERROR_KELDRA_IN_PROGRESS;
const unsigned kUpload = 0x01;
const unsigned kDownload = 0x02;
const unsigned kSubscribe = 0x40;
const char kCompactType[] = "application/vnd.ostra.keldraobjectcompact";

class FinalListener : public orva::keldra::ProgressHandler {
 public:
  void handle_progress(float, orva::ErrorCode status) override {
    if (status != IN_PROGRESS) finals.push_back(status);
    if (during) during(status);
  }
  std::vector<orva::ErrorCode> finals;
  std::function<void(orva::ErrorCode)> during;
};

class InitReport : public orva::keldra::ProgressHandler {
 public:
  void handle_progress(float, orva::ErrorCode s) override { status = s; }
  orva::ErrorCode status = IN_PROGRESS;
};

SyncService::SyncParams account() {
  SyncService::SyncParams p;
  p.service = "personal";
  p.user = "anna";
  p.password = "secret";
  p.account = "42";
  return p;
}

// The compact text of |object| as the server writes it in a reply.
std::string compact(const Object& object) {
  orva::keldra::internal::SyncSerializer serializer;
  SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer);
  EXPECT_EQ(0, serializer.encode(object, buffer, false));
  return std::string(reinterpret_cast<const char*>(buffer->get_data()), buffer->get_data_length());
}

std::string uri_of(const Object& object, const char* name) {
  const int i = object.get_attributes().find_attribute(name, "uri");
  if (i < 0) return std::string();
  const Attribute& a = *object.get_attributes()[static_cast<unsigned int>(i)];
  const int f = a.find_field("url");
  if (f < 0) return std::string();
  std::string url;
  a.get_fields()[static_cast<unsigned int>(f)].get_value(url);
  return url;
}

class ObjectExchangeTest : public keldra_test::LoopbackServerSuite<keldra_test::SyncFixture> {
 protected:

  void SetUp() override { set_up("/sync"); }
  // |path|: the path of the sync server address.
  void set_up(const char* path) {
    unsetenv("SYSINFO_VALUES_FILE");
    clear_home(".config");
    // Before anything makes the settings.
    ASSERT_NO_FATAL_FAILURE(prepare_server(path));
    ASSERT_NO_FATAL_FAILURE(SyncFixture::SetUp());
    orva::keldra::internal::DirectTransferHandlerImpl::set_network_adapter_factory(
        orva::keldra::internal::DirectTransferHandlerImpl::NetworkAdapterFactory());
    static_ = orva::keldra::Static::instance();
    adapter_ = orva::keldra::DatabaseManager::open("personal");
    ASSERT_TRUE(adapter_.is_valid());
    InitReport init;
    adapter_->init(init);
    ASSERT_TRUE(wait_until([&] { return init.status != IN_PROGRESS; }));
    ASSERT_EQ(0, init.status);
    repo_ = adapter_->repository();
    // The store file outlives a test: what earlier tests left unsent would go into this
    // test's uploads, unanswered by its replies.
    std::vector<Object> left;
    ASSERT_EQ(0, adapter_->sync_adapter()->all_objects(left));
    for (const Object& o : left) {
      if (o.has_local_changes())
        ASSERT_EQ(0, adapter_->sync_adapter()->delete_object(o.get_local_id()));
    }
    service_ = SyncService::instance();
    ASSERT_TRUE(service_.is_valid());
    service_->set_listener(&listener_);
  }
  void TearDown() override {
    if (service_.is_valid()) service_->set_listener(nullptr);
    service_ = SharedPointer<SyncService>();
    repo_ = SharedPointer<orva::keldra::Repository>();
    adapter_ = SharedPointer<orva::keldra::DataAdapter>();
    static_ = SharedPointer<orva::keldra::Static>();
    SyncFixture::TearDown();
  }

  // A place with local changes (new, or with |global_id| changed since the server's
  // copy), or the server's copy itself when |synced|.
  unsigned int add_place(const std::string& name, unsigned long long global_id = 0,
                         bool synced = false) {
    Object o = place(name, global_id);
    // A global id comes only from the server: written from sync, then changed locally.
    orva::ErrorCode r =
        global_id != 0 ? adapter_->sync_adapter()->add_object(o) : repo_->insert_object(o);
    if (r == 0 && global_id != 0 && !synced) {
      o.set_name(name);
      o.set_modified(true);
      r = repo_->update_object(o);
    }
    EXPECT_EQ(0, r) << name;
    return o.get_local_id();
  }
  static Object place(const std::string& name, unsigned long long global_id = 0) {
    Object o("location");
    o.set_name(name);
    o.set_service(std::string("personal"));
    o.set_global_id(global_id);
    SharedPointer<Attribute> address(new Attribute("address", "address"));
    address->add_field("text")->set_value(name + " street 1");
    o.get_attributes().push_back(address);
    return o;
  }
  static Object media(const std::string& local_url, const std::string& remote_url,
                      unsigned long long global_id = 0) {
    Object o("multimedia");
    o.set_name("media");
    o.set_service(std::string("personal"));
    o.set_global_id(global_id);
    const std::pair<const char*, std::string> uris[] = {{"local_uri", local_url},
                                                        {"remote_uri", remote_url}};
    for (const auto& uri : uris) {
      if (uri.second.empty()) continue;
      SharedPointer<Attribute> a(new Attribute(uri.first, "uri"));
      a->add_field("url")->set_value(uri.second);
      o.get_attributes().push_back(a);
    }
    return o;
  }
  Object stored(unsigned int local_id) {
    Object o;
    EXPECT_EQ(0, repo_->get_object(local_id, o)) << local_id;
    return o;
  }

  // With |hold| set, the answer waits until the test lets it go (release(hold)).
  static void answer(int status, const std::string& body, const std::string& hold = "") {
    HttpsTestServer::Reply r;
    r.status = status;
    r.body = body;
    r.content_type = kCompactType;
    r.hold = hold;
    s_server->answer("POST", "/upload", r);
  }

  // Runs a sync of |tasks| (with |global_ids| for downloads and subscriptions) to its end;
  // its final status.
  orva::ErrorCode run(unsigned tasks, const std::vector<unsigned long long>& global_ids = {},
                      bool cascade = false) {
    listener_.finals.clear();
    const orva::ErrorCode started =
        global_ids.empty() ? service_->synchronize(account(), tasks)
                           : service_->synchronize(account(), tasks, global_ids, cascade);
    if (started != 0) return started;
    EXPECT_TRUE(wait_until([&] { return !listener_.finals.empty(); }));
    return listener_.finals.empty() ? -1 : listener_.finals.back();
  }

  // The posted requests.
  static std::vector<HttpsTestServer::Request> posts() {
    std::vector<HttpsTestServer::Request> out;
    for (const HttpsTestServer::Request& r : s_server->requests()) {
      if (r.method == "POST") out.push_back(r);
    }
    return out;
  }
  // The command text of a posted archive.
  static std::string command_text(const HttpsTestServer::Request& request) {
    const std::string path = s_server->folder() + "/posted.zip";
    EXPECT_TRUE(keldra_test::write_file(path, request.body));
    std::vector<keldra_test::ZipEntry> entries;
    EXPECT_TRUE(keldra_test::read_zip(path, entries));
    if (entries.empty() || entries.back().name != "upload.compact") return std::string();
    return entries.back().bytes;
  }
  // The command lines of a text (the object lines that follow a command are left out).
  static std::vector<std::string> commands(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = start;
      // Lines end at an unescaped ';'.
      while (end < text.size() && text[end] != ';') end += text[end] == '\\' ? 2 : 1;
      std::string line = text.substr(start, end - start);
      while (!line.empty() && (line[0] == '\n' || line[0] == '\r')) line.erase(0, 1);
      if (line.size() > 1 && line[1] == ':' &&
          std::string("RAUGD").find(line[0]) != std::string::npos)
        out.push_back(line);
      start = end + 1;
    }
    return out;
  }
  std::string key(const char* prefix, unsigned long long id) {
    return std::string(prefix) + std::to_string(id);
  }

  SharedPointer<orva::keldra::Static> static_;
  SharedPointer<orva::keldra::DataAdapter> adapter_;
  SharedPointer<orva::keldra::Repository> repo_;
  SharedPointer<SyncService> service_;
  FinalListener listener_;
};

// ---------------------------------------------------------------------------------------
// The OBJECTS package.

TEST_F(ObjectExchangeTest, UploadPackageCarriesCredentialsSystemObjectsAndChangedObjects) {
  const unsigned int fresh = add_place("fresh");
  const unsigned int changed = add_place("changed", 7001);
  const unsigned int synced = add_place("synced", 7002, /*synced=*/true);
  answer(200, "R:OK;");
  // No line answers the two uploads: the sync ends with 1.
  ASSERT_EQ(1, run(kUpload));

  const std::vector<HttpsTestServer::Request> sent = posts();
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ("/upload", sent[0].path);
  std::string digest;
  ASSERT_EQ(0, SyncService::create_auth_digest(account(), digest));
  EXPECT_EQ("Basic " + digest, sent[0].header("Authorization"));
  const std::vector<std::string> lines = commands(command_text(sent[0]));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(0u, lines[0].rfind("R:", 0)) << lines[0];
  EXPECT_NE(std::string::npos, lines[0].find(digest)) << lines[0];
  EXPECT_EQ("A:oa2147483647", lines[1]);
  // The changed objects follow the system objects, in the order of their local ids.
  const std::vector<std::string> tail(lines.end() - 2, lines.end());
  EXPECT_EQ((std::vector<std::string>{"A:" + key("oa", fresh), "U:" + key("or", changed)}), tail);
  for (const std::string& line : lines) EXPECT_EQ(std::string::npos, line.find(key("or", synced)));
  // Only ids the server answered change: the unanswered uploads stay local changes.
  EXPECT_TRUE(stored(fresh).has_local_changes());
}

TEST_F(ObjectExchangeTest, UploadWithoutSyncInTheServerAddressSendsNothing) {
  TearDown();
  set_up("/other");
  add_place("fresh");
  answer(200, "R:OK;");
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, run(kUpload));
  EXPECT_TRUE(posts().empty());
}

TEST_F(ObjectExchangeTest, UploadAddressReplacesTheLastSync) {
  TearDown();
  set_up("/sync/x/sync");
  const unsigned int fresh = add_place("fresh");
  s_server->answer("POST", "/sync/x/upload", [&] {
    HttpsTestServer::Reply r;
    r.body = "S:oa" + std::to_string(fresh) + ":0;R:OK;";
    r.content_type = kCompactType;
    return r;
  }());
  EXPECT_EQ(0, run(kUpload));
  ASSERT_EQ(1u, posts().size());
  EXPECT_EQ("/sync/x/upload", posts()[0].path);
}

// ---------------------------------------------------------------------------------------
// Replies to uploads: the store and the run's end, per reply script.

TEST_F(ObjectExchangeTest, UploadRepliesUpdateTheStore) {
  struct Case {
    const char* name;
    // The reply; {A} and {B} stand for the local ids of the new and the changed place,
    // {A'} for the server's copy of the new place with global id 9001.
    std::string reply;
    orva::ErrorCode final_status;
    unsigned long long a_global;  // the new place's global id after the run
    bool a_local_changes;
    bool b_local_changes;
  };
  const std::vector<Case> cases = {
      {"both confirmed", "S:oa{A}:0;{A'}S:or{B}:0;{B'}R:OK;", 0, 9001, false, false},
      // The config object's status goes to the extension; the store is not touched.
      {"with the config object's status", "S:oa2147483647:0;S:oa{A}:0;{A'}S:or{B}:0;{B'}R:OK;", 0,
       9001, false, false},
      {"refused", "S:oa{A}:3;S:or{B}:0;{B'}R:OK;", 1, 0, true, false},
      {"a second object for one upload", "S:oa{A}:0;{A'}{X}S:or{B}:0;{B'}R:OK;", 1, 9001, false,
       false},
      {"status 10 stops at its line", "S:oa{A}:0;{A'}S:or{B}:10;S:or{B}:0;{B'}R:OK;",
       ORVA_ERROR_KELDRA_OBJECT_STATUS_10, 9001, false, true},
      // The store refuses the changed place's copy (another class): it alone is rolled
      // back, the new place stays stored.
      {"a refused write", "S:oa{A}:0;{A'}S:or{B}:0;{B*}R:OK;", 1, 9001, false, true},
      {"failed response line", "S:oa{A}:0;{A'}S:or{B}:0;{B'}R:busy;", 1, 9001, false, false},
      {"confirmed without object", "S:oa{A}:0;S:or{B}:0;{B'}R:OK;", 0, 0, true, false},
      // A line for an item the package did not carry changes nothing.
      {"not asked", "S:oa{Z}:0;{Z'}S:oa{A}:0;{A'}S:oa{A}:0;{A2}S:or{B}:0;{B'}R:OK;", 0, 9001, false,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_answers();
    s_server->clear_record();
    const unsigned int a = add_place("new place");
    const unsigned int b = add_place("changed place", 9100 + a);
    const unsigned int z = add_place("bystander", 9200 + a, /*synced=*/true);
    std::string reply = c.reply;
    Object a_copy = place("new place", 9001);
    Object a2 = place("other copy", 9002);
    Object b_copy = place("changed place", 9100 + a);
    Object z_copy = place("overwritten", 9200 + a);
    Object x = place("extra", 9300 + a);
    Object b_other = place("changed place", 9100 + a);
    b_other.set_class_name(std::string("route"));
    const std::pair<std::string, std::string> subs[] = {
        {"{A'}", compact(a_copy)},  {"{A2}", compact(a2)},      {"{B'}", compact(b_copy)},
        {"{Z'}", compact(z_copy)},  {"{X}", compact(x)},        {"{B*}", compact(b_other)},
        {"{A}", std::to_string(a)}, {"{B}", std::to_string(b)}, {"{Z}", std::to_string(z)}};
    for (const auto& s : subs) {
      for (size_t at = reply.find(s.first); at != std::string::npos; at = reply.find(s.first)) {
        reply.replace(at, s.first.size(), s.second);
      }
    }
    answer(200, reply);
    EXPECT_EQ(c.final_status, run(kUpload));

    const Object a_now = stored(a);
    EXPECT_EQ(c.a_global, a_now.get_global_id());
    EXPECT_EQ(c.a_local_changes, a_now.has_local_changes());
    EXPECT_EQ("new place", a_now.get_name());
    EXPECT_EQ(c.b_local_changes, stored(b).has_local_changes());
    EXPECT_EQ("bystander", stored(z).get_name());
    // Extra objects are never stored.
    EXPECT_EQ(0u, repo_->get_object_local_id(9300 + a));
    EXPECT_EQ(0u, repo_->get_object_local_id(9002));
    // The next case starts from a store without local changes.
    repo_->remove_object(a);
    repo_->remove_object(b);
    repo_->remove_object(z);
  }
}

TEST_F(ObjectExchangeTest, HttpFailuresEndTheRun) {
  struct Case {
    int http;
    orva::ErrorCode final_status;
  };
  const Case cases[] = {{401, ORVA_ERROR_KELDRA_LOGIN_FAILED},
                        {403, ORVA_ERROR_KELDRA_LOGIN_FAILED},
                        {404, ORVA_ERROR_NOT_FOUND},
                        {503, ORVA_ERROR_KELDRA_NETWORK_PROBLEM}};
  const unsigned int a = add_place("new place");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.http);
    s_server->clear_answers();
    answer(c.http, "S:oa" + std::to_string(a) + ":0;" + compact(place("x", 9001)) + "R:OK;");
    EXPECT_EQ(c.final_status, run(kUpload));
    EXPECT_EQ(0u, stored(a).get_global_id());
    EXPECT_TRUE(stored(a).has_local_changes());
  }
}

TEST_F(ObjectExchangeTest, RedirectIsNotFollowed) {
  const unsigned int a = add_place("new place");
  HttpsTestServer::Reply moved;
  moved.status = 302;
  moved.headers.push_back({"Location", s_server->url("/elsewhere")});
  s_server->answer("POST", "/upload", moved);
  EXPECT_EQ(ORVA_ERROR_UNKNOWN, run(kUpload));
  for (const HttpsTestServer::Request& r : s_server->requests()) EXPECT_NE("/elsewhere", r.path);
  EXPECT_TRUE(stored(a).has_local_changes());
}

// As a QML onSyncDone that restarts the sync: the first run ends in the reply's head
// (503 with a Content-Type) or in its error signal (without one), and the second run
// starts from inside that report. The first run's handler and network adapter go while
// the adapter's reply signal that ended the run is still under way (ASan checks).
TEST_F(ObjectExchangeTest, SynchronizeAgainFromAFailedSyncsFinalReport) {
  add_place("new place");
  for (const char* content_type : {kCompactType, ""}) {
    SCOPED_TRACE(content_type);
    s_server->clear_answers();
    s_server->clear_record();
    HttpsTestServer::Reply busy;
    busy.status = 503;
    busy.content_type = content_type;
    busy.body = "busy";
    s_server->answer("POST", "/upload", busy);
    listener_.finals.clear();
    orva::ErrorCode restarted = -1;
    listener_.during = [&](orva::ErrorCode status) {
      if (status != IN_PROGRESS && listener_.finals.size() == 1) {
        restarted = service_->synchronize(account(), kUpload);
      }
    };
    ASSERT_EQ(0, service_->synchronize(account(), kUpload));
    ASSERT_TRUE(wait_until([&] { return listener_.finals.size() >= 2; }));
    listener_.during = nullptr;
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(0, restarted);
    EXPECT_EQ(std::vector<orva::ErrorCode>({ORVA_ERROR_KELDRA_NETWORK_PROBLEM,
                                            ORVA_ERROR_KELDRA_NETWORK_PROBLEM}),
              listener_.finals);
    EXPECT_EQ(2u, s_server->request_count());
  }
}

// A server that never answers ends the sync with 0x6005 once nothing has moved for the
// time limit (shortened here): one final report, the object still waiting for upload.
TEST_F(ObjectExchangeTest, ASilentServerEndsTheSync) {
  using orva::keldra::internal::NetworkAdapterUmbo;
  struct Limit {
    Limit() { NetworkAdapterUmbo::set_inactivity_timeout_ms(500); }
    ~Limit() { NetworkAdapterUmbo::set_inactivity_timeout_ms(0); }
  } limit;
  const unsigned int a = add_place("new place");
  HttpsTestServer::Reply silent;
  silent.hang = true;
  s_server->answer("POST", "/upload", silent);
  EXPECT_EQ(ORVA_ERROR_KELDRA_NETWORK_PROBLEM, run(kUpload));
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_EQ(1u, listener_.finals.size());
  EXPECT_EQ(1u, s_server->request_count());
  EXPECT_EQ(0u, stored(a).get_global_id());
  EXPECT_TRUE(stored(a).has_local_changes());
}

// ---------------------------------------------------------------------------------------
// Faults of the reply handling.

// An object edited while its upload was on its way keeps the edit and stays a local
// change; a new one still learns its global id, so it goes as an update next time.
TEST_F(ObjectExchangeTest, ObjectEditedWhileInFlightKeepsTheEdit) {
  const unsigned int a = add_place("new place");
  const unsigned int b = add_place("changed place", 9101);
  const unsigned int c = add_place("untouched", 9102);
  answer(200,
         "S:oa" + std::to_string(a) + ":0;" + compact(place("new place", 9001)) + "S:or" +
             std::to_string(b) + ":0;" + compact(place("changed place", 9101)) + "S:or" +
             std::to_string(c) + ":0;" + compact(place("untouched", 9102)) + "R:OK;",
         "edits made");
  listener_.finals.clear();
  ASSERT_EQ(0, service_->synchronize(account(), kUpload));
  ASSERT_TRUE(s_server->wait_for_requests(1));
  for (unsigned int id : {a, b}) {
    Object o = stored(id);
    o.set_name("edited");
    ASSERT_EQ(0, repo_->update_object(o));
  }
  s_server->release("edits made");
  ASSERT_TRUE(wait_until([&] { return !listener_.finals.empty(); }));
  EXPECT_EQ(0, listener_.finals.back());

  const Object a_now = stored(a);
  EXPECT_EQ("edited", a_now.get_name());
  EXPECT_TRUE(a_now.has_local_changes());
  EXPECT_EQ(9001u, a_now.get_global_id());
  const Object b_now = stored(b);
  EXPECT_EQ("edited", b_now.get_name());
  EXPECT_TRUE(b_now.has_local_changes());
  EXPECT_FALSE(stored(c).has_local_changes());

  // The next upload sends both as updates (unanswered here: the sync ends with 1).
  s_server->clear_answers();
  s_server->clear_record();
  answer(200, "R:OK;");
  ASSERT_EQ(1, run(kUpload));
  ASSERT_EQ(1u, posts().size());
  const std::vector<std::string> lines = commands(command_text(posts()[0]));
  const std::vector<std::string> tail(lines.end() - 2, lines.end());
  EXPECT_EQ((std::vector<std::string>{"U:" + key("or", a), "U:" + key("or", b)}), tail);
}

// An object edited while a download reply that carries it is on its way keeps the edit
// and stays unsynchronised, whichever line brings it: "home", uploaded new and renamed
// meanwhile, learns its global id from its own line and is not replaced by the copy a
// download line brings under that id. Objects not edited are replaced as before, a
// change made before the sync started included.
TEST_F(ObjectExchangeTest, EditsMadeWhileADownloadIsOnItsWayAreKept) {
  struct Case {
    const char* name;
    unsigned tasks;
    // Its places, by name: "home" new, the others the server's with the global id
    // 100001 + their index here; "pending" changed before the sync starts.
    std::vector<std::string> places;
    // Renamed while the reply is on its way: they keep the new name and stay local
    // changes; the others are replaced by the server's copies.
    std::vector<std::string> edited;
  };
  const std::vector<Case> cases = {
      {"an upload's global id in a download", kUpload | kDownload, {"home", "bystander"}, {"home"}},
      {"download only", kDownload, {"edited", "pending", "plain"}, {"edited"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_answers();
    s_server->clear_record();
    // The server confirms home with a new global id, then sends it again among the
    // objects of a download, with every other place.
    const unsigned long long home_global = 100100;
    std::map<std::string, unsigned int> ids;
    std::string copies;
    for (size_t i = 0; i < c.places.size(); ++i) {
      const std::string& name = c.places[i];
      const unsigned long long global_id = name == "home" ? home_global : 100001 + i;
      ids[name] = name == "home" ? add_place(name) : add_place(name, global_id, true);
      copies += compact(place(name + " (server)", global_id));
    }
    if (ids.count("pending")) {
      Object pending = stored(ids["pending"]);
      pending.set_name("pending, changed before");
      ASSERT_EQ(0, repo_->update_object(pending));
    }
    std::string reply;
    if (ids.count("home")) {
      reply += "S:oa" + std::to_string(ids["home"]) + ":0;" +
               compact(place("home (server)", home_global));
    }
    reply += "S:od9001:0;" + compact(place("parent", 9001)) + copies + "R:OK;";
    // Each case's answer waits for its own release.
    answer(200, reply, c.name);
    listener_.finals.clear();
    ASSERT_EQ(0, service_->synchronize(account(), c.tasks, {9001}, false));
    ASSERT_TRUE(s_server->wait_for_requests(1));
    for (const std::string& name : c.edited) {
      Object o = stored(ids[name]);
      o.set_name(name + ", edited");
      ASSERT_EQ(0, repo_->update_object(o));
    }
    s_server->release(c.name);
    ASSERT_TRUE(wait_until([&] { return !listener_.finals.empty(); }));
    EXPECT_EQ(0, listener_.finals.back());

    for (const auto& id : ids) {
      SCOPED_TRACE(id.first);
      const Object now = stored(id.second);
      const bool edited = std::count(c.edited.begin(), c.edited.end(), id.first) != 0;
      EXPECT_EQ(id.first + (edited ? ", edited" : " (server)"), now.get_name());
      EXPECT_EQ(edited, now.has_local_changes());
      if (id.first == "home") EXPECT_EQ(home_global, now.get_global_id());
    }
    EXPECT_NE(0u, repo_->get_object_local_id(9001));
    for (const auto& id : ids) repo_->remove_object(id.second);
    repo_->remove_object(repo_->get_object_local_id(9001));
  }
}

// An object the user removes while a download reply that carries it is on its way stays
// removed, whichever line brings it: "home", uploaded new and removed meanwhile, is not
// brought back by the copy a download line brings under the global id its own line
// gave. Its removal is still recorded for the next sync, and the run, which the server
// answered in full, succeeds; the other objects are stored as before.
TEST_F(ObjectExchangeTest, ObjectsRemovedWhileADownloadIsOnItsWayStayRemoved) {
  struct Case {
    const char* name;
    unsigned tasks;
    // Its places, by name: "home" new, "parent" the server's object 9001 that the
    // download asks for, the others the server's with the global id 100001 + their
    // index here.
    std::vector<std::string> places;
    std::vector<std::string> removed;  // removed while the reply is on its way
  };
  const std::vector<Case> cases = {
      {"an upload's global id in a download", kUpload | kDownload, {"home", "bystander"}, {"home"}},
      {"a child of the download", kDownload, {"gone", "plain"}, {"gone"}},
      {"the object asked for", kDownload, {"parent", "child"}, {"parent"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_answers();
    s_server->clear_record();
    const unsigned long long home_global = 100100;
    std::map<std::string, std::pair<unsigned int, unsigned long long>> ids;
    std::string copies;
    for (size_t i = 0; i < c.places.size(); ++i) {
      const std::string& name = c.places[i];
      const unsigned long long global_id = name == "home"     ? home_global
                                           : name == "parent" ? 9001
                                                              : 100001 + i;
      ids[name] = {name == "home" ? add_place(name) : add_place(name, global_id, true), global_id};
      copies += compact(place(name + " (server)", global_id));
    }
    std::string reply;
    if (ids.count("home")) {
      reply += "S:oa" + std::to_string(ids["home"].first) + ":0;" +
               compact(place("home (server)", home_global));
    }
    reply += "S:od9001:0;" + (ids.count("parent") ? "" : compact(place("parent (server)", 9001))) +
             copies + "R:OK;";
    answer(200, reply, c.name);
    listener_.finals.clear();
    ASSERT_EQ(0, service_->synchronize(account(), c.tasks, {9001}, false));
    ASSERT_TRUE(s_server->wait_for_requests(1));
    for (const std::string& name : c.removed) ASSERT_EQ(0, repo_->remove_object(ids[name].first));
    s_server->release(c.name);
    ASSERT_TRUE(wait_until([&] { return !listener_.finals.empty(); }));
    EXPECT_EQ(0, listener_.finals.back());

    std::vector<Object> removals;
    ASSERT_EQ(0, adapter_->sync_adapter()->removed_objects(removals));
    for (const auto& id : ids) {
      SCOPED_TRACE(id.first);
      const unsigned int now = repo_->get_object_local_id(id.second.second);
      if (std::count(c.removed.begin(), c.removed.end(), id.first) != 0) {
        EXPECT_EQ(0u, now);
        EXPECT_TRUE(std::any_of(removals.begin(), removals.end(), [&](const Object& o) {
          return o.get_local_id() == id.second.first;
        }));
        continue;
      }
      ASSERT_NE(0u, now);
      EXPECT_EQ(id.first + " (server)", stored(now).get_name());
      EXPECT_FALSE(stored(now).has_local_changes());
      repo_->remove_object(now);
    }
    const unsigned int parent = repo_->get_object_local_id(9001);
    if (parent != 0) repo_->remove_object(parent);
  }
}

// The server's copy never carries the local file: a confirmed upload keeps it, and a
// file named by a received object is never taken.
TEST_F(ObjectExchangeTest, LocalFilesStayLocal) {
  Object mine = media("/home/user/MyDocs/pic.jpg", "");
  ASSERT_EQ(0, repo_->insert_object(mine));
  // Made here, then confirmed by the server.
  Object known = media("/home/user/MyDocs/known.jpg", "https://download.example.com/k");
  ASSERT_EQ(0, repo_->insert_object(known));
  known.set_global_id(9400);
  ASSERT_EQ(0, adapter_->sync_adapter()->replace_object(known.get_local_id(), known));
  const std::string reply =
      "S:oa" + std::to_string(mine.get_local_id()) + ":0;" +
      compact(media("", "https://download.example.com/p", 9401)) + "S:od9500:0;" +
      compact(media("/etc/passwd", "https://download.example.com/x", 9500)) + "S:od9400:0;" +
      compact(media("/home/user/.ssh/id_rsa", "https://download.example.com/k2", 9400)) + "R:OK;";
  answer(200, reply);
  // The download ids go with the upload in one package.
  ASSERT_EQ(0, run(kUpload | kDownload, {9500, 9400}));

  const Object mine_now = stored(mine.get_local_id());
  EXPECT_EQ(9401u, mine_now.get_global_id());
  EXPECT_EQ("/home/user/MyDocs/pic.jpg", uri_of(mine_now, "local_uri"));
  EXPECT_EQ("https://download.example.com/p", uri_of(mine_now, "remote_uri"));
  const unsigned int fetched = repo_->get_object_local_id(9500);
  ASSERT_NE(0u, fetched);
  EXPECT_EQ("", uri_of(stored(fetched), "local_uri"));
  EXPECT_EQ("https://download.example.com/x", uri_of(stored(fetched), "remote_uri"));
  const Object known_now = stored(known.get_local_id());
  EXPECT_EQ("/home/user/MyDocs/known.jpg", uri_of(known_now, "local_uri"));
  EXPECT_EQ("https://download.example.com/k2", uri_of(known_now, "remote_uri"));
}

// ---------------------------------------------------------------------------------------
// Downloads and subscriptions.

TEST_F(ObjectExchangeTest, DownloadRepliesStoreObjectsAndTheirMapping) {
  const unsigned int known = add_place("known", 4713, /*synced=*/true);
  struct Case {
    const char* name;
    bool cascade;
    std::string reply;
    orva::ErrorCode final_status;
    std::vector<unsigned long long> stored_ids;  // global ids stored after the run
    std::vector<unsigned long long> absent_ids;
  };
  const std::vector<Case> cases = {
      {"object, a new child and a known child",
       true,
       "S:od4711:0;" + compact(place("parent", 4711)) + compact(place("child", 4712)) +
           compact(place("known again", 4713)) + "R:OK;",
       0,
       {4711, 4712, 4713},
       {}},
      {"no objects", false, "S:od4711:0;R:OK;", 1, {}, {4711}},
      {"refused", false, "S:od4711:5;R:OK;", 1, {}, {4711}},
      // The line answers nothing asked, so 4711 is failed too.
      {"not asked",
       false,
       "S:od4799:0;" + compact(place("stray", 4799)) + "R:OK;",
       1,
       {},
       {4799, 4711}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_answers();
    s_server->clear_record();
    answer(200, c.reply);
    EXPECT_EQ(c.final_status, run(kDownload, {4711, 0}, c.cascade));
    ASSERT_EQ(1u, posts().size());
    const std::vector<std::string> lines = commands(command_text(posts()[0]));
    EXPECT_EQ(std::string("G:od4711:4711:") + (c.cascade ? "T" : "F"), lines.back());
    for (unsigned long long id : c.stored_ids) EXPECT_NE(0u, repo_->get_object_local_id(id)) << id;
    for (unsigned long long id : c.absent_ids) EXPECT_EQ(0u, repo_->get_object_local_id(id)) << id;
    if (!c.stored_ids.empty()) {
      EXPECT_EQ("known again", stored(known).get_name());
      // The new objects' pairs are in the stored mapping object.
      Object mapping;
      ASSERT_EQ(0, repo_->get_global_object(997, mapping));
      std::map<unsigned long long, unsigned int> pairs;
      for (const orva::keldra::Link& l : mapping.get_links())
        pairs[l.get_global_link()] = l.get_local_link();
      for (unsigned long long id : {4711ULL, 4712ULL})
        EXPECT_EQ(repo_->get_object_local_id(id), pairs[id]) << id;
    }
    for (unsigned long long id : {4711ULL, 4712ULL}) {
      const unsigned int local = repo_->get_object_local_id(id);
      if (local != 0) repo_->remove_object(local);
    }
  }
}

TEST_F(ObjectExchangeTest, SubscriptionPackageCarriesSubscriptionUsersRequestAndMapping) {
  const unsigned int known = add_place("known", 4811, /*synced=*/true);
  answer(200, "R:OK;");
  ASSERT_EQ(0, run(kSubscribe, {4811, 4899}));
  ASSERT_EQ(1u, posts().size());
  const std::vector<std::string> lines = commands(command_text(posts()[0]));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ("A:oa2147483647", lines[1]);
  const std::vector<std::string> tail(lines.end() - 3, lines.end());
  EXPECT_EQ((std::vector<std::string>{"A:oa2147483646", "G:od996:996:F", "A:oa2147483645"}), tail);
  // The mapping pairs only the known id: the other is neither downloaded nor stored.
  const std::string text = command_text(posts()[0]);
  const std::string mapping = text.substr(text.rfind("A:oa2147483645;"));
  EXPECT_NE(std::string::npos, mapping.find(std::to_string(known)));
  EXPECT_EQ(std::string::npos, mapping.find("4899"));
}

}  // namespace

namespace {

// Download and subscription in one run, both cascaded: the subscription's mapping pairs
// the object and the children that came with it in this run.
TEST_F(ObjectExchangeTest, SubscriptionMapsTheObjectsDownloadedInTheRun) {
  HttpsTestServer::Reply download;
  download.content_type = kCompactType;
  download.body = "S:od4911:0;" + compact(place("parent", 4911)) + compact(place("child", 4912)) +
                  compact(place("other child", 4913)) + "R:OK;";
  s_server->answer("POST", "/upload", download, 1);
  answer(200, "R:OK;");
  ASSERT_EQ(0, run(kDownload | kSubscribe, {4911}, /*cascade=*/true));

  const std::vector<HttpsTestServer::Request> sent = posts();
  ASSERT_EQ(2u, sent.size());
  const std::vector<std::string> first = commands(command_text(sent[0]));
  EXPECT_EQ("G:od4911:4911:T", first.back());
  const std::string text = command_text(sent[1]);
  const std::vector<std::string> second = commands(text);
  // Only the run's first package carries the stored system objects.
  const std::vector<std::string> expected = {"A:oa2147483647", "A:oa2147483646", "G:od996:996:F",
                                             "A:oa2147483645"};
  EXPECT_EQ(expected, std::vector<std::string>(second.begin() + 1, second.end()));
  const std::string mapping = text.substr(text.rfind("A:oa2147483645;"));
  for (unsigned long long id : {4911ULL, 4912ULL, 4913ULL}) {
    const unsigned int local = repo_->get_object_local_id(id);
    ASSERT_NE(0u, local) << id;
    EXPECT_NE(std::string::npos, mapping.find(std::to_string(id))) << id;
  }
}

}  // namespace
