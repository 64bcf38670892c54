// The config object's sync anchor on its whole way: received from the server in the
// compact format, stored through the sync side, loaded from the file and sent back,
// unchanged whatever its length.
#include "ManagerFixture.h"

#include <keldra/DynamicBuffer.h>
#include <keldra/Object.h>
#include <keldra/ObjectConverter.h>

#include "support/AttributeTree.h"
#include "sysobjects/ConfigObject.h"

#include <string>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::DynamicBuffer;
using orva::keldra::Object;
using orva::keldra::ObjectConverter;
using orva::keldra::ObjectPtr;
using orva::keldra::internal::ConfigObject;

const char kMime[] = "application/vnd.ostra.keldraobjectcompact";

// |object| written in the compact format and read back, as it crosses the wire.
ObjectPtr across_the_wire(const Object& object) {
  SharedPointer<ObjectConverter> converter = ObjectConverter::create();
  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  ObjectPtr decoded;
  EXPECT_EQ(0, converter->encode(object, buffer, kMime, false));
  EXPECT_EQ(0, converter->decode(buffer->get_data(), buffer->get_data_length(), decoded, kMime));
  return decoded;
}

TEST_F(ManagerTest, AnchorTravelsWholeThroughTheStoreAndTheCompactFormat) {
  std::string long_anchor = "k\xC3\xA4ytt\xC3\xA4j\xC3\xA4:7;\\";
  for (int i = 0; long_anchor.size() < 300; ++i) long_anchor += "/" + std::to_string(i * 7919);
  const std::string cases[] = {
      long_anchor,
      "20261210T180000Z",
      "",
      std::string(64, 'x'),
      std::string(65, 'x'),
      "1" + std::string(80, '9'),  // digits: travels as a #-name, not as a code
      "car",                       // a name-table word: travels as its code
  };
  for (const std::string& anchor : cases) {
    SCOPED_TRACE(anchor);
    ConfigObject sent;
    ASSERT_EQ(0, sent.set_initial_values());
    ASSERT_EQ(0, sent.set_anchor(anchor));
    ObjectPtr received = across_the_wire(*sent.object());
    ASSERT_TRUE(received.is_valid());
    ASSERT_EQ(0, sync_->add_object(*received));

    ObjectPtr loaded = stored(ConfigObject::GLOBAL_ID);
    ASSERT_TRUE(loaded.is_valid());
    std::string back;
    ASSERT_EQ(0, ConfigObject::get_anchor(*loaded, back));
    EXPECT_EQ(anchor, back);
    EXPECT_EQ(attribute_tree(sent.object()->get_attributes(), FieldText::kNameAndValue, false),
              attribute_tree(loaded->get_attributes(), FieldText::kNameAndValue, false));

    // Sent again to the server: the anchor as it came.
    ObjectPtr returned = across_the_wire(*loaded);
    ASSERT_TRUE(returned.is_valid());
    ASSERT_EQ(0, ConfigObject::get_anchor(*returned, back));
    EXPECT_EQ(anchor, back);
  }
  EXPECT_EQ("1", raw_->value("SELECT count(*) FROM object WHERE global_id=999"));
}

}  // namespace
}  // namespace keldra_test
