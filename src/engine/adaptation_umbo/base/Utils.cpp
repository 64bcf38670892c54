#include "adaptation_umbo/base/Utils.h"

#include <glib.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <memory>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

namespace {

// GLib's text, freed also when copying it out runs out of memory.
struct GFree {
  void operator()(gchar* p) const { g_free(p); }
};
typedef std::unique_ptr<gchar, GFree> GText;

// GLib's text functions expect valid UTF-8 and may read past a cut sequence; give them
// a valid copy in which every ill-formed byte (and every zero byte) is U+FFFD.
std::string make_valid(const std::string& text) {
  GText valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
  return std::string(valid ? valid.get() : "");
}

}  // namespace

std::string casefold_and_normalize(const std::string& text) {
  const std::string valid = make_valid(text);
  GText folded(g_utf8_casefold(valid.c_str(), -1));
  if (!folded) return std::string();
  GText normalized(g_utf8_normalize(folded.get(), -1, G_NORMALIZE_ALL));
  if (!normalized) return std::string();
  return std::string(normalized.get());
}

std::string collate_key(const std::string& text) {
  const std::string valid = make_valid(text);
  GText key(g_utf8_collate_key(valid.c_str(), -1));
  if (!key) return std::string();
  return std::string(key.get());
}

void sleep_ms(int ms) {
  if (ms <= 0) return;
  struct timeval tv;
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  select(0, nullptr, nullptr, nullptr, &tv);
}

orva::GeoRect area_restriction(orva::GeoCoordinates centre, double radius_m) {
  const double kEarthRadius = 6371010.0;
  const double kDegPerRad = 57.29577951308232;
  const double kRadPerDeg = 0.017453292519943295;
  if (!centre.is_valid() || !(radius_m >= 0.0) || !std::isfinite(radius_m)) return orva::GeoRect();
  const double lat = centre.get_latitude();
  const double lon = centre.get_longitude();
  const double d = radius_m * kDegPerRad / kEarthRadius;
  double south = lat - d;
  if (south < -90.0) south = -90.0;
  double north = lat + d;
  if (north > 90.0) north = 90.0;
  double west, east;
  if (std::fabs(lat) + d < 90.0) {
    const double s = std::sin(d * kRadPerDeg);
    const double c = std::cos(lat * kRadPerDeg);
    const double delta = std::atan2(s, std::sqrt(c * c - s * s)) * kDegPerRad;
    west = lon - delta;
    if (west < -180.0) west += 360.0;
    east = lon + delta;
    if (east > 180.0) east -= 360.0;
  } else {
    west = -180.0;
    east = 180.0;
  }
  return orva::GeoRect(west, east, south, north);
}

std::string get_home_dir() {
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/";
  // HOME unset: the password database still knows the user's home folder.
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd pwd;
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pwd, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
      *found->pw_dir)
    return std::string(found->pw_dir) + "/";
  return "/";
}

// The file helpers work on the byte paths directly, so names that are not valid in
// any text encoding still work.
orva::ErrorCode rm(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? ORVA_ERROR_NONE : ORVA_ERROR_FILE_OPERATION;
}

orva::ErrorCode mv(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return ORVA_ERROR_FILE_OPERATION;
  return ::rename(from.c_str(), to.c_str()) == 0 ? ORVA_ERROR_NONE : ORVA_ERROR_FILE_OPERATION;
}

orva::ErrorCode mkdir(const std::string& path) {
  if (path.empty()) return ORVA_ERROR_FILE_OPERATION;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode) ? ORVA_ERROR_NONE : ORVA_ERROR_FILE_OPERATION;
  // Create each missing folder from the top down; one made meanwhile by another
  // process is fine.
  for (size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
    const std::string part = path.substr(0, pos);
    if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
      return ORVA_ERROR_FILE_OPERATION;
    if (pos == std::string::npos) break;
  }
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ORVA_ERROR_NONE
                                                                : ORVA_ERROR_FILE_OPERATION;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
