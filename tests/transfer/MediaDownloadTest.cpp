// Media download runs against the loopback HTTPS server: where each file is saved, what
// the object records, resized addresses, and a failed download.
#include "FileAge.h"
#include "MediaFixture.h"

#include "support/TestEnv.h"

#include "adaptation_umbo/transfer/NetworkAdapterUmbo.h"
#include "transfer/FileManager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
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

}  // namespace
}  // namespace keldra_test
