// fake_msyncd: the test stand-in for the platform's sync daemon (see FakeMsyncd.h). Runs
// on the session bus of DBUS_SESSION_BUS_ADDRESS until it is killed; exits with 1 when it
// cannot register its objects or take its name.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <cstdio>

#include "FakeMsyncd.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    std::fprintf(stderr, "fake_msyncd: no session bus\n");
    return 1;
  }
  FakeMsyncd daemon;
  FakeMsyncdControl control(daemon);
  const QDBusConnection::RegisterOptions options =
      QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals;
  if (!bus.registerObject(QStringLiteral("/synchronizer"), &daemon, options) ||
      !bus.registerObject(QStringLiteral("/control"), &control, options)) {
    std::fprintf(stderr, "fake_msyncd: cannot register its objects\n");
    return 1;
  }
  // The name last, so that whoever sees it owned finds the objects there.
  if (!bus.registerService(QStringLiteral("com.meego.msyncd"))) {
    std::fprintf(stderr, "fake_msyncd: cannot own com.meego.msyncd\n");
    return 1;
  }
  return app.exec();
}
