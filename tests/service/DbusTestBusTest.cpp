// The private test bus itself: it must reach only its own daemon and leave nothing behind.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

#include "support/DbusTestBus.h"

using keldra_test::DbusTestBus;

namespace {

bool process_gone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

std::string env_address() {
  const char* v = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  return v ? v : "<unset>";
}

}  // namespace

TEST(DbusTestBusTest, StartsItsOwnBusAndRelayThenLeavesNothingBehind) {
  const std::string before = env_address();
  pid_t daemon = -1, relay = -1;
  {
    DbusTestBus bus;
    ASSERT_TRUE(bus.start()) << bus.error();
    EXPECT_EQ(env_address(), bus.address());
    EXPECT_NE(bus.address(), before);
    daemon = bus.daemon_pid();

    relay = bus.start_relay();
    ASSERT_GT(relay, 0) << bus.error();
    EXPECT_EQ(bus.relay_pid(), relay);
    {
      QDBusConnection c = QDBusConnection::connectToBus(QString::fromStdString(bus.address()),
                                                        QStringLiteral("bus_self_test"));
      ASSERT_TRUE(c.isConnected());
      EXPECT_EQ(
          static_cast<pid_t>(
              c.interface()->servicePid(QString::fromLatin1(DbusTestBus::kRelayService)).value()),
          relay);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("bus_self_test"));

    // A relay that dies on its own is seen as gone and reaped.
    kill(relay, SIGKILL);
    bool gone = false;
    for (int i = 0; i < 2000 && !gone; ++i) {
      gone = !bus.is_running(relay);
      if (!gone) usleep(1000);
    }
    EXPECT_TRUE(gone);
    EXPECT_TRUE(bus.is_running(daemon));

    relay = bus.start_relay();
    ASSERT_GT(relay, 0) << bus.error();
  }
  EXPECT_EQ(env_address(), before);
  EXPECT_TRUE(process_gone(daemon));
  EXPECT_TRUE(process_gone(relay));
}

TEST(DbusTestBusTest, RelayNeedsARunningBus) {
  DbusTestBus bus;
  EXPECT_EQ(bus.start_relay(), -1);
  EXPECT_FALSE(bus.error().empty());
  EXPECT_FALSE(bus.stop_relay(12345));
}
