// Request packages on real archives in the test's own TMPDIR, read back with libzip:
// entry lists, command texts, refusals, names and what is left behind.
#include "transfer/RequestPackage.h"

#include "support/LogCapture.h"
#include "support/TestEnv.h"
#include "support/ZipReader.h"

#include <keldra/Attribute.h>
#include <keldra/Object.h>
#include <keldra/Static.h>

#include <QDir>

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using keldra_test::read_zip;
using keldra_test::zip_names;
using keldra_test::ZipEntry;
using orva::SharedPointer;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::internal::RequestPackage;
using orva::keldra::internal::RequestPackagePtr;
using orva::keldra::internal::SyncSerializer;
using Names = std::vector<std::string>;

const SyncSerializer::ObjectCommand ADD = SyncSerializer::COMMAND_ADD;
const SyncSerializer::ObjectCommand UPDATE = SyncSerializer::COMMAND_UPDATE;
const SyncSerializer::ObjectCommand DELETE = SyncSerializer::COMMAND_DELETE;
const SyncSerializer::ObjectCommand GET = SyncSerializer::COMMAND_GET;

// Base64 of "anna:secret" and of "_token_t0k:brunmoset".
const char kUserDigest[] = "YW5uYTpzZWNyZXQ=";
const char kTokenDigest[] = "X3Rva2VuX3QwazpicnVubW9zZXQ=";

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// Names in the temporary folder, hidden ones too.
QStringList temp_entries() {
  return QDir(QDir::tempPath())
      .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

ObjectPtr place(unsigned int local_id, bool state3) {
  ObjectPtr o(new Object("location"));
  o->set_name(std::string("Café"));
  o->set_local_id(local_id);
  SharedPointer<orva::keldra::Attribute> a(new orva::keldra::Attribute("address", "address"));
  a->add_field("text")->set_value(std::string("Main street 1"));
  o->get_attributes().push_back(a);
  if (state3) o->set_flags(16, true);
  return o;
}

// The command text the serializer writes for |object| (header only or whole).
std::string object_text(const Object& object, bool header_only) {
  SyncSerializer serializer;
  SharedPointer<orva::keldra::DynamicBuffer> out(new orva::keldra::DynamicBuffer());
  EXPECT_EQ(0, serializer.encode(object, out, header_only));
  return std::string(reinterpret_cast<const char*>(out->get_data()), out->get_data_length());
}

class RequestPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Nothing left from another test in the shared temporary folder.
    QDir tmp(QDir::tempPath());
    for (const QString& name : temp_entries()) {
      if (name.startsWith("upload")) QDir(tmp.filePath(name)).removeRecursively();
    }
  }
  // The archive's entries after finalize; |commands| receives "upload.compact".
  std::vector<ZipEntry> finalised(RequestPackage& package, std::string* commands = nullptr) {
    EXPECT_EQ(0, package.finalize());
    std::vector<ZipEntry> entries;
    EXPECT_TRUE(read_zip(package.file_name(), entries));
    if (commands && !entries.empty()) *commands = entries.back().bytes;
    return entries;
  }

  SharedPointer<orva::keldra::Static> static_ = orva::keldra::Static::instance();
};

TEST_F(RequestPackageTest, CommandLinesInCallOrder) {
  struct Case {
    const char* name;
    bool token;
    std::function<void(RequestPackage&)> add;
    std::string after_r;  // the command text after the "R" line
    uint32_t count;
  };
  const ObjectPtr changed = place(17, true);
  const ObjectPtr fresh = place(18, false);
  const std::vector<Case> cases = {
      {"OnlyTheStart", false, [](RequestPackage&) {}, "", 0},
      {"Token", true, [](RequestPackage&) {}, "", 0},
      {"GetAndDelete", false,
       [](RequestPackage& p) {
         EXPECT_EQ(0, p.add_object_request(GET, "od1234", 1234, true));
         EXPECT_EQ(0, p.add_object_request(DELETE, "od5", 5, false));
       },
       "G:od1234:1234:T;D:od5:5:F;", 2},
      {"AddWholeUpdateHeaderOnly", false,
       [&](RequestPackage& p) {
         EXPECT_EQ(0, p.add_object_submit(ADD, "oa18", fresh));
         EXPECT_EQ(0, p.add_object_submit(UPDATE, "or17", changed));
         EXPECT_EQ(0, p.add_object_submit(ADD, "oa17", changed));
       },
       "A:oa18;" + object_text(*fresh, false) + "U:or17;" + object_text(*changed, true) +
           "A:oa17;" + object_text(*changed, false),
       3},
      {"ForwardAndGetFileEscaped", false,
       [](RequestPackage& p) {
         const unsigned char data[] = "bytes";
         EXPECT_EQ(0, p.add_forward("pers:on;al\\", "image/jpeg", "mu17", data, 5));
         EXPECT_EQ(0, p.add_get_file_line("first", "sec:ond"));
       },
       "FW:pers\\:on\\;al\\\\:image/jpeg:mu17;\nGF:first:sec\\:ond;\n", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RequestPackagePtr package = RequestPackage::create(0x7FFFFFFF);
    ASSERT_TRUE(package.is_valid());
    if (c.token) {
      ASSERT_EQ(0, package->start_request("IMEI\\:3579", "t0k"));
    } else {
      ASSERT_EQ(0, package->start_request("IMEI\\:3579", "anna", "secret"));
    }
    c.add(*package);
    EXPECT_EQ(c.count, package->get_commands_count());
    std::string commands;
    finalised(*package, &commands);
    EXPECT_EQ(
        std::string("R:IMEI\\:3579:") + (c.token ? kTokenDigest : kUserDigest) + ";" + c.after_r,
        commands);
  }
}

TEST_F(RequestPackageTest, ForwardedEntriesInOrderCommandsLast) {
  const std::string picture(4000, 'j');
  const std::string file = QDir::tempPath().toStdString() + "/picture.jpg";
  ASSERT_TRUE(keldra_test::write_file(file, picture));
  const std::string notes = "audio bytes";
  RequestPackagePtr package = RequestPackage::create(0x7FFFFFFF);
  ASSERT_TRUE(package.is_valid());
  ASSERT_EQ(0, package->start_request("dev", "anna", "secret"));
  ASSERT_EQ(0, package->add_object_request(GET, "od9", 9, false));
  ASSERT_EQ(0, package->add_forward("personal", "image/jpeg", "mu3", file));
  ASSERT_EQ(0, package->add_forward("personal", "audio/mpeg", "mu4",
                                    reinterpret_cast<const unsigned char*>(notes.data()),
                                    static_cast<unsigned int>(notes.size())));
  // The same key again: the writer refuses it, no line, no count.
  EXPECT_EQ(1, package->add_forward("personal", "audio/mpeg", "mu4",
                                    reinterpret_cast<const unsigned char*>(notes.data()), 3));
  EXPECT_EQ(3u, package->get_commands_count());
  std::string commands;
  const std::vector<ZipEntry> entries = finalised(*package, &commands);
  ASSERT_EQ(3u, entries.size());
  EXPECT_EQ(Names({"mu3", "mu4", "upload.compact"}), zip_names(package->file_name()));
  EXPECT_EQ(picture, entries[0].bytes);
  EXPECT_EQ(notes, entries[1].bytes);
  EXPECT_EQ(std::string("R:dev:") + kUserDigest +
                ";G:od9:9:F;FW:personal:image/jpeg:mu3;\nFW:personal:audio/mpeg:mu4;\n",
            commands);

  // The bytes handed to the sender are the archive file's.
  SharedPointer<orva::keldra::DynamicBuffer> data = package->get_data();
  ASSERT_TRUE(data.is_valid());
  EXPECT_EQ(keldra_test::read_file(package->file_name()),
            std::string(reinterpret_cast<const char*>(data->get_data()), data->get_data_length()));
  // Nothing may be added after the archive was written.
  EXPECT_NE(0, package->add_forward("personal", "text/plain", "mu5",
                                    reinterpret_cast<const unsigned char*>("x"), 1));
  EXPECT_EQ(3u, package->get_commands_count());
}

TEST_F(RequestPackageTest, Refusals) {
  struct Case {
    const char* name;
    bool started;
    std::function<orva::ErrorCode(RequestPackage&)> call;
    orva::ErrorCode expected;
  };
  const std::vector<Case> cases = {
      {"GlobalIdZero", true,
       [](RequestPackage& p) { return p.add_object_request(GET, "od0", 0, true); }, 3},
      {"RequestWithSubmitCommand", true,
       [](RequestPackage& p) { return p.add_object_request(ADD, "od1", 1, true); }, 3},
      {"EmptyObject", true,
       [](RequestPackage& p) { return p.add_object_submit(ADD, "oa1", ObjectPtr()); }, 3},
      {"SubmitWithGetCommand", true,
       [](RequestPackage& p) { return p.add_object_submit(GET, "oa1", place(1, false)); }, 3},
      {"RequestBeforeStart", false,
       [](RequestPackage& p) { return p.add_object_request(GET, "od1", 1, true); }, 4},
      {"SubmitBeforeStart", false,
       [](RequestPackage& p) { return p.add_object_submit(ADD, "oa1", place(1, false)); }, 4},
      {"GetFileBeforeStart", false, [](RequestPackage& p) { return p.add_get_file_line("a", "b"); },
       4},
      {"FinalizeBeforeStart", false, [](RequestPackage& p) { return p.finalize(); }, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RequestPackagePtr package = RequestPackage::create(0x7FFFFFFF);
    ASSERT_TRUE(package.is_valid());
    if (c.started) {
      ASSERT_EQ(0, package->start_request("dev", "anna", "secret"));
    }
    EXPECT_EQ(c.expected, c.call(*package));
    EXPECT_EQ(0u, package->get_commands_count());
    if (c.started) {
      std::string commands;
      finalised(*package, &commands);
      EXPECT_EQ(std::string("R:dev:") + kUserDigest + ";", commands);
    }
  }
}

TEST_F(RequestPackageTest, NamesFoldersAndNothingLeftBehind) {
  // A planted archive at the predictable name in the shared folder is never used.
  const std::string planted = QDir::tempPath().toStdString() + "/upload_1.zip";
  ASSERT_TRUE(keldra_test::write_file(planted, "planted"));
  const QStringList before = temp_entries();

  std::vector<RequestPackagePtr> packages;
  for (int i = 0; i < 3; ++i) {
    packages.push_back(RequestPackage::create(0x7FFFFFFF));
    ASSERT_TRUE(packages.back().is_valid());
  }
  std::vector<int> numbers;
  for (const RequestPackagePtr& p : packages) {
    const std::string& name = p->file_name();
    const std::string folder = name.substr(0, name.rfind('/'));
    // A private folder of its own in the temporary folder.
    EXPECT_EQ(QDir::tempPath().toStdString(), folder.substr(0, folder.rfind('/')));
    struct stat st;
    ASSERT_EQ(0, lstat(folder.c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(0700u, st.st_mode & 0777);
    const std::string base = name.substr(name.rfind('/') + 1);
    ASSERT_EQ(0u, base.find("upload_"));
    numbers.push_back(std::stoi(base.substr(7)));
    EXPECT_EQ(".zip", base.substr(base.size() - 4));
  }
  // One process-wide counter: the names never repeat.
  EXPECT_EQ(numbers[0] + 1, numbers[1]);
  EXPECT_EQ(numbers[1] + 1, numbers[2]);

  // Finalised and read, never finalised, never started: each leaves nothing.
  ASSERT_EQ(0, packages[0]->start_request("dev", "anna", "secret"));
  ASSERT_EQ(0, packages[0]->finalize());
  ASSERT_TRUE(exists(packages[0]->file_name()));
  ASSERT_EQ(0, packages[1]->start_request("dev", "anna", "secret"));
  const unsigned char data[] = "abc";
  ASSERT_EQ(0, packages[1]->add_forward("personal", "text/plain", "mu1", data, 3));
  // Never written: get_data gives an empty buffer.
  SharedPointer<orva::keldra::DynamicBuffer> unwritten = packages[1]->get_data();
  ASSERT_TRUE(unwritten.is_valid());
  EXPECT_EQ(0u, unwritten->get_data_length());
  packages.clear();
  EXPECT_EQ(before, temp_entries());
  EXPECT_EQ("planted", keldra_test::read_file(planted));
}

TEST_F(RequestPackageTest, DumpMasksTheDigest) {
  // The logger reads its level when made: none may be held meanwhile.
  static_.release();
  std::unique_ptr<keldra_test::LogCapture> capture(new keldra_test::LogCapture);
  static_ = orva::keldra::Static::instance();
  const std::string dump = keldra_test::home_dir() + "/.cities/OstraMaps.dump";
  std::remove(dump.c_str());
  RequestPackagePtr package = RequestPackage::create(0x7FFFFFFF);
  ASSERT_TRUE(package.is_valid());
  ASSERT_EQ(0, package->start_request("IMEI\\:1", "anna", "secret"));
  ASSERT_EQ(0, package->add_object_request(GET, "od7", 7, true));
  std::string commands;
  finalised(*package, &commands);
  // The request keeps the digest; the dump shows it masked.
  EXPECT_EQ(std::string("R:IMEI\\:1:") + kUserDigest + ";G:od7:7:T;", commands);
  const std::string dumped = keldra_test::read_file(dump);
  EXPECT_NE(std::string::npos, dumped.find("R:IMEI\\:1:********;G:od7:7:T;")) << dumped;
  EXPECT_EQ(std::string::npos, dumped.find(kUserDigest));
}

TEST(RequestPackageNames, FileNameOfANumber) {
  std::string name;
  RequestPackage::create_file_name(0, name);
  EXPECT_EQ("0.bin", name);
  RequestPackage::create_file_name(4294967295u, name);
  EXPECT_EQ("4294967295.bin", name);
}

}  // namespace
