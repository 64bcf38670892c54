#include <keldra/SharedPointer.h>

#include <gtest/gtest.h>

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

}  // namespace
