// URIs, data streams and file information: text outputs emptied first, the shared
// byte buffer, and the exact field types that the getters accept.
#include "ItemViews.h"

#include <keldra/DynamicBuffer.h>
#include <keldra/Field.h>

#include <climits>
#include <cmath>
#include <functional>
#include <vector>

namespace keldra_test {
namespace {

using orva::keldra::DataStream;
using orva::keldra::DynamicBuffer;
using orva::keldra::FileInfo;
using orva::keldra::Uri;

TEST_F(ItemViewTest, TextGettersEmptyTheirOutputFirst) {
  // Each view reads an unbound view, a bound one without the field, and one whose
  // field holds a number.
  SharedPointer<Attribute> bare_uri = make_attribute("remote_uri", "uri");
  SharedPointer<Attribute> numeric_uri = make_attribute("remote_uri", "uri");
  numeric_uri->prepare_field("url")->set_value(1);
  numeric_uri->prepare_field("mime")->set_value(1);
  SharedPointer<Attribute> bare_stream = make_attribute("data", "data_stream");
  SharedPointer<Attribute> numeric_stream = make_attribute("data", "data_stream");
  numeric_stream->prepare_field("mime")->set_value(1);

  for (const SharedPointer<Attribute>& attribute :
       {SharedPointer<Attribute>(), bare_uri, numeric_uri}) {
    Uri uri;
    uri.attach(attribute);
    ustring url("old");
    std::string mime("old");
    uri.get_url(url);
    uri.get_mime(mime);
    EXPECT_EQ(ustring(), url);
    EXPECT_EQ("", mime);
  }
  for (const SharedPointer<Attribute>& attribute :
       {SharedPointer<Attribute>(), bare_stream, numeric_stream}) {
    DataStream stream;
    stream.attach(attribute);
    std::string mime("old");
    stream.get_mime(mime);
    EXPECT_EQ("", mime);
  }
}

TEST_F(ItemViewTest, UriAndStreamTextsRoundTrip) {
  TestItem item;
  const std::string mime = "image/x-k\xc3\xa4ytt\xc3\xa4j\xc3\xa4";  // UTF-8 letters
  ASSERT_EQ(0, item.remote_uri().set_mime(mime));
  ASSERT_EQ(0, item.remote_uri().set_url(ustring("file:///home/\xc3\xa5.jpg")));
  ASSERT_EQ(0, item.data().set_mime(mime));

  std::string got;
  item.remote_uri().get_mime(got);
  EXPECT_EQ(mime, got);
  item.data().get_mime(got);
  EXPECT_EQ(mime, got);
  ustring url;
  item.remote_uri().get_url(url);
  EXPECT_EQ(ustring("file:///home/\xc3\xa5.jpg"), url);
  // Stored as UTF-16: "ä" is one unit.
  EXPECT_EQ(16u, item.remote_uri().get_field_data_length(handle("mime")));

  // A second object view over the same object reads the same values.
  TestItem again;
  again.attach(item.object());
  again.remote_uri().get_mime(got);
  EXPECT_EQ(mime, got);
}

TEST_F(ItemViewTest, DataStreamSharesItsBuffer) {
  DataStream stream;
  EXPECT_FALSE(stream.get_buffer().is_valid());
  EXPECT_EQ(nullptr, stream.get_data());
  EXPECT_EQ(0u, stream.get_data_length());

  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  const unsigned char bytes[] = {1, 2, 3};
  ASSERT_TRUE(buffer->write(bytes, 2));
  ASSERT_EQ(0, stream.set_data(buffer));
  EXPECT_EQ(buffer, stream.get_buffer());
  EXPECT_EQ(2u, stream.get_data_length());

  // Bytes appended by any holder are seen through the field.
  stream.attribute()->set_modified(false);
  ASSERT_TRUE(buffer->write(bytes + 2, 1));
  EXPECT_EQ(3u, stream.get_data_length());
  EXPECT_EQ(buffer->get_data(), stream.get_data());
  EXPECT_FALSE(stream.attribute()->is_modified());
  std::vector<unsigned char> out{9};
  stream.get_data(out);
  EXPECT_EQ((std::vector<unsigned char>{1, 2, 3}), out);

  // A copy of the view shares the buffer too; new bytes give a buffer of its own.
  DataStream copy(stream);
  EXPECT_EQ(buffer, copy.get_buffer());
  ASSERT_EQ(0, copy.set_data(bytes, 1));
  EXPECT_NE(buffer, copy.get_buffer());
  EXPECT_EQ(3u, stream.get_data_length());
  EXPECT_EQ(":data_stream(data/11)", typed_tree(*stream.attribute()));
}

TEST_F(ItemViewTest, DataStreamBytesAreCopiedIn) {
  struct Case {
    const char* what;
    std::function<orva::ErrorCode(DataStream&)> write;
    bool has_buffer;
    std::vector<unsigned char> expected;
  };
  static unsigned char source[] = {7, 8, 9};
  const Case cases[] = {
      {"bytes and a length", [](DataStream& s) { return s.set_data(source, 3); }, true,
       {7, 8, 9}},
      {"a vector", [](DataStream& s) { return s.set_data(std::vector<unsigned char>{7, 8}); },
       true, {7, 8}},
      {"an empty vector", [](DataStream& s) { return s.set_data(std::vector<unsigned char>()); },
       true, {}},
      {"null bytes with a length", [](DataStream& s) { return s.set_data(nullptr, 5); }, true,
       {}},
      {"an empty pointer",
       [](DataStream& s) { return s.set_data(SharedPointer<DynamicBuffer>()); }, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DataStream stream;
    ASSERT_EQ(0, stream.set_data(std::vector<unsigned char>{1, 2, 3, 4}));
    ASSERT_EQ(0, c.write(stream));
    source[0] = 0;  // the stored copy does not follow the caller's bytes
    EXPECT_EQ(c.has_buffer, stream.get_buffer().is_valid());
    EXPECT_EQ(c.expected.size(), stream.get_data_length());
    std::vector<unsigned char> out{42};
    stream.get_data(out);
    EXPECT_EQ(c.expected, out);
    EXPECT_EQ(":data_stream(data/11)", typed_tree(*stream.attribute()));
    source[0] = 7;
  }

  // Unbound: the vector is emptied, nothing is created.
  DataStream unbound;
  std::vector<unsigned char> out{42};
  unbound.get_data(out);
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(unbound.is_safe());
}

TEST_F(ItemViewTest, DataOfAnotherTypeHasNoBytes) {
  SharedPointer<Attribute> attribute = make_attribute("data", "data_stream");
  attribute->prepare_field("data")->set_value(std::string("abc"));
  DataStream stream;
  stream.attach(attribute);
  EXPECT_FALSE(stream.get_buffer().is_valid());
  EXPECT_EQ(nullptr, stream.get_data());
  std::vector<unsigned char> out{1};
  stream.get_data(out);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(3u, stream.get_data_length());  // the text's length in units
}

TEST_F(ItemViewTest, FileInfoValuesRoundTripAtTheirLimits) {
  FileInfo info;
  EXPECT_TRUE(std::isnan(info.get_frame_rate()));
  EXPECT_EQ(0u, info.get_file_size());
  EXPECT_EQ(0u, info.get_bitrate());
  EXPECT_EQ(0, info.get_duration());
  EXPECT_EQ(0u, info.get_frame_width());
  EXPECT_EQ(0u, info.get_frame_height());
  EXPECT_FALSE(info.is_safe());

  ASSERT_EQ(0, info.set_bitrate(ULLONG_MAX));
  ASSERT_EQ(0, info.set_duration(LLONG_MIN));
  ASSERT_EQ(0, info.set_file_size(ULLONG_MAX - 1));
  ASSERT_EQ(0, info.set_frame_height(UINT_MAX));
  ASSERT_EQ(0, info.set_frame_rate(29.97f));
  ASSERT_EQ(0, info.set_frame_width(UINT_MAX - 1));
  EXPECT_EQ(ULLONG_MAX, info.get_bitrate());
  EXPECT_EQ(LLONG_MIN, info.get_duration());
  EXPECT_EQ(ULLONG_MAX - 1, info.get_file_size());
  EXPECT_EQ(UINT_MAX, info.get_frame_height());
  EXPECT_EQ(29.97f, info.get_frame_rate());
  EXPECT_EQ(UINT_MAX - 1, info.get_frame_width());
  EXPECT_EQ(":file_info(bitrate/4,duration/3,file_size/4,frame_height/2,fps/5,frame_width/2)",
            typed_tree(*info.attribute()));
}

// Fields written by foreign data with a neighbouring type read as absent.
TEST_F(ItemViewTest, FileInfoReadsOnlyTheExactType) {
  SharedPointer<Attribute> attribute = make_attribute("local_info", "file_info");
  attribute->prepare_field("file_size")->set_value(5u);          // uint32, not uint64
  attribute->prepare_field("bitrate")->set_value(5LL);           // int64, not uint64
  attribute->prepare_field("duration")->set_value(5ULL);         // uint64, not int64
  attribute->prepare_field("frame_width")->set_value(5);         // int32, not uint32
  attribute->prepare_field("frame_height")->set_value(5ULL);     // uint64, not uint32
  attribute->prepare_field("fps")->set_value(25.0);              // double, not float
  FileInfo info;
  info.attach(attribute);
  EXPECT_EQ(0u, info.get_file_size());
  EXPECT_EQ(0u, info.get_bitrate());
  EXPECT_EQ(0, info.get_duration());
  EXPECT_EQ(0u, info.get_frame_width());
  EXPECT_EQ(0u, info.get_frame_height());
  EXPECT_TRUE(std::isnan(info.get_frame_rate()));

  // Writing gives the field its own type again, in place.
  ASSERT_EQ(0, info.set_file_size(6));
  EXPECT_EQ(6u, info.get_file_size());
  EXPECT_EQ(0, attribute->find_field("file_size"));
}

TEST_F(ItemViewTest, UriFileInfoAndStreamCopiesAreDetached) {
  TestItem item;
  ASSERT_EQ(0, item.remote_uri().set_url(ustring("a")));
  ASSERT_EQ(0, item.remote_info().set_file_size(1));
  ASSERT_EQ(0, item.data().set_mime("a/a"));

  Uri uri(item.remote_uri());
  FileInfo info(item.remote_info());
  DataStream stream(item.data());
  EXPECT_EQ("remote_uri", uri.get_name());
  EXPECT_EQ("remote_info", info.get_name());
  EXPECT_EQ("data", stream.get_name());
  ASSERT_EQ(0, uri.set_url(ustring("b")));
  ASSERT_EQ(0, info.set_file_size(2));
  ASSERT_EQ(0, stream.set_mime("b/b"));

  ustring url;
  item.remote_uri().get_url(url);
  EXPECT_EQ(ustring("a"), url);
  EXPECT_EQ(1u, item.remote_info().get_file_size());

  // Assignment writes the copy's content back into the item's attributes.
  item.remote_uri() = uri;
  item.remote_info() = info;
  item.data() = stream;
  item.remote_uri().get_url(url);
  EXPECT_EQ(ustring("b"), url);
  EXPECT_EQ(2u, item.remote_info().get_file_size());
  std::string mime;
  item.data().get_mime(mime);
  EXPECT_EQ("b/b", mime);
  EXPECT_EQ("remote_uri:uri(url/8) remote_info:file_info(file_size/4) data:data_stream(mime/8)",
            typed_tree(item.object()->get_attributes()));
}

}  // namespace
}  // namespace keldra_test
