#include "CompactTestUtil.h"

#include <keldra/ObjectConverter.h>

#include "compact/SyncParser.h"
#include "compact/SyncSerializer.h"

#include <gtest/gtest.h>

#include <string>

namespace compact_test {
namespace {

using orva::keldra::ObjectConverter;

const std::string kMime = "application/vnd.ostra.keldraobjectcompact";

class ObjectConverterTest : public CompactTest {
 protected:
  ObjectConverterTest() : m_converter(ObjectConverter::create()) {}
  SharedPointer<ObjectConverter> m_converter;
};

TEST_F(ObjectConverterTest, EncodesAndDecodesTheCompactFormat) {
  ASSERT_TRUE(m_converter.is_valid());
  EXPECT_EQ(0, m_converter->find_codec(kMime));
  ObjectPtr place = make_place(3);
  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  ASSERT_EQ(0, m_converter->encode(*place, buffer, kMime, false));
  ObjectPtr decoded;
  ASSERT_EQ(0, m_converter->decode(buffer->get_data(), buffer->get_data_length(), decoded, kMime));
  EXPECT_TRUE(same_object(*place, *decoded));

  SharedPointer<DynamicBuffer> header(new DynamicBuffer());
  ASSERT_EQ(0, m_converter->encode(*place, header, kMime, true));
  EXPECT_EQ(std::string::npos, text_of(header).find("A0:"));
}

TEST_F(ObjectConverterTest, MimeTypesMatchExactly) {
  ObjectPtr place = make_place(1);
  const std::string others[] = {"APPLICATION/VND.OSTRA.KELDRAOBJECTCOMPACT", kMime + " ",
                                "text/plain", ""};
  for (const std::string& mime : others) {
    SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
    EXPECT_EQ(-1, m_converter->find_codec(mime)) << mime;
    EXPECT_EQ(8, m_converter->encode(*place, buffer, mime, false)) << mime;
    EXPECT_EQ(0u, buffer->get_data_length()) << mime;
    ObjectPtr decoded;
    EXPECT_EQ(8, m_converter->decode(buffer->get_data(), 0, decoded, mime)) << mime;
    EXPECT_FALSE(decoded.is_valid()) << mime;
    EXPECT_EQ(nullptr, m_converter->create_encoder(mime)) << mime;
    EXPECT_EQ(nullptr, m_converter->create_decoder(mime)) << mime;
  }
  ObjectConverter bare;
  EXPECT_EQ(-1, bare.find_codec(kMime));
  EXPECT_EQ(nullptr, bare.get_encoder(kMime));
}

TEST_F(ObjectConverterTest, CodecsAreMadeOnceAndKept) {
  orva::keldra::ObjectDecoder* decoder = m_converter->get_decoder(kMime);
  ASSERT_NE(nullptr, decoder);
  EXPECT_NE(nullptr, dynamic_cast<orva::keldra::internal::SyncParser*>(decoder));
  EXPECT_EQ(decoder, m_converter->get_decoder(kMime));
  orva::keldra::ObjectEncoder* encoder = m_converter->get_encoder(kMime);
  ASSERT_NE(nullptr, encoder);
  EXPECT_NE(nullptr, dynamic_cast<orva::keldra::internal::SyncSerializer*>(encoder));
  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  ASSERT_EQ(0, m_converter->encode(*make_place(1), buffer, kMime, true));
  EXPECT_EQ(encoder, m_converter->get_encoder(kMime));
}

TEST_F(ObjectConverterTest, CodecErrorsPassThrough) {
  ObjectPtr decoded;
  EXPECT_EQ(3, m_converter->decode(nullptr, 0, decoded, kMime));
  ASSERT_TRUE(decoded.is_valid());
  EXPECT_EQ("", decoded->get_class_name());
  EXPECT_FALSE(decoded->has_value());

  SharedPointer<DynamicBuffer> none;
  EXPECT_EQ(3, m_converter->encode(*make_place(1), none, kMime, false));
}

}  // namespace
}  // namespace compact_test
