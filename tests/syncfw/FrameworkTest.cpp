// The stand-in library's own pieces: results read from the daemon's XML, and the log
// with its timers.
#include <QString>

#include <gtest/gtest.h>

#include "support/TestEnv.h"
#include "syncfw/Logger.h"
#include "syncfw/SyncResults.h"

namespace keldra_test {
namespace {

TEST(SyncResultsTest, CodesFromTheDaemonsXml) {
  struct Case {
    const char* xml;
    int major;
    int minor;
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\"?><syncresults majorcode=\"1\" minorcode=\"502\"><x/></syncresults>",
       1, 502},
      {"<syncresults minorcode=\"3\" majorcode=\"0\"/>", 0, 3},
      {"<syncresults/>", 0, 0},
      {"<syncresults majorcode=\"abc\" minorcode=\"-2\"/>", 0, -2},
      {"not xml", 0, 0},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    const Buteo::SyncResults results = Buteo::SyncResults::fromXml(QString::fromUtf8(c.xml));
    EXPECT_EQ(c.major, results.majorCode()) << c.xml;
    EXPECT_EQ(c.minor, results.minorCode()) << c.xml;
  }
}

TEST(LoggerTest, WritesOnlyWhileEnabled) {
  Buteo::Logger* logger = Buteo::Logger::instance();
  const std::string path = home_dir() + "/syncfw.log";
  { Buteo::LogTimer quiet(QStringLiteral("before")); }
  logger->warning(QStringLiteral("before"));
  ASSERT_TRUE(logger->enable(QString::fromStdString(path)));
  EXPECT_TRUE(logger->enabled());
  {
    Buteo::LogTimer timer(QStringLiteral("bool X::op()"));
    logger->warning(QStringLiteral("inside"));
  }
  logger->disable();
  EXPECT_FALSE(logger->enabled());
  logger->trace(QStringLiteral("after"));

  const std::string log = read_file(path);
  EXPECT_EQ(0u, log.find("T bool X::op() ++\nW inside\nT bool X::op() -- ")) << log;
  EXPECT_EQ(std::string::npos, log.find("before")) << log;
  EXPECT_EQ(std::string::npos, log.find("after")) << log;
  EXPECT_FALSE(logger->enable(QString::fromStdString(home_dir() + "/no/such/dir/log")));
  EXPECT_FALSE(logger->enabled());
}

}  // namespace
}  // namespace keldra_test
