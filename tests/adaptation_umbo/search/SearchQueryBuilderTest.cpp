#include "adaptation_umbo/search/SearchQueryBuilder.h"
#include "adaptation_umbo/base/Utils.h"

#include <keldra/CompositeCriterion.h>
#include <keldra/PositionCriterion.h>
#include <keldra/StateCriterion.h>
#include <keldra/TextCriterion.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>

namespace orva {
namespace keldra {
namespace internal {
void PrintTo(const SearchParameter& p, std::ostream* os) {
  if (p.kind == SearchParameter::TEXT) {
    *os << "text '" << p.text << "'";
  } else {
    os->precision(17);
    *os << "real " << p.real;
  }
}
}  // namespace internal
}  // namespace keldra
}  // namespace orva

namespace {

using namespace orva::keldra;
using namespace orva::keldra::internal;
using orva::GeoCoordinates;

SearchParameter T(const std::string& v) { return SearchParameter::text_value(v); }
SearchParameter R(double v) { return SearchParameter::real_value(v); }

const std::string kClass = "SELECT DISTINCT local_id FROM object";
const std::string kText = "SELECT DISTINCT parent_object FROM text WHERE value_text LIKE ?";
const std::string kWords =
    "SELECT DISTINCT parent_object FROM text WHERE like_all_words( value_text, ? )";
const std::string kRect =
    "SELECT DISTINCT parent_object FROM position WHERE pos_in_rect( ?, ?, ?, ?, latitude, "
    "longitude )";
const std::string kCircle = " AND distance( ?, ?, latitude, longitude ) < ?";
std::string wrap(const std::string& inner) {
  return "SELECT DISTINCT local_id FROM object WHERE local_id IN (" + inner +
         ") AND object.class_name=?";
}

template <class C>
std::shared_ptr<Criterion> with_class(C c, const std::string& class_name) {
  c.set_class_name(class_name);
  return std::make_shared<C>(c);
}
std::shared_ptr<Criterion> text(const char* pattern, unsigned options = 0,
                                const std::string& class_name = "") {
  TextCriterion c{orva::ustring(pattern)};
  c.set_options(options);
  return with_class(c, class_name);
}
std::shared_ptr<Criterion> state(bool modified, bool local, bool remote, bool linked,
                                 const std::string& class_name = "") {
  StateCriterion c;
  c.check_if_modified(modified);
  c.check_if_has_unloaded_content(local, remote);
  c.check_if_linked_modified(linked);
  return with_class(c, class_name);
}
std::shared_ptr<Criterion> rect_and_circle(double s, double n, double w, double e,
                                           GeoCoordinates centre, double radius) {
  PositionCriterion c(s, n, w, e);
  c.set_circle(centre, radius);
  return std::make_shared<PositionCriterion>(c);
}

struct Case {
  const char* name;
  std::shared_ptr<Criterion> criterion;
  std::string sql;
  std::vector<SearchParameter> parameters;
};

TEST(SearchQueryBuilder, StatementsAndBoundValues) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // The circle-only rectangle is the circle's bounding rectangle.
  const orva::GeoRect box = area_restriction(GeoCoordinates(52.516667, 13.4), 1000.0);
  CompositeCriterion text_and_area(CompositeCriterion::COMPOSITION_AND);
  text_and_area.add_argument(*text("joe*", 1));
  text_and_area.add_argument(PositionCriterion(52.5, 52.6, 13.3, 13.5));
  CompositeCriterion classed = text_and_area;
  classed.set_class_name("location");
  CompositeCriterion with_all(CompositeCriterion::COMPOSITION_AND);
  with_all.add_argument(*text("*"));
  with_all.add_argument(*with_class(StateCriterion(), "x"));
  with_all.add_argument(*state(true, false, false, false));

  const Case cases[] = {
      {"plain", std::make_shared<Criterion>(), kClass, {}},
      {"plain with class",
       std::make_shared<Criterion>("location"),
       kClass + " WHERE object.class_name=?",
       {T("location")}},
      {"class with a quote is bound, not pasted",
       std::make_shared<Criterion>("x' or 1=1 or '"),
       kClass + " WHERE object.class_name=?",
       {T("x' or 1=1 or '")}},
      {"text", text("Joe's"), kText, {T("joe's")}},
      {"text is folded and decomposed", text("CAF\xC3\x89*"), kText, {T("cafe\xCC\x81*")}},
      {"text, word start", text("town*", 1), kWords, {T("town*")}},
      {"text, unknown option bits ignored", text("town", 6), kText, {T("town")}},
      {"text with class", text("a?c", 0, "location"), wrap(kText), {T("a?c"), T("location")}},
      {"empty pattern is the class query",
       text("", 0, "route"),
       kClass + " WHERE object.class_name=?",
       {T("route")}},
      {"stars only are the class query", text("***", 1), kClass, {}},
      {"rectangle keeps full precision",
       std::make_shared<PositionCriterion>(52.5166671234, 52.5166679876, 13.4000001111,
                                           13.4000009999),
       kRect,
       {R(52.5166679876), R(13.4000001111), R(52.5166671234), R(13.4000009999)}},
      {"rectangle with class",
       with_class(PositionCriterion(1, 2, 3, 4), "location"),
       wrap(kRect),
       {R(2), R(3), R(1), R(4), T("location")}},
      {"whole earth rectangle is the class query",
       std::make_shared<PositionCriterion>(-90, 90, -180, 180),
       kClass,
       {}},
      {"circle only",
       std::make_shared<PositionCriterion>(GeoCoordinates(52.516667, 13.4), 1000.0),
       kRect + kCircle,
       {R(box.get_north()), R(box.get_west()), R(box.get_south()), R(box.get_east()), R(52.516667),
        R(13.4), R(1000.0)}},
      {"circle of half the earth is the class query",
       std::make_shared<PositionCriterion>(GeoCoordinates(1, 1), 20015086.79602057),
       kClass,
       {}},
      {"circle and own rectangle, even the whole earth",
       rect_and_circle(-90, 90, -180, 180, GeoCoordinates(10, 20), 25000000.0),
       kRect + kCircle,
       {R(90), R(-180), R(-90), R(180), R(10), R(20), R(25000000.0)}},
      {"NaN radius with a rectangle is the rectangle",
       rect_and_circle(1, 2, 3, 4, GeoCoordinates(1.5, 3.5), nan),
       kRect,
       {R(2), R(3), R(1), R(4)}},
      {"state, modified",
       state(true, false, false, false),
       "SELECT DISTINCT local_id FROM object WHERE modified = 1 OR modified = 2",
       {}},
      {"state, every flag in order",
       state(true, true, true, true),
       "SELECT DISTINCT local_id FROM object WHERE linkmods > 0 OR updeps > 0 OR downdeps > 0 "
       "OR modified = 1 OR modified = 2",
       {}},
      {"state with class restricts every condition",
       state(true, true, false, false, "location"),
       "SELECT DISTINCT local_id FROM object WHERE (updeps > 0 OR modified = 1 OR modified = 2) "
       "AND object.class_name=?",
       {T("location")}},
      {"composite is the intersection",
       std::make_shared<CompositeCriterion>(text_and_area),
       kWords + " INTERSECT " + kRect,
       {T("joe*"), R(52.6), R(13.3), R(52.5), R(13.5)}},
      {"composite with class: the class is one more term",
       std::make_shared<CompositeCriterion>(classed),
       kWords + " INTERSECT " + kRect + " INTERSECT " + kClass + " WHERE object.class_name=?",
       {T("joe*"), R(52.6), R(13.3), R(52.5), R(13.5), T("location")}},
  };
  for (const Case& c : cases) {
    SearchStatement statement;
    EXPECT_EQ(0, SearchQueryBuilder::create_query(*c.criterion, statement)) << c.name;
    EXPECT_EQ(c.sql, statement.sql) << c.name;
    EXPECT_EQ(c.parameters, statement.parameters) << c.name;
    // The SQL text never holds a value of the criterion.
    EXPECT_EQ(std::string::npos, statement.sql.find('\'')) << c.name;
  }

  // A composite whose argument cannot be searched is refused as a whole.
  SearchStatement statement;
  EXPECT_EQ(3, SearchQueryBuilder::create_query(with_all, statement));
  EXPECT_EQ("", statement.sql);
  EXPECT_TRUE(statement.parameters.empty());
}

// Composites nested |depth| deep, each with a class, around a text criterion with a
// class; |width| text criteria side by side in the innermost one.
CompositeCriterion nested(int depth, int width = 1) {
  CompositeCriterion inner(CompositeCriterion::COMPOSITION_AND);
  for (int i = 0; i < width; ++i) inner.add_argument(*text("caf*", 0, "location"));
  inner.set_class_name("location");
  CompositeCriterion tree = inner;
  for (int level = 1; level < depth; ++level) {
    CompositeCriterion next(CompositeCriterion::COMPOSITION_AND);
    next.add_argument(tree);
    next.set_class_name("location");
    tree = next;
  }
  return tree;
}

// How deep and how wide a composite may grow: what is accepted has no more nesting than
// one criterion with a class, and no more terms than SQLite joins in one statement.
TEST(SearchQueryBuilder, CompositeLimits) {
  const struct {
    const char* name;
    CompositeCriterion criterion;
    int result;
    size_t parameters;
  } cases[] = {
      {"eleven deep", nested(11), 0, 1 + 1 + 11},
      {"sixteen deep, the deepest accepted", nested(16), 0, 1 + 1 + 16},
      {"seventeen deep", nested(17), 3, 0},
      {"500 terms", nested(1, 499), 0, 2 * 499 + 1},
      {"501 terms", nested(1, 500), 3, 0},
      {"501 terms over two levels", nested(2, 499), 3, 0},
  };
  for (const auto& c : cases) {
    SearchStatement statement;
    EXPECT_EQ(c.result, SearchQueryBuilder::create_query(c.criterion, statement)) << c.name;
    EXPECT_EQ(c.parameters, statement.parameters.size()) << c.name;
    if (c.result != 0) continue;
    // Never deeper than the one sub-select of a text criterion with a class.
    int depth = 0, deepest = 0;
    for (char ch : statement.sql) {
      depth += ch == '(' ? 1 : ch == ')' ? -1 : 0;
      deepest = std::max(deepest, depth);
    }
    EXPECT_EQ(1, deepest) << c.name;
  }
}

TEST(SearchQueryBuilder, RefusesCriteriaWithoutStatement) {
  CompositeCriterion empty_composite(CompositeCriterion::COMPOSITION_AND);
  CompositeCriterion unknown(static_cast<CompositeCriterion::CriterionComposition>(2));
  unknown.add_argument(Criterion());
  CompositeCriterion deep(CompositeCriterion::COMPOSITION_AND);
  deep.add_argument(Criterion());
  for (int i = 0; i < 20; ++i) {
    CompositeCriterion next(CompositeCriterion::COMPOSITION_AND);
    next.add_argument(deep);
    deep = next;
  }
  struct OtherKind : Criterion {
    int get_type() const override { return 9; }
  };
  const struct {
    const char* name;
    std::shared_ptr<Criterion> criterion;
  } cases[] = {
      {"position without area", std::make_shared<PositionCriterion>()},
      {"circle with negative radius",
       std::make_shared<PositionCriterion>(GeoCoordinates(1, 1), -5.0)},
      {"invalid centre", std::make_shared<PositionCriterion>(GeoCoordinates(100, 1), 5.0)},
      {"state without flags", state(false, false, false, false, "location")},
      {"composite without arguments", std::make_shared<CompositeCriterion>(empty_composite)},
      {"composite of unknown composition", std::make_shared<CompositeCriterion>(unknown)},
      {"composite nested too deeply", std::make_shared<CompositeCriterion>(deep)},
      {"unknown kind", std::make_shared<OtherKind>()},
  };
  for (const auto& c : cases) {
    SearchStatement statement;
    statement.sql = "left over";
    EXPECT_EQ(3, SearchQueryBuilder::create_query(*c.criterion, statement)) << c.name;
    EXPECT_EQ("", statement.sql) << c.name;
    EXPECT_TRUE(statement.parameters.empty()) << c.name;
  }
}

TEST(SearchQueryBuilder, KindQueriesAndMatchAllChecks) {
  SearchStatement statement;
  statement.sql = "x";
  bool all = true;
  SearchQueryBuilder::create_text_query(statement, nullptr, all);
  EXPECT_FALSE(all);
  EXPECT_EQ("", statement.sql);
  all = true;
  SearchQueryBuilder::create_position_query(statement, nullptr, all);
  EXPECT_FALSE(all);
  SearchQueryBuilder::create_state_query(statement, nullptr, all);
  EXPECT_FALSE(all);
  TextCriterion star(orva::ustring("*"));
  SearchQueryBuilder::create_text_query(statement, &star, all);
  EXPECT_TRUE(all);
  EXPECT_EQ("", statement.sql);

  // The name's sort key joins the ids in the same statement; the values stay as they were.
  SearchStatement keyed;
  SearchQueryBuilder::create_query(Criterion("location"), keyed);
  SearchQueryBuilder::add_name_key(keyed);
  EXPECT_EQ(
      "WITH found(id) AS (SELECT DISTINCT local_id FROM object WHERE object.class_name=?) SELECT "
      "found.id, (SELECT text.collate_key FROM attribute AS m, attribute AS n, text WHERE "
      "m.parent_object = found.id AND m.class_name = 'metadata' AND +m.parent_attribute = 0 AND "
      "n.parent_attribute = m.id AND n.name = 'name' AND text.parent_attribute = n.id ORDER BY "
      "n.id DESC, text.id DESC LIMIT 1) FROM found",
      keyed.sql);
  EXPECT_EQ(std::vector<SearchParameter>{T("location")}, keyed.parameters);

  EXPECT_EQ("", SearchQueryBuilder::convert_to_std_pattern(orva::ustring("")));
  EXPECT_EQ("strasse", SearchQueryBuilder::convert_to_std_pattern(orva::ustring("STRASSE")));
  EXPECT_TRUE(SearchQueryBuilder::check_matches_all(std::string()));
  EXPECT_TRUE(SearchQueryBuilder::check_matches_all(std::string("**")));
  EXPECT_FALSE(SearchQueryBuilder::check_matches_all(std::string("*?")));
  EXPECT_TRUE(SearchQueryBuilder::check_matches_all(-90, 180, 90, -180));
  EXPECT_FALSE(SearchQueryBuilder::check_matches_all(-89.9999999, 180, 90, -180));
  EXPECT_TRUE(SearchQueryBuilder::check_matches_all(20015086.79602057));
  EXPECT_FALSE(SearchQueryBuilder::check_matches_all(20015086.79602056));
}

}  // namespace
