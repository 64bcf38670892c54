// The object link element over library links.
#include "ObjectLinkImpl.h"

#include <keldra/StringPool.h>

#include <QVariant>

#include <gtest/gtest.h>

using keldra::qtplugin::ObjectLinkImpl;
using orva::keldra::Link;

namespace {

TEST(ObjectLinkTest, CarriesBothIdsWhole) {
  auto pool = orva::keldra::StringPool::create();
  struct Case {
    unsigned int lid;
    unsigned long long gid;
  };
  const Case cases[] = {
      {0, 0}, {7, 0}, {0, 42}, {0xFFFFFFFFu, (1ULL << 32) + 5}, {3, 0xFFFFFFFFFFFFFFFFULL}};
  for (const Case& c : cases) {
    Link link;
    link.set_local_link(c.lid);
    link.set_global_link(c.gid);
    link.set_name("target");
    ObjectLinkImpl element(link, nullptr);
    EXPECT_EQ(element.getTargetLID(), c.lid);
    EXPECT_EQ(element.getTargetGID(), c.gid);
    EXPECT_EQ(element.property("targetGID").toULongLong(), c.gid);
    EXPECT_EQ(element.property("targetLID").toUInt(), c.lid);
    EXPECT_EQ(element.link(), link);
  }
}

// Two elements from one link hold copies: equal values, independent objects.
TEST(ObjectLinkTest, ElementsFromOneLinkAreIndependentCopies) {
  auto pool = orva::keldra::StringPool::create();
  Link link;
  link.set_local_link(11);
  link.set_global_link(1ULL << 40);
  auto* first = new ObjectLinkImpl(link, nullptr);
  ObjectLinkImpl second(link, nullptr);
  link.set_local_link(12);
  EXPECT_EQ(first->getTargetLID(), 11u);
  EXPECT_EQ(first->link(), second.link());
  delete first;
  EXPECT_EQ(second.getTargetGID(), 1ULL << 40);
  EXPECT_EQ(second.getTargetLID(), 11u);
}

TEST(ObjectLinkTest, EmptyLinkAndNoWrites) {
  ObjectLinkImpl element;
  EXPECT_EQ(element.getTargetLID(), 0u);
  EXPECT_EQ(element.getTargetGID(), 0u);
  EXPECT_FALSE(element.setProperty("targetLID", 5));
  EXPECT_EQ(element.getTargetLID(), 0u);
}

}  // namespace
