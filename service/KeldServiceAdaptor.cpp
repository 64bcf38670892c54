#include "KeldServiceAdaptor.h"

#include <QMetaObject>

KeldServiceAdaptor::KeldServiceAdaptor(QObject* parent) : QDBusAbstractAdaptor(parent) {
  setAutoRelaySignals(true);
}

KeldServiceAdaptor::~KeldServiceAdaptor() = default;

// The parent's slots always exist; a failed invocation would have nothing to report to.
void KeldServiceAdaptor::SendMessage(int type, int id) {
  QMetaObject::invokeMethod(parent(), "SendMessage", Q_ARG(int, type), Q_ARG(int, id));
}

void KeldServiceAdaptor::SendMessages(const QByteArray& array) {
  QMetaObject::invokeMethod(parent(), "SendMessages", Q_ARG(QByteArray, array));
}
