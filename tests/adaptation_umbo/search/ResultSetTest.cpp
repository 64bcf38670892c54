#include "adaptation_umbo/search/ResultSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <vector>

namespace {

using orva::keldra::internal::ResultSet;

// Keys of a few bytes with many repeats, empty ones and prefixes among them, over more
// rows than one sorted run, so that the merges decide most of the order.
std::vector<ResultSet::Keyed> keyed_rows(size_t n) {
  std::mt19937 random(7);
  const char* const keys[] = {"", "a", "ab", "abc", "b", "\xff", "\x01", "ba", "bb"};
  std::vector<ResultSet::Keyed> rows;
  for (size_t i = 0; i < n; ++i) {
    rows.push_back(ResultSet::Keyed{keys[random() % 9], static_cast<unsigned int>(i + 1)});
  }
  return rows;
}

TEST(ResultSet, SortsByKeyBytesKeepingEqualKeysInArrivalOrder) {
  for (size_t n : {0u, 1u, 7u, 512u, 513u, 5000u}) {
    for (uint32_t order : {1u, 2u}) {
      SCOPED_TRACE(std::to_string(n) + " rows, order " + std::to_string(order));
      std::vector<ResultSet::Keyed> rows = keyed_rows(n);
      std::vector<ResultSet::Keyed> expected = rows;
      std::stable_sort(expected.begin(), expected.end(),
                       [order](const ResultSet::Keyed& a, const ResultSet::Keyed& b) {
                         return order == 1 ? a.key < b.key : b.key < a.key;
                       });
      std::vector<unsigned int> want;
      for (const ResultSet::Keyed& k : expected) want.push_back(k.local_id);

      std::vector<unsigned int> got;
      std::atomic<bool> stop(false);
      ASSERT_TRUE(ResultSet::sort_ids(rows, order, &stop, got));
      EXPECT_EQ(want, got);
      EXPECT_EQ(want, ResultSet::sorted_ids(rows, order));
      EXPECT_TRUE(rows.empty());
    }
  }
}

TEST(ResultSet, SortGivesUpWhenToldToStopAndLeavesTheRows) {
  std::vector<ResultSet::Keyed> rows = keyed_rows(20000);
  const std::vector<ResultSet::Keyed> before = rows;
  std::atomic<bool> stop(true);
  std::vector<unsigned int> ids;
  EXPECT_FALSE(ResultSet::sort_ids(rows, 1, &stop, ids));
  ASSERT_EQ(before.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(before[i].local_id, rows[i].local_id);
}

// A cancelled run hands over its ids unsorted; the first look at the final list sorts.
TEST(ResultSet, UnsortedEndIsSortedOnFirstLook) {
  ResultSet set;
  set.set_sorting(orva::keldra::Search::SortPref{2, 1});
  std::vector<unsigned int> arrived = {1, 2, 3};
  set.insert(arrived);
  std::vector<ResultSet::Keyed> keyed = {{"b", 1}, {"c", 2}, {"a", 3}};
  std::vector<unsigned int> none;
  set.finish_unsorted(keyed);
  set.finish(none);
  std::vector<unsigned int> ids;
  set.get_results(ids);
  EXPECT_EQ((std::vector<unsigned int>{2, 1, 3}), ids);
  set.get_results(ids);
  EXPECT_EQ((std::vector<unsigned int>{2, 1, 3}), ids);
}

}  // namespace
