// The search description elements: the library criterion and sort preference they
// build for the store element.
#include "SearchCriteriaImpl.h"
#include "SearchSortingImpl.h"

#include <keldra/TextCriterion.h>

#include <gtest/gtest.h>

#include <string>

using keldra::qtplugin::CriterionPtr;
using keldra::qtplugin::SearchCriteriaImpl;
using keldra::qtplugin::SearchSortingImpl;
using orva::keldra::Criterion;
using orva::keldra::Search;
using orva::keldra::TextCriterion;

namespace {

std::string pattern_of(const Criterion& criterion) {
  return static_cast<const TextCriterion&>(criterion).get_pattern().to_utf8();
}

TEST(SearchCriteriaTest, FreshCriteriaMatchEveryClassOfThePersonalService) {
  SearchCriteriaImpl criteria;
  EXPECT_EQ(criteria.getTextPatternOption(), 1u);
  CriterionPtr built = criteria.buildCriteria();
  ASSERT_TRUE(built);
  EXPECT_EQ(built->get_type(), Criterion::TYPE_CLASS);
  EXPECT_EQ(built->get_class_name(), "");
  EXPECT_EQ(built->get_service_id(), "personal");
}

TEST(SearchCriteriaTest, TextOptionPlacesTheWildcards) {
  struct Case {
    const char* pattern;
    uint option;
    const char* expected;
  };
  const Case cases[] = {
      {"caf\xC3\xA9", SearchCriteriaImpl::TEXT_EQUALS, "caf\xC3\xA9"},
      {"caf\xC3\xA9", SearchCriteriaImpl::TEXT_STARTS_WITH, "caf\xC3\xA9*"},
      {"caf\xC3\xA9", SearchCriteriaImpl::TEXT_ANY_WORD_STARTS_WITH, "caf\xC3\xA9*"},
      {"caf\xC3\xA9", SearchCriteriaImpl::TEXT_CONTAINS, "*caf\xC3\xA9*"},
      // What the user typed is not escaped.
      {"a?b*", SearchCriteriaImpl::TEXT_CONTAINS, "*a?b**"},
      {"\xF0\x9F\x97\xBA map", SearchCriteriaImpl::TEXT_STARTS_WITH, "\xF0\x9F\x97\xBA map*"},
  };
  for (const Case& c : cases) {
    SearchCriteriaImpl criteria;
    criteria.setTextPattern(QString::fromUtf8(c.pattern), c.option);
    CriterionPtr built = criteria.buildCriteria();
    ASSERT_EQ(built->get_type(), Criterion::TYPE_TEXT) << c.pattern;
    EXPECT_EQ(pattern_of(*built), c.expected) << c.option;
    EXPECT_EQ(built->get_service_id(), "personal");
    EXPECT_EQ(criteria.getTextPattern(), QString::fromUtf8(c.pattern));
  }
}

TEST(SearchCriteriaTest, OptionAboveContainsChangesNothing) {
  SearchCriteriaImpl criteria;
  criteria.setTextPattern(QStringLiteral("lake"), SearchCriteriaImpl::TEXT_CONTAINS);
  criteria.setTextPattern(QStringLiteral("river"), 4);
  criteria.setTextPattern(QStringLiteral("sea"), 0xFFFFFFFFu);
  EXPECT_EQ(criteria.getTextPattern(), QStringLiteral("lake"));
  EXPECT_EQ(criteria.getTextPatternOption(), 3u);
  EXPECT_EQ(pattern_of(*criteria.buildCriteria()), "*lake*");
}

TEST(SearchCriteriaTest, EmptyPatternRemovesTheTextCondition) {
  SearchCriteriaImpl criteria;
  criteria.setTextPattern(QStringLiteral("lake"), SearchCriteriaImpl::TEXT_EQUALS);
  criteria.setTextPattern(QString(), SearchCriteriaImpl::TEXT_CONTAINS);
  EXPECT_EQ(criteria.buildCriteria()->get_type(), Criterion::TYPE_CLASS);
  EXPECT_EQ(criteria.getTextPatternOption(), 3u);
}

// Only the first class name is used; class names are identifiers and cross as
// Latin-1 whichever slot set them.
TEST(SearchCriteriaTest, ClassList) {
  struct Case {
    const char* name;
    QVariantList set;
    QStringList append;
    QVariantList classes;
    std::string used;
  };
  const Case cases[] = {
      {"set two", {"route", "location"}, {}, {"route", "location"}, "route"},
      {"set then append",
       {"route", "location"},
       {"collection"},
       {"route", "location", "collection"},
       "route"},
      {"append only", {}, {"location"}, {"location"}, "location"},
      {"empty entry kept", {QString(), "route"}, {}, {QString(""), "route"}, ""},
      {"latin-1 both ways",
       {QString::fromUtf8("caf\xC3\xA9")},
       {QString::fromUtf8("\xC3\xA9t\xC3\xA9")},
       {QString::fromUtf8("caf\xC3\xA9"), QString::fromUtf8("\xC3\xA9t\xC3\xA9")},
       "caf\xE9"},
  };
  for (const Case& c : cases) {
    SearchCriteriaImpl criteria;
    if (!c.set.isEmpty()) criteria.setClasses(c.set);
    for (const QString& name : c.append) criteria.appendClass(name);
    EXPECT_EQ(criteria.getClasses(), c.classes) << c.name;
    EXPECT_EQ(criteria.buildCriteria()->get_class_name(), c.used) << c.name;
  }
}

TEST(SearchCriteriaTest, SetClassesWithAnEmptyListEmptiesIt) {
  SearchCriteriaImpl criteria;
  criteria.appendClass(QStringLiteral("route"));
  criteria.setClasses(QVariantList());
  EXPECT_TRUE(criteria.getClasses().isEmpty());
  EXPECT_EQ(criteria.buildCriteria()->get_class_name(), "");
}

TEST(SearchSortingTest, SortPreference) {
  struct Case {
    int sort_by;
    bool ascending;
    uint32_t order;
    uint32_t key;
  };
  const Case cases[] = {
      {SearchSortingImpl::SORT_BY_NONE, true, 1, 0},
      {SearchSortingImpl::SORT_BY_NAME, true, 1, 1},
      {SearchSortingImpl::SORT_BY_NAME, false, 2, 1},
      {SearchSortingImpl::SORT_BY_DATE, false, 2, 0},
      {SearchSortingImpl::SORT_BY_DISTANCE, true, 1, 2},
      // Refused: the fresh preference stays.
      {3, false, 1, 0},
      {0, false, 1, 0},
      {6, false, 1, 0},
  };
  for (const Case& c : cases) {
    SearchSortingImpl sorting;
    sorting.setSort(static_cast<SearchSortingImpl::SearchSortingType>(c.sort_by), c.ascending);
    const Search::SortPref pref = sorting.sortPref();
    EXPECT_EQ(pref.order, c.order) << c.sort_by << " " << c.ascending;
    EXPECT_EQ(pref.key, c.key) << c.sort_by << " " << c.ascending;
  }
}

}  // namespace
