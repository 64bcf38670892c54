// keldservice: owns "com.ostra.maps.keldservice" on the session bus and re-broadcasts
// every change message it is sent. It parses no options, reads no files, writes no log
// and runs until its process is ended.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <cstdio>

#include "KeldService.h"
#include "KeldServiceAdaptor.h"

namespace {

const char kServiceName[] = "com.ostra.maps.keldservice";
const char kObjectPath[] = "/com/ostra/maps/keldservice";

// One line on standard error; a relay that cannot serve should not look like one that
// does.
void complain(const char* what, const QDBusError& error) {
  const QByteArray detail = error.isValid() ? error.message().toLocal8Bit() : QByteArray();
  std::fprintf(stderr, "keldservice: %s%s%s\n", what, detail.isEmpty() ? "" : ": ",
               detail.constData());
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);

  // Both live until the process ends.
  KeldService* service = new KeldService();
  new KeldServiceAdaptor(service);

  // Failures are not fatal: a copy started while another owns the name keeps running
  // without it, and one started without a bus simply relays nothing. Each says so once.
  QDBusConnection connection = QDBusConnection::sessionBus();
  if (!connection.isConnected()) {
    complain(
        "no D-Bus session bus reachable, relaying nothing (is DBUS_SESSION_BUS_ADDRESS "
        "set?)",
        connection.lastError());
  } else if (!connection.registerService(QString::fromLatin1(kServiceName))) {
    complain(
        "cannot own the name com.ostra.maps.keldservice on the session bus (another "
        "copy running?); calls to that name do not reach this copy",
        connection.lastError());
  }
  if (connection.isConnected() &&
      !connection.registerObject(QString::fromLatin1(kObjectPath), service,
                                 QDBusConnection::ExportAdaptors)) {
    complain("cannot register the object /com/ostra/maps/keldservice", connection.lastError());
  }

  return app.exec();
}
