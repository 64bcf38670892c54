#include "CompactTestUtil.h"

#include "compact/SyncParser.h"
#include "compact/SyncSerializer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace compact_test {
namespace {

using orva::keldra::internal::SyncParser;
using orva::keldra::internal::SyncSerializer;

const unsigned char* bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

class ParserTest : public CompactTest {
 protected:
  orva::ErrorCode decode(const std::string& text, ObjectPtr& object) {
    return m_parser.decode(bytes(text), static_cast<unsigned int>(text.size()), object);
  }

  // Encodes and decodes |object|; the decoded object must equal it.
  void round_trip(const Object& object) {
    SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
    ASSERT_EQ(0, m_serializer.encode(object, buffer, false));
    std::string text = text_of(buffer);
    ObjectPtr decoded;
    ASSERT_EQ(0, decode(text, decoded)) << text;
    EXPECT_TRUE(same_object(object, *decoded)) << text;
  }

  SyncSerializer m_serializer;
  SyncParser m_parser;
};

// An object with every kind of value, escapes and non-ASCII names.
ObjectPtr rich_object() {
  ObjectPtr object = make_place(4);
  object->set_name(
      std::string("Home; Work \\ K\xC3\xB6ln: \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x8F\xA0"));
  object->set_owner(std::string("m\xC3\xA4ija:1"));
  object->set_sharing(orva::keldra::SHARING_RESTRICTED);
  Link link(3u);
  link.set_global_link(77);
  link.set_name(std::string("stra\xC3\x9F" "e:link"));
  object->get_links().push_back(link);

  Attribute& custom = add_attribute(*object, "k\xC3\xA4ytt\xC3\xA4j\xC3\xA4", "#t\xC3\xA4gi;1");
  add_field(custom, "\xC3\xA9t\xC3\xA9").set_value("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC");
  add_field(custom, "12").set_value(-2147483647 - 1);
  add_field(custom, "distance").set_value(-9223372036854775807ll - 1);
  add_field(custom, "file_size").set_value(18446744073709551615ull);
  add_field(custom, "value").set_value(4294967295u);
  add_field(custom, "time").set_timestamp(1234567890123ll);
  add_field(custom, "speed").set_value(-0.25f);
  add_field(custom, "course").set_value(1e-300);
  std::vector<unsigned char> binary = {0, 255, ':', ';', '\\', 10};
  add_field(custom, "data").set_value(binary);
  Field& special = add_field(custom, "text");
  special.set_value("special: one");
  special.set_special_type(Field::TYPE_SPECIAL_USTRING);
  Link inner(0u);
  inner.set_global_link(995);
  custom.get_links().push_back(inner);
  Attribute& child = add_child(custom, "text", "name");
  Attribute& grandchild = add_child(child, "text", "3rd");
  add_field(grandchild, "value").set_value("deep");

  Attribute& route = add_attribute(*object, "route_properties", "properties");
  add_field(route, "mode").set_value("pedestrian");
  add_field(route, "option").set_value("motorways_not_allowed");
  add_field(route, "type").set_value("not a keyword");
  return object;
}

TEST_F(ParserTest, RoundTripGivesAnEqualTree) {
  round_trip(*make_place(1));
  round_trip(*rich_object());
  ObjectPtr empty(new Object("collection"));
  round_trip(*empty);
}

TEST_F(ParserTest, RoundTripOfTimesAtTheEndsOfTheWrittenYears) {
  ObjectPtr object(new Object("location"));
  Attribute& custom = add_attribute(*object, "custom");
  add_field(custom, "time").set_timestamp(253402300799999ll);  // 9999-12-31T23:59:59.999Z
  add_field(custom, "start_time").set_timestamp(-62167219200000ll);  // 0000-01-01T00:00:00Z
  add_field(custom, "end_time").set_timestamp(-1);
  round_trip(*object);
}

// Attribute levels 0 to 63 travel; the writer refuses deeper nesting, as the reader
// does.
TEST_F(ParserTest, DeepestNestingBothSidesTake) {
  ObjectPtr object(new Object("location"));
  Attribute* attribute = &add_attribute(*object, "custom");
  for (int level = 1; level < 64; ++level) attribute = &add_child(*attribute, "custom");
  add_field(*attribute, "value").set_value(63);
  round_trip(*object);

  add_child(*attribute, "custom");
  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  EXPECT_EQ(3, m_serializer.encode(*object, buffer, false));
  std::string text = text_of(buffer);
  EXPECT_EQ(std::string::npos, text.find("A64:"));
}

TEST_F(ParserTest, RoundTripInTheCLocale) {
  ScopedLocale c_locale("C");
  ASSERT_TRUE(c_locale.ok());
  round_trip(*rich_object());
}

TEST_F(ParserTest, RoundTripWithADecimalComma) {
  ScopedLocale german("de_DE.UTF-8");
  if (!german.ok()) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  round_trip(*rich_object());
  ObjectPtr decoded;
  ASSERT_EQ(0, decode("O:32;A0:4:4;F:6:36:60.5;F:5:38:2.25;", decoded));
  double latitude = 0;
  float accuracy = 0;
  EXPECT_EQ(0, decoded->get_attributes()[0]->get_fields()[0].get_value(latitude));
  EXPECT_EQ(0, decoded->get_attributes()[0]->get_fields()[1].get_value(accuracy));
  EXPECT_EQ(60.5, latitude);
  EXPECT_EQ(2.25f, accuracy);
}

// Numbers are read as the C library reads them, whether they take the short way (plain
// digits, plain decimals) or not (signs, blanks, hexadecimal, trailing bytes, ranges).
TEST_F(ParserTest, NumbersReadAsTheCLibraryReadsThem) {
  ScopedLocale c_locale("C");
  ASSERT_TRUE(c_locale.ok());
  const char* const reals[] = {"60.5",   "-0.25", "+1.5",      " 2.5",     "0x1p3", "1e400",
                               "1e-400", "4.9e-324", "inf",    "-Infinity", "nan",  "1.5abc",
                               "",       "0.1",   "60.1674123456789", "1e+20", ".5", "5.",
                               "-",      "abc",   "0.333333333333333314829616256247", "1E5"};
  for (const char* real : reals) {
    SCOPED_TRACE(std::string("real '") + real + "'");
    ObjectPtr decoded;
    ASSERT_EQ(0, decode(std::string("O:32;A0:4:4;F:6:36:") + real + ";F:5:38:" + real + ";",
                        decoded));
    double d = 0;
    float f = 0;
    decoded->get_attributes()[0]->get_fields()[0].get_value(d);
    decoded->get_attributes()[0]->get_fields()[1].get_value(f);
    const double want = strtod(real, nullptr);
    if (std::isnan(want)) {
      EXPECT_TRUE(std::isnan(d));
      EXPECT_TRUE(std::isnan(f));
    } else {
      EXPECT_EQ(0, memcmp(&want, &d, sizeof d)) << d;
      EXPECT_EQ(orva::keldra::internal::narrow_to_float(want), f);
    }
  }

  const char* const ids[] = {"880000000002", "007", "18446744073709551615",
                             "18446744073709551616", "99999999999999999999", "+5", " 5",
                             "5x", "-1", "4294967295", "4294967296", "123456789", "1234567890"};
  for (const char* id : ids) {
    SCOPED_TRACE(std::string("id '") + id + "'");
    ObjectPtr decoded;
    ASSERT_EQ(0, decode(std::string("O:32:n:") + id + ":" + id + ";", decoded));
    EXPECT_EQ(strtoull(id, nullptr, 10), decoded->get_global_id());
    EXPECT_EQ(orva::keldra::internal::string_to_uint32(id), decoded->get_local_id());
  }

  // A name code in any form strtol reads whole names the same attribute.
  for (const char* code : {"36", "036", "+36", " 36", "0000000000000000036"}) {
    SCOPED_TRACE(std::string("code '") + code + "'");
    ObjectPtr decoded;
    ASSERT_EQ(0, decode(std::string("O:32;A0:4:4;F:6:") + code + ":1.5;", decoded));
    EXPECT_EQ("latitude", decoded->get_attributes()[0]->get_fields()[0].get_name());
  }
}

TEST_F(ParserTest, PlaceNamedWithSeparatorsKeepsItsLines) {
  ObjectPtr place = make_place(2);
  place->set_name(std::string("Home; Work"));
  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  ASSERT_EQ(0, m_serializer.encode(*place, buffer, false));
  std::string text = text_of(buffer);
  EXPECT_EQ(0u, text.find("O:32:Home\\; Work:880000000002:1002:maija.virtanen::3::194;"));
  ObjectPtr decoded;
  ASSERT_EQ(0, decode(text, decoded));
  EXPECT_EQ("Home; Work", decoded->get_name());
  EXPECT_EQ(4u, decoded->get_attributes().size());
}

TEST_F(ParserTest, ReadsObjectLines) {
  struct Case {
    const char* name;
    std::string text;
    std::function<void(const Object&)> check;
  };
  const Case cases[] = {
      {"all sections", "O:32:Home:12:5:maija%%x:1300000000123:3:T:195;",
       [](const Object& o) {
         EXPECT_EQ("location", o.get_class_name());
         EXPECT_EQ("Home", o.get_name());
         EXPECT_EQ(12u, o.get_global_id());
         EXPECT_EQ(5u, o.get_local_id());
         EXPECT_EQ("maija", o.get_owner());
         EXPECT_EQ(1300000000123ll, o.get_timestamp());
         EXPECT_EQ(3u, o.get_version());
         EXPECT_TRUE(o.is_partial());
         EXPECT_EQ(orva::keldra::SHARING_PUBLIC_READ_WRITE, o.get_sharing());
       }},
      {"no sharing section is private", "O:32:Home;",
       [](const Object& o) {
         EXPECT_EQ(orva::keldra::SHARING_PRIVATE, o.get_sharing());
         EXPECT_EQ(0, o.get_timestamp());
         EXPECT_FALSE(o.is_partial());
       }},
      {"owner cut before it is interned",
       "O:32:Home:::maija%%" + std::string(300, 'x') + "-tail of one reply;",
       [](const Object& o) {
         EXPECT_EQ("maija", o.get_owner());
         const std::string whole = "maija%%" + std::string(300, 'x') + "-tail of one reply";
         EXPECT_EQ(nullptr, StringPool::instance()->find(whole.c_str()));
         EXPECT_EQ(nullptr, StringPool::instance()->find((std::string(300, 'x') + "-tail of one reply").c_str()));
       }},
      {"lower-case t is not partial", "O:32:Home:::::::t:193;",
       [](const Object& o) { EXPECT_FALSE(o.is_partial()); }},
      {"class outside the table", "O:#12:x;",
       [](const Object& o) { EXPECT_EQ("12", o.get_class_name()); }},
      {"class starting with digits", "O:12ab;",
       [](const Object& o) { EXPECT_EQ("12ab", o.get_class_name()); }},
      {"links", "O:95;L:995:7:31;L::8:;L:1::#5x;",
       [](const Object& o) {
         ASSERT_EQ(3u, o.get_links().size());
         EXPECT_EQ(995u, o.get_links()[0].get_global_link());
         EXPECT_EQ(7u, o.get_links()[0].get_local_link());
         EXPECT_EQ("file", o.get_links()[0].get_name());
         EXPECT_EQ(8u, o.get_links()[1].get_local_link());
         EXPECT_EQ("", o.get_links()[1].get_name());
         EXPECT_EQ("5x", o.get_links()[2].get_name());
       }},
      {"keyword value", "O:92;A0:103:2;F:11:75:126;F:11:77:#1st;",
       [](const Object& o) {
         const orva::keldra::FieldList& fields = o.get_attributes()[0]->get_fields();
         std::string mode;
         EXPECT_EQ(Field::TYPE_USTRING, fields[0].get_type());
         fields[0].get_value(mode);
         EXPECT_EQ("car", mode);
         std::string option;
         fields[1].get_value(option);
         EXPECT_EQ("1st", option);
       }},
      {"unnamed field and empty value", "O:32;A0:192;F:8::x;F:8:15:;",
       [](const Object& o) {
         const orva::keldra::FieldList& fields = o.get_attributes()[0]->get_fields();
         ASSERT_EQ(2u, fields.size());
         EXPECT_FALSE(fields[0].get_name_handle().is_valid());
         EXPECT_EQ(Field::TYPE_USTRING, fields[1].get_type());
       }},
      {"level 2 under level 0 ends the object", "O:32;A0:6;A2:3;A0:7;",
       [](const Object& o) {
         ASSERT_EQ(1u, o.get_attributes().size());
         EXPECT_EQ(0u, o.get_attributes()[0]->get_attributes().size());
       }},
      {"a field after a link ends the attribute", "O:32;A0:6;L::3:;F:8:50:x;A0:7;",
       [](const Object& o) {
         ASSERT_EQ(1u, o.get_attributes().size());
         EXPECT_EQ(0u, o.get_attributes()[0]->get_fields().size());
       }},
      {"an unknown line ends the object", "O:32;A0:6;X:1;A0:7;",
       [](const Object& o) { EXPECT_EQ(1u, o.get_attributes().size()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObjectPtr object;
    ASSERT_EQ(0, decode(c.text, object));
    c.check(*object);
  }
}

TEST_F(ParserTest, SharingSection) {
  const struct {
    const char* section;
    orva::keldra::SharingModel sharing;
  } cases[] = {
      {"193", orva::keldra::SHARING_PRIVATE},
      {"194", orva::keldra::SHARING_PUBLIC_READ_ONLY},
      {"195", orva::keldra::SHARING_PUBLIC_READ_WRITE},
      {"221", orva::keldra::SHARING_PRIVATE_PERMANENT},
      {"222", orva::keldra::SHARING_RESTRICTED},
      {"17", orva::keldra::SHARING_PRIVATE},
      {"public-readonly", orva::keldra::SHARING_PUBLIC_READ_ONLY},
      {"public-readwrite", orva::keldra::SHARING_PUBLIC_READ_WRITE},
      {"private-permanent", orva::keldra::SHARING_PRIVATE_PERMANENT},
      {"restricted", orva::keldra::SHARING_RESTRICTED},
      // Whole words only: a word that merely begins another is not that one.
      {"private", orva::keldra::SHARING_PRIVATE},
      {"public", orva::keldra::SHARING_PRIVATE},
      {"r", orva::keldra::SHARING_PRIVATE},
      {"restricted-x", orva::keldra::SHARING_PRIVATE},
      {"", orva::keldra::SHARING_PRIVATE},
  };
  for (const auto& c : cases) {
    ObjectPtr object;
    ASSERT_EQ(0, decode(std::string("O:32:n:::::::") + c.section + ";", object));
    EXPECT_EQ(c.sharing, object->get_sharing()) << c.section;
  }
  // Partial only for exactly "T".
  ObjectPtr object;
  ASSERT_EQ(0, decode("O:32:n:::::::TRUE:193;", object));
  EXPECT_FALSE(object->is_partial());
}

TEST_F(ParserTest, MalformedObjectsGiveErrors) {
  std::string deep = "O:32;";
  for (int level = 0; level < 70; ++level) deep += "A" + std::to_string(level) + ":192;";
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"empty block", ""},
      {"not an object line", "A0:6;"},
      {"no class", "O::Home;"},
      {"object line cut", "O"},
      {"wire code 12", "O:32;A0:6;F:12:50:x;"},
      {"wire code 0", "O:32;A0:6;F:0:50:x;"},
      {"no wire code", "O:32;A0:6;F::50:x;"},
      {"code 223", "O:32;A0:223;"},
      {"negative code", "O:-4;"},
      {"code in a field name", "O:32;A0:6;F:8:300:x;"},
      {"code in a keyword value", "O:32;A0:6;F:11:75:999;"},
      {"unreadable timestamp", "O:32;A0:6;F:7:42:yesterday;"},
      {"unreadable Base64", "O:32;A0:6;F:9:12:!!!!;"},
      {"attribute without class", "O:32;A0;"},
      {"class that is only the name mark", "O:#;"},
      {"attribute class that is only the name mark", "O:32;A0:#;"},
      {"text that is not UTF-8", "O:32:K\xF6ln;A0:6;"},
      {"zero byte inside", std::string("O:32:a\0b;A0:6;", 14)},
      {"nesting without end", deep},
  };
  for (const auto& c : cases) {
    ObjectPtr object;
    EXPECT_EQ(3, decode(c.text, object)) << c.name;
    EXPECT_TRUE(object.is_valid()) << c.name;
  }
}

TEST_F(ParserTest, DataTypesOfWireCodes) {
  const int expected[] = {0, 1, 3, 2, 4, 5, 6, 7, 8, 11, 10, 9, 0};
  for (int wire = 0; wire <= 12; ++wire)
    EXPECT_EQ(expected[wire], SyncParser::get_data_type(wire)) << wire;
  EXPECT_EQ(0, SyncParser::get_data_type(-1));
}

TEST_F(ParserTest, TagNames) {
  const struct {
    const char* text;
    int result;
    const char* handle_text;  // null: decoded as text
    const char* name;
  } cases[] = {
      {"126", 0, "car", ""},        {"1", 0, "meta", ""},     {"222", 0, "restricted", ""},
      {"223", 3, nullptr, ""},      {"0", 0, nullptr, "0"},   {"#12", 0, nullptr, "12"},
      {"12ab", 0, nullptr, "12ab"}, {"##x", 0, nullptr, "#x"}, {"", 0, nullptr, ""},
      {"city", 0, nullptr, "city"},
  };
  for (const auto& c : cases) {
    StringPool::StringHandle handle;
    std::string name = "stale";
    EXPECT_EQ(c.result, m_parser.decode_tag_name(c.text, handle, name)) << c.text;
    if (c.result != 0) continue;
    if (c.handle_text) {
      EXPECT_EQ(c.handle_text, StringPool::get_string(handle)) << c.text;
    } else {
      EXPECT_FALSE(handle.is_valid()) << c.text;
      EXPECT_EQ(c.name, name) << c.text;
    }
  }
}

// Names longer than 64 bytes as they travel: attribute, field and link names come
// back with their first 64 bytes, as the text setters keep them, except the name of an
// "anchor" attribute (the server's sync anchor), which comes back whole.
TEST_F(ParserTest, LongNamesAreCutExceptTheAnchor) {
  std::string long_text;
  for (int i = 0; long_text.size() < 120; ++i) long_text += "a" + std::to_string(i) + "-";
  const std::string digits = "1" + std::string(90, '0');  // written as #100..., not a code
  struct Case {
    const char* class_name;
    std::string name;
    std::string decoded;
  } cases[] = {
      {"anchor", long_text, long_text},
      {"anchor", digits, digits},
      {"anchor", "car", "car"},  // a table name travels as its code
      {"address", long_text, long_text.substr(0, 64)},
      {"anchors", long_text, long_text.substr(0, 64)},
      {"anchor", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.class_name) + ":" + c.name);
    Object config("config");
    config.set_global_id(999);
    Attribute& attribute = add_attribute(config, c.class_name, "");
    attribute.set_name(StringPool::StringHandle(StringPool::insert(c.name)));
    // Field names under an anchor keep the usual cut.
    add_field(attribute, long_text).set_value("v");
    SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
    ASSERT_EQ(0, m_serializer.encode(config, buffer, false));
    ObjectPtr decoded;
    ASSERT_EQ(0, decode(text_of(buffer), decoded)) << text_of(buffer);
    ASSERT_EQ(1u, decoded->get_attributes().size());
    const Attribute& back = *decoded->get_attributes()[0];
    EXPECT_EQ(c.decoded, back.get_name());
    EXPECT_EQ(c.class_name, back.get_class_name());
    ASSERT_EQ(1u, back.get_fields().size());
    EXPECT_EQ(long_text.substr(0, 64), back.get_fields()[0].get_name());
  }
}

// The parser keeps the names of codes it has decoded; they must stay valid when every
// other holder of the thread's pool has let it go.
TEST(ParserPoolTest, CachedNamesOutliveTheOtherHoldersOfThePool) {
  SyncParser parser;
  const std::string text = "O:32;A0:6:6;";
  ObjectPtr first;
  {
    SharedPointer<StringPool> pool = StringPool::create();
    ASSERT_EQ(0, parser.decode(bytes(text), static_cast<unsigned int>(text.size()), first));
    EXPECT_EQ("location", first->get_class_name());
  }
  SharedPointer<StringPool> pool = StringPool::create();
  ObjectPtr second;
  ASSERT_EQ(0, parser.decode(bytes(text), static_cast<unsigned int>(text.size()), second));
  EXPECT_EQ("location", second->get_class_name());
  EXPECT_EQ("address", second->get_attributes()[0]->get_name());
}

// Records the reply's records in order.
class RecordingConsumer : public SyncParser::Consumer {
 public:
  orva::ErrorCode handle_object_status(const SyncParser::ObjectStatus& status) override {
    std::string line = "S " + status.key + " " + std::to_string(status.code) + " '" +
                       status.message + "'";
    for (const ObjectPtr& object : status.objects) line += " " + object->get_name();
    calls.push_back(line);
    return answer;
  }
  orva::ErrorCode handle_forward_status(const SyncParser::ForwardStatus& status) override {
    calls.push_back("F " + status.key + " " + std::to_string(status.code) + " '" + status.url +
                    "' '" + status.message + "'");
    return answer;
  }
  orva::ErrorCode handle_response_status(const SyncParser::ResponseStatus& status) override {
    calls.push_back("R " + std::to_string(status.status) + " '" + status.message + "'");
    return answer;
  }

  std::vector<std::string> calls;
  orva::ErrorCode answer = 0;
};

TEST_F(ParserTest, RepliesReachTheConsumerInOrder) {
  struct Case {
    const char* name;
    std::string reply;
    int result;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"whole reply",
       "R:OK;S:k1:0;O:32:first;A0:6;F:8:50:Espoo;O:32:second;S:k2:5:not found;"
       "F:f1:0:https\\://example.com/a.jpg:stored;F:f2:3::too big;R:quota;",
       0,
       {"R 0 'OK'", "S k1 0 '' first second", "S k2 5 'not found'",
        "F f1 0 'https://example.com/a.jpg' 'stored'", "F f2 3 '' 'too big'", "R 1 'quota'"}},
      {"only exactly OK is success", "R:O;R:OKAY;", 0, {"R 1 'O'", "R 1 'OKAY'"}},
      {"unknown first line", "X:1;R:OK;", 0, {}},
      {"unknown line ends the reply", "R:OK;Q:1;S:k:0;", 0, {"R 0 'OK'"}},
      {"empty reply", "", 0, {}},
      {"status without code", "R:OK;S:k1;", 3, {"R 0 'OK'"}},
      {"forward without key", "F::0;", 3, {}},
      {"response without text", "R:;", 3, {}},
      {"broken object in a status", "S:k1:0;O:32:a;O::b;R:OK;", 3, {}},
      {"text that is not UTF-8", "R:OK;S:k1:0;O:32:K\xF6ln;", 3, {"R 0 'OK'"}},
  };
  for (const Case& c : cases) {
    RecordingConsumer consumer;
    EXPECT_EQ(c.result, m_parser.parse_response_message(bytes(c.reply),
                                                        static_cast<int>(c.reply.size()),
                                                        &consumer))
        << c.name;
    EXPECT_EQ(c.calls, consumer.calls) << c.name;
  }
}

TEST_F(ParserTest, ConsumerResultStopsTheReading) {
  std::string reply = "S:k1:10;O:32:a;R:OK;";
  RecordingConsumer consumer;
  consumer.answer = ORVA_ERROR_KELDRA_OBJECT_STATUS_10;
  EXPECT_EQ(ORVA_ERROR_KELDRA_OBJECT_STATUS_10,
            m_parser.parse_response_message(bytes(reply), static_cast<int>(reply.size()),
                                            &consumer));
  EXPECT_EQ(std::vector<std::string>{"S k1 10 '' a"}, consumer.calls);

  EXPECT_EQ(0, m_parser.parse_response_message(bytes(reply), static_cast<int>(reply.size()),
                                               nullptr));
  EXPECT_EQ(3, m_parser.parse_response_message(bytes(reply), -1, nullptr));
}

}  // namespace
}  // namespace compact_test
