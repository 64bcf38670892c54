#include "transfer/FileManager.h"

#include "support/TestEnv.h"
#include "FileAge.h"

#include <QDir>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using keldra_test::read_file;
using keldra_test::write_file;
using orva::keldra::internal::FileManager;

class AccountIdFile : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_tmp_ = std::getenv("TMPDIR");
    tmp_ = keldra_test::home_dir() + "/account-id-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    QDir().mkpath(QString::fromStdString(tmp_));
    setenv("TMPDIR", tmp_.c_str(), 1);
    path_ = tmp_ + "/sync_params";
  }
  void TearDown() override { setenv("TMPDIR", saved_tmp_.c_str(), 1); }

  // Names in the temporary folder: a write must leave nothing but the file.
  QStringList entries() const {
    return QDir(QString::fromStdString(tmp_))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
  }
  mode_t mode() const {
    struct stat st;
    return lstat(path_.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
  }

  std::string saved_tmp_;
  std::string tmp_;
  std::string path_;
};

struct Content {
  const char* name;
  std::string account;
  std::string stored;
};

class AccountIdContent : public AccountIdFile, public ::testing::WithParamInterface<Content> {};

TEST_P(AccountIdContent, FileHoldsIdWithoutLineEnd) {
  // A longer earlier id must not leave its tail behind.
  ASSERT_TRUE(write_file(path_, "previous-account-id-that-is-longer\n"));
  auto files = FileManager::open();
  ASSERT_TRUE(files.is_valid());
  EXPECT_EQ(files->write_account_id_file(GetParam().account), 0);
  EXPECT_EQ(read_file(path_), GetParam().stored);
  EXPECT_EQ(entries(), QStringList{"sync_params"});
}

INSTANTIATE_TEST_SUITE_P(
    Ids, AccountIdContent,
    ::testing::Values(Content{"Decimal", "42", "42"}, Content{"Empty", "", ""},
                      Content{"EndsAtZeroByte", std::string("7\0tail", 6), "7"},
                      Content{"LineEndKept", "12\n", "12\n"},
                      Content{"Utf8", "k\xC3\xA4yttäjä", "k\xC3\xA4yttäjä"}),
    [](const ::testing::TestParamInfo<Content>& info) { return std::string(info.param.name); });

TEST_F(AccountIdFile, OwnerOnlyEvenWhenOldFileWasOpen) {
  ASSERT_TRUE(write_file(path_, "1"));
  ASSERT_EQ(chmod(path_.c_str(), 0666), 0);
  EXPECT_EQ(FileManager::open()->write_account_id_file("2"), 0);
  EXPECT_EQ(mode(), 0600u);
  EXPECT_EQ(read_file(path_), "2");
}

TEST_F(AccountIdFile, LinkAtTheNameIsReplacedNotFollowed) {
  const std::string victim = keldra_test::home_dir() + "/victim-" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name();
  ASSERT_TRUE(write_file(victim, "keep"));
  ASSERT_EQ(symlink(victim.c_str(), path_.c_str()), 0);
  EXPECT_EQ(FileManager::open()->write_account_id_file("5"), 0);
  EXPECT_EQ(read_file(victim), "keep");
  struct stat st;
  ASSERT_EQ(lstat(path_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(read_file(path_), "5");
}

TEST_F(AccountIdFile, UnusableFolderGivesOne) {
  // Qt has no temporary path for a missing TMPDIR; the file must not land in "/".
  setenv("TMPDIR", (tmp_ + "/missing").c_str(), 1);
  struct stat st;
  const bool root_had_file = lstat("/sync_params", &st) == 0;
  EXPECT_EQ(FileManager::open()->write_account_id_file("3"), 1);
  if (!root_had_file) {
    EXPECT_NE(lstat("/sync_params", &st), 0);
  }

  // A folder in the file's place cannot be replaced; nothing is left beside it.
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path_)));
  setenv("TMPDIR", tmp_.c_str(), 1);
  EXPECT_EQ(FileManager::open()->write_account_id_file("3"), 1);
  EXPECT_EQ(entries(), QStringList{"sync_params"});
}

struct ReadBack {
  const char* name;
  bool exists;
  std::string content;
  orva::ErrorCode result;
  std::string account;  // what the reader gives ("unchanged" when it fails)
};

TEST_F(AccountIdFile, ReadBackOneLineOfAtMost63Characters) {
  const ReadBack cases[] = {
      {"Written", true, "abc", 0, "abc"},
      {"LineEndKept", true, "abc\nsecond line", 0, "abc\n"},
      {"Long", true, std::string(100, 'x'), 0, std::string(63, 'x')},
      {"Exactly63", true, std::string(63, 'y'), 0, std::string(63, 'y')},
      {"EmptyLineIsALine", true, "\n", 0, "\n"},
      {"Empty", true, "", 1, "unchanged"},
      {"Missing", false, "", 1, "unchanged"},
  };
  for (const ReadBack& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(path_.c_str());
    if (c.exists) {
      ASSERT_TRUE(write_file(path_, c.content));
    }
    std::string account = "unchanged";
    EXPECT_EQ(c.result, FileManager::open()->read_account_id_file(account));
    EXPECT_EQ(c.account, account);
  }
  // Written by the one writer, read by the one reader: exactly the id's bytes.
  auto files = FileManager::open();
  ASSERT_EQ(0, files->write_account_id_file("abc"));
  EXPECT_EQ("abc", read_file(path_));
  std::string account;
  EXPECT_EQ(0, files->read_account_id_file(account));
  EXPECT_EQ("abc", account);
}

TEST(FileManagerMime, CaseSensitivePrefixes) {
  struct Case {
    const char* mime;
    bool image;
    bool compressible;
  };
  const Case cases[] = {
      {"image/jpeg", true, false},
      {"image/", true, false},
      {"IMAGE/JPEG", false, true},
      {"text/image/x", false, true},
      {"image", false, true},
      {"video/mp4", false, false},
      {"audio/mpeg", false, false},
      {"Video/mp4", false, true},
      {"application/octet-stream", false, true},
      {"", false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.image, FileManager::is_mime_type_image(c.mime)) << c.mime;
    EXPECT_EQ(c.compressible, FileManager::is_mime_type_compressible(c.mime)) << c.mime;
  }
}

orva::SharedPointer<orva::keldra::DynamicBuffer> bytes(const std::string& text) {
  orva::SharedPointer<orva::keldra::DynamicBuffer> b(new orva::keldra::DynamicBuffer());
  b->write(reinterpret_cast<const unsigned char*>(text.data()),
           static_cast<unsigned int>(text.size()));
  return b;
}

TEST(FileManagerPlaces, TemporaryAndDownloadFolders) {
  auto files = FileManager::open();
  const std::string tmp = QDir::tempPath().toStdString() + "/";
  std::string path;
  EXPECT_EQ(0, files->get_temp_path(path));
  EXPECT_EQ(tmp, path);
  EXPECT_EQ(0, files->get_upload_path(path));
  EXPECT_EQ(tmp, path);
  EXPECT_EQ(0, files->get_resizing_path(path));
  EXPECT_EQ(tmp, path);

  const std::string pictures =
      QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString() + "/";
  const std::string cities = keldra_test::home_dir() + "/.cities/";
  QDir(QString::fromStdString(pictures)).removeRecursively();
  struct Case {
    const char* mime;
    std::string folder;
  };
  const Case cases[] = {
      {"image/jpeg", pictures}, {"audio/mpeg", cities}, {"", cities}, {"IMAGE/PNG", cities}};
  for (const Case& c : cases) {
    EXPECT_EQ(0, files->get_download_path(c.mime, path)) << c.mime;
    EXPECT_EQ(c.folder, path) << c.mime;
    EXPECT_TRUE(QDir(QString::fromStdString(path)).exists()) << c.mime;
  }
}

TEST(FileManagerPlaces, WriteFileReplacesAndFollowsTheMime) {
  auto files = FileManager::open();
  std::string path;
  ASSERT_EQ(0, files->write_file("md42", "audio/mpeg", bytes("first content, longer"), path));
  EXPECT_EQ(keldra_test::home_dir() + "/.cities/md42", path);
  EXPECT_EQ(0, files->write_file("md42", "audio/mpeg", bytes("second"), path));
  EXPECT_EQ("second", read_file(path));

  ASSERT_EQ(0, files->write_file("md43", "image/jpeg", bytes("\xFF\xD8 picture"), path));
  EXPECT_EQ(
      QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString() + "/md43",
      path);
  EXPECT_EQ("\xFF\xD8 picture", read_file(path));

  // An empty body gives an empty file.
  ASSERT_EQ(0, files->write_file("md44", "text/plain", bytes(""), path));
  EXPECT_EQ("", read_file(path));

  // A folder in the file's place: nothing can be written.
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(keldra_test::home_dir() + "/.cities/md45")));
  EXPECT_EQ(1, files->write_file("md45", "text/plain", bytes("x"), path));
}

// A write that cannot finish (here: the file size limit, as a full disk would) leaves
// the file of that name as it was, and nothing beside it.
TEST(FileManagerPlaces, FailedWriteLeavesTheOldFileWhole) {
  auto files = FileManager::open();
  std::string path;
  ASSERT_EQ(0, files->write_file("md46", "text/plain", bytes("the old file"), path));
  const std::string big(256 * 1024, 'n');
  struct rlimit saved;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  struct rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  const orva::ErrorCode r = files->write_file("md46", "text/plain", bytes(big), path);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(1, r);
  EXPECT_EQ("the old file", read_file(path));
  const QStringList beside = QDir(QString::fromStdString(keldra_test::home_dir() + "/.cities"))
                                 .entryList({"md46*"}, QDir::Files | QDir::Hidden);
  EXPECT_EQ(QStringList{"md46"}, beside);
  // Readable by others as downloads always were.
  struct stat st;
  ASSERT_EQ(0, ::stat(path.c_str(), &st));
  EXPECT_EQ(0644u, st.st_mode & 0777u);
}

// The names downloads are saved under: an object without global id never gets the
// name of an object whose global id is its local id, and a file that a stored object
// records is never chosen; a further name is one that is no file yet.
TEST(FileManagerPlaces, DownloadNamesNeverTakeAnotherObjectsFile) {
  EXPECT_EQ("md7001", FileManager::download_name(7001, 3));
  EXPECT_EQ("mdl7001", FileManager::download_name(0, 7001));
  EXPECT_NE(FileManager::download_name(1, 5), FileManager::download_name(0, 1));

  const std::string home = keldra_test::home_dir();
  struct Case {
    const char* name;
    std::vector<std::string> files;     // in the folder
    std::vector<std::string> recorded;  // "{F}": the folder
    std::string chosen;
  };
  const Case cases[] = {
      {"a free name", {}, {}, "md1"},
      {"a file nobody records is replaced", {"md1"}, {}, "md1"},
      {"another object's file", {"md1"}, {"{F}md1"}, "md1-2"},
      {"recorded, the file gone meanwhile", {}, {"{F}md1"}, "md1-2"},
      {"a further name must be no file", {"md1", "md1-2"}, {"{F}md1"}, "md1-3"},
      {"nor recorded", {"md1"}, {"{F}md1", "{F}md1-2"}, "md1-3"},
      {"the same file spelt otherwise", {"md1"}, {"{F}./md1"}, "md1-2"},
      {"the same file through a link", {"md1"}, {home + "/linked/md1"}, "md1-2"},
      {"a file of that name elsewhere", {"md1"}, {home + "/elsewhere/md1"}, "md1"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = home + "/names" + std::to_string(++n) + "/";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    for (const std::string& f : c.files) ASSERT_TRUE(write_file(folder + f, "bytes"));
    ::unlink((home + "/linked").c_str());
    ASSERT_EQ(0, symlink(folder.c_str(), (home + "/linked").c_str()));
    ASSERT_TRUE(write_file(home + "/elsewhere/md1", "another file"));
    std::vector<std::string> recorded;
    for (std::string r : c.recorded) {
      if (r.compare(0, 3, "{F}") == 0) r = folder + r.substr(3);
      recorded.push_back(r);
    }
    EXPECT_EQ(folder + c.chosen, FileManager::free_download_path(folder, "md1", recorded));
  }
}

TEST(FileManagerPlaces, TempFileIsPrivateAndFollowsNoLink) {
  auto files = FileManager::open();
  std::string path;
  ASSERT_EQ(0, files->write_temp_file("scaled.jpg", bytes("pixels"), path));
  EXPECT_EQ(QDir::tempPath().toStdString() + "/scaled.jpg", path);
  EXPECT_EQ("pixels", read_file(path));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 0777);

  const std::string victim = keldra_test::home_dir() + "/temp-victim";
  ASSERT_TRUE(write_file(victim, "keep"));
  const std::string planted = QDir::tempPath().toStdString() + "/planted";
  ASSERT_EQ(0, symlink(victim.c_str(), planted.c_str()));
  EXPECT_EQ(1, files->write_temp_file("planted", bytes("overwrite"), path));
  EXPECT_EQ("keep", read_file(victim));
}

// A process id that no process has any more.
pid_t gone_pid() {
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  int status = 0;
  waitpid(pid, &status, 0);
  return pid;
}

mode_t mode_of(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// A download killed while it is written (here by the file size limit's signal, as
// kill -9 would) leaves a file that only its owner can read, under a name the transfer
// knows; a later clean-up removes it and the package folders of processes that are gone
// once they were left alone for an hour, and leaves alone what a running process writes,
// what changed within the hour (a live process in another PID namespace looks gone) and
// what is not the transfer's.
TEST(FileManagerLeftovers, WhatAKilledProcessLeftIsPrivateAndRemovedLater) {
  const std::string pictures =
      QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString() + "/";
  const std::string temp = QDir::tempPath().toStdString() + "/";
  QDir().mkpath(QString::fromStdString(pictures));
  const pid_t killed = fork();
  ASSERT_GE(killed, 0);
  if (killed == 0) {
    struct rlimit limit = {64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    struct rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    std::signal(SIGXFSZ, SIG_DFL);
    std::string path;
    FileManager::open()->write_file("md47", "image/jpeg", bytes(std::string(256 * 1024, 'j')),
                                    path);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(killed, waitpid(killed, &status, 0));
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  const QStringList left = QDir(QString::fromStdString(pictures))
                               .entryList({"*md47*"}, QDir::Files | QDir::Hidden);
  ASSERT_EQ(1, left.size());
  const std::string part = pictures + left[0].toStdString();
  EXPECT_EQ(0u, left[0].toStdString().find(".keldra-part-" + std::to_string(killed) + "-md47."));
  EXPECT_EQ(0600u, mode_of(part));

  const std::string dead = std::to_string(gone_pid());
  const std::string alive = std::to_string(getppid());
  const std::string cities = keldra_test::home_dir() + "/.cities/";
  const long hour = 3600;
  struct Entry {
    std::string path;
    bool folder;
    long age;  // seconds since it was last modified
    bool removed;
  };
  const Entry entries[] = {
      {cities + ".keldra-part-" + dead + "-md48.AbC123", false, hour, true},
      {cities + ".keldra-part-" + dead + "-md51.AbC123", false, hour - 60, false},
      {cities + ".keldra-part-" + dead + "-md52.AbC123", false, -hour, false},  // future
      {cities + ".keldra-part-" + alive + "-md49.AbC123", false, 2 * hour, false},
      {cities + ".keldra-partial", false, 2 * hour, false},
      {pictures + "md50", false, 2 * hour, false},
      {temp + "upload_" + dead + "_Xy12ab", true, hour, true},
      {temp + "upload_" + dead + "_Rc34de", true, 60, false},
      {temp + "upload_" + alive + "_Xy12ab", true, 2 * hour, false},
      {temp + "upload_Zz98cd", true, 2 * hour, true},  // empty, older naming
      {temp + "upload_Yy87cd", true, 60, false},       // empty, older naming, recent
      {temp + "upload_Qq76ef/upload_1.zip", false, 2 * hour, false},  // not empty, older naming
      {temp + "upload_1.zip", false, 2 * hour, false},
  };
  for (const Entry& e : entries) {
    if (e.folder) {
      ASSERT_TRUE(QDir().mkpath(QString::fromStdString(e.path)));
    } else {
      ASSERT_TRUE(write_file(e.path, "x"));
    }
  }
  ASSERT_TRUE(write_file(temp + "upload_" + dead + "_Xy12ab/upload_3.zip", "half"));
  // A folder of its own left alone, but a file in it still being written.
  const std::string writing = temp + "upload_" + dead + "_Wr56fg";
  ASSERT_TRUE(write_file(writing + "/upload_4.zip", "growing"));
  for (const Entry& e : entries) {
    ASSERT_TRUE(keldra_test::set_modified_ago(e.path, e.age)) << e.path;
  }
  ASSERT_TRUE(keldra_test::set_modified_ago(writing, 2 * hour));
  ASSERT_TRUE(keldra_test::set_modified_ago(writing + "/upload_4.zip", 10));
  ASSERT_TRUE(keldra_test::set_modified_ago(part, hour));

  EXPECT_EQ(4, FileManager::open()->remove_leftovers());
  EXPECT_EQ(0u, mode_of(part));
  for (const Entry& e : entries) {
    EXPECT_EQ(e.removed, mode_of(e.path) == 0) << e.path;
  }
  EXPECT_EQ("growing", read_file(writing + "/upload_4.zip"));
}

TEST(FileManager, OpenGivesANewObjectEachCall) {
  auto a = FileManager::open();
  auto b = FileManager::open();
  ASSERT_TRUE(a.is_valid() && b.is_valid());
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(a->get_ref_count(), 1u);
}

}  // namespace
