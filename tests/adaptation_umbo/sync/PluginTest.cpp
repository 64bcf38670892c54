// The plug-in's framework side: entry points, init's properties, the order of calls the
// daemon may break, and the item type.
#include "StorageFixture.h"

#include <QByteArray>

#include "support/TestEnv.h"

namespace keldra_test {
namespace {

QString b64(const QByteArray& bytes) { return QString::fromLatin1(bytes.toBase64()); }

using PluginTest = StorageTest;

TEST_F(PluginTest, EntryPointsAndCallsOutsideASession) {
  start_driver();
  EXPECT_EQ("ok", call("destroy-null"));
  // Before init and after uninit there is no backend: nothing is read or written.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "before init" : "after uninit");
    EXPECT_EQ("true", call("uninit"));
    EXPECT_EQ("false", call("allids"));
    EXPECT_EQ("false", call("newitems"));
    EXPECT_EQ("null", call("get 1"));
    EXPECT_EQ("null", call("newitem"));
    EXPECT_EQ("-3 ", call("add -"));
    EXPECT_EQ("-3 -3 |  ", call("additems - -"));
    EXPECT_EQ("-3 -3", call("deleteitems 1 2"));
    if (round == 0) {
      init_session();
      EXPECT_EQ("true", call("uninit"));
    }
  }
  EXPECT_EQ("ok", call("destroy"));
}

TEST_F(PluginTest, InitAddsTheCtCapsProperties) {
  const std::string log = home_dir() + "/syncfw.log";
  ASSERT_TRUE(driver_.start({QStringLiteral("--plugin-dir"), QStringLiteral(STORAGE_PLUGIN_DIR),
                             QStringLiteral("--log"), QString::fromStdString(log)}))
      << driver_.error();
  ASSERT_EQ("ok", call("load hkeldra"));
  ASSERT_EQ("ok", call("create hkeldra"));
  EXPECT_EQ("true", call("init CTCaps_SyncML11=old Keep=a%20b"));
  // The 1.1 file up to its zero byte replaces the given value; the 1.2 file is missing.
  const QByteArray caps =
      QByteArray("<CTCap><CTType>application/vnd.ostra.keldraobjectcompact</CTType></CTCap>")
          .toPercentEncoding();
  EXPECT_EQ("CTCaps_SyncML11=" + QString::fromLatin1(caps) + " CTCaps_SyncML12= Keep=a%20b",
            call("props"));
  EXPECT_EQ("true", call("uninit"));
  EXPECT_EQ("ok", call("destroy"));

  const std::string text = read_file(log);
  EXPECT_NE(std::string::npos,
            text.find("Failed to open CTCaps file for keldra storage: \"CTCaps_keldra_12.xml\""))
      << text;
  EXPECT_EQ(std::string::npos, text.find("\"CTCaps_keldra_11.xml\"")) << text;
  for (const char* timer : {"T KeldraStorage::KeldraStorage(const QString&) ++",
                            "T virtual bool KeldraStorage::init(const QMap<QString, QString>&) ++",
                            "T QByteArray KeldraStorage::getCtCaps(const QString&) const --",
                            "T virtual KeldraStorage::~KeldraStorage() --"}) {
    EXPECT_NE(std::string::npos, text.find(timer)) << timer;
  }
}

// The item of newitem: writes cut what lies behind them, reads stop at the end, bytes
// added past the end are zero, and a size beyond any byte array changes nothing.
TEST_F(PluginTest, SimpleItemWriteReadResize) {
  start_driver();
  init_session();
  ASSERT_EQ("item", call("newitem"));
  const struct {
    QString call;
    QString answer;
  } steps[] = {
      {"size", "0"},
      {"write 0 " + b64("0123456789"), "true"},
      {"write 2 " + b64("abc"), "true"},
      {"size", "5"},
      {"read 0 100", "true " + b64("01abc")},
      {"write 6 " + b64("z"), "true"},  // one byte past the end: a zero in the gap
      {"read 4 100", "true " + b64(QByteArray("c\0z", 3))},
      {"read 8 1", "true -"},
      {"read 7 1", "true -"},
      {"resize 9", "true"},
      {"read 5 100", "true " + b64(QByteArray("\0z\0\0", 4))},
      {"resize 2", "true"},
      {"read 0 100", "true " + b64("01")},
      {"write 0 -", "true"},
      {"size", "0"},
      // Sizes the daemon passes on that no byte array can hold are refused, not thrown.
      {"write 0 " + b64("kept"), "true"},
      {"resize 2147483647", "false"},
      {"write 2147483640 " + b64("abc"), "false"},
      {"read 0 100", "true " + b64("kept")},
  };
  for (const auto& step : steps) EXPECT_EQ(step.answer, call(step.call)) << step.call.toStdString();
  EXPECT_EQ("true", call("uninit"));
}

}  // namespace
}  // namespace keldra_test
