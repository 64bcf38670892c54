// Binding a view to stored data and reading every value through it changes nothing:
// no list is given to an attribute that had none, nothing is marked modified, so the
// store has nothing to write back.
#include "ItemViews.h"

#include <keldra/DynamicBuffer.h>
#include <keldra/Frame.h>
#include <keldra/Link.h>
#include <keldra/Rating.h>
#include <keldra/Waypoint.h>

#include <tervo/GeoCoordinates.h>
#include <tervo/Location.h>

#include <functional>
#include <vector>

namespace keldra_test {
namespace {

using orva::keldra::DataStream;
using orva::keldra::FileInfo;
using orva::keldra::Frame;
using orva::keldra::Link;
using orva::keldra::Metadata;
using orva::keldra::Rating;
using orva::keldra::Uri;
using orva::keldra::Waypoint;
using orva::keldra::WaypointList;

void read_all(const Metadata& meta) {
  ustring text, mime;
  std::vector<ustring> tags;
  for (const char* language : {"", "en"}) {
    meta.get_name(text, ustring(language));
    meta.get_description(text, ustring(language));
    meta.get_subtitle(text, ustring(language));
    meta.get_rich_name(text, mime, ustring(language));
    meta.get_rich_description(text, mime, ustring(language));
    meta.get_rich_subtitle(text, mime, ustring(language));
  }
  meta.get_tags(tags);
  meta.get_copyright(text);
  meta.icon();
  Rating::AvgRating rating = {0, 0};
  meta.rating().get_rating(rating);
  meta.icons().get_frame_by_tag(ustring("small"));
}

void read_all(const Frame& frame) {
  frame.get_frameno();
  frame.get_mask_frameno();
  Link link;
  frame.get_file_link(link);
  std::vector<ustring> tags;
  frame.tags().get_tags(tags);
  std::string mime;
  frame.data_stream().get_mime(mime);
  frame.data_stream().get_data_length();
  frame.data_stream().get_buffer();
  ustring url;
  frame.local_uri().get_url(url);
  frame.local_uri().get_mime(mime);
}

void read_all(const Waypoint& waypoint) {
  orva::GeoCoordinates point;
  waypoint.position().get_coordinates(point);
  orva::Location location;
  waypoint.position().get_location(location);
  ustring comment;
  waypoint.comment().get_text(comment);
  Link link;
  waypoint.get_location(link);
  waypoint.get_attachment(link);
}

void read_all(const FileInfo& info) {
  info.get_bitrate();
  info.get_duration();
  info.get_file_size();
  info.get_frame_height();
  info.get_frame_rate();
  info.get_frame_width();
}

// Writes one of everything through an object view.
void fill(TestItem& item) {
  Metadata& meta = item.meta();
  ASSERT_EQ(0, meta.set_name(ustring("Harbour"), ustring("en")));
  ASSERT_EQ(0, meta.set_rich_description(ustring("<b>x</b>"), ustring("text/html"), ustring()));
  ASSERT_EQ(0, meta.add_tag(ustring("sea")));
  ASSERT_EQ(0, meta.set_copyright(ustring("(c)")));
  ASSERT_EQ(0, meta.rating().set_rating(Rating::AvgRating{4.5f, 2}));
  orva::SharedPointer<Frame> icon = meta.icons().add_item();
  ASSERT_TRUE(icon.is_valid());
  ASSERT_EQ(0, icon->set_frameno(2));
  ASSERT_EQ(0, icon->set_file_link(Link(7)));
  ASSERT_EQ(0, icon->tags().add_tag(ustring("small")));
  ASSERT_EQ(0, icon->data_stream().set_mime("image/png"));
  ASSERT_EQ(0, icon->local_uri().set_url(ustring("file:///a.png")));
  Waypoint waypoint;
  ASSERT_EQ(0, waypoint.position().set_coordinates(orva::GeoCoordinates(60.0, 24.0)));
  ASSERT_EQ(0, waypoint.comment().set_text(ustring("turn")));
  ASSERT_EQ(0, waypoint.set_location(Link(5)));
  ASSERT_EQ(0, item.points().add_waypoint(waypoint));
  ASSERT_EQ(0, item.data().set_data(std::vector<unsigned char>{1, 2}));
  ASSERT_EQ(0, item.remote_info().set_file_size(10));
  ASSERT_EQ(0, item.remote_uri().set_mime("image/jpeg"));
}

void read_all(TestItem& item) {
  read_all(item.meta());
  std::vector<Waypoint> waypoints;
  item.points().get_waypoints(waypoints);
  for (const Waypoint& waypoint : waypoints) read_all(waypoint);
  std::vector<unsigned char> bytes;
  item.data().get_data(bytes);
  read_all(item.remote_info());
  std::string mime;
  item.remote_uri().get_mime(mime);
}

// Attributes as foreign data may hold them: no field, child or link list at all.
TEST_F(ItemViewTest, ReadingBareAttributesMarksNothing) {
  struct Case {
    const char* class_name;
    std::function<void(const SharedPointer<Attribute>&)> read;
  };
  const Case cases[] = {
      {"metadata",
       [](const SharedPointer<Attribute>& a) {
         Metadata view;
         view.attach(a);
         read_all(view);
       }},
      {"frame",
       [](const SharedPointer<Attribute>& a) {
         Frame view;
         view.attach(a);
         read_all(view);
       }},
      {"way_point",
       [](const SharedPointer<Attribute>& a) {
         Waypoint view;
         view.attach(a);
         read_all(view);
       }},
      {"list",
       [](const SharedPointer<Attribute>& a) {
         WaypointList view;
         view.attach(a);
         std::vector<Waypoint> waypoints;
         EXPECT_EQ(0, view.get_waypoints(waypoints));
       }},
      {"file_info",
       [](const SharedPointer<Attribute>& a) {
         FileInfo view;
         view.attach(a);
         read_all(view);
       }},
      {"rating",
       [](const SharedPointer<Attribute>& a) {
         Rating view;
         view.attach(a);
         Rating::AvgRating rating = {0, 0};
         EXPECT_FALSE(view.get_rating(rating));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.class_name);
    SharedPointer<Attribute> attribute(new Attribute("stored", c.class_name));
    attribute->set_modified(false);
    c.read(attribute);
    EXPECT_FALSE(attribute->is_modified());
    EXPECT_EQ("stored:" + std::string(c.class_name), typed_tree(*attribute));
  }
}

TEST_F(ItemViewTest, ReadingAStoredObjectMarksNothing) {
  TestItem writer;
  fill(writer);
  SharedPointer<Object> object = writer.object();
  const std::string before = typed_tree(object->get_attributes());
  object->set_modified(false);

  TestItem reader;
  reader.attach(object);
  read_all(reader);
  EXPECT_FALSE(object->is_modified());
  EXPECT_EQ(before, typed_tree(object->get_attributes()));
}

}  // namespace
}  // namespace keldra_test
