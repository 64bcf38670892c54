// Several processes on one store: two processes (support/storeopener) open a store on a
// new home at the same moment, on the private bus with the relay, over the real file.
#include "support/DbTestUtil.h"
#include "support/DbusTestBus.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

// The line a store_opener printed after "ready": "<init status> <database name>".
std::string result_line(QProcess& opener) {
  const QStringList lines =
      QString::fromUtf8(opener.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  return lines.isEmpty() ? std::string() : lines.last().toStdString();
}

// Both make the database file and its schema, or one waits and opens what the other
// made: every init succeeds, and the file holds one schema of version 5 with one
// metadata row, whose database both processes name, and nothing was moved aside.
TEST(StoreProcessesTest, TwoProcessesOpeningANewStoreTogetherBothSucceed) {
  // The openers reach the relay on the private bus, never the machine's own.
  DbusTestBus& bus = DbusTestBus::shared();
  ASSERT_TRUE(bus.running()) << bus.error();
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string home = home_dir() + "/together/" + std::to_string(round);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(home)));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), QString::fromStdString(home));
    QProcess openers[2];
    for (QProcess& opener : openers) {
      opener.setProcessEnvironment(env);
      opener.start(QStringLiteral(KELDRA_STORE_OPENER_PATH), QStringList());
    }
    for (QProcess& opener : openers) {
      ASSERT_TRUE(opener.waitForStarted(20000));
      while (!opener.canReadLine()) ASSERT_TRUE(opener.waitForReadyRead(20000));
      ASSERT_EQ("ready\n", opener.readLine().toStdString());
    }
    // Both go at once.
    for (QProcess& opener : openers) opener.write("go\n");
    for (QProcess& opener : openers) ASSERT_TRUE(opener.waitForBytesWritten(20000));

    std::vector<std::string> names;
    for (QProcess& opener : openers) {
      ASSERT_TRUE(opener.waitForFinished(60000));
      const std::string line = result_line(opener);
      EXPECT_EQ(0, opener.exitCode()) << line << opener.readAllStandardError().toStdString();
      ASSERT_EQ("0 ", line.substr(0, 2));
      names.push_back(line.substr(2));
    }
    EXPECT_EQ(names[0], names[1]);

    const std::string db = home + "/.cities/OstraMaps.db";
    db_test::RawDb raw(db);
    EXPECT_EQ((std::vector<std::string>{"5"}), raw.rows("SELECT version FROM metadata"));
    const std::string uid = raw.value("SELECT uid FROM metadata");
    ASSERT_GT(uid.size(), 2u);
    EXPECT_NE(std::string::npos, names[0].find(uid.substr(1, uid.size() - 2))) << uid;
    EXPECT_EQ("8", raw.value("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                             "name NOT LIKE 'sqlite_%'"));
    EXPECT_EQ("7", raw.value("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"));
    EXPECT_FALSE(db_test::file_exists(db + ".old"));
  }
}

}  // namespace
}  // namespace keldra_test
