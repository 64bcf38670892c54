// Proxy of the change-relay service keldservice ("com.ostra.maps.keldservice" at
// "/com/ostra/maps/keldservice" on the session bus).
//
// Its two methods are asynchronous calls whose empty replies are never waited for; its
// two signals relay the service's broadcasts and are received only while something is
// connected to them. Made and owned by the thread's DbusEventHandler, used on its thread.
#pragma once

#include <QByteArray>
#include <QDBusAbstractInterface>
#include <QDBusConnection>
#include <QDBusPendingReply>
#include <QString>

class ComOstraMapsKeldserviceInterface : public QDBusAbstractInterface {
  Q_OBJECT

 public:
  static inline const char* staticInterfaceName() { return "com.ostra.maps.keldservice"; }

  ComOstraMapsKeldserviceInterface(const QString& service, const QString& path,
                                   const QDBusConnection& connection, QObject* parent = nullptr);
  ~ComOstraMapsKeldserviceInterface() override;

 public Q_SLOTS:
  QDBusPendingReply<> SendMessage(int type, int id);
  QDBusPendingReply<> SendMessages(const QByteArray& array);

 Q_SIGNALS:
  void DbChanged(int type, int id);
  void DbChanges(const QByteArray& messages);
};
