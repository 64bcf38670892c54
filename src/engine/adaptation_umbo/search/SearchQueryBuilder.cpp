#include "adaptation_umbo/search/SearchQueryBuilder.h"

#include "adaptation_umbo/base/Utils.h"

#include <keldra/CompositeCriterion.h>
#include <keldra/Criterion.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/PositionCriterion.h>
#include <keldra/StateCriterion.h>
#include <keldra/TextCriterion.h>

#include <cmath>
#include <cstring>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const char kClassQuery[] = "SELECT DISTINCT local_id FROM object";
const char kClassCondition[] = " WHERE object.class_name=?";
const char kWrapBegin[] = "SELECT DISTINCT local_id FROM object WHERE local_id IN (";
const char kWrapEnd[] = ") AND object.class_name=?";
const char kStateBegin[] = "SELECT DISTINCT local_id FROM object WHERE ";
const char kTextLike[] = "SELECT DISTINCT parent_object FROM text WHERE value_text LIKE ?";
const char kTextWords[] =
    "SELECT DISTINCT parent_object FROM text WHERE like_all_words( value_text, ? )";
const char kRect[] =
    "SELECT DISTINCT parent_object FROM position WHERE pos_in_rect( ?, ?, ?, ?, latitude, "
    "longitude )";
const char kCircle[] = " AND distance( ?, ?, latitude, longitude ) < ?";

// Half of the earth's circumference: a circle this large covers every point.
const double kHalfCircumference = 20015086.79602057;

// Composites nest by value; deeper nests than this are refused instead of recursing
// without bound. A composite adds no nesting to the SQL (its class is one more term of
// the intersection), so every accepted depth prepares.
const int kMaxDepth = 16;
// SQLite refuses a compound SELECT of more terms than this (SQLITE_MAX_COMPOUND_SELECT).
const size_t kMaxCompoundTerms = 500;
const char kIntersect[] = " INTERSECT ";

void class_query(const std::string& class_name, SearchStatement& statement) {
  statement.sql = kClassQuery;
  if (!class_name.empty()) {
    statement.sql += kClassCondition;
    statement.parameters.push_back(SearchParameter::text_value(class_name));
  }
}

// Restricts an inner statement of parent ids to the objects of one class.
void wrap_in_class(const std::string& class_name, SearchStatement& statement) {
  statement.sql = kWrapBegin + statement.sql + kWrapEnd;
  statement.parameters.push_back(SearchParameter::text_value(class_name));
}

}  // namespace

bool operator==(const SearchParameter& a, const SearchParameter& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == SearchParameter::TEXT) return a.text == b.text;
  return a.real == b.real || (std::isnan(a.real) && std::isnan(b.real));
}

namespace {

// The terms of the statement's outermost compound SELECT: the parts of a composite are
// joined flat, while a wrapped statement keeps its inner part between parentheses.
size_t compound_terms(const std::string& sql) {
  size_t terms = 1;
  int depth = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] == '(') {
      ++depth;
    } else if (sql[i] == ')') {
      --depth;
    } else if (depth == 0 && sql.compare(i, sizeof kIntersect - 1, kIntersect) == 0) {
      ++terms;
    }
  }
  return terms;
}

}  // namespace

orva::ErrorCode SearchQueryBuilder::create_query(const Criterion& criterion,
                                                 SearchStatement& statement) {
  statement.clear();
  orva::ErrorCode rc = build(criterion, 0, statement);
  if (rc == ORVA_ERROR_NONE && compound_terms(statement.sql) > kMaxCompoundTerms) {
    LoggerUmbo::log("ERROR SearchQueryBuilder::create_query: too many criteria combined",
                    LoggerUmbo::MSG_TRACE);
    rc = ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (rc != ORVA_ERROR_NONE) statement.clear();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "SearchQueryBuilder::create_query: %s",
                   statement.sql.c_str());
  if (rc == ORVA_ERROR_NONE && statement.sql.empty()) rc = ORVA_ERROR_INVALID_PARAMETERS;
  return rc;
}

orva::ErrorCode SearchQueryBuilder::build(const Criterion& criterion, int depth,
                                          SearchStatement& statement) {
  const int type = criterion.get_type();
  const std::string class_name = criterion.get_class_name();
  bool matches_all = false;
  switch (type) {
    case Criterion::TYPE_TEXT:
    case Criterion::TYPE_POSITION:
      if (type == Criterion::TYPE_TEXT) {
        create_text_query(statement, static_cast<const TextCriterion*>(&criterion), matches_all);
      } else {
        create_position_query(statement, static_cast<const PositionCriterion*>(&criterion),
                              matches_all);
      }
      if (matches_all) {
        class_query(class_name, statement);
      } else if (!statement.sql.empty() && !class_name.empty()) {
        wrap_in_class(class_name, statement);
      }
      break;
    case Criterion::TYPE_STATE:
      create_state_query(statement, static_cast<const StateCriterion*>(&criterion), matches_all);
      if (!statement.sql.empty() && !class_name.empty()) {
        // The class must restrict every OR-ed condition.
        statement.sql = kStateBegin + ("(" + statement.sql.substr(std::strlen(kStateBegin)) +
                                       ") AND object.class_name=?");
        statement.parameters.push_back(SearchParameter::text_value(class_name));
      }
      break;
    case Criterion::TYPE_CLASS:
      class_query(class_name, statement);
      break;
    case Criterion::TYPE_COMPOSITE:
      if (depth >= kMaxDepth) {
        LoggerUmbo::log("ERROR SearchQueryBuilder::create_query: criteria nested too deeply",
                        LoggerUmbo::MSG_TRACE);
        return ORVA_ERROR_INVALID_PARAMETERS;
      }
      return build_composite(static_cast<const CompositeCriterion&>(criterion), depth, statement);
    default:
      LoggerUmbo::log("ERROR SearchQueryBuilder::create_query: Unknown criterion!",
                      LoggerUmbo::MSG_TRACE);
      return ORVA_ERROR_INVALID_PARAMETERS;
  }
  return statement.sql.empty() ? ORVA_ERROR_INVALID_PARAMETERS : ORVA_ERROR_NONE;
}

// Objects that match every argument: the intersection of the arguments' statements.
orva::ErrorCode SearchQueryBuilder::build_composite(const CompositeCriterion& criterion, int depth,
                                                    SearchStatement& statement) {
  if (criterion.get_composition_type() != CompositeCriterion::COMPOSITION_AND) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "ERROR SearchQueryBuilder::create_query: unknown composition %d",
                     static_cast<int>(criterion.get_composition_type()));
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  const size_t count = criterion.get_arguments().size();
  if (count == 0) {
    LoggerUmbo::log("ERROR SearchQueryBuilder::create_query: composite without arguments",
                    LoggerUmbo::MSG_TRACE);
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  for (size_t i = 0; i < count; ++i) {
    SearchStatement member;
    const orva::ErrorCode rc = build(criterion.get_argument(i), depth + 1, member);
    if (rc != ORVA_ERROR_NONE) return rc;
    if (i > 0) statement.sql += kIntersect;
    statement.sql += member.sql;
    statement.parameters.insert(statement.parameters.end(), member.parameters.begin(),
                                member.parameters.end());
  }
  if (!criterion.get_class_name().empty()) {
    // One more term rather than a wrapping sub-select: nested composites stay flat,
    // where each sub-select would deepen what SQLite's parser has to hold.
    SearchStatement of_class;
    class_query(criterion.get_class_name(), of_class);
    statement.sql += kIntersect + of_class.sql;
    statement.parameters.insert(statement.parameters.end(), of_class.parameters.begin(),
                                of_class.parameters.end());
  }
  return ORVA_ERROR_NONE;
}

void SearchQueryBuilder::create_text_query(SearchStatement& statement,
                                           const TextCriterion* criterion, bool& matches_all) {
  statement.clear();
  matches_all = false;
  if (!criterion) return;
  const std::string pattern = convert_to_std_pattern(criterion->get_pattern());
  matches_all = check_matches_all(pattern);
  if (matches_all) return;
  statement.sql =
      (criterion->get_options() & TextCriterion::OPTION_WORD_START) ? kTextWords : kTextLike;
  statement.parameters.push_back(SearchParameter::text_value(pattern));
}

void SearchQueryBuilder::create_position_query(SearchStatement& statement,
                                               const PositionCriterion* criterion,
                                               bool& matches_all) {
  statement.clear();
  matches_all = false;
  if (!criterion) return;
  orva::GeoRect rect;
  criterion->get_rect(rect);
  orva::GeoCoordinates centre;
  double radius = 0.0;
  criterion->get_circle(centre, radius);
  const bool rect_valid = rect.is_valid();
  // A NaN radius sets no circle, as in PositionCriterion::match.
  const bool circle_valid = centre.is_valid() && !std::isnan(radius);
  if (!rect_valid && !circle_valid) return;
  if (!rect_valid) {
    if (check_matches_all(radius)) {
      matches_all = true;
      return;
    }
    rect = area_restriction(centre, radius);
    // A negative radius bounds no area: nothing to search.
    if (!rect.is_valid()) return;
  }
  const double top = rect.get_top_left().get_latitude();
  const double left = rect.get_top_left().get_longitude();
  const double bottom = rect.get_bottom_right().get_latitude();
  const double right = rect.get_bottom_right().get_longitude();
  if (!circle_valid) {
    matches_all = check_matches_all(bottom, right, top, left);
    if (matches_all) return;
  }
  statement.sql = kRect;
  statement.parameters.push_back(SearchParameter::real_value(top));
  statement.parameters.push_back(SearchParameter::real_value(left));
  statement.parameters.push_back(SearchParameter::real_value(bottom));
  statement.parameters.push_back(SearchParameter::real_value(right));
  if (circle_valid) {
    statement.sql += kCircle;
    statement.parameters.push_back(SearchParameter::real_value(centre.get_latitude()));
    statement.parameters.push_back(SearchParameter::real_value(centre.get_longitude()));
    statement.parameters.push_back(SearchParameter::real_value(radius));
  }
}

void SearchQueryBuilder::create_state_query(SearchStatement& statement,
                                            const StateCriterion* criterion, bool& matches_all) {
  statement.clear();
  matches_all = false;
  if (!criterion) return;
  std::string conditions;
  auto add = [&conditions](bool set, const char* condition) {
    if (!set) return;
    if (!conditions.empty()) conditions += " OR ";
    conditions += condition;
  };
  add(criterion->is_check_linked_modified(), "linkmods > 0");
  add(criterion->is_check_local_only_content(), "updeps > 0");
  add(criterion->is_check_remote_only_content(), "downdeps > 0");
  add(criterion->is_check_modified(), "modified = 1 OR modified = 2");
  if (conditions.empty()) return;
  statement.sql = kStateBegin + conditions;
}

void SearchQueryBuilder::add_name_key(SearchStatement& statement) {
  // "+m.parent_attribute" keeps SQLite from looking the metadata attribute up through
  // every top-level attribute of the store.
  statement.sql =
      "WITH found(id) AS (" + statement.sql +
      ") SELECT found.id, (SELECT text.collate_key FROM attribute AS m, attribute AS n, "
      "text WHERE m.parent_object = found.id AND m.class_name = 'metadata' AND "
      "+m.parent_attribute = 0 AND n.parent_attribute = m.id AND n.name = 'name' AND "
      "text.parent_attribute = n.id ORDER BY n.id DESC, text.id DESC LIMIT 1) FROM found";
}

std::string SearchQueryBuilder::convert_to_std_pattern(const orva::ustring& pattern) {
  if (pattern.empty()) return std::string();
  return casefold_and_normalize(pattern.to_utf8());
}

bool SearchQueryBuilder::check_matches_all(const std::string& pattern) {
  return pattern.find_first_not_of('*') == std::string::npos;
}

bool SearchQueryBuilder::check_matches_all(double bottom, double right, double top, double left) {
  return bottom == -90.0 && right == 180.0 && top == 90.0 && left == -180.0;
}

bool SearchQueryBuilder::check_matches_all(double radius) { return radius >= kHalfCircumference; }

}  // namespace internal
}  // namespace keldra
}  // namespace orva
