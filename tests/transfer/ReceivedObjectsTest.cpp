// What a hostile or faulty server can do through the replies of a run, against the
// loopback HTTPS server: a received object never brings a local file (so a later media
// upload never posts a file the server named), an object that takes a global id another
// object holds is refused and booked as failed, and a queue-forward reply stops the run.
#include "MediaFixture.h"

#include "support/AttributeTree.h"
#include "support/DbTestUtil.h"
#include "support/LogCapture.h"
#include "support/TestEnv.h"

#include <keldra/Link.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/ObjectConverter.h>

#include <gtest/gtest.h>

#include <QDir>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::internal::DirectTransferHandler;

class ReceivedObjectsTest : public MediaTest {
 protected:
  void SetUp() override {
    // Every type logged by a logger made from now on.
    log_.reset(new LogCapture);
    MediaTest::SetUp();
    QDir(QString::fromStdString(home_dir() + "/media")).removeRecursively();
    // The set-up made the store's folder anew: the log file is opened again in it, and
    // the capture starts there.
    orva::keldra::internal::LoggerUmbo::instance()->start_new_log(true);
    log_.reset();
    log_.reset(new LogCapture);
  }
  void TearDown() override {
    MediaTest::TearDown();
    log_.reset();
  }

  // One run of |handler| to its end, the server answering every post with |body|; its
  // final status.
  orva::ErrorCode run(DirectTransferHandler& handler, const std::string& body) {
    listener_.reports.clear();
    s_server->clear_answers();
    s_server->answer("POST", "/upload", reply(200, body));
    EXPECT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, start(handler));
    EXPECT_TRUE(wait_final());
    pump_a_while();
    EXPECT_EQ(1, listener_.finals());
    return listener_.reports.back().status;
  }

  // A place linking |targets|, stored as new (local) or as the server's with |global_id|.
  unsigned int store(const char* class_name, const std::string& name, unsigned long long global_id,
                     const std::vector<unsigned int>& targets) {
    Object o(class_name);
    o.set_name(name);
    o.set_service(std::string("personal"));
    for (unsigned int target : targets) o.get_links().push_back(Link(target));
    o.set_global_id(global_id);
    const orva::ErrorCode r =
        global_id != 0 ? adapter_->sync_adapter()->add_object(o) : repo_->insert_object(o);
    EXPECT_EQ(0, r) << name;
    return o.get_local_id();
  }
  std::vector<unsigned int> links_of(unsigned int local_id) {
    Object o;
    EXPECT_EQ(0, repo_->get_object(local_id, o)) << local_id;
    std::vector<unsigned int> out;
    for (const Link& l : o.get_links()) out.push_back(l.get_local_link());
    return out;
  }
  static long long shared_global_ids() {
    return db_test::shared_global_ids(keldra_test::home_dir() + "/.cities/OstraMaps.db");
  }
  static std::string with_ids(std::string text, const std::vector<unsigned int>& ids) {
    for (size_t i = 0; i < ids.size(); ++i) {
      const std::string mark = "{" + std::to_string(i) + "}";
      for (size_t at; (at = text.find(mark)) != std::string::npos;)
        text.replace(at, mark.size(), std::to_string(ids[i]));
    }
    return text;
  }

  static ObjectPtr decoded(const std::string& text) {
    ObjectPtr object;
    EXPECT_EQ(0, orva::keldra::ObjectConverter::create()->decode(
                     reinterpret_cast<const unsigned char*>(text.data()),
                     static_cast<unsigned int>(text.size()), object, KELDRA_COMPACT_MIME_TYPE));
    return object;
  }
  // The file of the stored place's first icon; "-" when it names none.
  std::string icon_file(unsigned int local_id) {
    Object o;
    EXPECT_EQ(0, repo_->get_object(local_id, o)) << local_id;
    return text_at(o.get_attributes(),
                   {{"meta", "icon", "local_uri"}, {"metadata", "frame", ""}, "url"});
  }

  std::unique_ptr<LogCapture> log_;
};

// The reply to an objects upload gives an uploaded object the global id of another
// object: it is refused with 3 and booked as failed, nothing of it is written, and the
// link of a third object to the holder stays where it was.
TEST_F(ReceivedObjectsTest, GlobalIdHeldByAnotherObjectIsRefusedAndBookedAsFailed) {
  struct Case {
    const char* name;
    // {0} the new place "home", {1} the new collection "trip" that links it.
    std::string reply;
    unsigned int refused;  // index of the refused upload
    unsigned long long home_global;
  };
  const Case cases[] = {
      {"the global id of a stored object",
       "S:oa{0}:0;O:32:home:9002:1:::::193;A0:6:6;F:8:3:home street 1;S:oa{1}:0;R:OK;", 0, 0},
      {"one global id for two uploads",
       "S:oa{0}:0;O:32:hme:100002;S:oa{1}:0;O:95:trip:100002;R:OK;", 1, 100002},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_record();
    // A place the server sent earlier, and a place of the server's that links it.
    const unsigned int holder = store("location", "server's place", 9002, {});
    const unsigned int third = store("location", "linking", 9003, {holder});
    const unsigned int home = store("location", "home", 0, {});
    const unsigned int trip = store("collection", "trip", 0, {home});
    const std::vector<unsigned int> uploads = {home, trip};

    SharedPointer<DirectTransferHandler> handler = make_handler();
    handler->enable_objects_upload();
    handler->enable_objects_upload_without_ids();
    EXPECT_EQ(1, run(*handler, with_ids(c.reply, uploads)));
    ASSERT_EQ(1u, handler->failed_objects().size());
    EXPECT_EQ(uploads[c.refused], handler->failed_objects()[0].object.get_local_id());
    EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, handler->failed_objects()[0].error);

    EXPECT_EQ(0, shared_global_ids());
    EXPECT_EQ(holder, repo_->get_object_local_id(9002));
    EXPECT_EQ(std::vector<unsigned int>{holder}, links_of(third));
    EXPECT_EQ(std::vector<unsigned int>{home}, links_of(trip));
    EXPECT_EQ(c.home_global, repo_->get_object_global_id(home));
    Object refused;
    ASSERT_EQ(0, repo_->get_object(uploads[c.refused], refused));
    EXPECT_EQ(0ull, refused.get_global_id());
    EXPECT_TRUE(refused.has_local_changes());
    for (unsigned int id : {trip, home, third, holder}) repo_->remove_object(id);
  }
}

// A 200 reply that is no answer, or answers only part of its package: what its lines
// handled stays, every object item the package carried and no "S" line answered is
// booked as failed with 1, a reply without its "R" line is logged, and the run ends
// with 1; only a complete reply ends it with 0.
TEST_F(ReceivedObjectsTest, RepliesThatAnswerPartOfAPackageEndTheRunWithOne) {
  const char kNoResponseLine[] =
      "DirectTransferHandler: reply without response status line, the run fails";
  struct Case {
    const char* name;
    // "places": the package uploads the new places "home" ({0}) and "work" ({1}); and
    // the global ids it asks for.
    const char* package;
    std::string reply;
    orva::ErrorCode final_status;
    // The failed objects: "home", "work" or the requested global id, with the code.
    const char* failed;
    bool without_response_line;
    const char* stored;  // the global ids in the store after the run
  };
  const std::string home = "S:oa{0}:0;O:location:home:100001;";
  const std::string work = "S:oa{1}:0;O:location:work:100002;";
  const std::string parent = "S:od4711:0;O:location:parent:4711;";
  const std::string child = "S:od4712:0;O:location:child:4712;";
  const Case cases[] = {
      {"a captive portal's page", "places 4711 4712", "<html><body>Welcome</body></html>", 1,
       "home:1 work:1 4711:1 4712:1", true, ""},
      {"no response line", "places", home + work, 1, "", true, "100001 100002"},
      {"a response line alone", "places", "R:OK;", 1, "home:1 work:1", false, ""},
      {"one download not answered", "4711 4712", parent + "R:OK;", 1, "4712:1", false, "4711"},
      {"complete", "places 4711 4712", home + work + parent + child + "R:OK;", 0, "", false,
       "100001 100002 4711 4712"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_record();
    const unsigned int home_id = store("location", "home", 0, {});
    const unsigned int work_id = store("location", "work", 0, {});
    SharedPointer<DirectTransferHandler> handler = make_handler();
    std::vector<unsigned long long> downloads;
    std::istringstream package(c.package);
    for (std::string word; package >> word;) {
      if (word == "places") {
        handler->enable_objects_upload();
        handler->enable_objects_upload_without_ids();
      } else {
        downloads.push_back(std::stoull(word));
      }
    }
    if (!downloads.empty()) ASSERT_EQ(0, handler->enable_objects_download(downloads, false));
    const int logged = log_->count(kNoResponseLine);
    listener_.reports.clear();
    s_server->clear_answers();
    const bool page = c.reply.rfind("<html>", 0) == 0;
    s_server->answer("POST", "/upload",
                     reply(200, with_ids(c.reply, {home_id, work_id}),
                           page ? "text/html" : "application/vnd.ostra.keldraobjectcompact"));
    EXPECT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, start(*handler));
    ASSERT_TRUE(wait_final());
    EXPECT_EQ(1u, s_server->request_count());
    EXPECT_EQ(c.final_status, listener_.reports.back().status);

    std::string failed;
    for (const DirectTransferHandler::ItemResult& r : handler->failed_objects()) {
      const unsigned int id = r.object.get_local_id();
      if (!failed.empty()) failed += " ";
      failed += id == home_id   ? std::string("home")
                : id == work_id ? std::string("work")
                                : std::to_string(r.object.get_global_id());
      failed += ":" + std::to_string(r.error);
    }
    EXPECT_EQ(c.failed, failed);
    EXPECT_EQ(c.without_response_line ? logged + 1 : logged, log_->count(kNoResponseLine));
    std::string stored;
    for (unsigned long long id : {100001ull, 100002ull, 4711ull, 4712ull}) {
      if (repo_->get_object_local_id(id) == 0) continue;
      stored += (stored.empty() ? "" : " ") + std::to_string(id);
    }
    EXPECT_EQ(c.stored, stored);
    // An unanswered upload is still a local change.
    Object now;
    ASSERT_EQ(0, repo_->get_object(home_id, now));
    EXPECT_EQ(now.get_global_id() == 0, now.has_local_changes());
    for (unsigned long long id : {4711ull, 4712ull}) {
      const unsigned int local = repo_->get_object_local_id(id);
      if (local != 0) repo_->remove_object(local);
    }
    repo_->remove_object(home_id);
    repo_->remove_object(work_id);
  }
}

// A reply names a file of the device (35 bytes in the home folder) in the objects it
// returns: no object stores it, a stored file stays, and the media upload that follows
// posts nothing.
TEST_F(ReceivedObjectsTest, FileNamedByAReceivedObjectIsNeverPosted) {
  const std::string secret = home_dir() + "/secret.txt";
  const std::string secret_bytes = "account=anna\npassword=hunter2\n12345";
  ASSERT_EQ(35u, secret_bytes.size());
  ASSERT_TRUE(write_file(secret, secret_bytes));
  const std::string named = "A0:uri:local_uri;F:8:url:" + secret + ";F:8:mime:text/plain;";
  // Synchronised, its file on the device: a server rename must not wipe the path.
  const std::string mine = make_file("md777002", 20);
  const unsigned int own =
      add_file_object(mine, "image/jpeg", 20, "files.example/own", "image/jpeg", 777002);
  ASSERT_EQ(mine, local_url(read_media(own)));
  // New here, its file only on the server: the server's copy must not give it one.
  const unsigned int fresh =
      add_file_object("", "", 0, "https://files.example/fresh", "text/plain");

  const std::string body = "S:oa" + std::to_string(fresh) + ":0;O:multimedia:media:9998;" + named +
                           "S:od9999:0;O:multimedia:photo:9999;" + named +
                           "S:od777002:0;O:multimedia:renamed:777002;"
                           "A0:uri:remote_uri;F:8:url:files.example/own;F:8:mime:image/jpeg;R:OK;";
  SharedPointer<DirectTransferHandler> objects = make_handler();
  objects->enable_objects_upload();
  objects->enable_objects_upload_without_ids();
  ASSERT_EQ(0, objects->enable_objects_download({9999, 777002}, false));
  ASSERT_EQ(0, run(*objects, body));
  const unsigned int photo = repo_->get_object_local_id(9999);
  ASSERT_NE(0u, photo);
  EXPECT_EQ("", local_url(read_media(photo)));
  EXPECT_EQ(9998ull, repo_->get_object_global_id(fresh));
  EXPECT_EQ("", local_url(read_media(fresh)));
  EXPECT_EQ("renamed", read_media(own).object()->get_name());
  EXPECT_EQ(mine, local_url(read_media(own)));

  s_server->clear_record();
  SharedPointer<DirectTransferHandler> media = make_handler();
  media->enable_mmf_upload();
  EXPECT_EQ(0, run(*media, "R:OK;"));
  EXPECT_EQ(0u, s_server->request_count());
  for (const HttpsTestServer::Request& r : s_server->requests())
    EXPECT_EQ(std::string::npos, r.body.find(secret_bytes)) << r.path;
}

// The same for the file of a part: a downloaded place whose icon frame names
// /etc/passwd stores no file, and the server's copy that only renames a place keeps the
// icon file the application set.
TEST_F(ReceivedObjectsTest, IconFilesOfPlacesStayTheDevicesOwn) {
  const std::string mine = make_file("home.png", 20);
  const std::string place = "A0:metadata:meta;A1:frame:icon;F:1:frameno:0;";
  // The application's place with its icon file, then confirmed by the server.
  ObjectPtr own = decoded("O:location:home:0;" + place + "A2:uri:local_uri;F:8:url:" + mine + ";");
  ASSERT_TRUE(own.is_valid());
  own->set_service(std::string("personal"));
  ASSERT_EQ(0, repo_->insert_object(*own));
  const unsigned int renamed = own->get_local_id();
  Object header("location");
  header.set_name(std::string("home"));
  header.set_global_id(777102);
  header.set_partial(true);
  ASSERT_EQ(0, adapter_->sync_adapter()->replace_object(renamed, header));
  ASSERT_EQ(mine, icon_file(renamed));

  SharedPointer<DirectTransferHandler> handler = make_handler();
  ASSERT_EQ(0, handler->enable_objects_download({9997, 777102}, false));
  ASSERT_EQ(0, run(*handler, "S:od9997:0;O:location:passwd:9997;" + place +
                                 "A2:uri:local_uri;F:8:url:/etc/passwd;"
                                 "S:od777102:0;O:location:renamed:777102;" + place + "R:OK;"));
  const struct {
    const char* name;
    unsigned long long global_id;
    std::string file_after;
  } cases[] = {
      {"a new place whose icon names /etc/passwd", 9997, "-"},
      {"a copy that only renames the place", 777102, mine},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const unsigned int id = repo_->get_object_local_id(c.global_id);
    ASSERT_NE(0u, id);
    EXPECT_EQ(c.file_after, icon_file(id));
  }
  Object now;
  ASSERT_EQ(0, repo_->get_object(renamed, now));
  EXPECT_EQ("renamed", now.get_name());
}

// An "F" line of a queued item: the store keeps no upload queue, so the reply's handling
// ends there with 2 and the run stops with it; lines before it were applied.
TEST_F(ReceivedObjectsTest, QueueForwardReplyStopsTheRunWithTwo) {
  struct Case {
    const char* name;
    bool queue_line_first;
  };
  const Case cases[] = {{"before the file's line", true}, {"after the file's line", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_record();
    const unsigned int id = add_file_object(make_file("q.txt", 100), "text/plain", 0);
    const std::string file_line = f_line("mu" + std::to_string(id), 0, "https://files.example/q");
    const std::string queue_line = "F:qf5:0;";
    SharedPointer<DirectTransferHandler> handler = make_handler();
    handler->enable_mmf_upload();
    const size_t logged =
        log_->count_exact("DirectTransferHandler: q upload result processed with 2");
    EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY,
              run(*handler, (c.queue_line_first ? queue_line + file_line : file_line + queue_line) +
                                "R:OK;"));
    EXPECT_EQ(c.queue_line_first ? "" : "https://files.example/q", remote_url(read_media(id)));
    EXPECT_EQ(logged + 1,
              log_->count_exact("DirectTransferHandler: q upload result processed with 2"));
    repo_->remove_object(id);
  }
}

}  // namespace
}  // namespace keldra_test
