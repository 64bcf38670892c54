// keldservice: owns "com.ostra.maps.keldservice" on the session bus and re-broadcasts
// every change message it is sent. It parses no options, reads no files, writes no log
// and runs until its process is ended.
#include <QCoreApplication>
#include <QDBusConnection>

#include "KeldService.h"
#include "KeldServiceAdaptor.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);

  // Both live until the process ends.
  KeldService* service = new KeldService();
  new KeldServiceAdaptor(service);

  // Failures are not fatal: a copy started while another owns the name keeps running
  // without it, and one started without a bus simply relays nothing.
  QDBusConnection connection = QDBusConnection::sessionBus();
  connection.registerService(QStringLiteral("com.ostra.maps.keldservice"));
  connection.registerObject(QStringLiteral("/com/ostra/maps/keldservice"), service,
                            QDBusConnection::ExportAdaptors);

  return app.exec();
}
