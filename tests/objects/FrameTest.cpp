// Frames: absent values, the file link, children found by role and class, copies;
// frame lists found by tag.
#include "ItemViews.h"

#include <keldra/Frame.h>
#include <keldra/FrameArray.h>
#include <keldra/Link.h>
#include <keldra/LinkList.h>
#include <keldra/Metadata.h>

#include <vector>

namespace keldra_test {
namespace {

using orva::keldra::Frame;
using orva::keldra::FrameArray;
using orva::keldra::FrameTagCompare;
using orva::keldra::Link;
using orva::keldra::Metadata;

TEST_F(ItemViewTest, NewFrameReportsItsDefaults) {
  Frame frame;
  EXPECT_EQ(0, frame.get_frameno());
  EXPECT_EQ(-1, frame.get_mask_frameno());
  Link link(5);
  link.set_name(std::string("old"));
  EXPECT_FALSE(frame.get_file_link(link));
  EXPECT_FALSE(link.has_value());
  EXPECT_EQ("", link.get_name());
  EXPECT_FALSE(frame.is_safe());

  // Foreign data of another type reads as absent.
  SharedPointer<Attribute> attribute = make_attribute("icon", "frame");
  attribute->prepare_field("frameno")->set_value(std::string("3"));
  attribute->prepare_field("mask_frameno")->set_value(3.0f);
  frame.attach(attribute);
  EXPECT_EQ(0, frame.get_frameno());
  EXPECT_EQ(-1, frame.get_mask_frameno());

  ASSERT_EQ(0, frame.set_frameno(4));
  ASSERT_EQ(0, frame.set_mask_frameno(5));
  EXPECT_EQ(4, frame.get_frameno());
  EXPECT_EQ(5, frame.get_mask_frameno());
  EXPECT_EQ("icon:frame(frameno/1,mask_frameno/1)", typed_tree(*attribute));
}

TEST_F(ItemViewTest, FileLinkIsStoredUnderItsOwnName) {
  Frame frame;
  Link link(12);
  link.set_name(std::string("image"));
  ASSERT_EQ(0, frame.set_file_link(link));
  EXPECT_EQ("image", link.get_name());
  Link second;
  second.set_global_link(99);
  ASSERT_EQ(0, frame.set_file_link(second));
  EXPECT_EQ(":frame{file}", typed_tree(*frame.attribute()));

  Link out;
  EXPECT_TRUE(frame.get_file_link(out));
  EXPECT_EQ("file", out.get_name());
  EXPECT_EQ(0u, out.get_local_link());
  EXPECT_EQ(99u, out.get_global_link());

  // A link without target removes every "file" link.
  frame.attribute()->get_links().push_back(out);
  ASSERT_EQ(0, frame.set_file_link(Link()));
  EXPECT_EQ(0u, frame.attribute()->get_links().size());
  out = Link(1);
  EXPECT_FALSE(frame.get_file_link(out));
  EXPECT_FALSE(out.has_value());
}

TEST_F(ItemViewTest, FrameChildrenAreTheFirstOfTheirRoleAndClass) {
  SharedPointer<Attribute> attribute = make_attribute("icon", "frame");
  SharedPointer<Attribute> wrong_class = make_attribute("tags", "text");
  SharedPointer<Attribute> tags = make_attribute("tags", "list");
  tags->prepare_field("tag")->set_value(std::string("pin"));
  SharedPointer<Attribute> uri = make_attribute("local_uri", "uri");
  attribute->get_attributes().push_back(wrong_class);
  attribute->get_attributes().push_back(tags);
  attribute->get_attributes().push_back(make_attribute("tags", "list"));
  attribute->get_attributes().push_back(uri);

  Frame frame;
  frame.attach(attribute);
  EXPECT_EQ(tags, frame.tags().attribute());
  EXPECT_EQ(uri, frame.local_uri().attribute());
  EXPECT_FALSE(frame.data_stream().is_safe());

  // Copies are deep, keep the name and bind their own children.
  Frame copy(frame);
  EXPECT_EQ("icon", copy.get_name());
  ASSERT_TRUE(copy.tags().is_safe());
  EXPECT_NE(tags, copy.tags().attribute());
  ASSERT_EQ(0, copy.tags().add_tag(ustring("new")));
  ASSERT_EQ(0, copy.data_stream().set_mime("image/png"));
  std::vector<ustring> stored;
  frame.tags().get_tags(stored);
  EXPECT_EQ(std::vector<ustring>{ustring("pin")}, stored);
  EXPECT_FALSE(frame.data_stream().is_safe());

  // Assignment brings the copy's content back, children re-bound.
  frame = copy;
  EXPECT_EQ(attribute, frame.attribute());
  frame.tags().get_tags(stored);
  EXPECT_EQ((std::vector<ustring>{ustring("pin"), ustring("new")}), stored);
  ASSERT_TRUE(frame.data_stream().is_safe());
  EXPECT_EQ("icon:frame[tags:text tags:list(tag/8,tag/8) tags:list local_uri:uri "
            "data:data_stream(mime/8)]",
            typed_tree(*attribute));
}

// Frames as a metadata section holds them: the tags lead to an icon.
class FrameByTagTest : public ItemViewTest {
 protected:
  // Icons 0 to 4: [x], [y, z], [z], no tag list, an empty tag list; a frame of
  // another name lies between them.
  void SetUp() override {
    add_icon({ustring("x")});
    add_icon({ustring("y"), ustring("z")});
    m_meta.attribute()->get_attributes().push_back(make_attribute("thumb", "frame"));
    add_icon({ustring("z")});
    ASSERT_EQ(0, m_meta.icons().add_item()->set_frameno(3));
    add_icon({});
  }

  void add_icon(const std::vector<ustring>& tags) {
    SharedPointer<Frame> frame = m_meta.icons().add_item();
    ASSERT_TRUE(frame.is_valid());
    ASSERT_EQ(0, frame->set_frameno(static_cast<int>(m_meta.icons().count() - 1)));
    ASSERT_EQ(0, frame->tags().set_tags(tags));
  }

  int frameno_by_tag(const char* tag) const {
    SharedPointer<Frame> frame = m_meta.icons().get_frame_by_tag(ustring(tag));
    return frame.is_valid() ? frame->get_frameno() : -1;
  }

  Metadata m_meta;
};

TEST_F(FrameByTagTest, LookupTakesTheFirstMatchingFrame) {
  struct Case {
    const char* tag;
    int frameno;
  };
  const Case cases[] = {{"z", 1}, {"x", 0}, {"y", 1}, {"", 3}, {"q", -1}, {"Z", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    EXPECT_EQ(c.frameno, frameno_by_tag(c.tag));
  }

  // Once the untagged frames are gone, an empty tag finds the empty tag list.
  m_meta.icons().remove_item(3);
  EXPECT_EQ(4, frameno_by_tag(""));
  m_meta.icons().remove_item(3);
  EXPECT_EQ(-1, frameno_by_tag(""));
}

TEST_F(FrameByTagTest, AttachingFindsTheSameIcons) {
  Metadata again;
  again.attach(m_meta.attribute());
  EXPECT_EQ(5u, again.icons().count());
  SharedPointer<Frame> frame = again.icons().get_frame_by_tag(ustring("z"));
  ASSERT_TRUE(frame.is_valid());
  EXPECT_EQ(1, frame->get_frameno());
  EXPECT_EQ("icon", frame->get_name());

  const ustring tag("x");
  FrameTagCompare compare(tag);
  EXPECT_FALSE(compare(SharedPointer<Frame>()));
}

}  // namespace
}  // namespace keldra_test
