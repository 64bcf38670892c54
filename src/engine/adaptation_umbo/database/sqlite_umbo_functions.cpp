#include "adaptation_umbo/database/sqlite_umbo_functions.h"

#include "adaptation_umbo/base/Utils.h"
#include "runtime/Utf8.h"

#include <keldra/Invariant.h>
#include <tervo/GeoCoordinates.h>
#include <tervo/GeoRect.h>

#include <glib.h>
#include <sqlite3.h>

#include <cstring>
#include <string>

namespace orva {
namespace keldra {
namespace internal {

namespace {

typedef unsigned char uc;

// Marks a byte that starts no well-formed sequence; such bytes match only themselves.
const unsigned kStrayByte = 0x80000000u;

// Decodes the code point at s (not at its NUL) and moves s past it. Only well-formed
// sequences decode (no overlong forms, surrogates or values above U+10FFFF); any other
// byte is taken alone. Never reads past the terminating NUL: the decoder stops at the
// first byte that does not continue the sequence.
unsigned next_code_point(const uc*& s) {
  const unsigned c = *s;
  if (c < 0x80) {
    ++s;
    return c;
  }
  size_t available = 1;
  while (available < 4 && s[available]) ++available;
  char32_t cp = 0;
  const unsigned int length = decode_utf8(s, available, cp);
  if (length == 0) {
    ++s;
    return kStrayByte | c;
  }
  s += length;
  return static_cast<unsigned>(cp);
}

bool is_space_at(const uc* s) {
  // ASCII answers without a call into GLib (same result as g_unichar_isspace).
  if (*s < 0x80) return *s == ' ' || *s == '\t' || *s == '\n' || *s == '\f' || *s == '\r';
  const unsigned cp = next_code_point(s);
  return !(cp & kStrayByte) && g_unichar_isspace(static_cast<gunichar>(cp));
}

// The text case-folded and decomposed, as casefold_and_normalize gives it. Plain
// ASCII (the usual case for names and addresses) only needs lower-casing, done in a
// per-thread buffer so that a scan over many rows does not allocate per row.
const char* fold_text(const char* text, std::string& scratch) {
  const uc* s = reinterpret_cast<const uc*>(text);
  bool ascii = true;
  for (const uc* q = s; *q; ++q) {
    if (*q >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (!ascii) {
    scratch = casefold_and_normalize(text);
    return scratch.c_str();
  }
  scratch.assign(text);
  for (char& ch : scratch) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return scratch.c_str();
}

std::string& fold_buffer() {
  thread_local std::string buffer;
  return buffer;
}

// Matches the star-free pattern part [begin, end) at the start of s; the text
// position after it, or null.
const uc* match_prefix(const char* begin, const char* end, const uc* s) {
  const uc* p = reinterpret_cast<const uc*>(begin);
  const uc* stop = reinterpret_cast<const uc*>(end);
  while (p < stop) {
    if (!*s) return nullptr;
    if (*p == '?') {
      ++p;
      next_code_point(s);
      continue;
    }
    if (next_code_point(p) != next_code_point(s)) return nullptr;
  }
  return s;
}

// Shared NULL rules of both like functions: true when the result is set.
bool null_rules(sqlite3_context* context, const unsigned char* pattern, const unsigned char* text) {
  if (!pattern) {
    sqlite3_result_int(context, 0);
    return true;
  }
  if (!text) {
    // Only "*" matches a missing text; any other pattern leaves the result NULL.
    if (std::strcmp(reinterpret_cast<const char*>(pattern), "*") == 0)
      sqlite3_result_int(context, 1);
    return true;
  }
  return false;
}

}  // namespace

bool wildcard_match(const char* pattern, const char* text) {
  const uc* p = reinterpret_cast<const uc*>(pattern);
  const uc* t = reinterpret_cast<const uc*>(text);
  // Where to resume after the last '*' and the text position it was tried at: on a
  // mismatch only the last star needs to take one more code point, which keeps the
  // match linear per pattern position instead of exponential.
  const uc* star_p = nullptr;
  const uc* star_t = nullptr;
  while (*t) {
    if (*p == '*') {
      while (*p == '*') ++p;
      if (!*p) return true;
      star_p = p;
      star_t = t;
      continue;
    }
    if (*p == '?') {
      ++p;
      next_code_point(t);
      continue;
    }
    if (*p) {
      const uc* pp = p;
      const uc* tt = t;
      if (next_code_point(pp) == next_code_point(tt)) {
        p = pp;
        t = tt;
        continue;
      }
    }
    if (!star_p) return false;
    next_code_point(star_t);
    p = star_p;
    t = star_t;
  }
  while (*p == '*') ++p;
  return !*p;
}

void distance_umbo(sqlite3_context* context, int argc, sqlite3_value** argv) {
  KELDRA_INVARIANT(argc == DISTANCE_UMBO_ARGC, "argc==DISTANCE_UMBO_ARGC",
                   "sqlite_umbo_functions.cpp", __LINE__);
  const orva::GeoCoordinates a(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1]));
  const orva::GeoCoordinates b(sqlite3_value_double(argv[2]), sqlite3_value_double(argv[3]));
  sqlite3_result_double(context, a.get_distance_m(b));
}

void pos_in_rect_umbo(sqlite3_context* context, int argc, sqlite3_value** argv) {
  KELDRA_INVARIANT(argc == POS_IN_RECT_UMBO_ARGC, "argc==POS_IN_RECT_UMBO_ARGC",
                   "sqlite_umbo_functions.cpp", __LINE__);
  const orva::GeoRect rect(
      orva::GeoCoordinates(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1])),
      orva::GeoCoordinates(sqlite3_value_double(argv[2]), sqlite3_value_double(argv[3])));
  const orva::GeoCoordinates point(sqlite3_value_double(argv[4]), sqlite3_value_double(argv[5]));
  sqlite3_result_int(context, rect.contains(point) ? 1 : 0);
}

void like_compare_umbo(sqlite3_context* context, int argc, sqlite3_value** argv) {
  KELDRA_INVARIANT(argc == LIKE_COMPARE_UMBO_ARGC_MIN || argc == LIKE_COMPARE_UMBO_ARGC_MAX,
                   "argc==LIKE_COMPARE_UMBO_ARGC_MIN || argc==LIKE_COMPARE_UMBO_ARGC_MAX",
                   "sqlite_umbo_functions.cpp", __LINE__);
  const unsigned char* pattern = sqlite3_value_text(argv[0]);
  const unsigned char* text = sqlite3_value_text(argv[1]);
  if (null_rules(context, pattern, text)) return;
  const char* folded = fold_text(reinterpret_cast<const char*>(text), fold_buffer());
  sqlite3_result_int(context,
                     wildcard_match(reinterpret_cast<const char*>(pattern), folded) ? 1 : 0);
}

void like_compare_aw_umbo(sqlite3_context* context, int argc, sqlite3_value** argv) {
  KELDRA_INVARIANT(argc == LIKE_COMPARE_UMBO_ARGC_MIN || argc == LIKE_COMPARE_UMBO_ARGC_MAX,
                   "argc==LIKE_COMPARE_UMBO_ARGC_MIN || argc==LIKE_COMPARE_UMBO_ARGC_MAX",
                   "sqlite_umbo_functions.cpp", __LINE__);
  const unsigned char* text = sqlite3_value_text(argv[0]);
  const unsigned char* pattern = sqlite3_value_text(argv[1]);
  if (null_rules(context, pattern, text)) return;
  const char* p = reinterpret_cast<const char*>(pattern);
  const char* folded = fold_text(reinterpret_cast<const char*>(text), fold_buffer());
  if (*p == '*') {
    sqlite3_result_int(context, wildcard_match(p, folded) ? 1 : 0);
    return;
  }
  // Word starts: the start of the text and the end of every run of white space.
  // With a '*' in the pattern, "*REST" matches from a position only if it matches from
  // every earlier one, so the first start where the part before the star fits decides;
  // this keeps texts with many words linear.
  const char* star = std::strchr(p, '*');
  const uc* s = reinterpret_cast<const uc*>(folded);
  for (;;) {
    if (!star) {
      if (wildcard_match(p, reinterpret_cast<const char*>(s))) {
        sqlite3_result_int(context, 1);
        return;
      }
    } else if (const uc* rest = match_prefix(p, star, s)) {
      sqlite3_result_int(context,
                         wildcard_match(star, reinterpret_cast<const char*>(rest)) ? 1 : 0);
      return;
    }
    while (*s && !is_space_at(s)) next_code_point(s);
    if (!*s) break;
    while (*s && is_space_at(s)) next_code_point(s);
  }
  sqlite3_result_int(context, 0);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
