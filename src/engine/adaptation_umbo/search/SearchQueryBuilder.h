// Writes the SQL statement of a search from a criterion.
//
// Every statement returns one column of object local ids, without order. Values taken
// from the criterion (class names, the text pattern, coordinates, radii) are never
// written into the SQL text: each appears as a "?" placeholder, and the statement
// carries the values to bind, in placeholder order, with full precision. Text and
// geometry tests call the SQL functions that every connection registers: LIKE (whose
// wildcards in this database are '*' and '?'), like_all_words, pos_in_rect and
// distance.
//
// Statements (X: a class name, P: the folded pattern; each bound where "?" stands):
//   class, no class name      SELECT DISTINCT local_id FROM object
//   class X                   ... + " WHERE object.class_name=?"            [X]
//   text                      SELECT DISTINCT parent_object FROM text WHERE value_text LIKE ?   [P]
//   text, word start          ... WHERE like_all_words( value_text, ? )      [P]
//   rectangle                 SELECT DISTINCT parent_object FROM position WHERE
//                             pos_in_rect( ?, ?, ?, ?, latitude, longitude ) [top, left, bottom,
//                             right]
//   circle                    the rectangle + " AND distance( ?, ?, latitude, longitude ) < ?"
//                                                                  [..., centre lat, lon, radius]
//   text or position, class X SELECT DISTINCT local_id FROM object WHERE local_id IN (inner)
//                             AND object.class_name=?
//   state                     SELECT DISTINCT local_id FROM object WHERE <flags joined by OR>
//                             (with class X: WHERE (<flags>) AND object.class_name=?)
//   composite                 the arguments' statements joined by " INTERSECT " (with its own
//                             class X, the class statement as one more term)
// A text pattern that matches everything and an area that covers the whole earth give
// the class statement.
//
// Stateless; callable from any thread. Never throws (out of memory aside).
#pragma once

#include <keldra/ErrorCode.h>

#include <tervo/ustring.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

class Criterion;
class TextCriterion;
class PositionCriterion;
class StateCriterion;
class CompositeCriterion;

namespace internal {

// One value bound to a placeholder of a search statement.
struct SearchParameter {
  enum Kind { TEXT, REAL };

  static SearchParameter text_value(const std::string& value) {
    SearchParameter p;
    p.kind = TEXT;
    p.text = value;
    return p;
  }
  static SearchParameter real_value(double value) {
    SearchParameter p;
    p.kind = REAL;
    p.real = value;
    return p;
  }

  Kind kind = TEXT;
  std::string text;
  double real = 0.0;
};

bool operator==(const SearchParameter& a, const SearchParameter& b);

// A statement and the values of its placeholders, in order.
struct SearchStatement {
  std::string sql;
  std::vector<SearchParameter> parameters;

  void clear() {
    sql.clear();
    parameters.clear();
  }
};

class SearchQueryBuilder {
 public:
  // The statement for |criterion|: 0, or 3 (ORVA_ERROR_INVALID_PARAMETERS) with an
  // empty statement when the criterion selects nothing searchable (a position
  // criterion with neither rectangle nor circle, a state criterion without flags, a
  // composite without arguments or of an unknown composition, an unknown kind), or
  // that SQLite could not prepare (composites nested deeper than 16, more than 500
  // terms intersected in all).
  static orva::ErrorCode create_query(const Criterion& criterion, SearchStatement& statement);

  // The inner statement of one kind. Each first clears |statement| and sets
  // |matches_all| to false; a null criterion leaves both so. |matches_all| becomes
  // true, with an empty statement, when the criterion selects every object.
  static void create_text_query(SearchStatement& statement, const TextCriterion* criterion,
                                bool& matches_all);
  static void create_position_query(SearchStatement& statement, const PositionCriterion* criterion,
                                    bool& matches_all);
  static void create_state_query(SearchStatement& statement, const StateCriterion* criterion,
                                 bool& matches_all);

  // Adds to each id of |statement| the sort key of the object's name as a second
  // column (NULL without a name): the collation key of the text of the "name"
  // attribute under the object's top-level "metadata" attribute, the last such row
  // when there are several. One statement instead of a lookup per id, and each lookup
  // goes through the object's own attributes, not through every top-level attribute.
  static void add_name_key(SearchStatement& statement);

  // The pattern in UTF-8, case-folded and brought to compatibility decomposition;
  // empty for an empty pattern.
  static std::string convert_to_std_pattern(const orva::ustring& pattern);

  // True for a pattern that is empty or made only of '*'.
  static bool check_matches_all(const std::string& pattern);
  // True for exactly the whole earth: bottom -90, right 180, top 90, left -180.
  static bool check_matches_all(double bottom, double right, double top, double left);
  // True for a radius of half the earth's circumference (20015086.79602057 m) or more.
  static bool check_matches_all(double radius);

 private:
  static orva::ErrorCode build(const Criterion& criterion, int depth, SearchStatement& statement);
  static orva::ErrorCode build_composite(const CompositeCriterion& criterion, int depth,
                                         SearchStatement& statement);
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
