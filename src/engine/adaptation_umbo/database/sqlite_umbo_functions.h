// SQL functions of the store, registered on every connection (DatabaseConnection):
//   distance(lat1, lon1, lat2, lon2)            metres between two points (double)
//   pos_in_rect(top, left, bottom, right, lat, lon)  1 when the rectangle contains the
//                                               point, else 0; left > right crosses ±180°
//   like(pattern, text [, escape])              replaces SQLite's LIKE: X LIKE Y is
//                                               like(Y, X); wildcards '*' and '?', while
//                                               '%' and '_' are ordinary characters
//   like_all_words(text, pattern [, escape])    the pattern matched from any word start
// Both like functions fold the text (case folding, then compatibility decomposition);
// the pattern is taken as given, so callers fold it. A NULL text gives 1 for the
// pattern "*" and NULL otherwise; a NULL pattern gives 0. The escape argument is
// accepted and ignored. Numbers read with SQLite's conversions (NULL is 0.0).
//
// The functions never report SQL errors; a wrong argument count is a broken
// invariant. They keep no state between calls and may run on any connection's thread.
#pragma once

struct sqlite3_context;
struct sqlite3_value;

#define DISTANCE_UMBO_ARGC 4
#define POS_IN_RECT_UMBO_ARGC 6
#define LIKE_COMPARE_UMBO_ARGC_MIN 2
#define LIKE_COMPARE_UMBO_ARGC_MAX 3

namespace orva {
namespace keldra {
namespace internal {

void distance_umbo(sqlite3_context* context, int argc, sqlite3_value** argv);
void pos_in_rect_umbo(sqlite3_context* context, int argc, sqlite3_value** argv);
void like_compare_umbo(sqlite3_context* context, int argc, sqlite3_value** argv);
void like_compare_aw_umbo(sqlite3_context* context, int argc, sqlite3_value** argv);

// Whether the whole NUL-terminated UTF-8 |text| matches |pattern|, code point by code
// point: '*' any run (also empty), '?' exactly one code point, anything else itself.
// No case folding. Runs in time linear in the text for each pattern position (no
// exponential backtracking). Ill-formed bytes are taken one at a time.
bool wildcard_match(const char* pattern, const char* text);

}  // namespace internal
}  // namespace keldra
}  // namespace orva
