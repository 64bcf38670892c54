// The metadata section: texts per language, copyright, tags, the first icon, the
// rating and its edge rules, copying, and the results when the section cannot be made.
#include "ItemViews.h"

#include <keldra/Field.h>
#include <keldra/Frame.h>
#include <keldra/FrameArray.h>
#include <keldra/Rating.h>
#include <keldra/Waypoint.h>

#include <functional>
#include <vector>

namespace keldra_test {
namespace {

using orva::ErrorCode;
using orva::keldra::Field;
using orva::keldra::Frame;
using orva::keldra::FrameArray;
using orva::keldra::Metadata;
using orva::keldra::Rating;
using AvgRating = orva::keldra::Rating::AvgRating;

// A metadata attribute whose names are given as (text, language) pairs, a null
// language giving a language-neutral entry; other children lie between them.
SharedPointer<Attribute> names_section(
    const std::vector<std::pair<const char*, const char*>>& names) {
  SharedPointer<Attribute> meta = make_attribute("meta", "metadata");
  meta->get_attributes().push_back(make_attribute("description", "text"));
  for (const auto& name : names) {
    SharedPointer<Attribute> entry = make_attribute("name", "text");
    entry->prepare_field("text")->set_value(std::string(name.first));
    if (name.second) entry->prepare_field("language")->set_value(std::string(name.second));
    meta->get_attributes().push_back(entry);
    meta->get_attributes().push_back(make_attribute("icon", "frame"));
  }
  return meta;
}

TEST_F(ItemViewTest, NameLookupFollowsTheLanguageRules) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> names;
    const char* language;
    bool found;
    const char* expected;  // the output, which starts as "unchanged"
  };
  const Case cases[] = {
      {"empty language takes the neutral entry",
       {{"Port", "en"}, {"Neutral", nullptr}, {"Satama", "fi"}}, "", true, "Neutral"},
      {"empty language without a neutral entry takes the first",
       {{"Port", "en"}, {"Satama", "fi"}}, "", true, "Port"},
      {"a language takes its own entry", {{"Neutral", nullptr}, {"Satama", "fi"}}, "fi", true,
       "Satama"},
      {"a missing language never falls back", {{"Neutral", nullptr}, {"Port", "en"}}, "de",
       false, "unchanged"},
      {"languages compare exactly", {{"Port", "en"}}, "EN", false, "unchanged"},
      {"no names at all", {}, "", false, "unchanged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Metadata meta;
    meta.attach(names_section(c.names));
    ustring out("unchanged");
    EXPECT_EQ(c.found, meta.get_name(out, ustring(c.language)));
    EXPECT_EQ(ustring(c.expected), out);
  }
}

TEST_F(ItemViewTest, PlainAndRichFormsShareOneEntryPerLanguage) {
  Metadata meta;
  ASSERT_EQ(0, meta.set_name(ustring("Pier"), ustring("en")));
  ASSERT_EQ(0, meta.set_rich_name(ustring("<i>Pier</i>"), ustring("text/html"), ustring("en")));
  ASSERT_EQ(0, meta.set_name(ustring("Old pier"), ustring("en")));
  ASSERT_EQ(0, meta.set_rich_description(ustring("<p/>"), ustring("text/html"), ustring()));
  EXPECT_EQ(":metadata[name:text(text/8,language/8,rich_text/8,mime/8) "
            "description:text(rich_text/8,mime/8)]",
            typed_tree(*meta.attribute()));

  ustring text, rich, mime;
  EXPECT_TRUE(meta.get_name(text, ustring("en")));
  EXPECT_EQ(ustring("Old pier"), text);
  EXPECT_TRUE(meta.get_rich_name(rich, mime, ustring("en")));
  EXPECT_EQ(ustring("<i>Pier</i>"), rich);
  EXPECT_EQ(ustring("text/html"), mime);

  // An entry without a plain text is still found; the output stays as it was.
  text = ustring("kept");
  EXPECT_TRUE(meta.get_description(text, ustring()));
  EXPECT_EQ(ustring("kept"), text);
  EXPECT_FALSE(meta.get_subtitle(text, ustring()));
  EXPECT_FALSE(meta.get_rich_subtitle(rich, mime, ustring()));
}

TEST_F(ItemViewTest, CopyrightKeepsAnEmptyText) {
  Metadata meta;
  ustring out("unchanged");
  EXPECT_FALSE(meta.get_copyright(out));
  EXPECT_EQ(ustring("unchanged"), out);

  ASSERT_EQ(0, meta.set_copyright(ustring("(c) Ostra")));
  ASSERT_EQ(0, meta.set_copyright(ustring()));
  EXPECT_EQ(":metadata(copyright/8)", typed_tree(*meta.attribute()));
  EXPECT_TRUE(meta.get_copyright(out));
  EXPECT_EQ(ustring(), out);

  // A copyright of another type is reported as present, without a text.
  meta.attribute()->get_fields()[0].set_value(3);
  out = ustring("unchanged");
  EXPECT_TRUE(meta.get_copyright(out));
  EXPECT_EQ(ustring("unchanged"), out);
}

TEST_F(ItemViewTest, MetadataTagsForwardToTheTagList) {
  Metadata meta;
  std::vector<ustring> tags{ustring("kept")};
  meta.get_tags(tags);
  EXPECT_EQ(std::vector<ustring>{ustring("kept")}, tags);

  ASSERT_EQ(0, meta.set_tags({ustring("a"), ustring("b"), ustring("a")}));
  ASSERT_EQ(0, meta.add_tag(ustring("c")));
  ASSERT_EQ(0, meta.add_tag(ustring("b")));
  meta.get_tags(tags);
  EXPECT_EQ((std::vector<ustring>{ustring("b"), ustring("a"), ustring("c")}), tags);
  EXPECT_EQ(":metadata[tags:list(tag/8,tag/8,tag/8)]", typed_tree(*meta.attribute()));
}

TEST_F(ItemViewTest, IconIsADetachedCopyOfTheFirstIcon) {
  Metadata meta;
  Frame none = meta.icon();
  EXPECT_FALSE(none.is_safe());

  ASSERT_EQ(0, meta.icons().add_item()->set_frameno(1));
  ASSERT_EQ(0, meta.icons().add_item()->set_frameno(2));
  Frame first = meta.icon();
  ASSERT_TRUE(first.is_safe());
  EXPECT_EQ(1, first.get_frameno());
  EXPECT_EQ("icon", first.get_name());
  EXPECT_NE(meta.icons().get_item(0)->attribute(), first.attribute());

  ASSERT_EQ(0, first.set_frameno(9));
  ASSERT_EQ(0, first.tags().add_tag(ustring("t")));
  EXPECT_EQ(1, meta.icon().get_frameno());
  EXPECT_EQ(":metadata[icon:frame(frameno/1) icon:frame(frameno/1)]",
            typed_tree(*meta.attribute()));
}

TEST_F(ItemViewTest, RatingRoundTripsAndKeepsItsEdgeRules) {
  Rating rating;
  AvgRating out{-1.0f, -1};
  EXPECT_FALSE(rating.get_rating(out));
  EXPECT_EQ(-1.0f, out.value);
  EXPECT_EQ(-1, out.count);

  ASSERT_EQ(0, rating.set_rating(AvgRating{4.5f, 10}));
  EXPECT_EQ(":rating(value/5,count/1)", typed_tree(*rating.attribute()));
  EXPECT_TRUE(rating.get_rating(out));
  EXPECT_EQ(4.5f, out.value);
  EXPECT_EQ(10, out.count);

  struct Case {
    const char* what;
    std::function<void(Attribute&)> fields;
    bool result;
    AvgRating expected;  // from {-1, -1}
  };
  const Case cases[] = {
      {"count without value: the count is copied, the result is false",
       [](Attribute& a) { a.prepare_field("count")->set_value(3); }, false, {-1.0f, 3}},
      {"value of another type: true, the average untouched",
       [](Attribute& a) { a.prepare_field("value")->set_value(4.0); }, true, {-1.0f, -1}},
      {"count of another type is skipped",
       [](Attribute& a) {
         a.prepare_field("count")->set_value(3u);
         a.prepare_field("value")->set_value(2.5f);
       },
       true, {2.5f, -1}},
      {"no fields", [](Attribute&) {}, false, {-1.0f, -1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SharedPointer<Attribute> attribute = make_attribute("avg_rating", "rating");
    c.fields(*attribute);
    Rating view;
    view.attach(attribute);
    AvgRating got{-1.0f, -1};
    EXPECT_EQ(c.result, view.get_rating(got));
    EXPECT_EQ(c.expected.value, got.value);
    EXPECT_EQ(c.expected.count, got.count);
  }
}

TEST_F(ItemViewTest, RatingIsTheFirstAverageOfClassRating) {
  SharedPointer<Attribute> meta = make_attribute("meta", "metadata");
  SharedPointer<Attribute> other_class = make_attribute("avg_rating", "list");
  other_class->prepare_field("value")->set_value(1.0f);
  SharedPointer<Attribute> first = make_attribute("avg_rating", "rating");
  first->prepare_field("value")->set_value(2.0f);
  SharedPointer<Attribute> second = make_attribute("avg_rating", "rating");
  second->prepare_field("value")->set_value(3.0f);
  meta->get_attributes().push_back(other_class);
  meta->get_attributes().push_back(first);
  meta->get_attributes().push_back(second);

  Metadata view;
  view.attach(meta);
  EXPECT_EQ(first, view.rating().attribute());
  AvgRating out{0.0f, 0};
  EXPECT_TRUE(view.rating().get_rating(out));
  EXPECT_EQ(2.0f, out.value);

  // Only the other class is present: the rating stays unbound and a write adds one.
  SharedPointer<Attribute> lone = make_attribute("meta", "metadata");
  lone->get_attributes().push_back(make_attribute("avg_rating", "list"));
  view.attach(lone);
  EXPECT_FALSE(view.rating().is_safe());
  ASSERT_EQ(0, view.rating().set_rating(AvgRating{1.0f, 1}));
  EXPECT_EQ("meta:metadata[avg_rating:list avg_rating:rating(value/5,count/1)]", typed_tree(*lone));
}

TEST_F(ItemViewTest, AttachingReadsEveryMemberOfAStoredSection) {
  SharedPointer<Attribute> meta = names_section({{"Port", "en"}, {"Satama", "fi"}});
  SharedPointer<Attribute> tags = make_attribute("tags", "list");
  tags->prepare_field("tag")->set_value(std::string("harbour"));
  meta->get_attributes().push_back(tags);
  meta->get_attributes().push_back(make_attribute("thumb", "frame"));

  Metadata view;
  view.attach(meta);
  EXPECT_EQ(2u, view.names().count());
  EXPECT_EQ(1u, view.descriptions().count());  // an entry with no text is still an entry
  EXPECT_EQ(2u, view.icons().count());         // "thumb" is no icon
  EXPECT_EQ(tags, view.tags().attribute());

  // Re-binding to another section drops the old items.
  view.attach(make_attribute("meta", "metadata"));
  EXPECT_EQ(0u, view.names().count());
  EXPECT_EQ(0u, view.icons().count());
  EXPECT_FALSE(view.tags().is_safe());
}

TEST_F(ItemViewTest, CopiesAndAssignmentsOfMetadata) {
  TestItem item;
  ASSERT_EQ(0, item.meta().set_name(ustring("Port"), ustring("en")));
  ASSERT_EQ(0, item.meta().rating().set_rating(AvgRating{3.0f, 2}));
  ASSERT_EQ(0, item.meta().add_tag(ustring("t")));
  const std::string stored = typed_tree(item.object()->get_attributes());

  // A copy is a root view over a deep copy whose members are bound.
  Metadata copy(item.meta());
  ASSERT_TRUE(copy.is_safe());
  EXPECT_NE(item.meta().attribute(), copy.attribute());
  EXPECT_EQ("meta", copy.get_name());
  ustring name;
  EXPECT_TRUE(copy.get_name(name, ustring("en")));
  EXPECT_EQ(ustring("Port"), name);
  ASSERT_EQ(0, copy.set_name(ustring("Quay"), ustring("en")));
  ASSERT_EQ(0, copy.set_subtitle(ustring("s"), ustring()));
  EXPECT_EQ(stored, typed_tree(item.object()->get_attributes()));

  // Assigning into the item's section rewrites that attribute in place.
  SharedPointer<Attribute> section = item.meta().attribute();
  item.meta() = copy;
  EXPECT_EQ(section, item.meta().attribute());
  EXPECT_TRUE(item.meta().get_name(name, ustring("en")));
  EXPECT_EQ(ustring("Quay"), name);
  EXPECT_EQ(1u, item.meta().subtitles().count());
  AvgRating rating{0.0f, 0};
  EXPECT_TRUE(item.meta().rating().get_rating(rating));
  EXPECT_EQ(2, rating.count);

  Metadata unbound;
  Metadata unbound_copy(unbound);
  EXPECT_FALSE(unbound_copy.is_safe());
}

// An icon list assigned from another section's takes deep copies of its icons in place
// of its own; the other children of the section stay.
TEST_F(ItemViewTest, IconListsAssignAsDeepCopies) {
  Metadata source;
  Frame frame;
  ASSERT_EQ(0, frame.set_frameno(1));
  ASSERT_EQ(0, frame.tags().set_tags({ustring("pin")}));
  ASSERT_TRUE(source.icons().add_item(frame).is_valid());
  ASSERT_EQ(0, frame.set_frameno(2));
  ASSERT_TRUE(source.icons().add_item(frame).is_valid());

  Metadata target;
  ASSERT_EQ(0, target.set_name(ustring("n"), ustring()));
  ASSERT_TRUE(target.icons().add_item().is_valid());
  ASSERT_EQ(0, target.set_copyright(ustring("c")));
  target.icons() = source.icons();

  EXPECT_EQ(":metadata(copyright/8)[name:text(text/8) icon:frame(frameno/1)[tags:list(tag/8)] "
            "icon:frame(frameno/1)[tags:list(tag/8)]]",
            typed_tree(*target.attribute()));
  ASSERT_EQ(2u, target.icons().count());
  EXPECT_EQ(2, target.icons().get_item(1)->get_frameno());
  EXPECT_NE(source.icons().get_item(0)->attribute(), target.icons().get_item(0)->attribute());
  SharedPointer<Frame> pinned = target.icons().get_frame_by_tag(ustring("pin"));
  ASSERT_TRUE(pinned.is_valid());
  ASSERT_EQ(0, pinned->set_frameno(7));
  EXPECT_EQ(1, source.icon().get_frameno());

  // Self-assignment changes nothing; a copied list has no parent and so no icons.
  const std::string before = typed_tree(*target.attribute());
  FrameArray& icons = target.icons();
  target.icons() = icons;
  EXPECT_EQ(before, typed_tree(*target.attribute()));
  EXPECT_EQ(2u, target.icons().count());
  FrameArray copy(source.icons());
  EXPECT_EQ(0u, copy.count());
  EXPECT_EQ(2u, source.icons().count());
}

TEST_F(ItemViewTest, RatingCopiesAndAssignments) {
  TestItem item;
  ASSERT_EQ(0, item.meta().rating().set_rating(AvgRating{2.0f, 4}));
  const SharedPointer<Attribute> stored = item.meta().rating().attribute();

  Rating copy(item.meta().rating());
  ASSERT_TRUE(copy.is_safe());
  EXPECT_NE(stored, copy.attribute());
  EXPECT_EQ("avg_rating", copy.get_name());
  ASSERT_EQ(0, copy.set_rating(AvgRating{5.0f, 5}));

  AvgRating out{0.0f, 0};
  EXPECT_TRUE(item.meta().rating().get_rating(out));
  EXPECT_EQ(2.0f, out.value);
  EXPECT_EQ(4, out.count);

  item.meta().rating() = copy;
  EXPECT_EQ(stored, item.meta().rating().attribute());
  EXPECT_TRUE(item.meta().rating().get_rating(out));
  EXPECT_EQ(5.0f, out.value);
  EXPECT_EQ(5, out.count);
  EXPECT_EQ("avg_rating:rating(value/5,count/1)", typed_tree(*stored));

  Rating unbound;
  Rating unbound_copy(unbound);
  EXPECT_FALSE(unbound_copy.is_safe());
}

// A section whose parent does not create it (here a waypoint, which knows only its
// position and comment) stores nothing and says so.
TEST_F(ItemViewTest, SettersReportASectionThatCannotBeCreated) {
  struct Case {
    const char* what;
    std::function<ErrorCode(Metadata&)> write;
    ErrorCode expected;
  };
  const Case cases[] = {
      {"name", [](Metadata& m) { return m.set_name(ustring("n"), ustring("en")); }, 2},
      {"rich name",
       [](Metadata& m) { return m.set_rich_name(ustring("r"), ustring("m"), ustring()); }, 2},
      {"copyright", [](Metadata& m) { return m.set_copyright(ustring("c")); }, 2},
      {"rating", [](Metadata& m) { return m.rating().set_rating(AvgRating{1.0f, 1}); }, 2},
      {"tags", [](Metadata& m) { return m.set_tags({ustring("t")}); }, 7},
      {"one tag", [](Metadata& m) { return m.add_tag(ustring("t")); }, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    orva::keldra::Waypoint owner;
    Metadata meta;
    meta.set_parent(&owner);
    EXPECT_EQ(c.expected, c.write(meta));
    EXPECT_FALSE(meta.is_safe());
    ASSERT_TRUE(owner.is_safe());  // the parent itself was made first
    EXPECT_EQ(":way_point", typed_tree(*owner.attribute()));
  }
}

}  // namespace
}  // namespace keldra_test
