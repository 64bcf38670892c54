#include "adaptation_umbo/events/ComOstraMapsKeldserviceInterface.h"

#include <QList>
#include <QVariant>

ComOstraMapsKeldserviceInterface::ComOstraMapsKeldserviceInterface(
    const QString& service, const QString& path, const QDBusConnection& connection, QObject* parent)
    : QDBusAbstractInterface(service, path, staticInterfaceName(), connection, parent) {}

ComOstraMapsKeldserviceInterface::~ComOstraMapsKeldserviceInterface() {}

QDBusPendingReply<> ComOstraMapsKeldserviceInterface::SendMessage(int type, int id) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(type) << QVariant::fromValue(id);
  return asyncCallWithArgumentList(QStringLiteral("SendMessage"), arguments);
}

QDBusPendingReply<> ComOstraMapsKeldserviceInterface::SendMessages(const QByteArray& array) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(array);
  return asyncCallWithArgumentList(QStringLiteral("SendMessages"), arguments);
}
