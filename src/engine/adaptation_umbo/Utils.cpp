#include "adaptation_umbo/Utils.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <glib.h>

#include <cmath>
#include <cstdlib>
#include <pwd.h>
#include <sys/select.h>
#include <unistd.h>

namespace orva {
namespace keldra {
namespace internal {

std::string casefold_and_normalize(const std::string& text) {
  gchar* folded = g_utf8_casefold(text.c_str(), static_cast<gssize>(text.size()));
  if (!folded) return std::string();
  gchar* normalized = g_utf8_normalize(folded, -1, G_NORMALIZE_ALL);
  g_free(folded);
  if (!normalized) return std::string();
  std::string result(normalized);
  g_free(normalized);
  return result;
}

std::string collate_key(const std::string& text) {
  gchar* key = g_utf8_collate_key(text.c_str(), static_cast<gssize>(text.size()));
  if (!key) return std::string();
  std::string result(key);
  g_free(key);
  return result;
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
  struct passwd pwd;
  struct passwd* found = nullptr;
  char buf[4096];
  if (getpwuid_r(getuid(), &pwd, buf, sizeof(buf), &found) == 0 && found && found->pw_dir)
    return std::string(found->pw_dir) + "/";
  return "/";
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva

orva::ErrorCode rm(const std::string& path) {
  return QDir().remove(QString::fromStdString(path)) ? ORVA_ERROR_NONE : ORVA_ERROR_FILE_OPERATION;
}

orva::ErrorCode mv(const std::string& from, const std::string& to) {
  return QDir().rename(QString::fromStdString(from), QString::fromStdString(to))
             ? ORVA_ERROR_NONE
             : ORVA_ERROR_FILE_OPERATION;
}

orva::ErrorCode mkdir(const std::string& path) {
  QDir dir;
  const QString p = QString::fromStdString(path);
  if (dir.exists(p)) return ORVA_ERROR_NONE;
  return dir.mkpath(p) ? ORVA_ERROR_NONE : ORVA_ERROR_FILE_OPERATION;
}
