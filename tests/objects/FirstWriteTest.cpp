// The exact attribute trees that the first write through each view creates.
#include "ItemViews.h"

#include <keldra/Frame.h>
#include <keldra/Link.h>
#include <keldra/Waypoint.h>

#include <tervo/GeoCoordinates.h>

#include <functional>
#include <vector>

namespace keldra_test {
namespace {

using orva::ErrorCode;
using orva::keldra::Frame;
using orva::keldra::Link;
using orva::keldra::Rating;
using orva::keldra::Waypoint;

Waypoint waypoint_at(double latitude, double longitude) {
  Waypoint waypoint;
  EXPECT_EQ(0, waypoint.position().set_coordinates(orva::GeoCoordinates(latitude, longitude)));
  return waypoint;
}

// Each write goes through an unbound child of an unbound object view, so it creates
// the object, the child's attribute under its role name and what it writes.
TEST_F(ItemViewTest, FirstWriteThroughAnObjectCreatesExactlyThisTree) {
  struct Case {
    const char* what;
    std::function<ErrorCode(TestItem&)> write;
    const char* expected;
  };
  const Case cases[] = {
      {"name with a language",
       [](TestItem& i) { return i.meta().set_name(ustring("Harbour"), ustring("en")); },
       "meta:metadata[name:text(text/8,language/8)]"},
      {"language-neutral description",
       [](TestItem& i) { return i.meta().set_description(ustring("Old pier"), ustring()); },
       "meta:metadata[description:text(text/8)]"},
      {"rich subtitle",
       [](TestItem& i) {
         return i.meta().set_rich_subtitle(ustring("<b>S</b>"), ustring("text/html"),
                                           ustring("fi"));
       },
       "meta:metadata[subtitle:text(rich_text/8,mime/8,language/8)]"},
      {"empty copyright", [](TestItem& i) { return i.meta().set_copyright(ustring()); },
       "meta:metadata(copyright/8)"},
      {"rating",
       [](TestItem& i) { return i.meta().rating().set_rating(Rating::AvgRating{4.5f, 10}); },
       "meta:metadata[avg_rating:rating(value/5,count/1)]"},
      {"tags", [](TestItem& i) { return i.meta().set_tags({ustring("a"), ustring("b")}); },
       "meta:metadata[tags:list(tag/8,tag/8)]"},
      {"one tag", [](TestItem& i) { return i.meta().add_tag(ustring("a")); },
       "meta:metadata[tags:list(tag/8)]"},
      {"icon",
       [](TestItem& i) { return i.meta().icons().add_item()->set_frameno(2); },
       "meta:metadata[icon:frame(frameno/1)]"},
      {"waypoint",
       [](TestItem& i) { return i.points().add_waypoint(waypoint_at(60.1, 24.9)); },
       "points:list[:way_point[position:position(latitude/6,longitude/6)]]"},
      {"data stream type", [](TestItem& i) { return i.data().set_mime("image/png"); },
       "data:data_stream(mime/8)"},
      {"data stream bytes",
       [](TestItem& i) { return i.data().set_data(std::vector<unsigned char>{1, 2}); },
       "data:data_stream(data/11)"},
      {"shared buffer",
       [](TestItem& i) {
         return i.data().set_data(SharedPointer<orva::keldra::DynamicBuffer>());
       },
       "data:data_stream(data/11)"},
      {"bit rate", [](TestItem& i) { return i.remote_info().set_bitrate(128000); },
       "remote_info:file_info(bitrate/4)"},
      {"duration", [](TestItem& i) { return i.remote_info().set_duration(-1); },
       "remote_info:file_info(duration/3)"},
      {"file size", [](TestItem& i) { return i.remote_info().set_file_size(5); },
       "remote_info:file_info(file_size/4)"},
      {"frame height", [](TestItem& i) { return i.remote_info().set_frame_height(480); },
       "remote_info:file_info(frame_height/2)"},
      {"frame rate", [](TestItem& i) { return i.remote_info().set_frame_rate(25.0f); },
       "remote_info:file_info(fps/5)"},
      {"frame width", [](TestItem& i) { return i.remote_info().set_frame_width(640); },
       "remote_info:file_info(frame_width/2)"},
      {"file type", [](TestItem& i) { return i.remote_uri().set_mime("image/jpeg"); },
       "remote_uri:uri(mime/8)"},
      {"file address",
       [](TestItem& i) { return i.remote_uri().set_url(ustring("http://h/p.jpg")); },
       "remote_uri:uri(url/8)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestItem item;
    ASSERT_EQ(0, c.write(item));
    ASSERT_TRUE(item.is_safe());
    EXPECT_EQ("item", item.object()->get_class_name());
    EXPECT_EQ(c.expected, typed_tree(item.object()->get_attributes()));
  }
}

// Root views make their own unnamed attribute; their children hang below it.
TEST_F(ItemViewTest, FirstWriteThroughARootViewCreatesExactlyThisTree) {
  struct Case {
    const char* what;
    std::function<ErrorCode(Frame&, Waypoint&)> write;
    bool frame;
    const char* expected;
  };
  const Case cases[] = {
      {"frame number", [](Frame& f, Waypoint&) { return f.set_frameno(1); }, true,
       ":frame(frameno/1)"},
      {"mask frame number", [](Frame& f, Waypoint&) { return f.set_mask_frameno(0); }, true,
       ":frame(mask_frameno/1)"},
      {"file link", [](Frame& f, Waypoint&) { return f.set_file_link(Link(5)); }, true,
       ":frame{file}"},
      {"frame tag", [](Frame& f, Waypoint&) { return f.tags().add_tag(ustring("x")); }, true,
       ":frame[tags:list(tag/8)]"},
      {"frame data", [](Frame& f, Waypoint&) { return f.data_stream().set_mime("a/b"); }, true,
       ":frame[data:data_stream(mime/8)]"},
      {"frame local address",
       [](Frame& f, Waypoint&) { return f.local_uri().set_url(ustring("/home/p.png")); }, true,
       ":frame[local_uri:uri(url/8)]"},
      {"comment", [](Frame&, Waypoint& w) { return w.comment().set_text(ustring("hi")); }, false,
       ":way_point[comment:text(text/8)]"},
      {"datum",
       [](Frame&, Waypoint& w) {
         return w.position().set_datum(orva::keldra::COORDINATE_DATUM_CHINA);
       },
       false,
       ":way_point[position:position(datum/1)]"},
      {"location", [](Frame&, Waypoint& w) { return w.set_location(Link(7)); }, false,
       ":way_point{location}"},
      {"attachment", [](Frame&, Waypoint& w) { return w.set_attachment(Link(8)); }, false,
       ":way_point{attachment}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Frame frame;
    Waypoint waypoint;
    ASSERT_EQ(0, c.write(frame, waypoint));
    const AttributeHandle& written = c.frame ? static_cast<AttributeHandle&>(frame) : waypoint;
    const AttributeHandle& untouched = c.frame ? static_cast<AttributeHandle&>(waypoint) : frame;
    ASSERT_TRUE(written.is_safe());
    EXPECT_FALSE(untouched.is_safe());
    EXPECT_EQ(c.expected, typed_tree(*written.attribute()));
  }
}

// A second write finds what the first one created instead of adding to it.
TEST_F(ItemViewTest, LaterWritesReuseTheCreatedAttributes) {
  TestItem item;
  ASSERT_EQ(0, item.meta().set_name(ustring("Harbour"), ustring("en")));
  ASSERT_EQ(0, item.meta().set_name(ustring("Satama"), ustring("fi")));
  ASSERT_EQ(0, item.meta().set_name(ustring("Port"), ustring("en")));
  ASSERT_EQ(0, item.meta().rating().set_rating(Rating::AvgRating{1.0f, 1}));
  ASSERT_EQ(0, item.meta().rating().set_rating(Rating::AvgRating{2.0f, 2}));
  ASSERT_EQ(0, item.meta().set_copyright(ustring("(c) A")));
  ASSERT_EQ(0, item.meta().set_copyright(ustring("(c) B")));
  ASSERT_EQ(0, item.remote_info().set_file_size(1));
  ASSERT_EQ(0, item.remote_info().set_file_size(2));
  EXPECT_EQ(
      "meta:metadata(copyright/8)[name:text(text/8,language/8) name:text(text/8,language/8) "
      "avg_rating:rating(value/5,count/1)] remote_info:file_info(file_size/4)",
      typed_tree(item.object()->get_attributes()));
  EXPECT_EQ(2u, item.remote_info().get_file_size());
}

}  // namespace
}  // namespace keldra_test
