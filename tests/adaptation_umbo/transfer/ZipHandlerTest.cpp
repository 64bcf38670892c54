// The zip writer on real files in the test's own TMPDIR, read back with libzip.
#include "adaptation_umbo/transfer/ZipHandler_Umbo.h"

#include "support/TestEnv.h"
#include "support/ZipReader.h"

#include <QDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using keldra_test::read_zip;
using keldra_test::zip_names;
using keldra_test::ZipEntry;
using orva::keldra::internal::ZipHandler_Umbo;
using orva::keldra::internal::ZipInterface;
using Names = std::vector<std::string>;

class ZipHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = QDir::tempPath().toStdString() + "/zip-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    QDir(QString::fromStdString(dir_)).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir_)));
    path_ = dir_ + "/upload_1.zip";
  }
  void TearDown() override { QDir(QString::fromStdString(dir_)).removeRecursively(); }
  static bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
  }

  std::string dir_;
  std::string path_;
};

TEST_F(ZipHandlerTest, EntriesFromFilesAndMemoryInOrderDeflated) {
  const std::string picture(3000, 'p');
  const std::string notes = "some text, some text, some text, some text";
  ASSERT_TRUE(keldra_test::write_file(dir_ + "/picture.jpg", picture));
  ASSERT_TRUE(keldra_test::write_file(dir_ + "/empty", ""));
  const std::string commands = "R:dev:ZGlnZXN0;A:oa1;O:1:n::1:::;";
  std::unique_ptr<ZipInterface> zip(ZipInterface::create());
  ASSERT_TRUE(zip);
  ASSERT_TRUE(zip->init(path_.c_str()));
  EXPECT_FALSE(exists(path_));  // nothing is written before finalize
  EXPECT_EQ(0, zip->add_file_to_zip(dir_ + "/picture.jpg", "mu17", false));
  EXPECT_EQ(0, zip->add_blob_to_zip("mu18", reinterpret_cast<const unsigned char*>(notes.data()),
                                    static_cast<unsigned int>(notes.size())));
  EXPECT_EQ(0, zip->add_file_to_zip(dir_ + "/empty", "mu19", true));
  EXPECT_EQ(0, zip->add_blob_to_zip("upload.compact",
                                    reinterpret_cast<const unsigned char*>(commands.data()),
                                    static_cast<unsigned int>(commands.size())));
  ASSERT_TRUE(zip->finalize());

  std::vector<ZipEntry> entries;
  ASSERT_TRUE(read_zip(path_, entries));
  ASSERT_EQ(4u, entries.size());
  const struct {
    const char* name;
    std::string bytes;
  } expected[] = {{"mu17", picture}, {"mu18", notes}, {"mu19", ""}, {"upload.compact", commands}};
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(expected[i].name, entries[i].name);
    EXPECT_EQ(expected[i].bytes, entries[i].bytes) << entries[i].name;
  }
  // libzip's default method, whatever the wish: the repetitive picture shrinks.
  EXPECT_TRUE(entries[0].deflated);
  EXPECT_TRUE(entries[1].deflated);
  // finalize again: no archive left, nothing to write.
  EXPECT_TRUE(zip->finalize());
}

TEST_F(ZipHandlerTest, RefusalsKeepWhatWasAdded) {
  const unsigned char bytes[] = "abc";
  ZipHandler_Umbo zip;
  // Nothing open yet.
  EXPECT_EQ(1, zip.add_blob_to_zip("a", bytes, 3));
  // A folder that does not exist: libzip finds out when it writes.
  if (zip.init((dir_ + "/no/such/folder/x.zip").c_str())) {
    ASSERT_EQ(0, zip.add_blob_to_zip("a", bytes, 3));
    EXPECT_FALSE(zip.finalize());
  }
  ASSERT_TRUE(zip.init(path_.c_str()));
  EXPECT_EQ(0, zip.add_blob_to_zip("a", bytes, 3));
  EXPECT_EQ(1, zip.add_blob_to_zip("a", bytes, 3));  // the key is taken
  EXPECT_EQ(0, zip.add_blob_to_zip("c", bytes, 3));
  ASSERT_TRUE(zip.finalize());
  EXPECT_EQ(Names({"a", "c"}), zip_names(path_));
}

TEST_F(ZipHandlerTest, SourceFileGoneBeforeFinalizeFailsAndStaysOpen) {
  ASSERT_TRUE(keldra_test::write_file(dir_ + "/file", "data"));
  ZipHandler_Umbo zip;
  ASSERT_TRUE(zip.init(path_.c_str()));
  ASSERT_EQ(0, zip.add_file_to_zip(dir_ + "/file", "mu1", true));
  std::remove((dir_ + "/file").c_str());
  EXPECT_FALSE(zip.finalize());
}

// A file left (or planted) at the archive's name is replaced, never extended.
TEST_F(ZipHandlerTest, LeftoverArchiveIsReplaced) {
  const unsigned char planted[] = "planted";
  {
    ZipHandler_Umbo zip;
    ASSERT_TRUE(zip.init(path_.c_str()));
    ASSERT_EQ(0, zip.add_blob_to_zip("upload.compact", planted, 7));
    ASSERT_EQ(0, zip.add_blob_to_zip("mu666", planted, 7));
    ASSERT_TRUE(zip.finalize());
  }
  ASSERT_EQ(Names({"upload.compact", "mu666"}), zip_names(path_));
  const unsigned char mine[] = "mine";
  ZipHandler_Umbo zip;
  ASSERT_TRUE(zip.init(path_.c_str()));
  EXPECT_EQ(0, zip.add_blob_to_zip("upload.compact", mine, 4));
  ASSERT_TRUE(zip.finalize());
  std::vector<ZipEntry> entries;
  ASSERT_TRUE(read_zip(path_, entries));
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("upload.compact", entries[0].name);
  EXPECT_EQ("mine", entries[0].bytes);
}

TEST_F(ZipHandlerTest, NeverFinalisedIsDiscarded) {
  const unsigned char bytes[] = "abc";
  {
    ZipHandler_Umbo zip;
    ASSERT_TRUE(zip.init(path_.c_str()));
    ASSERT_EQ(0, zip.add_blob_to_zip("a", bytes, 3));
  }
  EXPECT_FALSE(exists(path_));
}

TEST_F(ZipHandlerTest, ReaderWithoutAnOpenEntry) {
  ZipHandler_Umbo zip;
  char buffer[8];
  EXPECT_EQ(-1, zip.read_current_file(buffer, sizeof buffer));
  EXPECT_EQ(0, zip.close_current_file());
  EXPECT_EQ(8, zip.locate_file("none", 0));
  EXPECT_EQ(1, zip.open_current_file());
  EXPECT_EQ(0, zip.close_zip());
}

}  // namespace
