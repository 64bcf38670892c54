#include <keldra/LocationObject.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>
#include <tervo/GeoCoordinates.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

using orva::SharedPointer;

// Counts live instances so that deletion is observable.
struct Node : orva::internal::RefCountable {
  explicit Node(int* live) : live(live) { ++*live; }
  ~Node() override { --*live; }
  int* live;
  SharedPointer<Node> next;
};

TEST(SharedPointer, CopyAssignAndSelfAssignKeepCounts) {
  int live = 0;
  SharedPointer<Node> a(new Node(&live));
  EXPECT_EQ(1u, a->get_ref_count());
  SharedPointer<Node> b(a);
  EXPECT_EQ(2u, a->get_ref_count());

  a = *&a;  // self-assignment
  EXPECT_EQ(2u, a->get_ref_count());
  b = a;  // same object through another holder
  EXPECT_EQ(2u, a->get_ref_count());
  EXPECT_EQ(1, live);
}

TEST(SharedPointer, ReleaseDropsOnlyThisHolder) {
  int live = 0;
  SharedPointer<Node> a(new Node(&live));
  SharedPointer<Node> b(a);
  a.release();
  EXPECT_FALSE(a.is_valid());
  EXPECT_EQ(nullptr, a.get());
  ASSERT_TRUE(b.is_valid());
  EXPECT_EQ(1u, b->get_ref_count());
  EXPECT_EQ(1, live);
  b.release();
  EXPECT_EQ(0, live);
  b.release();  // on an empty pointer: nothing
  EXPECT_FALSE(b.is_valid());
}

TEST(SharedPointer, ResetRules) {
  int live = 0;
  Node* raw = new Node(&live);
  SharedPointer<Node> a(raw);
  a.reset(raw);  // resetting to the held object keeps the count
  EXPECT_EQ(1u, raw->get_ref_count());
  a.reset(nullptr);  // last reference: deleted, pointer empty
  EXPECT_EQ(0, live);
  EXPECT_FALSE(a.is_valid());
}

TEST(SharedPointer, TwoPointersFromOneRawPointerBothCount) {
  int live = 0;
  Node* raw = new Node(&live);
  {
    SharedPointer<Node> a(raw);
    SharedPointer<Node> b(raw);
    EXPECT_EQ(2u, raw->get_ref_count());
    a.release();
    EXPECT_EQ(1, live);
  }
  EXPECT_EQ(0, live);
}

// Assignment must take the new object before dropping the old one: walking a list
// through its own holder would otherwise read freed memory (caught by ASan).
TEST(SharedPointer, AssignFromMemberOfHeldObjectIsSafe) {
  int live = 0;
  SharedPointer<Node> head(new Node(&live));
  head->next = new Node(&live);
  head->next->next = new Node(&live);
  EXPECT_EQ(3, live);
  while (head.is_valid()) {
    SharedPointer<Node> next = head->next;  // keep a copy to compare with
    head = head->next;
    EXPECT_EQ(next.get(), head.get());
  }
  EXPECT_EQ(0, live);

  SharedPointer<Node> p(new Node(&live));
  p->next = new Node(&live);
  p.reset(p->next.get());
  EXPECT_EQ(1, live);
  EXPECT_EQ(1u, p->get_ref_count());
}

struct Special : Node {
  explicit Special(int* live) : Node(live) {}
};

TEST(SharedPointer, DerivedToBaseConversionCounts) {
  int live = 0;
  SharedPointer<Special> special(new Special(&live));
  SharedPointer<Node> base(special);
  EXPECT_EQ(2u, special->get_ref_count());
  SharedPointer<Node> other(new Node(&live));
  other = special;  // the old object goes, the new one gains a count
  EXPECT_EQ(1, live);
  EXPECT_EQ(3u, special->get_ref_count());
  special.release();
  base.release();
  EXPECT_EQ(1, live);
  other.release();
  EXPECT_EQ(0, live);
}

TEST(SharedPointer, IsOneWordWide) {
  EXPECT_EQ(sizeof(void*), sizeof(SharedPointer<Node>));
}

// Using an empty pointer stops the process naming the cause, not with a bare
// segmentation fault; a default-made view is the way a newcomer meets one.
TEST(SharedPointer, UsingAnEmptyPointerStopsSayingWhy) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* const message =
      R"(keldra/SharedPointer.h:[0-9]+: operator.*: Assertion `is_valid\(\)' failed\.)"
      "\n"
      R"(keldra: an empty orva::SharedPointer was used: it holds no object .*)"
      R"(test pointers with is_valid\(\))";
  struct Case {
    const char* what;
    std::function<void()> use;
  };
  const Case cases[] = {
      {"arrow of a default-made pointer",
       [] {
         SharedPointer<Node> p;
         (void)p->get_ref_count();
       }},
      {"star of a released pointer",
       [] {
         int live = 0;
         SharedPointer<Node> p(new Node(&live));
         p.release();
         (void)(*p).live;
       }},
      {"object of a default-made view",
       [] {
         orva::SharedPointer<orva::keldra::StringPool> pool = orva::keldra::StringPool::create();
         orva::keldra::LocationObject place;
         (void)(*place.object()).get_class_name();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_DEATH(c.use(), message);
  }
}

// is_valid() is the test of a pointer, and a view's object() is empty until it has one.
TEST(SharedPointer, IsValidTellsWhetherAnObjectIsHeld) {
  orva::SharedPointer<orva::keldra::StringPool> pool = orva::keldra::StringPool::create();
  orva::keldra::LocationObject place;
  EXPECT_FALSE(place.object().is_valid());
  // A number field: this binary's own array allocator must not meet the library's text.
  place.position().set_coordinates(orva::GeoCoordinates(60.1675, 24.9525));
  ASSERT_TRUE(place.object().is_valid());
  EXPECT_EQ("location", (*place.object()).get_class_name());
}

}  // namespace
