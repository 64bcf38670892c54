// The view framework: binding, creation on first write, child views, copy and
// assignment, field access, custom sections and name tables.
#include "support/SampleViews.h"

#include <keldra/Field.h>
#include <keldra/FieldList.h>
#include <keldra/LinkList.h>

#include <tervo/GeoCoordinates.h>

#include <cmath>
#include <functional>
#include <vector>

namespace keldra_test {
namespace {

using orva::ustring;
using orva::keldra::AttributeHandleManager;
using orva::keldra::Field;
using orva::keldra::ObjectHandle;
using orva::keldra::Position;
using orva::keldra::PositionStrings;
using orva::keldra::TagList;
using orva::keldra::Text;
using orva::keldra::TextStrings;

// An object such as the store would hand out: a place with a position, a card with a
// title and two lines, a name, and no marks left.
SharedPointer<Object> stored_place() {
  SharedPointer<Object> object(new Object("place"));
  object->set_name("harbour");
  object->set_local_id(41);
  object->set_global_id(9041);
  SharedPointer<Attribute> position = make_attribute("position", "position");
  position->prepare_field("latitude")->set_value(60.1);
  position->prepare_field("longitude")->set_value(24.9);
  object->get_attributes().push_back(position);
  SharedPointer<Attribute> card = make_attribute("card", "card");
  SharedPointer<Attribute> title = make_attribute("title", "text");
  title->prepare_field("text")->set_value(std::string("Pier"));
  card->get_attributes().push_back(title);
  for (const char* text : {"one", "two"}) {
    SharedPointer<Attribute> line = make_attribute("line", "text");
    line->prepare_field("text")->set_value(std::string(text));
    card->get_attributes().push_back(line);
  }
  object->get_attributes().push_back(card);
  SharedPointer<Attribute> name = make_attribute("name", "text");
  name->prepare_field("text")->set_value(std::string("Harbour"));
  object->get_attributes().push_back(name);
  object->set_modified(false);
  return object;
}

// ---- creation on first write ----

TEST_F(ViewTest, FirstWriteCreatesExactlyTheMissingTree) {
  struct Case {
    const char* what;
    std::function<orva::ErrorCode(TestPlace&)> write;
    const char* expected;
  };
  const Case cases[] = {
      {"child of the object",
       [](TestPlace& p) { return p.position().set_timestamp(5); },
       "position:position(time)"},
      {"grandchild: object, card and title",
       [](TestPlace& p) { return p.card().title().set_text(ustring("Pier")); },
       "card:card[title:text(text)]"},
      {"tag list under the card",
       [](TestPlace& p) { return p.card().tags().set_tags({ustring("a"), ustring("b")}); },
       "card:card[tags:list(tag,tag)]"},
      {"item of a named list under the card",
       [](TestPlace& p) { return p.card().lines().add_text(ustring("l1"), ustring()); },
       "card:card[line:text(text)]"},
      {"item of a named list of the object",
       [](TestPlace& p) { return p.names().add_text(ustring("Harbour"), ustring("en")); },
       "name:text(text,language)"},
      {"position list by context",
       [](TestPlace& p) {
         Position where;
         where.set_coordinates(orva::GeoCoordinates(60.0, 25.0));
         return p.positions().set_item_by_context(where, "home");
       },
       "position.home:position(latitude,longitude)"},
      {"field of the card itself",
       [](TestPlace& p) { return p.card().set_field(handle("colour"), 3); },
       "card:card(colour)"},
      {"sharing creates only the object",
       [](TestPlace& p) {
         p.set_sharing(orva::keldra::SHARING_PUBLIC_READ_ONLY);
         return orva::ErrorCode(0);
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestPlace place;
    EXPECT_EQ(0, c.write(place));
    ASSERT_TRUE(place.is_safe());
    EXPECT_EQ("place", place.object()->get_class_name());
    EXPECT_EQ(c.expected, name_tree(place.object()->get_attributes()));
  }
}

TEST_F(ViewTest, RootViewCreatesUnnamedAttributeOfItsClass) {
  Text text;
  EXPECT_EQ(0, text.set_text(ustring("free")));
  ASSERT_TRUE(text.is_safe());
  EXPECT_EQ(":text(text)", name_tree(*text.attribute()));

  TestCard card;
  EXPECT_TRUE(card.init());
  EXPECT_EQ(":card", name_tree(*card.attribute()));
  EXPECT_FALSE(card.title().is_safe());  // children wait for their own first write
}

TEST_F(ViewTest, ChildThatItsParentDoesNotKnowCannotBeCreated) {
  TestCard card;
  Text stray;
  stray.set_parent(&card);
  EXPECT_EQ(2, stray.set_text(ustring("lost")));
  EXPECT_EQ(2, stray.set_time_field(handle("time"), 1));
  EXPECT_EQ(nullptr, stray.prepare_field(handle("text")));
  EXPECT_FALSE(stray.is_safe());
  // The parent was created on the way, but holds nothing for the stray view.
  ASSERT_TRUE(card.is_safe());
  EXPECT_EQ(":card", name_tree(*card.attribute()));
}

TEST_F(ViewTest, WriteAfterRoleAddedBehindTheViewsBackAddsSecondAttribute) {
  TestPlace place;
  place.attach(stored_place());
  // Another holder gives the card a tag list after the view was bound.
  place.object()->get_attributes()[1]->get_attributes().push_back(make_attribute("tags", "list"));
  EXPECT_EQ(0, place.card().tags().add_tag(ustring("x")));
  EXPECT_EQ("card:card[title:text(text) line:text(text) line:text(text) tags:list tags:list(tag)]",
            name_tree(*place.object()->get_attributes()[1]));
}

// ---- reads create nothing ----

TEST_F(ViewTest, ReadsThroughUnboundViewsReportAbsenceAndCreateNothing) {
  TestPlace place;
  ustring text("kept");
  int number = 7;
  long long time = 99;
  orva::GeoCoordinates coordinates(1.0, 2.0, 3.0);
  std::vector<ustring> tags{ustring("kept")};

  EXPECT_FALSE(place.card().title().get_text(text));
  EXPECT_FALSE(place.card().get_field(handle("n"), number));
  EXPECT_FALSE(place.card().get_time_field(handle("t"), time));
  EXPECT_TRUE(std::isnan(place.card().get_float_val(handle("f"))));
  EXPECT_EQ(0u, place.card().get_field_data_length(handle("f")));
  EXPECT_FALSE(place.card().has_field_value(handle("f")));
  EXPECT_FALSE(place.card().has_value());
  EXPECT_EQ("", place.card().get_name());
  place.position().get_coordinates(coordinates);
  place.card().tags().get_tags(tags);
  EXPECT_EQ(0, place.position().get_datum());
  EXPECT_EQ(0, place.position().get_timestamp());
  EXPECT_EQ(-1, place.names().get_text_by_language(ustring(), text));
  EXPECT_FALSE(place.positions().get_item_by_context("").is_valid());
  EXPECT_EQ(0u, place.get_local_id());
  EXPECT_EQ("", place.get_name());
  EXPECT_EQ(orva::keldra::SHARING_PRIVATE, place.get_sharing());
  place.card().remove_field(handle("f"));
  place.card().title().set_language(ustring());  // removing needs no attribute

  EXPECT_EQ(ustring("kept"), text);
  EXPECT_EQ(7, number);
  EXPECT_EQ(99, time);
  EXPECT_EQ(3.0, coordinates.get_altitude());
  EXPECT_EQ(1u, tags.size());
  EXPECT_FALSE(place.is_safe());
  EXPECT_FALSE(place.card().is_safe());
  EXPECT_FALSE(place.card().title().is_safe());
}

TEST_F(ViewTest, BindingAndReadingLeaveStoredObjectUntouched) {
  SharedPointer<Object> object = stored_place();
  const std::string before = name_tree(object->get_attributes());
  // A title without children and a card whose tags are absent: binding looks for
  // children without creating child lists.
  TestPlace place;
  place.attach(object);
  ustring text;
  std::vector<ustring> tags;
  orva::GeoCoordinates coordinates;
  EXPECT_TRUE(place.card().title().get_text(text));
  EXPECT_EQ(ustring("Pier"), text);
  place.card().tags().get_tags(tags);
  place.position().get_coordinates(coordinates);
  EXPECT_EQ(60.1, coordinates.get_latitude());
  EXPECT_EQ(2u, place.card().lines().count());
  EXPECT_EQ(1u, place.names().count());
  EXPECT_EQ(1u, place.positions().count());
  std::vector<ustring> languages;
  place.names().get_all_languages(languages);
  place.card().remove_field(handle("absent"));

  EXPECT_FALSE(object->is_modified());
  EXPECT_EQ(before, name_tree(object->get_attributes()));

  // A card without children: looking for its title and lines must not give it a
  // child list, which would mark it modified.
  SharedPointer<Object> bare(new Object("place"));
  bare->get_attributes().push_back(make_attribute("card", "card"));
  bare->set_modified(false);
  place.attach(bare);
  EXPECT_TRUE(place.card().is_safe());
  EXPECT_FALSE(place.card().title().is_safe());
  EXPECT_FALSE(place.card().title().get_text(text));
  EXPECT_EQ(0u, place.card().lines().count());
  EXPECT_FALSE(bare->is_modified());
}

// ---- binding ----

TEST_F(ViewTest, AttachBindsChildrenByRoleNameAndClass) {
  SharedPointer<Object> object = stored_place();
  // A second "card" of another class and a "title" that is no text are not taken.
  object->get_attributes().insert(0, make_attribute("card", "other"));
  TestPlace place;
  place.attach(object);
  ASSERT_TRUE(place.card().is_safe());
  EXPECT_EQ("card", place.card().attribute()->get_class_name());
  EXPECT_EQ(object->get_attributes()[2], place.card().attribute());
  EXPECT_EQ(place.card().attribute()->get_attributes()[0], place.card().title().attribute());
  EXPECT_FALSE(place.card().tags().is_safe());
}

TEST_F(ViewTest, AttachOfHeldAttributeDoesNothingAtAll) {
  SharedPointer<Object> object = stored_place();
  SharedPointer<Attribute> card = object->get_attributes()[1];
  TestCard view;
  view.attach(card);
  ASSERT_EQ(1, view.reset_self_calls);
  Text& title = view.title();
  title.attach(SharedPointer<Attribute>());  // unbound behind the parent's back
  view.attach(card);
  EXPECT_EQ(1, view.reset_self_calls);
  EXPECT_FALSE(title.is_safe());  // no re-binding happened
}

TEST_F(ViewTest, ObjectAttachOfHeldObjectRebindsChildren) {
  TestPlace place;
  place.attach(stored_place());
  place.card().attach(SharedPointer<Attribute>());
  place.attach(place.object());
  EXPECT_TRUE(place.card().is_safe());
  EXPECT_TRUE(place.card().title().is_safe());
}

TEST_F(ViewTest, AttachOfNothingDiffersBetweenAttributeAndObjectViews) {
  SharedPointer<Object> object = stored_place();
  TestPlace place;
  place.attach(object);

  // An attribute view lets go of its attribute and its whole subtree of views.
  place.card().attach(SharedPointer<Attribute>());
  EXPECT_FALSE(place.card().is_safe());
  EXPECT_FALSE(place.card().title().is_safe());
  EXPECT_EQ(0u, place.card().lines().count());

  // An object view keeps its object and binds its children again.
  place.attach(SharedPointer<Object>());
  EXPECT_EQ(object, place.object());
  EXPECT_TRUE(place.card().title().is_safe());
  EXPECT_EQ(2u, place.card().lines().count());
}

TEST_F(ViewTest, ResetUnbindsWholeSubtreeAndLeavesDataInPlace) {
  SharedPointer<Object> object = stored_place();
  const std::string before = name_tree(object->get_attributes());
  TestPlace place;
  place.attach(object);
  SharedPointer<Attribute> card = place.card().attribute();

  place.card().reset();
  EXPECT_FALSE(place.card().is_safe());
  EXPECT_FALSE(place.card().title().is_safe());
  EXPECT_EQ(0u, place.card().lines().count());
  EXPECT_TRUE(place.position().is_safe());

  place.reset();
  EXPECT_FALSE(place.is_safe());
  EXPECT_FALSE(place.position().is_safe());
  EXPECT_EQ(0u, place.names().count());
  EXPECT_EQ(0u, place.positions().count());
  EXPECT_EQ(before, name_tree(object->get_attributes()));
  EXPECT_EQ(object->get_attributes()[1], card);
}

// ---- copy and assignment ----

TEST_F(ViewTest, CopyOfChildViewIsRootWithOwnDeepCopy) {
  TestPlace place;
  place.attach(stored_place());
  TestCard copy(place.card());
  ASSERT_TRUE(copy.is_safe());
  EXPECT_EQ(nullptr, copy.get_parent());
  EXPECT_NE(place.card().attribute(), copy.attribute());
  EXPECT_EQ(name_tree(*place.card().attribute()), name_tree(*copy.attribute()));
  EXPECT_EQ(2u, copy.lines().count());

  EXPECT_EQ(0, copy.title().set_text(ustring("Changed")));
  ustring text;
  place.card().title().get_text(text);
  EXPECT_EQ(ustring("Pier"), text);

  TestCard empty;
  TestCard unbound_copy(empty);
  EXPECT_FALSE(unbound_copy.is_safe());
}

TEST_F(ViewTest, CopyResults) {
  TestCard bound;
  bound.title().set_text(ustring("x"));
  bound.set_field(handle("colour"), 1);
  TestCard unbound;
  TestCard other_unbound;

  EXPECT_EQ(3, unbound.copy(other_unbound));
  EXPECT_FALSE(unbound.is_safe());
  EXPECT_FALSE(other_unbound.is_safe());
  EXPECT_EQ(3, bound.copy(bound));

  SharedPointer<Attribute> kept = bound.attribute();
  EXPECT_EQ(0, bound.copy(unbound));  // empties the bound attribute in place
  EXPECT_EQ(kept, bound.attribute());
  EXPECT_EQ(":card", name_tree(*bound.attribute()));
  EXPECT_FALSE(bound.title().is_safe());

  TestPlace place;
  Text stray;
  stray.set_parent(&place.card());
  Text source;
  source.set_text(ustring("s"));
  EXPECT_EQ(2, stray.copy(source));
}

TEST_F(ViewTest, CopyKeepsClassAndNamesOnlyUnnamedRootAttributes) {
  SharedPointer<Attribute> named = make_attribute("label", "text");
  Text source;
  source.attach(named);
  source.set_text(ustring("s"));

  Text unnamed_root;
  unnamed_root.set_language(ustring("fi"));
  EXPECT_EQ(0, unnamed_root.copy(source));
  EXPECT_EQ("label:text(text)", name_tree(*unnamed_root.attribute()));

  Text named_root;
  named_root.attach(make_attribute("own", "text"));
  EXPECT_EQ(0, named_root.copy(source));
  EXPECT_EQ("own:text(text)", name_tree(*named_root.attribute()));

  TestPlace place;
  place.card().title().set_text(ustring("t"));
  EXPECT_EQ(0, place.card().title().copy(source));
  EXPECT_EQ("title:text(text)", name_tree(*place.card().title().attribute()));
}

TEST_F(ViewTest, AssigningIntoChildViewRewritesStoredTreeInPlace) {
  SharedPointer<Object> object = stored_place();
  TestPlace place;
  place.attach(object);
  SharedPointer<Attribute> card = object->get_attributes()[1];

  TestCard replacement;
  replacement.title().set_text(ustring("New"));
  replacement.tags().add_tag(ustring("t"));
  place.card() = replacement;

  EXPECT_EQ(card, object->get_attributes()[1]);
  EXPECT_EQ("card:card[title:text(text) tags:list(tag)]", name_tree(*card));
  EXPECT_NE(replacement.attribute(), place.card().attribute());
}

// Child views and list items must stand over attributes their parent still holds.
void expect_card_views_in_step(TestCard& card) {
  ASSERT_TRUE(card.is_safe());
  const AttributeList& children = card.attribute()->get_attributes();
  auto held = [&children](const SharedPointer<Attribute>& a) {
    for (unsigned int i = 0; i < children.size(); ++i) {
      if (children[i] == a) return true;
    }
    return false;
  };
  if (card.title().is_safe()) {
    EXPECT_TRUE(held(card.title().attribute()));
  }
  if (card.tags().is_safe()) {
    EXPECT_TRUE(held(card.tags().attribute()));
  }
  for (unsigned int i = 0; i < card.lines().count(); ++i) {
    EXPECT_TRUE(held(card.lines().get_item(i)->attribute())) << "line " << i;
  }
}

TEST_F(ViewTest, CopyAndAssignmentLeaveNoChildViewOnDroppedAttributes) {
  struct Case {
    const char* what;
    std::function<void(TestCard& target, const TestCard& source)> apply;
  };
  const Case cases[] = {
      {"assignment", [](TestCard& t, const TestCard& s) { t = s; }},
      {"copy alone", [](TestCard& t, const TestCard& s) { EXPECT_EQ(0, t.copy(s)); }},
      {"copy from unbound", [](TestCard& t, const TestCard&) { EXPECT_EQ(0, t.copy(TestCard())); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestPlace place;
    place.attach(stored_place());
    TestCard source;
    source.title().set_text(ustring("Other"));
    source.lines().add_text(ustring("only"), ustring());
    c.apply(place.card(), source);
    expect_card_views_in_step(place.card());

    // Writing through the re-bound children changes the stored card, and adds no
    // second title.
    EXPECT_EQ(0, place.card().title().set_text(ustring("Again")));
    EXPECT_EQ(0, place.card().tags().add_tag(ustring("t")));
    const AttributeList& children = place.object()->get_attributes()[1]->get_attributes();
    int title = children.find_attribute(handle("title"), handle("text"), 0);
    ASSERT_GE(title, 0);
    EXPECT_EQ(-1, children.find_attribute(handle("title"), handle("text"), title + 1));
    ustring text;
    Text stored;
    stored.attach(children[title]);
    stored.get_text(text);
    EXPECT_EQ(ustring("Again"), text);
  }
}

TEST_F(ViewTest, ObjectCopyTakesIdentifiersAndContentButKeepsClass) {
  TestPlace source;
  source.attach(stored_place());
  TestPlace target;
  target.position().set_timestamp(1);
  SharedPointer<Object> kept = target.object();
  target.object()->set_class_name("renamed-place-kind");

  EXPECT_EQ(0, target.copy(source));
  EXPECT_EQ(kept, target.object());
  EXPECT_EQ(41u, target.get_local_id());
  EXPECT_EQ(9041u, target.object()->get_global_id());
  EXPECT_EQ("harbour", target.get_name());
  EXPECT_EQ("renamed-place-kind", target.object()->get_class_name());
  EXPECT_EQ(name_tree(source.object()->get_attributes()),
            name_tree(target.object()->get_attributes()));
  // Children follow the copied attributes, not the dropped ones.
  EXPECT_EQ(target.object()->get_attributes()[0], target.position().attribute());
  EXPECT_EQ(2u, target.card().lines().count());
  expect_card_views_in_step(target.card());

  EXPECT_EQ(3, target.copy(target));
  TestPlace unbound;
  EXPECT_EQ(3, unbound.copy(TestPlace()));
  EXPECT_EQ(0, target.copy(unbound));  // an unbound source leaves the object as it was
  EXPECT_EQ(41u, target.get_local_id());
}

TEST_F(ViewTest, ObjectCopyConstructionAndAssignment) {
  TestPlace source;
  source.attach(stored_place());
  TestPlace copy(source);
  ASSERT_TRUE(copy.is_safe());
  EXPECT_NE(source.object(), copy.object());
  EXPECT_EQ(41u, copy.get_local_id());
  EXPECT_EQ(1u, copy.names().count());
  copy.card().title().set_text(ustring("Mine"));
  ustring text;
  source.card().title().get_text(text);
  EXPECT_EQ(ustring("Pier"), text);

  TestPlace assigned;
  assigned = source;
  EXPECT_EQ("place", assigned.object()->get_class_name());
  EXPECT_EQ(2u, assigned.card().lines().count());
  expect_card_views_in_step(assigned.card());
  assigned = assigned;  // self-assignment changes nothing
  EXPECT_EQ(2u, assigned.card().lines().count());
}

// ---- field access ----

TEST_F(ViewTest, TypedFieldAccess) {
  TestCard card;
  ASSERT_EQ(0, card.set_field(handle("i"), -5));
  ASSERT_EQ(0, card.set_field(handle("u"), 7u));
  ASSERT_EQ(0, card.set_field(handle("ull"), 1ull << 40));
  ASSERT_EQ(0, card.set_field(handle("f"), 1.5f));
  ASSERT_EQ(0, card.set_field(handle("d"), 2.25));
  ASSERT_EQ(0, card.set_field(handle("s"), ustring("text")));
  ASSERT_EQ(0, card.set_field(std::string("u2"), 8u));
  ASSERT_EQ(0, card.set_field(std::string("ull2"), 9ull));
  ASSERT_EQ(0, card.set_time_field(std::string("t"), 1234LL));
  const unsigned short units[] = {'a', 'b', 'c'};
  ASSERT_EQ(0, card.set_ustring_field(std::string("raw"), units, 2));
  EXPECT_EQ(":card(i,u,ull,f,d,s,u2,ull2,t,raw)", name_tree(*card.attribute()));

  int i = 0;
  unsigned int u = 0;
  unsigned long long ull = 0;
  float f = 0;
  double d = 0;
  ustring s;
  long long t = 0;
  EXPECT_TRUE(card.get_field(handle("i"), i));
  EXPECT_TRUE(card.get_field(handle("u"), u));
  EXPECT_TRUE(card.get_field(handle("ull"), ull));
  EXPECT_TRUE(card.get_field(handle("f"), f));
  EXPECT_TRUE(card.get_field(handle("d"), d));
  EXPECT_TRUE(card.get_field(handle("s"), s));
  EXPECT_TRUE(card.get_time_field(handle("t"), t));
  EXPECT_EQ(-5, i);
  EXPECT_EQ(7u, u);
  EXPECT_EQ(1ull << 40, ull);
  EXPECT_EQ(1.5f, f);
  EXPECT_EQ(2.25, d);
  EXPECT_EQ(ustring("text"), s);
  EXPECT_EQ(1234, t);
  EXPECT_TRUE(card.get_field(handle("raw"), s));
  EXPECT_EQ(ustring("ab"), s);

  // A field of another type: present, output untouched; NaN for floats.
  int untouched = 42;
  EXPECT_TRUE(card.get_field(handle("s"), untouched));
  EXPECT_EQ(42, untouched);
  EXPECT_TRUE(std::isnan(card.get_float_val(handle("i"))));
  EXPECT_EQ(1.5f, card.get_float_val(std::string("f")));
  EXPECT_TRUE(std::isnan(card.get_float_val(handle("absent"))));
  EXPECT_TRUE(card.get_time_field(handle("i"), t));
  EXPECT_EQ(0, t);

  EXPECT_EQ(4u, card.get_field_data_length(handle("s")));
  EXPECT_EQ(8u, card.get_field_data_length(std::string("d")));
  EXPECT_TRUE(card.has_field_value(handle("u")));
  EXPECT_TRUE(card.has_value());

  // A second write replaces the first field of the name; prepare_field gives it.
  EXPECT_EQ(0, card.set_field(handle("i"), 6));
  EXPECT_EQ(card.prepare_field(handle("i")), card.prepare_field(std::string("i")));
  card.attribute()->add_field(handle("i"));
  card.remove_field(handle("i"));
  EXPECT_FALSE(card.get_field(handle("i"), i));
  EXPECT_FALSE(card.has_field_value(handle("i")));
  Field* empty = card.prepare_field(handle("empty"));
  ASSERT_NE(nullptr, empty);
  EXPECT_FALSE(card.has_field_value(handle("empty")));
}

// ---- custom sections ----

TEST_F(ViewTest, CustomSectionsAreBoundAndCreatedUnderTheirName) {
  SharedPointer<Object> object = stored_place();
  object->get_attributes().push_back(make_attribute("extra", "text"));
  TestPlace place;
  place.attach(object);

  SharedPointer<AttributeHandle> extra(new Text);
  SharedPointer<AttributeHandle> note(new Text);
  EXPECT_EQ(0, place.register_custom_section(extra, handle("extra")));
  EXPECT_EQ(0, place.register_custom_section(note, handle("note")));
  EXPECT_EQ(4, place.register_custom_section(SharedPointer<AttributeHandle>(new Text),
                                            handle("note")));
  EXPECT_EQ(3, place.register_custom_section(SharedPointer<AttributeHandle>(), handle("x")));
  EXPECT_EQ(note, place.get_custom_section_handler(handle("note")));
  EXPECT_FALSE(place.get_custom_section_handler(handle("other")).is_valid());

  EXPECT_EQ(&place, extra->get_parent());
  EXPECT_EQ(object->get_attributes()[3], extra->attribute());
  EXPECT_FALSE(note->is_safe());
  EXPECT_EQ(0, static_cast<Text&>(*note).set_text(ustring("n")));
  EXPECT_EQ("note:text(text)", name_tree(*object->get_attributes()[4]));

  place.reset();
  EXPECT_FALSE(extra->is_safe());
  place.attach(object);
  EXPECT_TRUE(note->is_safe());
}

TEST_F(ViewTest, CustomSectionOutlivingItsObjectViewStandsAlone) {
  SharedPointer<AttributeHandle> section(new Text);
  {
    TestPlace place;
    place.register_custom_section(section, handle("note"));
    place.init();
  }
  EXPECT_EQ(nullptr, section->get_parent());
  EXPECT_EQ(0, static_cast<Text&>(*section).set_text(ustring("alone")));
  EXPECT_EQ(":text(text)", name_tree(*section->attribute()));
}

// ---- name tables ----

TEST_F(ViewTest, NameTablesAreBuiltOncePerPool) {
  Position first;
  const size_t sets = m_pool->set_count();
  Position second;
  Text text;
  Position copy(second);
  EXPECT_EQ(sets + 1, m_pool->set_count());
  PositionStrings* strings = orva::keldra::view_strings<PositionStrings>();
  EXPECT_EQ(strings, orva::keldra::view_strings<PositionStrings>());
  EXPECT_EQ(handle("position"), strings->position);
  EXPECT_EQ(handle("altitude_above_sea"), strings->altitude_above_sea);
  EXPECT_EQ("position", first.get_class_name());
  TextStrings* text_strings = orva::keldra::view_strings<TextStrings>();
  EXPECT_EQ(text_strings->text_class, text_strings->text);
  EXPECT_EQ("list", TagList().get_class_name());
}

}  // namespace
}  // namespace keldra_test
