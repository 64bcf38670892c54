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
// decomposition (G_NORMALIZE_ALL). Invalid UTF-8 gives an empty text.
std::string casefold_and_normalize(const std::string& text);

// GLib collation key of the UTF-8 text: sorts by byte comparison in locale order.
std::string collate_key(const std::string& text);

// Suspends the calling thread for ms milliseconds (select with no descriptors).
void sleep_ms(int ms);

// The rectangle bounding the circle of radius_m metres around centre. A circle that
// crosses the ±180° meridian gives west > east; one that reaches a pole spans all
// longitudes.
orva::GeoRect area_restriction(orva::GeoCoordinates centre, double radius_m);

// The user's home folder followed by "/": HOME, or, when HOME is unset or empty, the
// home folder of the password database's entry for the process's user.
std::string get_home_dir();

}  // namespace internal
}  // namespace keldra
}  // namespace orva

// File helpers: 0 on success, 6 (file operation failed) otherwise. Relative paths are
// taken against the current folder.
orva::ErrorCode rm(const std::string& path);
orva::ErrorCode mv(const std::string& from, const std::string& to);
// 0 when the folder exists; otherwise creates it with every missing parent.
orva::ErrorCode mkdir(const std::string& path);
