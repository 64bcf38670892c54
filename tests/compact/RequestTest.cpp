#include "CompactTestUtil.h"

#include "compact/SyncSerializer.h"

#include <gtest/gtest.h>

#include <string>

namespace compact_test {
namespace {

using orva::keldra::internal::SyncSerializer;

class RequestTest : public CompactTest {
 protected:
  std::string request() const { return text_of(m_serializer.get_buffer()); }
  SyncSerializer m_serializer;
};

ObjectPtr small_place() {
  ObjectPtr object(new Object("location"));
  object->set_name(std::string("Home"));
  object->set_local_id(5);
  add_field(add_attribute(*object, "address", "address"), "city").set_value("Espoo");
  return object;
}

TEST_F(RequestTest, WholeRequestMessage) {
  ASSERT_EQ(0, m_serializer.start_request("12345", "dXNlcjpwdw=="));
  ASSERT_EQ(0, m_serializer.add_object_submit(SyncSerializer::COMMAND_UPDATE, "sys1",
                                              *small_place(), false));
  ASSERT_EQ(0, m_serializer.add_object_submit(SyncSerializer::COMMAND_ADD, "n2",
                                              *small_place(), true));
  ASSERT_EQ(0, m_serializer.add_object_request(SyncSerializer::COMMAND_GET, "g3", 995, false));
  ASSERT_EQ(0, m_serializer.add_object_request(SyncSerializer::COMMAND_GET, "g4", 0, true));
  ASSERT_EQ(0, m_serializer.add_object_request(SyncSerializer::COMMAND_DELETE, "d5", 7, true));
  ASSERT_EQ(0, m_serializer.add_forward_command("per:sonal", "image/jpeg", "f6"));
  ASSERT_EQ(0, m_serializer.add_get_file_line_command("first", "a:b"));
  EXPECT_EQ(
      "R:12345:dXNlcjpwdw==;"
      "U:sys1;O:32:Home::5:::::193;A0:6:6;F:8:50:Espoo;"
      "A:n2;O:32:Home::5::::T:193;"
      "G:g3:995:F;G:g4:0:T;D:d5:7:T;"
      "FW:per\\:sonal:image/jpeg:f6;\n"
      "GF:first:a\\:b;\n",
      request());
}

TEST_F(RequestTest, StartRequestBeginsANewBuffer) {
  ASSERT_EQ(0, m_serializer.start_request("1", "x"));
  SharedPointer<DynamicBuffer> first = m_serializer.get_buffer();
  ASSERT_EQ(0, m_serializer.start_request("12345", "ZGlnZXN0"));
  EXPECT_FALSE(first == m_serializer.get_buffer());
  EXPECT_EQ("R:1:x;", text_of(first));
  EXPECT_EQ("R:12345:ZGlnZXN0;", request());
}

// The free texts (service, the second text of "GF") are escaped; the fields the server
// reads as they are (device id with its own escapes, digest, keys, MIME types, the first
// text of "GF") go unchanged, and one that would end its line is refused.
TEST_F(RequestTest, FreeTextsOfRequestLinesAreEscaped) {
  ASSERT_EQ(0, m_serializer.start_request("IMEI\\:3579", ""));
  ASSERT_EQ(0, m_serializer.add_object_request(SyncSerializer::COMMAND_GET, "k:1", 5, false));
  ASSERT_EQ(0, m_serializer.add_forward_command("per:so;nal\\", "image/x:y", "k:2"));
  ASSERT_EQ(0, m_serializer.add_get_file_line_command("a\\b", "c:d"));
  EXPECT_EQ(
      "R:IMEI\\:3579:;G:k:1:5:F;FW:per\\:so\\;nal\\\\:image/x:y:k:2;\nGF:a\\b:c\\:d;\n",
      request());

  const std::string line_enders[] = {"dev;1", "dev\n1", "dev\r1"};
  for (const std::string& text : line_enders) {
    EXPECT_EQ(3, m_serializer.add_object_request(SyncSerializer::COMMAND_GET, text, 5, false));
    EXPECT_EQ(3, m_serializer.add_forward_command("personal", text, "k"));
    EXPECT_EQ(3, m_serializer.add_forward_command("personal", "image/jpeg", text));
    EXPECT_EQ(3, m_serializer.add_get_file_line_command(text, "c"));
    EXPECT_EQ(3, m_serializer.start_request(text, "d"));
    EXPECT_EQ(3, m_serializer.start_request("dev", text));
  }
  EXPECT_EQ(
      "R:IMEI\\:3579:;G:k:1:5:F;FW:per\\:so\\;nal\\\\:image/x:y:k:2;\nGF:a\\b:c\\:d;\n",
      request());
}

TEST_F(RequestTest, CommandsNeedAStartedRequestAndAKnownCommand) {
  ObjectPtr place = small_place();
  EXPECT_EQ(4, m_serializer.add_object_request(SyncSerializer::COMMAND_GET, "k", 1, false));
  EXPECT_EQ(4, m_serializer.add_object_submit(SyncSerializer::COMMAND_ADD, "k", *place, false));
  EXPECT_EQ(4, m_serializer.add_forward_command("personal", "image/jpeg", "k"));
  EXPECT_EQ(4, m_serializer.add_get_file_line_command("a", "b"));
  EXPECT_FALSE(m_serializer.get_buffer().is_valid());

  ASSERT_EQ(0, m_serializer.start_request("1", "d"));
  EXPECT_EQ(3, m_serializer.add_object_request(SyncSerializer::COMMAND_ADD, "k", 1, false));
  EXPECT_EQ(3, m_serializer.add_object_request(SyncSerializer::COMMAND_UPDATE, "k", 1, false));
  EXPECT_EQ(3, m_serializer.add_object_submit(SyncSerializer::COMMAND_GET, "k", *place, false));
  EXPECT_EQ(3, m_serializer.add_object_submit(SyncSerializer::COMMAND_DELETE, "k", *place, false));
  EXPECT_EQ("R:1:d;", request());

  // A submitted object the format refuses: the submit line stays, the error is returned.
  Object no_class;
  EXPECT_EQ(3, m_serializer.add_object_submit(SyncSerializer::COMMAND_ADD, "k", no_class, false));
  EXPECT_EQ(0u, request().find("R:1:d;A:k;O:"));
}

TEST_F(RequestTest, TextsTheReaderWouldRefuseWriteNothing) {
  const std::string bad = "k\xE9y";
  const std::string zero("k\0", 2);
  ObjectPtr place = small_place();
  EXPECT_EQ(3, m_serializer.start_request(bad, "d"));
  EXPECT_FALSE(m_serializer.get_buffer().is_valid());
  ASSERT_EQ(0, m_serializer.start_request("1", "d"));
  EXPECT_EQ(3, m_serializer.start_request("2", zero));
  EXPECT_EQ(3, m_serializer.add_object_request(SyncSerializer::COMMAND_GET, bad, 5, false));
  EXPECT_EQ(3, m_serializer.add_object_submit(SyncSerializer::COMMAND_ADD, zero, *place, false));
  EXPECT_EQ(3, m_serializer.add_forward_command(bad, "image/jpeg", "k"));
  EXPECT_EQ(3, m_serializer.add_forward_command("personal", zero, "k"));
  EXPECT_EQ(3, m_serializer.add_forward_command("personal", "image/jpeg", bad));
  EXPECT_EQ(3, m_serializer.add_get_file_line_command(zero, "b"));
  EXPECT_EQ(3, m_serializer.add_get_file_line_command("a", bad));
  EXPECT_EQ("R:1:d;", request());
}

TEST(AuthDigestTest, DigestsAreBase64OfUserAndPassword) {
  const struct {
    const char* user;
    const char* password;
    const char* digest;
  } cases[] = {
      {"user", "pw", "dXNlcjpwdw=="},           // user:pw
      {"Aladdin", "open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
      {"user", "", "dXNlcjo="},                 // user:
      {"", "", "Og=="},                         // :
      {"m\xC3\xA4ija", "p", "bcOkaWphOnA="},    // UTF-8 bytes as they are
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.digest, SyncSerializer::create_auth_digest(c.user, c.password)) << c.user;
  }
  // "_token_abc:brunmoset"
  EXPECT_EQ("X3Rva2VuX2FiYzpicnVubW9zZXQ=", SyncSerializer::create_auth_digest("abc"));
  EXPECT_EQ(SyncSerializer::create_auth_digest("_token_abc", "brunmoset"),
            SyncSerializer::create_auth_digest("abc"));

  std::string out = "kept";
  SyncSerializer::encode_digest("", out);
  EXPECT_EQ("", out);
}

}  // namespace
}  // namespace compact_test
