// The daemon stand-in driving the memory plug-in of the tests: scripted calls answered
// line by line, and the fake daemon's signals reaching the plug-in through
// Buteo::SyncClientInterface between the calls.
#include <QByteArray>
#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

#include "support/DbusTestBus.h"
#include "support/FakeSyncDaemon.h"
#include "support/StorageDriverProcess.h"
#include "support/TestEnv.h"

namespace keldra_test {
namespace {

QString b64(const char* text) { return QString::fromLatin1(QByteArray(text).toBase64()); }

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DbusTestBus& bus = DbusTestBus::shared();
    ASSERT_TRUE(bus.running()) << bus.error();
    ASSERT_TRUE(daemon_.start(bus)) << daemon_.error();
    ASSERT_TRUE(driver_.start({QStringLiteral("--plugin-dir"), QStringLiteral(MEMORY_STORAGE_DIR)}))
        << driver_.error();
  }

  // Runs the calls in order, each against its expected answer.
  void expect_session(const std::vector<std::pair<QString, QString>>& steps) {
    for (const auto& step : steps) {
      EXPECT_EQ(step.second, driver_.call(step.first)) << "call: " << step.first.toStdString();
    }
  }

  FakeSyncDaemon daemon_;
  StorageDriverProcess driver_;
};

TEST_F(DriverTest, ScriptedSessionWithDaemonSignals) {
  expect_session({
      {"load memory", "ok"},
      {"create hmemory", "ok"},
      {"init CTCaps=x%20y Other=1", "true"},
      {"props", "CTCaps=x%20y Other=1 Storage=memory"},
      {"add " + b64("first"), "0 1"},
      {"additems " + b64("second") + " -", "0 0 | 2 3"},
      {"allids", "true 1 2 3"},
      {"get 2", "2:" + b64("second")},
      {"getitems 3 9 1", "3: null 1:" + b64("first")},
      {"modify 1 " + b64("changed"), "0"},
      {"modifyitems 9:" + b64("x") + " 2:" + b64("y"), "-3 0"},
      {"allitems", "true 1:" + b64("changed") + " 2:" + b64("y") + " 3:"},
      {"deleteitems 3 3", "0 -3"},
      {"delete 2", "0"},
      {"deletedids", "true"},
  });

  // Signals that the fake sent before its answer are heard by the plug-in once the
  // driver made its round trip to the daemon.
  daemon_.emit_sync_status("maps-keldra", 2, "going", 0);
  daemon_.emit_sync_status("other", 4, "", 7);
  daemon_.emit_results_available(
      "maps-keldra", "<?xml version=\"1.0\"?><syncresults majorcode=\"1\" minorcode=\"502\"/>");
  expect_session({
      {"sync", "ok"},
      {"deletedids",
       "true status/maps-keldra/2/going/0 status/other/4//7 results/maps-keldra/1/502"},
      {"uninit", "true"},
      {"destroy", "ok"},
      {"destroy-null", "ok"},
  });
  EXPECT_EQ(0, driver_.finish()) << driver_.errors().toStdString();
}

TEST_F(DriverTest, RefusedCallsAnswerWithAnError) {
  expect_session({
      {"get 1", "error no plug-in"},
      {"create x", "error nothing loaded"},
  });
  EXPECT_TRUE(driver_.call("load nosuch").startsWith("error ")) << "a missing library";
  expect_session({
      {"load memory", "ok"},
      {"load memory", "error already loaded"},
      {"create p", "ok"},
      {"create p", "error plug-in exists"},
      {"init noequals", "error usage: init key=value ..."},
      {"init fail=1", "false"},
      {"add %%%", "error bad data %%%"},
      {"read 0 1", "error no item"},
      {"frobnicate", "error unknown call frobnicate"},
  });
}

// A script read from a file: comments and empty lines give no output, every call one
// line, and the plug-in left at the end is destroyed without a word.
TEST(DriverScriptTest, ScriptFromFileGivesOneLinePerCall) {
  ASSERT_TRUE(DbusTestBus::shared().running()) << DbusTestBus::shared().error();
  const std::string script = home_dir() + "/script.txt";
  ASSERT_TRUE(write_file(script, "# a session\n\nload " MEMORY_STORAGE_DIR
                                 "/libmemory-storage.so\ncreate p\n  \ninit\nadd " +
                                     b64("abc").toStdString() + "\nnewitem\nwrite 0 " +
                                     b64("xyz").toStdString() + "\nsize\nread 1 5\nallids"));
  QProcess process;
  process.start(QString::fromStdString(StorageDriverProcess::program_path()),
                {QString::fromStdString(script)});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(0, process.exitCode()) << process.readAllStandardError().toStdString();
  EXPECT_EQ(
      QByteArray("ok\nok\ntrue\n0 1\nitem\ntrue\n3\ntrue ") + b64("yz").toLatin1() + "\ntrue 1\n",
      process.readAllStandardOutput());
}

}  // namespace
}  // namespace keldra_test
