#include "CompactTestUtil.h"

#include "compact/SyncSerializer.h"
#include "runtime/Timestamp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace compact_test {
namespace {

using orva::keldra::SharingModel;
using orva::keldra::internal::SyncSerializer;

class SerializerTest : public CompactTest {
 protected:
  // Encodes |object| into a new buffer; |result| receives the code.
  std::string encode(const Object& object, bool header_only = false,
                     orva::ErrorCode* result = nullptr) {
    SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
    orva::ErrorCode r = m_serializer.encode(object, buffer, header_only);
    if (result) {
      *result = r;
    } else {
      EXPECT_EQ(0, r);
    }
    return text_of(buffer);
  }

  SyncSerializer m_serializer;
};

// A stored private place named Home with local id 5 and version 3.
ObjectPtr home() {
  ObjectPtr object(new Object("location"));
  object->set_name(std::string("Home"));
  object->set_local_id(5);
  object->set_version(3);
  return object;
}

TEST_F(SerializerTest, WritesTheLinesOfObjects) {
  struct Case {
    const char* name;
    std::function<void(Object&)> build;
    bool header_only;
    std::string expected;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {"object line", [](Object&) {}, false, "O:32:Home::5:::3::193;"},
      {"header only is one line",
       [](Object& o) {
         add_field(add_attribute(o, "address", "address"), "city").set_value("Espoo");
         o.get_links().push_back(Link(9u));
       },
       true, "O:32:Home::5:::3:T:193;"},
      {"partial object", [](Object& o) { o.set_partial(true); }, false,
       "O:32:Home::5:::3:T:193;"},
      {"ids, owner and no version",
       [](Object& o) {
         o.set_global_id(18446744073709551615ull);
         o.set_owner(std::string("maija"));
         o.set_version(0);
       },
       false, "O:32:Home:18446744073709551615:5:maija::::193;"},
      {"free texts are escaped",
       [](Object& o) {
         o.set_name(std::string("Home; Work"));
         o.set_owner(std::string("a:b\\c"));
       },
       false, "O:32:Home\\; Work::5:a\\:b\\\\c::3::193;"},
      {"class outside the table", [](Object& o) { o.set_class_name(std::string("2nd:class")); },
       false, "O:#2nd\\:class:Home::5:::3::193;"},
      {"object links",
       [](Object& o) {
         Link target(7u);
         target.set_global_link(995);
         target.set_name(std::string("file"));
         o.get_links().push_back(target);
         o.get_links().push_back(Link(8u));
       },
       false, "O:32:Home::5:::3::193;L:995:7:31;L::8:;"},
      {"attribute without name", [](Object& o) { add_attribute(o, "address"); }, false,
       "O:32:Home::5:::3::193;A0:6;"},
      {"depth first with levels, fields before links before children",
       [](Object& o) {
         Attribute& meta = add_attribute(o, "metadata", "meta");
         Attribute& text = add_child(meta, "text", "name");
         add_field(text, "value").set_value("Koti");
         add_child(text, "custom", "deep");
         meta.get_links().push_back(Link(4u));
         add_field(meta, "language").set_value("fi");
         add_attribute(o, "contact", "contact");
       },
       false,
       "O:32:Home::5:::3::193;A0:99:1;F:8:33:fi;L::4:;A1:3:15;F:8:34:Koti;A2:192:deep;A0:7:7;"},
      {"names outside the table",
       [](Object& o) {
         Attribute& a = add_attribute(o, "my_class", "x:y");
         add_field(a, "2nd").set_value(1);
         add_field(a, "#tag").set_value(2);
         add_field(a, "-5").set_value(3);
         add_field(a, " 7").set_value(4);
         add_field(a, "plain").set_value(5);
       },
       false,
       "O:32:Home::5:::3::193;A0:my_class:x\\:y;F:1:#2nd:1;F:1:##tag:2;F:1:#-5:3;F:1:# 7:4;"
       "F:1:plain:5;"},
      {"value texts by type",
       [](Object& o) {
         Attribute& a = add_attribute(o, "custom");
         add_field(a, "count").set_value(-5);
         add_field(a, "value").set_value(3000000000u);
         add_field(a, "time").set_timestamp(0);
         add_field(a, "distance").set_value(-9000000000ll);
         add_field(a, "file_size").set_value(18446744073709551615ull);
         add_field(a, "latitude").set_value(0.5);
         add_field(a, "longitude").set_value(1e20);
         add_field(a, "accuracy").set_value(0.1f);
         add_field(a, "altitude").set_value(1.0f / 3.0f);
         add_field(a, "radius").set_value(60.16741234567891);
         add_field(a, "comment").set_value("a:b;c\\d");
         std::vector<unsigned char> bytes = {1, 2, 3, 250};
         add_field(a, "data").set_value(bytes);
         Field& special = add_field(a, "text");
         special.set_value("sp");
         special.set_special_type(Field::TYPE_SPECIAL_USTRING);
       },
       false,
       "O:32:Home::5:::3::193;A0:192;F:1:35:-5;F:3:34:3000000000;"
       "F:7:42:1970-01-01T00\\:00\\:00.000Z;F:2:83:-9000000000;F:4:202:18446744073709551615;"
       "F:6:36:0.5;F:6:37:1e+20;F:5:38:0.1;F:5:39:0.3333333;F:6:74:60.1674123456789;"
       "F:8:27:a\\:b\\;c\\\\d;F:9:12:AQID+g==;F:10:3:sp;"},
      {"fields without a line",
       [nan](Object& o) {
         Attribute& a = add_attribute(o, "custom");
         add_field(a, "comment").set_value("");
         a.get_fields().push_back(Field("unnamed"));
         add_field(a, "latitude").set_value(nan);
         add_field(a, "longitude").set_value(std::numeric_limits<double>::infinity());
         add_field(a, "data").set_value(SharedPointer<DynamicBuffer>());
         add_field(a, "never_set");
         add_field(a, "name").set_value("kept");
       },
       false, "O:32:Home::5:::3::193;A0:192;F:8:15:kept;"},
      {"route keywords",
       [](Object& o) {
         Attribute& route = add_attribute(o, "route_properties", "properties");
         add_field(route, "mode").set_value("car");
         add_field(route, "type").set_value("fastest");
         add_field(route, "option").set_value("no such keyword anywhere");
         add_field(route, "comment").set_value("car");
         Attribute& other = add_attribute(o, "route_properties", "other");
         add_field(other, "mode").set_value("car");
       },
       false,
       "O:32:Home::5:::3::193;A0:103:2;F:11:75:126;F:11:76:119;"
       "F:8:77:no such keyword anywhere;F:8:27:car;A0:103:other;F:8:75:car;"},
      {"local copy of a media file is left out",
       [](Object& o) {
         Attribute& uri = add_attribute(o, "uri", "local_uri");
         add_field(uri, "url").set_value("file:///home/user/a.jpg");
         add_child(uri, "file_info", "file_info");
         Attribute& data = add_attribute(o, "data_stream", "data");
         Attribute& nested = add_child(data, "uri", "local_uri");
         add_field(nested, "url").set_value("file:///x");
         add_attribute(o, "uri", "remote_uri");
       },
       false, "O:32:Home::5:::3::193;A0:107:12;A0:90:14;"},
  };
  for (const Case& c : cases) {
    ObjectPtr object = home();
    c.build(*object);
    EXPECT_EQ(c.expected, encode(*object, c.header_only)) << c.name;
  }
}

TEST_F(SerializerTest, SharingModelCodes) {
  const struct {
    SharingModel sharing;
    const char* code;
  } cases[] = {{orva::keldra::SHARING_PRIVATE, "193"},
               {orva::keldra::SHARING_PUBLIC_READ_ONLY, "194"},
               {orva::keldra::SHARING_PUBLIC_READ_WRITE, "195"},
               {orva::keldra::SHARING_DELETED_BY_OWNER, "193"},
               {orva::keldra::SHARING_PRIVATE_PERMANENT, "221"},
               {orva::keldra::SHARING_RESTRICTED, "222"}};
  for (const auto& c : cases) {
    ObjectPtr object = home();
    object->set_sharing(c.sharing);
    EXPECT_EQ(std::string("O:32:Home::5:::3::") + c.code + ";", encode(*object))
        << "sharing " << c.sharing;
  }
}

TEST_F(SerializerTest, DecimalPointWhateverTheLocale) {
  ScopedLocale german("de_DE.UTF-8");
  if (!german.ok()) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  ObjectPtr object = home();
  Attribute& position = add_attribute(*object, "position", "position");
  add_field(position, "latitude").set_value(0.5);
  add_field(position, "accuracy").set_value(2.25f);
  EXPECT_EQ("O:32:Home::5:::3::193;A0:4:4;F:6:36:0.5;F:5:38:2.25;", encode(*object));
}

TEST_F(SerializerTest, Errors) {
  orva::ErrorCode result = 0;

  SharedPointer<DynamicBuffer> none;
  EXPECT_EQ(3, m_serializer.encode(*home(), none, false));
  EXPECT_FALSE(m_serializer.get_buffer().is_valid());

  Object no_class;
  no_class.set_name(std::string("x"));
  encode(no_class, false, &result);
  EXPECT_EQ(3, result);

  // Stops at the attribute without class; the lines before it stay.
  ObjectPtr object = home();
  add_field(add_attribute(*object, "address"), "city").set_value("Espoo");
  add_attribute(*object, "");
  add_attribute(*object, "contact");
  EXPECT_EQ("O:32:Home::5:::3::193;A0:6;F:8:50:Espoo;A0:", encode(*object, false, &result));
  EXPECT_EQ(3, result);

  // A field can be given the keyword marker type by hand; the format cannot carry it.
  ObjectPtr keyword = home();
  Field& field = add_field(add_attribute(*keyword, "custom"), "mode");
  field.set_type(Field::TYPE_KEYWORD);
  encode(*keyword, false, &result);
  EXPECT_EQ(3, result);
}

// Texts the reader would refuse (not UTF-8, or a zero byte, which ends a message) are
// refused with 3 instead of being sent as data that cannot be read back.
TEST_F(SerializerTest, RefusesTextsTheReaderWouldRefuse) {
  struct Case {
    const char* name;
    std::function<void(Object&)> build;
    std::string written;  // what stays in the buffer
  };
  const std::string latin1 = "K\xF6ln";
  const Case cases[] = {
      {"object name", [&](Object& o) { o.set_name(latin1); }, "O:32:"},
      {"owner", [&](Object& o) { o.set_owner(latin1); }, "O:32:Home::5:"},
      {"class", [&](Object& o) { o.set_class_name(latin1); }, "O:"},
      {"link name",
       [&](Object& o) {
         Link link(7u);
         link.set_name(latin1);
         o.get_links().push_back(link);
       },
       "O:32:Home::5:::3::193;L::7:"},
      {"attribute class", [&](Object& o) { add_attribute(o, "x\xC3"); },
       "O:32:Home::5:::3::193;A0:"},
      {"attribute name", [&](Object& o) { add_attribute(o, "custom", "\xED\xA0\x80"); },
       "O:32:Home::5:::3::193;A0:192:"},
      {"field name", [&](Object& o) { add_field(add_attribute(o, "custom"), latin1).set_value(1); },
       "O:32:Home::5:::3::193;A0:192;F:1:"},
      {"zero in a text value",
       [](Object& o) {
         add_field(add_attribute(o, "custom"), "comment").set_value(std::string("a\0b", 3));
       },
       "O:32:Home::5:::3::193;A0:192;"},
      {"zero in a special text value",
       [](Object& o) {
         Field& field = add_field(add_attribute(o, "custom"), "text");
         field.set_value(std::string("\0", 1));
         field.set_special_type(Field::TYPE_SPECIAL_USTRING);
       },
       "O:32:Home::5:::3::193;A0:192;"},
  };
  for (const Case& c : cases) {
    ObjectPtr object = home();
    c.build(*object);
    orva::ErrorCode result = 0;
    EXPECT_EQ(c.written, encode(*object, false, &result)) << c.name;
    EXPECT_EQ(3, result) << c.name;
  }

  std::string out = "x";
  EXPECT_FALSE(m_serializer.encode_tag_name(latin1, out));
  EXPECT_FALSE(m_serializer.encode_tag_name(std::string("9\xFF"), out));
  EXPECT_FALSE(m_serializer.encode_tag_name(std::string("meta\0x", 6), out));
  EXPECT_EQ("x", out);
}

// Times whose year takes more than four digits have no text the reader takes back;
// they are refused rather than sent as a text that reads back as another time or
// not at all.
TEST_F(SerializerTest, RefusesTimesTheReaderCannotTakeBack) {
  const long long refused[] = {253402300800000ll,   // 10000-01-01T00:00:00.000Z
                               -100000000000000ll,  // in the year -1199
                               -9223372036854775807ll - 1, 9223372036854775806ll};
  for (long long ms : refused) {
    ObjectPtr object = home();
    add_field(add_attribute(*object, "custom"), "time").set_timestamp(ms);
    orva::ErrorCode result = 0;
    EXPECT_EQ("O:32:Home::5:::3::193;A0:192;", encode(*object, false, &result)) << ms;
    EXPECT_EQ(3, result) << ms;
  }
}

// The writer takes every time from 1970 to the end of 9999 without reading its text
// back: each such text must read back as the same time.
TEST_F(SerializerTest, TimesOfFourDigitYearsReadBackUnchanged) {
  const long long kEnd = 253402300800000ll;  // 10000-01-01T00:00:00.000Z
  std::vector<long long> times = {0,
                                  1,
                                  999,
                                  1000,
                                  951782400000ll /* 2000-02-29 */,
                                  2147483647000ll,
                                  2147483648000ll,
                                  4107542400000ll,
                                  kEnd - 1,
                                  kEnd - 1000};
  unsigned long long seed = 88172645463325252ull;
  for (int i = 0; i < 20000; ++i) {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    times.push_back(static_cast<long long>(seed % static_cast<unsigned long long>(kEnd)));
  }
  for (long long ms : times) {
    Field field;
    field.set_timestamp(ms);
    std::string text;
    field.to_string(text);
    ASSERT_EQ(ms,
              static_cast<long long>(orva::keldra::internal::Timestamp::from_iso_any(text, true)))
        << text;
  }
}

TEST_F(SerializerTest, AppendsToWhatTheBufferHolds) {
  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  const unsigned char before[] = "X;";
  buffer->write(before, 2);
  ASSERT_EQ(0, m_serializer.encode(*home(), buffer, true));
  ASSERT_EQ(0, m_serializer.encode(*home(), buffer, true));
  EXPECT_EQ("X;O:32:Home::5:::3:T:193;O:32:Home::5:::3:T:193;", text_of(buffer));
  EXPECT_TRUE(m_serializer.get_buffer() == buffer);
}

TEST_F(SerializerTest, TagNames) {
  const struct {
    const char* name;
    const char* written;
  } cases[] = {{"location", "32"},       {"meta", "1"},          {"restricted", "222"},
               {"county_or_province", "county_or_province"}, {"county_province", "49"},
               {"12", "#12"},            {"#x", "##x"},          {"+1", "#+1"},
               {"\tx", "#\tx"},          {"a;b", "a\\;b"},        {"", ""}};
  for (const auto& c : cases) {
    std::string out;
    m_serializer.encode_tag_name(std::string(c.name), out);
    EXPECT_EQ(c.written, out) << c.name;
    StringPool::StringHandle handle;
    StringPool::set_handle(handle, c.name);
    out.clear();
    m_serializer.encode_tag_name(handle, out);
    EXPECT_EQ(c.written, out) << c.name;
  }
}

}  // namespace
}  // namespace compact_test
