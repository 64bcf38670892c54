// Free helpers of the platform layer: text keys for search and sorting, the search
// circle's bounding rectangle, sleeping, file-system operations and the home folder.
// All are thread-safe; none logs or throws.
#pragma once

#include <keldra/ErrorCode.h>
#include <tervo/GeoCoordinates.h>
#include <tervo/GeoRect.h>

#include <string>

namespace orva {
namespace keldra {
namespace internal {

// UTF-8 text case-folded (g_utf8_casefold) then normalised with compatibility
// decomposition (G_NORMALIZE_ALL), so "Straße" and "STRASSE" give the same key.
// Ill-formed UTF-8 bytes and zero bytes are taken as U+FFFD.
std::string casefold_and_normalize(const std::string& text);

// GLib collation key of the UTF-8 text: sorts by byte comparison in the order of the
// current locale. Ill-formed bytes as above.
std::string collate_key(const std::string& text);

// Suspends the calling thread for ms milliseconds (select with no descriptors); 0 or
// less returns at once.
void sleep_ms(int ms);

// The rectangle bounding the circle of radius_m metres around centre (on a sphere of
// radius 6371010 m). A circle that crosses the ±180° meridian gives west > east; one
// that reaches a pole spans all longitudes, its latitudes cut at ±90. A radius of 0
// gives the centre itself. Coordinates that are not valid, or a negative or
// non-finite radius, give the default rectangle, which is not valid.
orva::GeoRect area_restriction(orva::GeoCoordinates centre, double radius_m);

// The user's home folder followed by "/": HOME, or, when HOME is unset or empty, the
// home folder of the password database's entry for the process's user.
std::string get_home_dir();

// File helpers on byte paths: 0 on success, 6 (file operation failed) otherwise; they
// neither log nor throw. Relative paths are taken against the current folder.
// Removes a file (not a folder).
orva::ErrorCode rm(const std::string& path);
// Renames (moves) within one file system; an existing file at |to| is replaced.
orva::ErrorCode mv(const std::string& from, const std::string& to);
// 0 when the folder exists; otherwise creates it with every missing parent. A file
// (not a folder) at |path| gives 6.
orva::ErrorCode mkdir(const std::string& path);

}  // namespace internal
}  // namespace keldra
}  // namespace orva
