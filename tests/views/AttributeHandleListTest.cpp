// Typed lists: item positions among other children, and every change made to the
// item views and to the parent's children in step.
#include "support/SampleViews.h"

#include <keldra/AttributeHandleList.h>

#include <climits>
#include <functional>
#include <vector>

namespace keldra_test {
namespace {

using orva::ustring;
using orva::keldra::Position;
using orva::keldra::PositionArray;
using orva::keldra::Text;
using orva::keldra::TextArray;

// A position list that also shows the parent-side operations.
class ProbeList : public PositionArray {
 public:
  using AttributeHandleListBase::find_real_pos;
  using AttributeHandleListBase::is_my_attribute;
  using AttributeHandleListBase::set_items;
  using AttributeHandleListBase::size;
};

// A root view of class "holder" owning a list of all its positions.
class Holder : public AttributeHandle {
 public:
  Holder() : m_class(handle("holder")) {
    m_positions.set_parent(this);
    m_positions.set_items_name();
  }
  const StringPool::StringHandle& get_class_name_handle() const override { return m_class; }
  void attach_child_handles() override { m_positions.attach(); }
  ProbeList& positions() { return m_positions; }

 private:
  StringPool::StringHandle m_class;
  ProbeList m_positions;
};

// The children of |holder| by name, e.g. "a meta b box c".
std::string children(const Holder& holder) {
  std::string out;
  const AttributeList* list = holder.get_attribute_list();
  for (unsigned int i = 0; list && i < list->size(); ++i) {
    if (i) out += " ";
    out += (*list)[i]->get_name();
  }
  return out;
}

// The item views by their attributes' names, checking that each stands over the
// parent's item at its position.
std::string items(Holder& holder) {
  std::vector<SharedPointer<Attribute> > stored;
  const AttributeList* list = holder.get_attribute_list();
  for (unsigned int i = 0; list && i < list->size(); ++i) {
    if ((*list)[i]->get_class_name() == "position") stored.push_back((*list)[i]);
  }
  ProbeList& positions = holder.positions();
  EXPECT_EQ(stored.size(), positions.count());
  std::string out;
  for (unsigned int i = 0; i < positions.count(); ++i) {
    SharedPointer<Position> item = positions.get_item(i);
    if (i < stored.size()) {
      EXPECT_EQ(stored[i], item->attribute()) << "item " << i;
    }
    if (i) out += " ";
    out += item->get_name();
  }
  return out;
}

// A holder over the children a, meta, b, box, c: three position items among others.
class ListTest : public ViewTest {
 protected:
  void SetUp() override {
    SharedPointer<Attribute> parent = make_attribute("h", "holder");
    for (const char* child :
         {"a:position", "meta:metadata", "b:position", "box:box", "c:position"}) {
      std::string s(child);
      size_t colon = s.find(':');
      parent->get_attributes().push_back(make_attribute(s.substr(0, colon), s.substr(colon + 1)));
    }
    m_holder.attach(parent);
  }

  Position named(const char* name) {
    Position position;
    position.attach(make_attribute(name, "position"));
    position.set_timestamp(7);
    return position;
  }

  Holder m_holder;
};

TEST_F(ListTest, ItemsAndTheirRealPositions) {
  ProbeList& list = m_holder.positions();
  EXPECT_EQ("a b c", items(m_holder));
  EXPECT_EQ(5u, list.size());
  const struct {
    unsigned int position;
    int real;
  } cases[] = {{0, 0}, {1, 2}, {2, 4}, {3, 5}, {4, -1}, {UINT_MAX, -1}};
  for (const auto& c : cases) EXPECT_EQ(c.real, list.find_real_pos(c.position)) << c.position;

  EXPECT_FALSE(list.is_my_attribute(SharedPointer<Attribute>()));
  EXPECT_FALSE(list.is_my_attribute(make_attribute("meta", "metadata")));
  EXPECT_TRUE(list.is_my_attribute(make_attribute("any", "position")));
}

TEST_F(ListTest, InsertGoesBeforeTheDisplacedItemOrAfterEveryChild) {
  const struct {
    unsigned int position;
    const char* children;
    const char* items;
  } cases[] = {
      {0, "new a meta b box c", "new a b c"},
      {1, "a meta new b box c", "a new b c"},
      {2, "a meta b box new c", "a b new c"},
      {3, "a meta b box c new", "a b c new"},
      {99, "a meta b box c new", "a b c new"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    SetUp();
    SharedPointer<Position> item = m_holder.positions().insert_item(named("new"), c.position);
    ASSERT_TRUE(item.is_valid());
    EXPECT_EQ(7, item->get_timestamp());
    EXPECT_EQ(c.children, children(m_holder));
    EXPECT_EQ(c.items, items(m_holder));
  }
}

TEST_F(ListTest, InsertedViewIsTheCallersOwn) {
  SharedPointer<Position> mine(new Position);
  mine->attach(make_attribute("mine", "position"));
  EXPECT_EQ(0, m_holder.positions().insert_item(mine, 1));
  EXPECT_EQ(mine, m_holder.positions().get_item(1));
  EXPECT_EQ(&m_holder, mine->get_parent());
  EXPECT_EQ("a mine b c", items(m_holder));
}

TEST_F(ListTest, MovesKeepViewsAndChildrenInStep) {
  const struct {
    unsigned int from, to;
    const char* children;
    const char* items;
  } cases[] = {
      {0, 2, "meta b box a c", "b a c"},
      {2, 0, "c a meta b box", "c a b"},
      {0, 3, "meta b box c a", "b c a"},
      {1, 0, "b a meta box c", "b a c"},
      {1, 1, "a meta b box c", "a b c"},
      {2, 3, "a meta b box c", "a b c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.from << "->" << c.to);
    SetUp();
    EXPECT_EQ(0, m_holder.positions().move_item(c.from, c.to));
    EXPECT_EQ(c.children, children(m_holder));
    EXPECT_EQ(c.items, items(m_holder));
  }
}

TEST_F(ListTest, PositionsOutsideTheListAreRefusedNotFatal) {
  Position replacement = named("z");
  const struct {
    const char* what;
    std::function<bool(ProbeList&)> refused;
  } cases[] = {
      {"move from count", [](ProbeList& l) { return l.move_item(3, 0) == 3; }},
      {"move to past count", [](ProbeList& l) { return l.move_item(0, 4) == 3; }},
      {"move from far away", [](ProbeList& l) { return l.move_item(UINT_MAX, 1) == 3; }},
      {"move to far away", [](ProbeList& l) { return l.move_item(1, UINT_MAX) == 3; }},
      {"set at count",
       [&replacement](ProbeList& l) { return !l.set_item(3, replacement).is_valid(); }},
      {"set far away",
       [&replacement](ProbeList& l) { return !l.set_item(UINT_MAX, replacement).is_valid(); }},
      {"set an unbound item", [](ProbeList& l) { return !l.set_item(0, Position()).is_valid(); }},
      {"remove at count",
       [](ProbeList& l) {
         l.remove_item(3);
         return true;
       }},
      {"remove a reversed range",
       [](ProbeList& l) {
         l.remove_items(2, 1);
         return true;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    EXPECT_TRUE(c.refused(m_holder.positions()));
    EXPECT_EQ("a meta b box c", children(m_holder));
    EXPECT_EQ("a b c", items(m_holder));
  }
}

TEST_F(ListTest, MoveAfterParentChangedBehindTheListIsRefused) {
  // Another holder drops an item: the list still counts three until attach().
  m_holder.attribute()->get_attributes().erase(4);
  EXPECT_EQ(3u, m_holder.positions().count());
  EXPECT_EQ(3, m_holder.positions().move_item(2, 0));
  EXPECT_EQ("a meta b box", children(m_holder));
}

TEST_F(ListTest, Removing) {
  const struct {
    const char* what;
    std::function<void(ProbeList&)> remove;
    const char* children;
  } cases[] = {
      {"one item", [](ProbeList& l) { l.remove_item(1); }, "a meta box c"},
      {"a range", [](ProbeList& l) { l.remove_items(0, 1); }, "meta box c"},
      {"the whole range", [](ProbeList& l) { l.remove_items(0, l.count() - 1); }, "meta box"},
      {"a range running past the end", [](ProbeList& l) { l.remove_items(1, UINT_MAX); },
       "a meta box"},
      {"all", [](ProbeList& l) { l.remove_all(); }, "meta box"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.remove(m_holder.positions());
    EXPECT_EQ(c.children, children(m_holder));
    items(m_holder);
  }
}

TEST_F(ListTest, SetItemReplacesInPlaceWithDeepCopy) {
  Position replacement = named("z");
  SharedPointer<Position> item = m_holder.positions().set_item(1, replacement);
  ASSERT_TRUE(item.is_valid());
  EXPECT_NE(replacement.attribute(), item->attribute());
  EXPECT_EQ("a meta z box c", children(m_holder));
  EXPECT_EQ("a z c", items(m_holder));
  EXPECT_EQ(7, item->get_timestamp());
}

TEST_F(ListTest, SetItemsLeavesNoViewOnRemovedItems) {
  std::vector<SharedPointer<Attribute> > replacement{make_attribute("x", "position"),
                                                     make_attribute("y", "position")};
  SharedPointer<Position> old_first = m_holder.positions().get_item(0);
  EXPECT_EQ(0, m_holder.positions().set_items(replacement));
  EXPECT_EQ("meta box x y", children(m_holder));
  EXPECT_EQ("x y", items(m_holder));
  EXPECT_EQ(0, m_holder.positions().get_item(0)->set_timestamp(3));
  EXPECT_TRUE(replacement[0]->has_value());
  EXPECT_FALSE(old_first->get_name() == "x");

  EXPECT_EQ(0, m_holder.positions().set_items({}));
  EXPECT_EQ("meta box", children(m_holder));
  EXPECT_EQ("", items(m_holder));
}

TEST_F(ListTest, FindItemWithoutMatchLeavesOutput) {
  SharedPointer<Position> out = m_holder.positions().get_item(0);
  auto none = [](const SharedPointer<Position>&) { return false; };
  EXPECT_EQ(3u, m_holder.positions().find_item(none, out));
  EXPECT_EQ(m_holder.positions().get_item(0), out);
  auto second = [](const SharedPointer<Position>& p) { return p->get_name() == "b"; };
  EXPECT_EQ(1u, m_holder.positions().find_item(second, out));
  EXPECT_EQ("b", out->get_name());
}

TEST_F(ListTest, ChangesByOtherHoldersAreSeenOnAttach) {
  m_holder.attribute()->get_attributes().push_back(make_attribute("d", "position"));
  EXPECT_EQ(3u, m_holder.positions().count());
  EXPECT_EQ(0, m_holder.positions().attach());
  EXPECT_EQ("a b c d", items(m_holder));
}

TEST_F(ViewTest, ListOverUnboundParent) {
  Holder holder;
  EXPECT_EQ(0, holder.positions().attach());
  EXPECT_EQ(0u, holder.positions().count());
  EXPECT_EQ(-1, holder.positions().find_real_pos(0));

  // Inserting a copy of an unbound view changes nothing.
  EXPECT_FALSE(holder.positions().add_item(Position()).is_valid());
  EXPECT_FALSE(holder.is_safe());

  // A new item creates the parent first.
  SharedPointer<Position> item = holder.positions().add_item();
  ASSERT_TRUE(item.is_valid());
  ASSERT_TRUE(holder.is_safe());
  EXPECT_EQ(":holder[:position]", name_tree(*holder.attribute()));
  EXPECT_EQ(holder.attribute()->get_attributes()[0], item->attribute());
}

// A list whose owner can never be created (a child view its parent does not know)
// refuses every insertion with 2 and leaves the caller's view as it was.
TEST_F(ViewTest, ListWhoseOwnerCannotBeCreatedTakesNothing) {
  Holder outer;
  SharedPointer<Position> view(new Position());
  ASSERT_EQ(0, view->set_timestamp(1));
  {
    Holder inner;
    inner.set_parent(&outer);
    ProbeList& list = inner.positions();
    for (unsigned int position : {0u, 1u}) {
      EXPECT_EQ(2, list.insert_item(view, position)) << position;
      EXPECT_EQ(nullptr, view->get_parent()) << position;
    }
    EXPECT_FALSE(list.add_item().is_valid());
    EXPECT_FALSE(list.add_item(*view).is_valid());
    EXPECT_EQ(0u, list.count());
    EXPECT_FALSE(inner.is_safe());
  }
  view->reset();
  EXPECT_EQ(0, view->set_timestamp(2));  // a root view: makes its own attribute
}

TEST_F(ViewTest, NamedListTakesOnlyItsNameAndNamesItsItems) {
  TestCard card;
  card.title().set_text(ustring("title"));
  TextArray& lines = card.lines();
  SharedPointer<Text> first = lines.add_item();
  ASSERT_TRUE(first.is_valid());
  Text loose;
  loose.attach(make_attribute("other", "text"));
  loose.set_text(ustring("copied"));
  SharedPointer<Text> second = lines.add_item(loose);
  ASSERT_TRUE(second.is_valid());
  EXPECT_EQ(":card[title:text(text) line:text line:text(text)]", name_tree(*card.attribute()));
  EXPECT_EQ(2u, lines.count());

  SharedPointer<Text> replaced = lines.set_item(0, loose);
  ASSERT_TRUE(replaced.is_valid());
  EXPECT_EQ("line", replaced->get_name());
  EXPECT_EQ(":card[title:text(text) line:text(text) line:text(text)]",
            name_tree(*card.attribute()));
  EXPECT_EQ("other", loose.get_name());
}

TEST_F(ViewTest, CopyingListsCopiesItemsOnlyWhereTheyCanLive) {
  TestCard source;
  source.lines().add_text(ustring("one"), ustring("en"));
  source.lines().add_text(ustring("two"), ustring("fi"));

  // A list copied on its own has no parent and so no items; the source is intact.
  TextArray loose(source.lines());
  EXPECT_EQ(0u, loose.count());
  EXPECT_EQ(2u, source.lines().count());

  // Assigned into a list with a parent: the old items go, deep copies come.
  TestCard target;
  target.lines().add_text(ustring("old"), ustring());
  target.lines() = source.lines();
  EXPECT_EQ(":card[line:text(text,language) line:text(text,language)]",
            name_tree(*target.attribute()));
  EXPECT_NE(source.lines().get_item(0)->attribute(), target.lines().get_item(0)->attribute());
  ustring text;
  EXPECT_EQ(1, target.lines().get_text_by_language(ustring("fi"), text));
  EXPECT_EQ(ustring("two"), text);
}

TEST_F(ViewTest, ItemViewsOutlivingTheirListStandAlone) {
  // Every way an item view handed out by the list can leave it; the caller keeps the
  // view after the owning view is gone.
  const struct {
    const char* how;
    std::function<void(ProbeList&)> leave;
  } cases[] = {
      {"list destroyed", nullptr},
      {"removed", [](ProbeList& list) { list.remove_item(0); }},
      {"removed as a range", [](ProbeList& list) { list.remove_items(0, 0); }},
      {"all removed", [](ProbeList& list) { list.remove_all(); }},
      {"list rebuilt", [](ProbeList& list) { list.attach(); }},
      {"replaced", [](ProbeList& list) {
         Position other;
         other.set_timestamp(2);
         ASSERT_TRUE(list.set_item(0, other).is_valid());
       }},
      {"all items replaced", [](ProbeList& list) {
         ASSERT_EQ(0, list.set_items(std::vector<SharedPointer<Attribute> >()));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    SharedPointer<Position> kept;
    {
      Holder holder;
      kept = holder.positions().add_item();
      ASSERT_TRUE(kept.is_valid());
      ASSERT_EQ(&holder, kept->get_parent());
      if (c.leave) {
        c.leave(holder.positions());
        EXPECT_EQ(nullptr, kept->get_parent());
      }
    }
    EXPECT_EQ(nullptr, kept->get_parent());
    kept->reset();
    EXPECT_EQ(0, kept->set_timestamp(1));
    EXPECT_EQ(":position(time)", name_tree(*kept->attribute()));
  }
}

}  // namespace
}  // namespace keldra_test
