// Items a faulty or hostile server (or sync daemon) hands the plug-in: they never bring,
// change or clear a file of the device, so the direct transfer's media upload that
// follows posts no file an item named (against the loopback HTTPS server); and an item
// that takes the global id of another object is refused with -3, no link moving.
#include "StorageFixture.h"

#include "support/LoopbackServerSuite.h"
#include "support/AttributeTree.h"
#include "support/DbTestUtil.h"
#include "support/TestEnv.h"
#include "transfer/DirectTransferHandlerImpl.h"

#include <keldra/Attribute.h>
#include <keldra/Link.h>
#include <keldra/MultimediaObject.h>
#include <keldra/Object.h>
#include <keldra/SyncService.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Link;
using orva::keldra::MultimediaObject;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::internal::DirectTransferHandler;
using orva::keldra::internal::DirectTransferHandlerImpl;

class FinalReport : public DirectTransferHandler::Listener {
 public:
  void handle_transfer_progress(orva::ErrorCode status, float,
                                DirectTransferHandler::Phase) override {
    if (status != ORVA_ERROR_KELDRA_IN_PROGRESS) finals.push_back(status);
  }
  std::vector<orva::ErrorCode> finals;
};

class ReceivedItemsTest : public LoopbackServerSuite<StorageTest> {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(prepare_server());
    StorageTest::SetUp();
    DirectTransferHandlerImpl::set_network_adapter_factory(
        DirectTransferHandlerImpl::NetworkAdapterFactory());
  }

  // An item's data exactly as the text given.
  static QString raw(const std::string& text) {
    return QString::fromLatin1(QByteArray(text.data(), static_cast<int>(text.size())).toBase64());
  }
  // The url of the stored object's local file; "-" when it names none.
  std::string stored_file(unsigned int local_id) {
    SharedPointer<Object> o(new Object());
    EXPECT_EQ(0, repo_->get_object(local_id, *o)) << local_id;
    MultimediaObject m;
    m.attach(o);
    orva::ustring url;
    m.local_uri().get_url(url);
    return url.to_utf8().empty() ? "-" : url.to_utf8();
  }
  // A photo made here with its file at |path|, then confirmed by the server with |gid|.
  unsigned int synced_photo(const std::string& path, unsigned long long gid) {
    MultimediaObject m;
    EXPECT_EQ(0, m.local_uri().set_url(orva::ustring(path)));
    EXPECT_EQ(0, m.local_uri().set_mime("image/jpeg"));
    EXPECT_EQ(0, m.remote_uri().set_url(orva::ustring("https://files.example/photo")));
    Object& o = *m.object();
    o.set_name(std::string("photo"));
    o.set_service(std::string("personal"));
    EXPECT_EQ(0, repo_->insert_object(o));
    o.set_global_id(gid);
    EXPECT_EQ(0, sync_->replace_object(o.get_local_id(), o));
    return o.get_local_id();
  }
  // A place of the application's (the compact text), then confirmed by the server with
  // |gid|; its local id.
  unsigned int synced_place(const std::string& text, unsigned long long gid) {
    ObjectPtr object;
    EXPECT_EQ(0, converter_->decode(reinterpret_cast<const unsigned char*>(text.data()),
                                    static_cast<unsigned int>(text.size()), object,
                                    KELDRA_COMPACT_MIME_TYPE));
    if (!object.is_valid()) return 0;
    object->set_service(std::string("personal"));
    EXPECT_EQ(0, repo_->insert_object(*object));
    Object header("location");
    header.set_name(object->get_name());
    header.set_global_id(gid);
    header.set_partial(true);
    EXPECT_EQ(0, sync_->replace_object(object->get_local_id(), header));
    return object->get_local_id();
  }
  // The file of the stored place's first icon; "-" when it names none.
  std::string icon_file(unsigned int local_id) {
    Object o;
    EXPECT_EQ(0, repo_->get_object(local_id, o)) << local_id;
    return text_at(o.get_attributes(),
                   {{"meta", "icon", "local_uri"}, {"metadata", "frame", ""}, "url"});
  }
  // A media upload run of the library's handler to its end; its final status.
  orva::ErrorCode upload_media() {
    orva::ErrorCode error = -1;
    SharedPointer<DirectTransferHandler> handler = DirectTransferHandler::create(adapter_, &error);
    EXPECT_EQ(0, error);
    if (!handler.is_valid()) return -1;
    handler->enable_mmf_upload();
    orva::keldra::SyncService::SyncParams params;
    params.service = "personal";
    params.user = "anna";
    params.password = "secret";
    FinalReport report;
    const orva::ErrorCode started = handler->start(params, "device-1", report);
    if (started != ORVA_ERROR_KELDRA_IN_PROGRESS) return started;
    EXPECT_TRUE(wait_until([&] { return !report.finals.empty(); }));
    handler.release();
    return report.finals.empty() ? -1 : report.finals.back();
  }
  static long long shared_global_ids() {
    return db_test::shared_global_ids(keldra_test::home_dir() + "/.cities/OstraMaps.db");
  }
};

// The items name a file in the home folder (35 bytes), or /etc/passwd in a place's icon
// frame: none is stored with it, a stored file (a photo's, an icon's) survives a
// rename, and the media upload run after the session posts nothing.
TEST_F(ReceivedItemsTest, ItemsNeverBringALocalFileAndTheFileIsNeverPosted) {
  const std::string secret = home_dir() + "/secret.txt";
  const std::string secret_bytes = "account=anna\npassword=hunter2\n12345";
  ASSERT_TRUE(write_file(secret, secret_bytes));
  const std::string mine = home_dir() + "/Pictures/md777002";
  ASSERT_TRUE(write_file(mine, "a photo of the device"));
  const std::string named = "A0:uri:local_uri;F:8:url:" + secret + ";F:8:mime:text/plain;";
  // The server's copy of a stored photo keeps its file on the server.
  const std::string remote = "A0:uri:remote_uri;F:8:url:files.example/photo;F:8:mime:image/jpeg;";
  const unsigned int renamed = synced_photo(mine, 777002);
  const unsigned int repointed = synced_photo(mine, 777003);
  const unsigned int known = synced_photo(mine, 777004);
  ASSERT_EQ(mine, stored_file(renamed));
  const std::string icon = home_dir() + "/icons/home.png";
  ASSERT_TRUE(write_file(icon, "an icon of the device"));
  const std::string place = "A0:metadata:meta;A1:frame:icon;F:1:frameno:0;";
  const unsigned int renamed_place = synced_place(
      "O:location:home:0;" + place + "A2:uri:local_uri;F:8:url:" + icon + ";", 777101);
  ASSERT_EQ(icon, icon_file(renamed_place));
  start_driver();
  init_session();

  struct Case {
    const char* name;
    QString call;
    unsigned int object;  // 0: the object the add made
    std::string file_after;
    bool of_icon;  // the file of the place's icon, not of the photo
  };
  const Case cases[] = {
      {"add of a new object naming a file", "add " + raw("O:multimedia:photo:9999;" + named), 0,
       "-", false},
      {"add over a stored global id naming a file",
       "add " + raw("O:multimedia:photo:777004;" + remote + named), known, mine, false},
      {"rename by the server",
       "modify " + QString::number(renamed) + " " + raw("O:multimedia:renamed:777002;" + remote),
       renamed, mine, false},
      {"modify naming another file",
       "modify " + QString::number(repointed) + " " +
           raw("O:multimedia:photo:777003;" + named + remote),
       repointed, mine, false},
      {"add of a new place whose icon names /etc/passwd",
       "add " + raw("O:location:home:9998;" + place + "A2:uri:local_uri;F:8:url:/etc/passwd;"), 0,
       "-", true},
      {"rename of a place by the server",
       "modify " + QString::number(renamed_place) + " " + raw("O:location:renamed:777101;" + place),
       renamed_place, icon, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString answer = call(c.call);
    ASSERT_TRUE(answer.startsWith("0")) << answer.toStdString();
    const unsigned int id = c.object != 0 ? c.object : answer.section(' ', 1, 1).toUInt();
    ASSERT_NE(0u, id);
    EXPECT_EQ(c.file_after, c.of_icon ? icon_file(id) : stored_file(id));
    EXPECT_EQ(0, state_of(id));
  }
  EXPECT_EQ("true", call("uninit"));

  s_server->answer("POST", "/upload", [] {
    HttpsTestServer::Reply r;
    r.body = "R:OK;";
    return r;
  }());
  EXPECT_EQ(0, upload_media());
  EXPECT_EQ(0u, s_server->request_count());
  for (const HttpsTestServer::Request& r : s_server->requests())
    EXPECT_EQ(std::string::npos, r.body.find(secret_bytes)) << r.path;
}

// An item that gives an object the global id another object holds is refused with -3:
// nothing of it is written, and the link of a third object to the holder stays.
TEST_F(ReceivedItemsTest, ItemTakingAnotherObjectsGlobalIdIsRefused) {
  const unsigned int holder = server_place("the server's place", 9001);
  Object linking = received_place("linking", 9003);
  Link link(holder);
  link.set_global_link(9001);
  linking.get_links().push_back(link);
  ASSERT_EQ(0, sync_->add_object(linking));
  const unsigned int home = insert("home");
  const unsigned int other = server_place("other", 9002);
  const unsigned int fresh = insert("fresh");
  start_driver();
  init_session();

  struct Case {
    const char* name;
    QString call;
    QString answer;
  };
  const Case cases[] = {
      {"modify of a new object with a held global id",
       "modify " + QString::number(home) + " " +
           raw("O:32:home:9001:1:::::193;A0:6:6;F:8:3:home street 1;"),
       "-3"},
      {"modifyitems with a header of a held global id",
       "modifyitems " + QString::number(fresh) + ":" + raw("O:32::9002;") + " " +
           QString::number(home) + ":" + raw("O:32:home:9010;A0:6:6;F:8:3:home street 1;"),
       "-3 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.answer, call(c.call));
    EXPECT_EQ(0, shared_global_ids());
    EXPECT_EQ(holder, repo_->get_object_local_id(9001));
    EXPECT_EQ(other, repo_->get_object_local_id(9002));
    EXPECT_EQ(0ull, repo_->get_object_global_id(fresh));
    Object read;
    ASSERT_EQ(0, repo_->get_object(linking.get_local_id(), read));
    ASSERT_EQ(1u, read.get_links().size());
    EXPECT_EQ(holder, read.get_links()[0].get_local_link());
  }
  // The item whose global id nobody held was written.
  EXPECT_EQ(9010ull, repo_->get_object_global_id(home));
  EXPECT_EQ("true", call("uninit"));
}

}  // namespace
}  // namespace keldra_test
