// Media upload runs against the loopback HTTPS server with real files: which files go
// into which batch package, which travel alone or bare, what the "F" lines write, and
// the faults of refused, vanished and oversized files.
#include "MediaFixture.h"

#include "support/TestEnv.h"
#include "support/ZipReader.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::MultimediaObject;
using orva::keldra::internal::DirectTransferHandler;
using orva::keldra::internal::DirectTransferHandlerImpl;
using Strings = std::vector<std::string>;

const uint64_t MiB = 1048576;

class MediaUploadTest : public MediaTest {
 protected:
  void SetUp() override {
    MediaTest::SetUp();
    QDir(QString::fromStdString(home_dir() + "/media")).removeRecursively();
  }

  // Uploads every local-only file; the server answers every post with |body|.
  orva::ErrorCode run_upload(const std::string& body,
                             SharedPointer<DirectTransferHandler>* kept = nullptr) {
    listener_.reports.clear();
    s_server->answer("POST", "/upload", reply(200, body));
    SharedPointer<DirectTransferHandler> handler = make_handler();
    handler->enable_mmf_upload();
    EXPECT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, start(*handler));
    EXPECT_TRUE(wait_final());
    pump_a_while();
    EXPECT_EQ(1, listener_.finals());
    if (kept) *kept = handler;
    return listener_.reports.back().status;
  }

  // Each recorded post as text: "zip:<entries but upload.compact>" for a package,
  // "bare:<request id>:<content type>:<length>" for a bare file.
  Strings posted() {
    Strings out;
    int n = 0;
    for (const HttpsTestServer::Request& r : s_server->requests()) {
      EXPECT_EQ("POST", r.method);
      EXPECT_EQ("/upload", r.path);
      // Every post carries the credentials of "anna".
      EXPECT_EQ("Basic YW5uYTpzZWNyZXQ=", r.header("Authorization"));
      if (r.has_header("X-Forward-Request-Id")) {
        out.push_back("bare:" + r.header("X-Forward-Request-Id") + ":" + r.header("Content-Type") +
                      ":" + std::to_string(r.body_length));
        continue;
      }
      const std::string path = home_dir() + "/posted" + std::to_string(++n) + ".zip";
      EXPECT_TRUE(write_file(path, r.body));
      std::vector<ZipEntry> entries;
      EXPECT_TRUE(read_zip(path, entries)) << path;
      std::string text = "zip:";
      for (const ZipEntry& e : entries) {
        if (e.name == "upload.compact") continue;
        if (text.size() > 4) text += ",";
        text += e.name;
      }
      out.push_back(text);
      std::remove(path.c_str());
    }
    return out;
  }
};

std::string mu(unsigned int id) { return "mu" + std::to_string(id); }

// Files by size and type, in local-id order, and the posts they make.
TEST_F(MediaUploadTest, FilesGoIntoPackagesByFirstFitAndLargeImagesAreSentBare) {
  struct File {
    const char* name;
    uint64_t size;
    const char* mime;
    bool record_size;  // the object records the size; else it is measured
  };
  struct Case {
    const char* name;
    std::vector<File> files;
    // Posts, with %N standing for the key of file N.
    Strings posts;
  };
  const Case cases[] = {
      {"FirstFitInListOrder",
       {{"a.pdf", 600000, "application/pdf", true},
        {"b.pdf", 500000, "application/pdf", false},
        {"c.pdf", 400000, "application/pdf", true}},
       {"zip:%0,%2", "zip:%1"}},
      {"ExactlyOneMiBFitsOneByteMoreTravelsAlone",
       {{"d.bin", MiB, "application/octet-stream", false},
        {"e.bin", MiB + 1, "application/octet-stream", true}},
       {"zip:%0", "zip:%1"}},
      {"LargeImageIsPostedBareSmallOnesBatched",
       {{"f.jpg", MiB + 1, "image/jpeg", false},
        {"g.png", 1000, "image/png", false},
        {"h.ogg", 2 * MiB, "audio/ogg", true}},
       {"zip:%1", "zip:%2", "bare:%0:image/jpeg:1048577"}},
      {"OnlyLargeFiles",
       {{"i.jpg", 2 * MiB, "image/jpeg", true}, {"j.jpg", MiB + 5, "image/jpeg", false}},
       {"bare:%0:image/jpeg:2097152", "bare:%1:image/jpeg:1048581"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_answers();
    s_server->clear_record();
    std::vector<unsigned int> ids;
    std::string body;
    for (const File& f : c.files) {
      const std::string path = make_file(f.name, f.size);
      ids.push_back(add_file_object(path, f.mime, f.record_size ? f.size : 0));
      body += f_line(mu(ids.back()), 0, "https://files.example/" + std::string(f.name));
    }
    SharedPointer<DirectTransferHandler> handler;
    EXPECT_EQ(0, run_upload(body + "R:OK;", &handler));

    Strings expected;
    for (std::string post : c.posts) {
      for (size_t i = 0; i < ids.size(); ++i) {
        const std::string mark = "%" + std::to_string(i);
        for (size_t at; (at = post.find(mark)) != std::string::npos;)
          post.replace(at, 2, mu(ids[i]));
      }
      expected.push_back(post);
    }
    EXPECT_EQ(expected, posted());
    for (size_t i = 0; i < ids.size(); ++i) {
      const MultimediaObject m = read_media(ids[i]);
      EXPECT_EQ("https://files.example/" + std::string(c.files[i].name), remote_url(m));
      EXPECT_EQ(c.files[i].mime, remote_mime(m));
    }
    EXPECT_TRUE(handler->failed_files().empty());
    // Every byte posted and every reply byte is counted.
    uint64_t bytes = 0;
    for (const HttpsTestServer::Request& r : s_server->requests())
      bytes += r.body_length + body.size() + 5;
    EXPECT_EQ(bytes, handler->get_data_transfered());
    for (unsigned int id : ids) repo_->remove_object(id);
  }
}

// The zip entry of a file holds its bytes, and its "FW" line names type and key.
TEST_F(MediaUploadTest, PackageCarriesTheFileUnderItsKey) {
  const std::string path = make_file("k.txt", 3000);
  const unsigned int id = add_file_object(path, "text/plain", 0);
  EXPECT_EQ(0, run_upload(f_line(mu(id), 0, "https://files.example/k") + "R:OK;"));
  const std::vector<HttpsTestServer::Request> requests = s_server->requests();
  ASSERT_EQ(1u, requests.size());
  const std::string zip = home_dir() + "/one.zip";
  ASSERT_TRUE(write_file(zip, requests[0].body));
  std::vector<ZipEntry> entries;
  ASSERT_TRUE(read_zip(zip, entries));
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(mu(id), entries[0].name);
  EXPECT_EQ(read_file(path), entries[0].bytes);
  EXPECT_EQ("upload.compact", entries[1].name);
  EXPECT_NE(std::string::npos, entries[1].bytes.find("FW:personal:text/plain:" + mu(id) + ";"))
      << entries[1].bytes;
  EXPECT_EQ(0u, entries[1].bytes.find("R:device-1:"));
}

// A refused file is a failed file: its url is not written and the run tells of it.
TEST_F(MediaUploadTest, RefusedFilesAreBookedAndEndTheRunWithFailure) {
  struct Case {
    const char* name;
    unsigned int first_code;
    unsigned int second_code;
  };
  const Case cases[] = {{"OneRefused", 0, 7}, {"AllRefused", 3, 9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_answers();
    s_server->clear_record();
    const unsigned int first = add_file_object(make_file("l.txt", 100), "text/plain", 0);
    const unsigned int second = add_file_object(make_file("m.txt", 100), "text/plain", 0);
    SharedPointer<DirectTransferHandler> handler;
    EXPECT_EQ(1,
              run_upload(f_line(mu(first), c.first_code, "https://files.example/l") +
                             f_line(mu(second), c.second_code, "https://files.example/m") + "R:OK;",
                         &handler));
    EXPECT_EQ(c.first_code == 0 ? "https://files.example/l" : "", remote_url(read_media(first)));
    EXPECT_EQ("", remote_url(read_media(second)));
    std::vector<unsigned int> failed;
    for (const DirectTransferHandler::ItemResult& r : handler->failed_files()) {
      failed.push_back(r.object.get_local_id());
      EXPECT_NE(0, r.error);
    }
    std::vector<unsigned int> expected;
    if (c.first_code != 0) expected.push_back(first);
    expected.push_back(second);
    EXPECT_EQ(expected, failed);
    EXPECT_EQ(expected.size(), handler->num_of_errors());
    repo_->remove_object(first);
    repo_->remove_object(second);
  }
}

// A file its request carried that no "F" line answered is a failed file (with 1) and
// keeps its empty remote url; a package's reply without its "R" line ends the run with
// 1 too, at the end of that reply. A bare image post carries no request line, so its
// reply needs none.
TEST_F(MediaUploadTest, UnansweredFilesAreBookedAsFailed) {
  struct Case {
    const char* name;
    uint64_t size;      // of both files: 100 bytes go into one package, more go bare
    bool answer_first;  // an "F" line for each file that is answered
    bool answer_second;
    bool response_line;
    orva::ErrorCode final_status;
    unsigned int posts;
  };
  const Case cases[] = {
      {"PackageAnswersOneFile", 100, true, false, true, 1, 1},
      {"PackageWithoutResponseLine", 100, true, true, false, 1, 1},
      // The first post's reply ends the run: the second file is not sent.
      {"BarePostWithoutForwardLine", MiB + 1, false, true, true, 1, 1},
      {"BarePostsWithoutResponseLine", MiB + 1, true, true, false, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_answers();
    s_server->clear_record();
    const unsigned int first = add_file_object(make_file("t.jpg", c.size), "image/jpeg", 0);
    const unsigned int second = add_file_object(make_file("u.jpg", c.size), "image/jpeg", 0);
    std::string body;
    if (c.answer_first) body += f_line(mu(first), 0, "https://files.example/t");
    if (c.answer_second) body += f_line(mu(second), 0, "https://files.example/u");
    if (c.response_line) body += "R:OK;";
    SharedPointer<DirectTransferHandler> handler;
    EXPECT_EQ(c.final_status, run_upload(body, &handler));
    EXPECT_EQ(c.posts, s_server->request_count());
    // Both files go in the first request, or each in its own.
    const bool second_sent = c.size == 100 || c.posts == 2;
    EXPECT_EQ(c.answer_first ? "https://files.example/t" : "", remote_url(read_media(first)));
    EXPECT_EQ(c.answer_second && second_sent ? "https://files.example/u" : "",
              remote_url(read_media(second)));
    std::vector<unsigned int> failed;
    for (const DirectTransferHandler::ItemResult& r : handler->failed_files()) {
      failed.push_back(r.object.get_local_id());
      EXPECT_EQ(ORVA_ERROR_UNKNOWN, r.error);
    }
    std::vector<unsigned int> expected;
    if (!c.answer_first) expected.push_back(first);
    if (!c.answer_second && second_sent) expected.push_back(second);
    EXPECT_EQ(expected, failed);
    repo_->remove_object(first);
    repo_->remove_object(second);
  }
}

// "F" lines name files by their whole key: an id beyond 32 bits, or a file this run did
// not send, changes nothing.
TEST_F(MediaUploadTest, ForwardLinesApplyOnlyToFilesSentInTheRun) {
  const unsigned int sent = add_file_object(make_file("n.txt", 10), "text/plain", 0);
  const unsigned int other = add_file_object(make_file("o.txt", 10), "text/plain", 0);
  // Its low 32 bits name the file that was sent.
  const unsigned long long wide = (1ull << 32) + sent;
  SharedPointer<DirectTransferHandler> handler = make_handler();
  handler->enable_mmf_upload();
  ASSERT_EQ(0, handler->set_local_objects_filter({sent}, 0));
  s_server->answer("POST", "/upload",
                   reply(200, "F:mu" + std::to_string(wide) + ":0:https\\://files.example/wide;" +
                                  f_line(mu(other), 0, "https://files.example/other") +
                                  f_line(mu(sent), 0, "https://files.example/sent") + "R:OK;"));
  ASSERT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, start(*handler));
  ASSERT_TRUE(wait_final());
  EXPECT_EQ(0, listener_.reports.back().status);
  EXPECT_EQ("https://files.example/sent", remote_url(read_media(sent)));
  EXPECT_EQ("", remote_url(read_media(other)));
  EXPECT_EQ(1u, s_server->request_count());
}

// A file gone from the device, or an object gone from the store, is skipped; the rest
// of the upload goes on.
TEST_F(MediaUploadTest, VanishedFilesAndObjectsAreSkipped) {
  struct Case {
    const char* name;
    bool remove_file;    // the first image's file is deleted before the run
    bool remove_object;  // the first image's object is deleted once the run connects
    const char* mime;
    uint64_t size;
  };
  const Case cases[] = {
      {"LargeImageFileGone", true, false, "image/jpeg", MiB + 10},
      {"LargeImageObjectGone", false, true, "image/jpeg", MiB + 10},
      {"SmallImageFileGone", true, false, "image/jpeg", 1000},
      {"LargeFileGone", true, false, "video/mp4", MiB + 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_answers();
    s_server->clear_record();
    const std::string gone_path = make_file("gone.jpg", c.size);
    const unsigned int gone = add_file_object(gone_path, c.mime, c.size);
    const unsigned int kept = add_file_object(make_file("kept.jpg", MiB + 20), "image/jpeg", 0);
    const unsigned int small = add_file_object(make_file("small.jpg", 50), "image/jpeg", 0);
    if (c.remove_file) ASSERT_EQ(0, std::remove(gone_path.c_str()));
    if (c.remove_object) {
      listener_.during = [&](const TransferReport& r) {
        if (r.phase == DirectTransferHandler::CONNECTING) repo_->remove_object(gone);
      };
    }
    EXPECT_EQ(0, run_upload(f_line(mu(gone), 0, "https://files.example/gone") +
                            f_line(mu(kept), 0, "https://files.example/kept") +
                            f_line(mu(small), 0, "https://files.example/small") + "R:OK;"));
    listener_.during = nullptr;
    EXPECT_EQ((Strings{"zip:" + mu(small), "bare:" + mu(kept) + ":image/jpeg:1048596"}), posted());
    EXPECT_EQ("https://files.example/kept", remote_url(read_media(kept)));
    EXPECT_EQ("https://files.example/small", remote_url(read_media(small)));
    if (!c.remove_object) EXPECT_EQ("", remote_url(read_media(gone)));
    for (unsigned int id : {gone, kept, small}) repo_->remove_object(id);
  }
}

// With scaling asked for there are no batch packages and images wait for a scaler;
// this platform has none, so the images are skipped (never scaled through nothing)
// and the other files still go, each alone.
TEST_F(MediaUploadTest, ScalingWithoutAScalerSkipsTheImages) {
  const unsigned int image = add_file_object(make_file("p.jpg", 2000), "image/jpeg", 0);
  const unsigned int text = add_file_object(make_file("q.txt", 2000), "text/plain", 0);
  const unsigned int image_2 = add_file_object(make_file("r.jpg", 3000), "image/jpeg", 0);
  const unsigned int text_2 = add_file_object(make_file("s.txt", 3000), "text/plain", 0);
  s_server->answer("POST", "/upload",
                   reply(200, f_line(mu(text), 0, "https://files.example/q") +
                                  f_line(mu(text_2), 0, "https://files.example/s") + "R:OK;"));
  SharedPointer<StepHandler> handler = make_step_handler();
  orva::keldra::SyncService::FileSyncOptions options;
  options.image_scaling_longest_side = 640;
  handler->set_upload_options(options);
  handler->enable_mmf_upload();
  ASSERT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, start(*handler));
  ASSERT_TRUE(wait_final());
  EXPECT_EQ(0, listener_.reports.back().status);
  EXPECT_EQ((Strings{"zip:" + mu(text), "zip:" + mu(text_2)}), posted());
  EXPECT_EQ("https://files.example/q", remote_url(read_media(text)));
  EXPECT_EQ("https://files.example/s", remote_url(read_media(text_2)));
  EXPECT_EQ("", remote_url(read_media(image)));
  EXPECT_EQ("", remote_url(read_media(image_2)));
  EXPECT_EQ(1.0f, listener_.reports.back().progress);
}

// Sizes are 64-bit: a file of several GiB (sparse) is measured as it is and left for
// FORWARD, not dropped as unreadable.
TEST_F(MediaUploadTest, FileSizesAreSixtyFourBit) {
  const std::string sparse = home_dir() + "/media/sparse.bin";
  make_file("sparse.bin", 1);
  const int fd = ::open(sparse.c_str(), O_WRONLY);
  ASSERT_LE(0, fd);
  const off_t huge = static_cast<off_t>(3) << 30;
  const bool made = ::ftruncate(fd, huge) == 0;
  ::close(fd);
  if (!made) GTEST_SKIP() << "no sparse file of 3 GiB here";
  struct Case {
    const char* name;
    std::string path;
    int64_t size;
  };
  const Case cases[] = {
      {"Missing", home_dir() + "/media/none", -1},
      {"Empty", make_file("empty", 0), 0},
      {"Small", make_file("three", 3), 3},
      {"ThreeGiB", sparse, huge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.size, DirectTransferHandlerImpl::get_file_size(c.path));
  }

  // The run waits in CONNECTING (scripted adapter): the batch building is done.
  use_scripted_adapter();
  const unsigned int big = add_file_object(sparse, "application/octet-stream", 0);
  const unsigned int small = add_file_object(make_file("s.bin", 10), "application/octet-stream", 0);
  SharedPointer<StepHandler> handler = make_step_handler();
  handler->enable_mmf_upload();
  ASSERT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, start(*handler));
  ASSERT_TRUE(wait_until([&] { return handler->phase() >= DirectTransferHandler::CONNECTING; }));
  EXPECT_EQ((std::vector<unsigned int>{big, small}), handler->searched_uplist);
  EXPECT_EQ(std::vector<unsigned int>{big}, handler->mmfiles_uplist());
  handler->cancel();
}

}  // namespace
}  // namespace keldra_test
