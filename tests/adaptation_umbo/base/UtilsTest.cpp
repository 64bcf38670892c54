#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/base/Utils.h"
#include "support/TestEnv.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace orva::keldra::internal;
using orva::GeoCoordinates;
using orva::GeoRect;

bool is_dir(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// ---- text keys ----

TEST(Utils, CasefoldAndNormalize) {
  struct Case {
    std::string a, b;
  } same[] = {
      {"Stra\xC3\x9F" "e", "STRASSE"},               // ß folds to ss
      {"\xEF\xAC\x81", "fi"},                        // the ligature fi decomposes
      {"\xC3\x85NGSTR\xC3\x96M", "a\xCC\x8Angstro\xCC\x88m"},  // composed and decomposed
      {"Hello World", "hello world"},
  };
  for (const Case& c : same) {
    EXPECT_EQ(casefold_and_normalize(c.a), casefold_and_normalize(c.b)) << c.a;
  }
  EXPECT_EQ("strasse", casefold_and_normalize("Stra\xC3\x9F" "e"));
  EXPECT_EQ("fi", casefold_and_normalize("\xEF\xAC\x81"));
  EXPECT_EQ("", casefold_and_normalize(""));
  EXPECT_NE(casefold_and_normalize("strasse"), casefold_and_normalize("strase"));
}

TEST(Utils, TextKeysTakeIllFormedBytesAsReplacement) {
  const std::string R = "\xEF\xBF\xBD";
  // A sequence cut at the very end must not make GLib read past the text (ASan).
  const std::string cut = casefold_and_normalize("ABC\xE2\x82");
  EXPECT_EQ(0u, cut.find("abc" + R)) << cut;
  EXPECT_TRUE(g_utf8_validate(cut.data(), static_cast<gssize>(cut.size()), nullptr));
  EXPECT_EQ(R + "x", casefold_and_normalize("\xFFX"));
  EXPECT_EQ("a" + R + "b", casefold_and_normalize(std::string("A\0B", 3)));
  EXPECT_FALSE(collate_key("ABC\xF0\x9F").empty());
  EXPECT_EQ(collate_key("\xFF"), collate_key(R));
}

TEST(Utils, CollateKeysSortByBytes) {
  EXPECT_EQ(collate_key("Apple"), collate_key("Apple"));
  EXPECT_LT(collate_key("apple"), collate_key("banana"));
  EXPECT_LT(collate_key("banana"), collate_key("cherry"));
  EXPECT_EQ("", collate_key("").substr(0, 0));
}

// ---- sleep ----

TEST(Utils, SleepWaitsAtLeastTheTime) {
  typedef std::chrono::steady_clock Clock;
  Clock::time_point start = Clock::now();
  sleep_ms(120);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(120));
  start = Clock::now();
  sleep_ms(0);
  sleep_ms(-5);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
}

// ---- file helpers ----

class FileHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    root = keldra_test::home_dir() + "/files-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(0, mkdir(root));
  }
  std::string root;
};

TEST_F(FileHelpers, Rm) {
  const std::string file = root + "/a.txt";
  ASSERT_TRUE(keldra_test::write_file(file, "x"));
  EXPECT_EQ(0, rm(file));
  EXPECT_FALSE(exists(file));
  EXPECT_EQ(6, rm(file));  // missing
  EXPECT_EQ(6, rm(root));  // a folder is not a file
  EXPECT_TRUE(is_dir(root));
  EXPECT_EQ(6, rm(""));
}

TEST_F(FileHelpers, Mv) {
  const std::string a = root + "/a", b = root + "/b";
  ASSERT_TRUE(keldra_test::write_file(a, "first"));
  EXPECT_EQ(0, mv(a, b));
  EXPECT_FALSE(exists(a));
  EXPECT_EQ("first", keldra_test::read_file(b));
  EXPECT_EQ(6, mv(a, b));  // source missing: the target stays
  EXPECT_EQ("first", keldra_test::read_file(b));

  ASSERT_TRUE(keldra_test::write_file(a, "second"));
  EXPECT_EQ(0, mv(a, b));  // an existing target is replaced
  EXPECT_EQ("second", keldra_test::read_file(b));

  EXPECT_EQ(6, mv(b, root + "/missing/b"));
  EXPECT_TRUE(exists(b));
}

TEST_F(FileHelpers, Mkdir) {
  // Existing folder: 0, contents untouched.
  ASSERT_TRUE(keldra_test::write_file(root + "/keep", "k"));
  EXPECT_EQ(0, mkdir(root));
  EXPECT_EQ("k", keldra_test::read_file(root + "/keep"));

  // Every missing parent is made; a trailing slash is fine.
  EXPECT_EQ(0, mkdir(root + "/x/y/z"));
  EXPECT_TRUE(is_dir(root + "/x/y/z"));
  EXPECT_EQ(0, mkdir(root + "/p/q/"));
  EXPECT_TRUE(is_dir(root + "/p/q"));

  // A file in the way is a failure, not a success.
  EXPECT_EQ(6, mkdir(root + "/keep"));
  EXPECT_EQ(6, mkdir(root + "/keep/sub"));
  EXPECT_EQ(6, mkdir(""));

  // Relative paths are taken against the current folder.
  char old_cwd[4096];
  ASSERT_NE(nullptr, getcwd(old_cwd, sizeof(old_cwd)));
  ASSERT_EQ(0, chdir(root.c_str()));
  EXPECT_EQ(0, mkdir("rel/one"));
  ASSERT_TRUE(keldra_test::write_file("rel/one/f", "f"));
  EXPECT_EQ(0, mv("rel/one/f", "rel/g"));
  EXPECT_EQ(0, rm("rel/g"));
  ASSERT_EQ(0, chdir(old_cwd));
  EXPECT_TRUE(is_dir(root + "/rel/one"));
}

// ---- home folder ----

class HomeDir : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    had_home = home != nullptr;
    if (home) saved = home;
  }
  void TearDown() override {
    if (had_home) setenv("HOME", saved.c_str(), 1);
  }
  bool had_home = false;
  std::string saved;
};

TEST_F(HomeDir, FromEnvironment) {
  setenv("HOME", "/some/where", 1);
  EXPECT_EQ("/some/where/", get_home_dir());
}

TEST_F(HomeDir, UnsetFallsBackToPasswordDatabase) {
  struct passwd* pw = getpwuid(getuid());
  ASSERT_NE(nullptr, pw);
  const std::string expected = std::string(pw->pw_dir) + "/";
  unsetenv("HOME");
  EXPECT_EQ(expected, get_home_dir());
  setenv("HOME", "", 1);
  EXPECT_EQ(expected, get_home_dir());
}

// ---- search circle ----

struct AreaCase {
  const char* what;
  double lat, lon, radius;
  double west, east, south, north;
};

TEST(AreaRestriction, Examples) {
  const AreaCase cases[] = {
      {"radius 0 is the centre", 45, 10, 0, 10, 10, 45, 45},
      {"across the meridian", 0, 179.9, 55600, 179.4, -179.6, -0.5, 0.5},
      {"across the meridian, west side", 0, -179.9, 55600, 179.6, -179.4, -0.5, 0.5},
      {"reaches the north pole", 89.5, 10, 111195, -180, 180, 88.5, 90},
      {"89.8 + 0.3 is not below 90", 89.8, 10, 33358, -180, 180, 89.5, 90},
      {"reaches the south pole", -89.5, 10, 111195, -180, 180, -90, -88.5},
      {"centre on the pole", 90, 0, 0, -180, 180, 90, 90},
  };
  for (const AreaCase& c : cases) {
    SCOPED_TRACE(c.what);
    GeoRect r = area_restriction(GeoCoordinates(c.lat, c.lon, 0), c.radius);
    EXPECT_TRUE(r.is_valid());
    EXPECT_NEAR(c.west, r.get_west(), 1e-3);
    EXPECT_NEAR(c.east, r.get_east(), 1e-3);
    EXPECT_NEAR(c.south, r.get_south(), 1e-3);
    EXPECT_NEAR(c.north, r.get_north(), 1e-3);
  }
}

TEST(AreaRestriction, HalfWidthGrowsWithLatitude) {
  // One degree of radius at 60°: half-width asin(sin 1° / cos 60°).
  const double one_degree_m = 6371010.0 * M_PI / 180.0;
  GeoRect r = area_restriction(GeoCoordinates(60, 0, 0), one_degree_m);
  const double delta = std::asin(std::sin(M_PI / 180) / std::cos(M_PI / 3)) * 180 / M_PI;
  EXPECT_NEAR(-delta, r.get_west(), 1e-9);
  EXPECT_NEAR(delta, r.get_east(), 1e-9);
  EXPECT_NEAR(59, r.get_south(), 1e-9);
  EXPECT_NEAR(61, r.get_north(), 1e-9);
}

// The rectangle bounds the circle as GeoCoordinates measures it: every point at the
// radius lies inside, and the edges touch the circle.
TEST(AreaRestriction, BoundsTheCircleOfGetDistance) {
  const double R = 6371010.0, rad = M_PI / 180;
  const struct {
    double lat, lon, radius;
  } circles[] = {{50, 10, 10000}, {0, 179.9, 55600}, {-70, -179.5, 80000}, {30, 0, 1500000}};
  for (const auto& c : circles) {
    const GeoCoordinates centre(c.lat, c.lon, 0);
    const GeoRect rect = area_restriction(centre, c.radius);
    double max_east_offset = 0, min_south = 90;
    for (int step = 0; step < 3600; ++step) {
      // Destination at distance radius and bearing step/10 degrees.
      const double b = step / 10.0 * rad, d = c.radius / R, lat1 = c.lat * rad;
      const double lat2 =
          std::asin(std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(b));
      double lon2 = c.lon * rad + std::atan2(std::sin(b) * std::sin(d) * std::cos(lat1),
                                             std::cos(d) - std::sin(lat1) * std::sin(lat2));
      double lat_deg = lat2 / rad, lon_deg = lon2 / rad;
      GeoCoordinates::normalize_coordinates(lat_deg, lon_deg);
      const GeoCoordinates p(lat_deg, lon_deg, 0);
      ASSERT_NEAR(c.radius, centre.get_distance_m(p), 1e-3);
      // A hair inside, to stay clear of rounding at the edge.
      const GeoCoordinates inner(c.lat + (lat_deg - c.lat) * (1 - 1e-9),
                                 c.lon + std::remainder(lon_deg - c.lon, 360.0) * (1 - 1e-9), 0);
      double ilat = inner.get_latitude(), ilon = inner.get_longitude();
      GeoCoordinates::normalize_coordinates(ilat, ilon);
      EXPECT_TRUE(rect.contains(GeoCoordinates(ilat, ilon, 0))) << ilat << ", " << ilon;
      max_east_offset = std::max(max_east_offset, std::remainder(lon_deg - c.lon, 360.0));
      min_south = std::min(min_south, lat_deg);
    }
    EXPECT_NEAR(std::remainder(rect.get_east() - c.lon, 360.0), max_east_offset, 1e-3);
    EXPECT_NEAR(rect.get_south(), min_south, 1e-6);
  }
}

TEST(AreaRestriction, BadInputGivesRectangleThatIsNotValid) {
  EXPECT_FALSE(area_restriction(GeoCoordinates(), 100).is_valid());
  EXPECT_FALSE(area_restriction(GeoCoordinates(10, 10, 0), -1).is_valid());
  EXPECT_FALSE(area_restriction(GeoCoordinates(10, 10, 0), NAN).is_valid());
  EXPECT_FALSE(area_restriction(GeoCoordinates(10, 10, 0), INFINITY).is_valid());
}

// ---- exception ----

TEST(UmboException, CarriesReasonAndMessage) {
  try {
    throw UmboException(ORVA_ERROR_NOT_FOUND, "no such object");
  } catch (const std::exception& e) {
    EXPECT_STREQ("no such object", e.what());
    const UmboException* u = dynamic_cast<const UmboException*>(&e);
    ASSERT_NE(nullptr, u);
    EXPECT_EQ(8, u->get_reason());
    EXPECT_EQ("no such object", u->get_error_message());
  }
}

}  // namespace
