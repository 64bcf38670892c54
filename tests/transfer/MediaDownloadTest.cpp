// Media download runs against the loopback HTTPS server: where each file is saved, what
// the object records, resized addresses, and a failed download.
#include "FileAge.h"
#include "MediaFixture.h"

#include "support/LogCapture.h"
#include "support/TestEnv.h"

#include "adaptation_umbo/transfer/NetworkAdapterUmbo.h"
#include "transfer/FileManager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <keldra/Attribute.h>
#include <keldra/LoggerUmbo.h>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::MultimediaObject;
using orva::keldra::SyncService;
using orva::keldra::internal::DirectTransferHandler;
using orva::keldra::internal::FileManager;
using orva::keldra::internal::NetworkAdapterUmbo;

class MediaDownloadTest : public MediaTest {
 protected:
  void TearDown() override {
    NetworkAdapterUmbo::set_inactivity_timeout_ms(0);
    NetworkAdapterUmbo::set_max_reply_body(0);
    MediaTest::TearDown();
  }
  // The files in the download folder of |mime| whose names begin with |prefix|.
  static QStringList files_in(const std::string& mime, const std::string& prefix) {
    return QDir(QString::fromStdString(folder_for(mime)))
        .entryList({QString::fromStdString(prefix) + "*"}, QDir::Files | QDir::Hidden);
  }

  static std::string folder_for(const std::string& mime) {
    std::string path;
    EXPECT_EQ(0, FileManager::open()->get_download_path(mime, path));
    return path;
  }

  // One download run to its end; its final status. |ran| (when given) keeps the handler.
  orva::ErrorCode run_download(int longest_side = 0,
                               SharedPointer<DirectTransferHandler>* ran = nullptr) {
    listener_.reports.clear();
    SharedPointer<DirectTransferHandler> handler = make_handler();
    if (ran) *ran = handler;
    SyncService::FileSyncOptions options;
    options.image_scaling_longest_side = longest_side;
    handler->set_download_options(options);
    handler->enable_mmf_download();
    EXPECT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, start(*handler));
    EXPECT_TRUE(wait_final());
    pump_a_while();
    EXPECT_EQ(1, listener_.finals());
    return listener_.reports.back().status;
  }

  // A synchronised object whose file is only on the server; with |local_changes| it is
  // then changed locally.
  unsigned int add_remote(unsigned long long global_id, const std::string& url,
                          const std::string& mime, bool local_changes = false) {
    const unsigned int id = add_file_object("", "", 0, url, mime, global_id);
    if (local_changes) {
      MultimediaObject m = read_media(id);
      m.object()->set_name(std::string("renamed here"));
      EXPECT_EQ(0, repo_->update_object(*m.object()));
      EXPECT_TRUE(read_media(id).object()->has_local_changes());
    }
    return id;
  }
};

TEST_F(MediaDownloadTest, FilesAreSavedByTheirContentTypeAndTheObjectsKeepTheirState) {
  struct Case {
    const char* name;
    unsigned long long global_id;
    const char* reply_type;
    const char* remote_mime;
    bool local_changes;
    bool old_file;  // a file of the same name is there already
  };
  const Case cases[] = {
      {"ImageIntoPictures", 9101, "image/jpeg", "image/jpeg", false, false},
      {"AudioIntoCities", 9102, "audio/mpeg", "audio/mpeg", false, false},
      {"ReplyTypeChoosesThePlace", 9103, "image/png", "application/octet-stream", false, false},
      {"LocalChangesStayPending", 9104, "image/jpeg", "image/jpeg", true, false},
      {"SameNameIsReplaced", 9105, "text/plain", "text/plain", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_answers();
    s_server->clear_record();
    const std::string file_path = "/files/" + std::to_string(c.global_id);
    const std::string content = "content of " + std::to_string(c.global_id);
    s_server->answer("GET", file_path, reply(200, content, c.reply_type));
    const unsigned int id =
        add_remote(c.global_id, s_server->url(file_path), c.remote_mime, c.local_changes);
    const std::string expected_path = folder_for(c.reply_type) + "md" + std::to_string(c.global_id);
    if (c.old_file) {
      ASSERT_TRUE(write_file(expected_path, "an older and longer content"));
    }

    EXPECT_EQ(0, run_download());

    EXPECT_EQ(content, read_file(expected_path));
    const MultimediaObject m = read_media(id);
    EXPECT_EQ(expected_path, local_url(m));
    EXPECT_EQ(c.remote_mime, local_mime(m));
    EXPECT_EQ(c.local_changes, m.object()->has_local_changes());
    const std::vector<HttpsTestServer::Request> requests = s_server->requests();
    ASSERT_EQ(1u, requests.size());
    // The server's own host: the credentials go with it.
    EXPECT_EQ("Basic YW5uYTpzZWNyZXQ=", requests[0].header("Authorization"));
    // Nothing but the file is left in its folder.
    const QStringList left = QDir(QString::fromStdString(folder_for(c.reply_type)))
                                 .entryList({QString("md%1*").arg(c.global_id)}, QDir::Files);
    EXPECT_EQ(1, left.size());
    repo_->remove_object(id);
  }
}

TEST_F(MediaDownloadTest, ResizedAddresses) {
  struct Case {
    const char* name;
    int longest_side;
    const char* mime;
    const char* url;
    const char* fetched;
  };
  const Case cases[] = {
      {"Unresized", 0, "image/jpeg", "s://host/a/b/c/d/photo.jpg", "s://host/a/b/c/d/photo.jpg"},
      {"DeepPath", 480, "image/jpeg", "s://host/a/b/c/d/photo.jpg",
       "s://host/a/b/c/.s/d/w480-h480_photo.jpg"},
      {"ExactlySixSlashes", 480, "image/jpeg", "s://host/a/b/c/photo.jpg",
       "s://host/a/b/c/.s/w480-h480_photo.jpg"},
      {"FiveSlashesUnchanged", 480, "image/jpeg", "s://host/a/b/photo.jpg",
       "s://host/a/b/photo.jpg"},
      {"NotAnImage", 480, "audio/mpeg", "s://host/a/b/c/d/song.mp3", "s://host/a/b/c/d/song.mp3"},
      {"MimeCaseCounts", 480, "Image/jpeg", "s://host/a/b/c/d/p.jpg", "s://host/a/b/c/d/p.jpg"},
  };
  SharedPointer<StepHandler> handler = make_step_handler();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SyncService::FileSyncOptions options;
    options.image_scaling_longest_side = c.longest_side;
    handler->set_download_options(options);
    std::string fetched = "untouched";
    handler->add_resizing_to_remote_url(orva::ustring(std::string(c.url)), c.mime, fetched);
    EXPECT_EQ(c.fetched, fetched);
  }
}

// With a size asked for, images are fetched from their resized address and other files
// from theirs; the server sees the resized path whole, its ".s" segment included.
TEST_F(MediaDownloadTest, ImagesAreFetchedResized) {
  const unsigned int image = add_remote(9201, s_server->url("/f/a/b/photo.jpg"), "image/jpeg");
  const unsigned int audio = add_remote(9202, s_server->url("/f/a/b/song.mp3"), "audio/mpeg");
  s_server->answer("GET", "/f/a/b/song.mp3", reply(200, "tune", "audio/mpeg"));
  s_server->answer("GET", "/f/a/b/*", reply(200, "small", "image/jpeg"));
  EXPECT_EQ(0, run_download(320));
  const std::vector<HttpsTestServer::Request> requests = s_server->requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("/f/a/b/.s/w320-h320_photo.jpg", requests[0].path);
  EXPECT_EQ("/f/a/b/song.mp3", requests[1].path);
  EXPECT_EQ("small", read_file(local_url(read_media(image))));
  EXPECT_EQ("tune", read_file(local_url(read_media(audio))));
}

// A 404 ends the run with 8; the rest waits for the next sync.
TEST_F(MediaDownloadTest, MissingFileEndsTheRun) {
  const unsigned int first = add_remote(9301, s_server->url("/f/gone.jpg"), "image/jpeg");
  const unsigned int second = add_remote(9302, s_server->url("/f/there.jpg"), "image/jpeg");
  s_server->answer("GET", "/f/there.jpg", reply(200, "bytes", "image/jpeg"));
  EXPECT_EQ(8, run_download());
  EXPECT_EQ(1u, s_server->request_count());
  EXPECT_EQ("", local_url(read_media(first)));
  EXPECT_EQ("", local_url(read_media(second)));
}

// A server that goes silent in the middle of a file ends the run with 0x6005 once nothing
// has moved for the time limit (shortened here): one final report, nothing saved, the
// object unchanged. Also from the own client (the resized address).
TEST_F(MediaDownloadTest, ASilentServerEndsTheRunAndSavesNothing) {
  NetworkAdapterUmbo::set_inactivity_timeout_ms(500);
  HttpsTestServer::Reply stalled = reply(200, "0123456789", "image/jpeg");
  stalled.hang_after_bytes = 4;
  s_server->answer("GET", "/f/*", stalled);
  for (int side : {0, 320}) {
    SCOPED_TRACE(side);
    s_server->clear_record();
    const unsigned int id = add_remote(9501 + side, s_server->url("/f/a/b/photo.jpg"), "image/jpeg");
    EXPECT_EQ(ORVA_ERROR_KELDRA_NETWORK_PROBLEM, run_download(side));
    EXPECT_EQ(1u, s_server->request_count());
    EXPECT_EQ("", local_url(read_media(id)));
    EXPECT_TRUE(files_in("image/jpeg", "md" + std::to_string(9501 + side)).isEmpty());
    repo_->remove_object(id);
  }
}

// A file whose Content-Length is no plain decimal number, or a list, is not saved: the
// run ends with 0x6005 and the object keeps no local file, on Qt's client and the own
// one (the resized address) alike. Either used to save a guess: Qt's client the bytes up
// to the close, the own client none ("-0") or the first five ("5, 05").
TEST_F(MediaDownloadTest, ALengthThatIsNoPlainNumberSavesNothing) {
  unsigned long long global_id = 9550;
  for (const char* length : {"-0", "5, 05", "+5"}) {
    for (int side : {0, 320}) {
      SCOPED_TRACE(std::string(length) + " " + std::to_string(side));
      s_server->clear_answers();
      s_server->clear_record();
      HttpsTestServer::Reply guess;
      guess.raw = std::string("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nConnection: close\r\n") +
                  "Content-Length: " + length + "\r\n\r\n0123456789";
      s_server->answer("GET", "/f/*", guess);
      ++global_id;
      const unsigned int id = add_remote(global_id, s_server->url("/f/a/b/photo.jpg"), "image/jpeg");
      EXPECT_EQ(ORVA_ERROR_KELDRA_NETWORK_PROBLEM, run_download(side));
      EXPECT_EQ(1u, s_server->request_count());
      EXPECT_EQ("", local_url(read_media(id)));
      EXPECT_TRUE(files_in("image/jpeg", "md" + std::to_string(global_id)).isEmpty());
      repo_->remove_object(id);
    }
  }
}

// A file above the reply body bound (256 MiB; lowered here) is refused, whether its
// Content-Length says so or its bytes pass the bound: the run ends with 2, nothing is
// saved and the file is booked as failed. Also from the own client.
TEST_F(MediaDownloadTest, AFileAboveTheBoundIsRefusedAndBookedAsFailed) {
  NetworkAdapterUmbo::set_max_reply_body(64 * 1024);
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nConnection: close\r\n";
  const struct {
    const char* name;
    std::string raw;
    std::string endless;
  } cases[] = {
      {"declared", head + "Content-Length: 65537\r\n\r\n", "j"},
      {"endless", head + "\r\n", "jpeg"},
  };
  unsigned long long global_id = 9600;
  for (const auto& c : cases) {
    for (int side : {0, 320}) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(side));
      s_server->clear_answers();
      s_server->clear_record();
      HttpsTestServer::Reply big;
      big.raw = c.raw;
      big.endless = c.endless;
      s_server->answer("GET", "/f/*", big);
      ++global_id;
      const unsigned int id = add_remote(global_id, s_server->url("/f/a/b/photo.jpg"), "image/jpeg");
      SharedPointer<DirectTransferHandler> handler;
      EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, run_download(side, &handler));
      ASSERT_EQ(1u, handler->failed_files().size());
      EXPECT_EQ(id, handler->failed_files()[0].object.get_local_id());
      EXPECT_EQ(global_id, handler->failed_files()[0].object.get_global_id());
      EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, handler->failed_files()[0].error);
      EXPECT_EQ("", local_url(read_media(id)));
      EXPECT_TRUE(files_in("image/jpeg", "md" + std::to_string(global_id)).isEmpty());
      repo_->remove_object(id);
    }
  }
}

// A run starts by removing what a run of a killed process left once it was left alone
// for an hour: its partial download and its request package folder. Younger ones stay:
// a live process in another PID namespace looks gone too.
TEST_F(MediaDownloadTest, ARunRemovesTheLeftoversOfAKilledOne) {
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  const struct {
    const char* name;
    long age;  // seconds since the leftovers were last modified
    bool removed;
  } cases[] = {
      {"left an hour ago", 3600, true},
      {"written a minute ago", 60, false},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string tag = std::to_string(++n);
    const std::string part = folder_for("image/jpeg") + ".keldra-part-" + std::to_string(gone) +
                             "-md970" + tag + ".Ab12Cd";
    const std::string package = QDir::tempPath().toStdString() + "/upload_" +
                                std::to_string(gone) + "_Ab12C" + tag;
    ASSERT_TRUE(write_file(part, "half a picture"));
    ASSERT_TRUE(write_file(package + "/upload_1.zip", "half a package"));
    ASSERT_TRUE(set_modified_ago(part, c.age));
    ASSERT_TRUE(set_modified_ago(package, c.age));
    EXPECT_EQ(0, run_download());
    EXPECT_EQ(!c.removed, QFileInfo::exists(QString::fromStdString(part)));
    EXPECT_EQ(!c.removed, QFileInfo::exists(QString::fromStdString(package + "/upload_1.zip")));
  }
}

// Objects with a local file already, or without a remote one, are passed over.
TEST_F(MediaDownloadTest, ObjectsWithLocalFilesAreSkipped) {
  const std::string local = home_dir() + "/media/have.jpg";
  ASSERT_TRUE(write_file(local, "mine"));
  add_file_object(local, "image/jpeg", 4, s_server->url("/f/have.jpg"), "image/jpeg", 9401);
  EXPECT_EQ(0, run_download());
  EXPECT_EQ(0u, s_server->request_count());
  EXPECT_EQ("mine", read_file(local));
}

// No two objects name one downloaded file: an object without global id and the
// server's object whose global id is that local id get names of their own, and a
// download whose name is already another object's file (the application's picture, or
// the icon of a place) takes a free one, leaving that file as it was.
TEST_F(MediaDownloadTest, NoDownloadTakesAnotherObjectsFile) {
  const std::string folder = folder_for("image/jpeg");
  ASSERT_TRUE(write_file(folder + "md9801", "the application's picture"));
  const unsigned int application = add_file_object(folder + "md9801", "image/jpeg", 25);
  ASSERT_TRUE(write_file(folder + "md9802", "the place's icon"));
  orva::keldra::Object place("location");
  place.set_name(std::string("with an icon"));
  place.set_service(std::string("personal"));
  SharedPointer<Attribute> meta(new Attribute("meta", "metadata"));
  SharedPointer<Attribute> icon(new Attribute("icon", "frame"));
  SharedPointer<Attribute> icon_file(new Attribute("local_uri", "uri"));
  icon_file->add_field("url")->set_value(folder + "md9802");
  icon->get_attributes().push_back(icon_file);
  meta->get_attributes().push_back(icon);
  place.get_attributes().push_back(meta);
  ASSERT_EQ(0, repo_->insert_object(place));
  const unsigned int local_only =
      add_file_object("", "", 0, s_server->url("/f/local"), "image/jpeg");
  const unsigned int same_number = add_remote(local_only, s_server->url("/f/same"), "image/jpeg");
  const unsigned int named_taken = add_remote(9801, s_server->url("/f/taken"), "image/jpeg");
  const unsigned int icon_taken = add_remote(9802, s_server->url("/f/icon"), "image/jpeg");
  for (const char* name : {"local", "same", "taken", "icon"}) {
    s_server->answer("GET", std::string("/f/") + name, reply(200, name, "image/jpeg"));
  }

  EXPECT_EQ(0, run_download());

  const struct {
    const char* name;
    unsigned int object;
    std::string file;
    std::string content;
  } expected[] = {
      {"without global id", local_only, "mdl" + std::to_string(local_only), "local"},
      {"its local id as global id", same_number, "md" + std::to_string(local_only), "same"},
      {"its name another object's file", named_taken, "md9801-2", "taken"},
      {"the application's picture", application, "md9801", "the application's picture"},
      {"its name the file of a place's icon", icon_taken, "md9802-2", "icon"},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(folder + e.file, local_url(read_media(e.object)));
    EXPECT_EQ(e.content, read_file(folder + e.file));
  }
  EXPECT_EQ("the place's icon", read_file(folder + "md9802"));
}

// Media downloads whose body meets a store that changed or is busy meanwhile; the log
// captured.
class MediaSaveTest : public MediaDownloadTest {
 protected:
  void SetUp() override {
    log_.reset(new LogCapture);
    MediaDownloadTest::SetUp();
    // The set-up made the store's folder anew: the log file is opened again in it.
    orva::keldra::internal::LoggerUmbo::instance()->start_new_log(true);
    log_.reset();
    log_.reset(new LogCapture);
  }
  void TearDown() override {
    MediaDownloadTest::TearDown();
    log_.reset();
  }

  // Starts a download run of the one object waiting for its file; true once the file's
  // request reached the server.
  bool start_download(SharedPointer<DirectTransferHandler>& handler) {
    listener_.reports.clear();
    handler = make_handler();
    handler->enable_mmf_download();
    EXPECT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, start(*handler));
    return s_server->wait_for_requests(1);
  }
  // The final status of the run started.
  orva::ErrorCode final_status() {
    EXPECT_TRUE(wait_final());
    pump_a_while();
    EXPECT_EQ(1, listener_.finals());
    return listener_.reports.empty() ? -1 : listener_.reports.back().status;
  }

  std::unique_ptr<LogCapture> log_;
};

// The object changes while its body is on its way (the server holds its answer until
// the test has changed it). Given a file of the application's, it keeps that file: the
// download is dropped, no file is left and the entry counts as skipped. Removed, the
// run ends with 8 and no file is left either. Left alone, it gets its file.
TEST_F(MediaSaveTest, TheObjectIsLookedAtAgainWhenItsBodyArrives) {
  const std::string mine = make_file("mine.jpg", 4);
  const std::string mine_bytes = read_file(mine);
  enum Meanwhile { OWN_FILE, REMOVED, NOTHING };
  const struct {
    const char* name;
    Meanwhile meanwhile;
    orva::ErrorCode status;
  } cases[] = {
      {"the application gives it a file of its own", OWN_FILE, ORVA_ERROR_NONE},
      {"the object is removed", REMOVED, ORVA_ERROR_NOT_FOUND},
      {"nothing changes", NOTHING, ORVA_ERROR_NONE},
  };
  const std::string folder = folder_for("image/jpeg");
  unsigned long long global_id = 9810;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ++global_id;
    s_server->clear_answers();
    s_server->clear_record();
    const std::string path = "/f/" + std::to_string(global_id);
    HttpsTestServer::Reply held = reply(200, "downloaded", "image/jpeg");
    held.hold = std::to_string(global_id);
    s_server->answer("GET", path, held);
    const unsigned int id = add_remote(global_id, s_server->url(path), "image/jpeg");
    const std::string skipped =
        "DirectTransferHandler: file download for obj " + std::to_string(id) + " skipped, err 0";

    SharedPointer<DirectTransferHandler> handler;
    ASSERT_TRUE(start_download(handler));
    if (c.meanwhile == OWN_FILE) {
      MultimediaObject m = read_media(id);
      ASSERT_EQ(0, m.local_uri().set_url(orva::ustring(mine)));
      ASSERT_EQ(0, m.local_uri().set_mime("image/jpeg"));
      ASSERT_EQ(0, repo_->update_object(*m.object()));
    } else if (c.meanwhile == REMOVED) {
      ASSERT_EQ(0, repo_->remove_object(id));
    }
    s_server->release(held.hold);
    EXPECT_EQ(c.status, final_status());

    const QStringList left = QDir(QString::fromStdString(folder))
                                 .entryList({QString("md%1*").arg(global_id), ".keldra-part-*"},
                                            QDir::Files | QDir::Hidden);
    const std::string saved = folder + "md" + std::to_string(global_id);
    if (c.meanwhile == NOTHING) {
      EXPECT_EQ(QStringList{QString("md%1").arg(global_id)}, left);
      EXPECT_EQ(saved, local_url(read_media(id)));
      EXPECT_EQ("downloaded", read_file(saved));
    } else {
      EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
    }
    if (c.meanwhile == OWN_FILE) {
      EXPECT_EQ(mine, local_url(read_media(id)));
      EXPECT_EQ(mine_bytes, read_file(mine));
      EXPECT_TRUE(read_media(id).object()->has_local_changes());
      EXPECT_EQ(1, log_->count(skipped));
    }
    EXPECT_TRUE(handler->failed_files().empty());
  }
}

// While a large body is saved, another connection writes the store: the file is
// written whole before the store is taken. The other connection takes the store's
// write lock before the body arrives and keeps it until it sees the whole file in its
// folder; then it commits, and the download is recorded.
TEST_F(MediaSaveTest, AnotherConnectionWritesWhileALargeFileIsSaved) {
  const uint64_t size = 16u << 20;
  const std::string large = make_file("large.jpg", size);
  HttpsTestServer::Reply held = reply(200, "", "image/jpeg");
  held.body_file = large;
  held.hold = "large";
  s_server->set_record_bodies(false);
  s_server->answer("GET", "/f/large.jpg", held);
  const unsigned long long global_id = 9901;
  const unsigned int id = add_remote(global_id, s_server->url("/f/large.jpg"), "image/jpeg");
  const unsigned int other = add_place("other");
  const std::string folder = folder_for("image/jpeg");
  const std::string part =
      ".keldra-part-" + std::to_string(::getpid()) + "-md" + std::to_string(global_id) + ".";

  SharedPointer<DirectTransferHandler> handler;
  ASSERT_TRUE(start_download(handler));
  std::promise<bool> locked;
  std::future<bool> is_locked = locked.get_future();
  std::atomic<bool> saw_whole_file(false);
  std::atomic<int> committed(-1);
  std::thread writer([&] {
    sqlite3* db = nullptr;
    const std::string file = home_dir() + "/.cities/OstraMaps.db";
    bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (ok) sqlite3_busy_timeout(db, 10000);
    const std::string update =
        "UPDATE object SET name = 'written meanwhile' WHERE local_id = " + std::to_string(other);
    ok = ok && sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK &&
         sqlite3_exec(db, update.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    locked.set_value(ok);
    if (ok) {
      // Bounded: without the change the file is never written while the lock is held.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!saw_whole_file && std::chrono::steady_clock::now() < deadline) {
        for (const QFileInfo& f :
             QDir(QString::fromStdString(folder))
                 .entryInfoList({QString::fromStdString(part) + "*"}, QDir::Files | QDir::Hidden)) {
          if (static_cast<uint64_t>(f.size()) == size) saw_whole_file = true;
        }
        if (!saw_whole_file) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      committed = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
  });
  const bool lock_taken = is_locked.wait_for(std::chrono::seconds(20)) == std::future_status::ready &&
                          is_locked.get();
  s_server->release("large");
  const orva::ErrorCode status = final_status();
  writer.join();
  s_server->set_record_bodies(true);
  ASSERT_TRUE(lock_taken);

  EXPECT_TRUE(saw_whole_file);
  EXPECT_EQ(SQLITE_OK, committed);
  EXPECT_EQ(ORVA_ERROR_NONE, status);
  const std::string saved = folder + "md" + std::to_string(global_id);
  EXPECT_EQ(saved, local_url(read_media(id)));
  EXPECT_TRUE(read_file(saved) == read_file(large));
  orva::keldra::Object written;
  ASSERT_EQ(0, repo_->get_object(other, written));
  EXPECT_EQ("written meanwhile", written.get_name());
}

}  // namespace
}  // namespace keldra_test
