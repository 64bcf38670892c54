#include "support/EventsTestSupport.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDataStream>

#include "support/DbusTestBus.h"

namespace keldra_test {

namespace {

const QString kService = QString::fromLatin1(DbusTestBus::kRelayService);
const QString kPath = QString::fromLatin1(DbusTestBus::kRelayPath);
const QString kInterface = QString::fromLatin1(DbusTestBus::kRelayInterface);

// A call that the relay answers on its own thread after every call it received before
// from the same connection, and so after those calls' broadcasts.
bool ping_relay(QDBusConnection& connection) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      kService, kPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
      QStringLiteral("Introspect"));
  return connection.call(call, QDBus::Block, 20000).type() == QDBusMessage::ReplyMessage;
}

const QString kFencePath = QStringLiteral("/keldra_test/fence");
const QString kFenceInterface = QStringLiteral("com.ostra.keldra.test.Fence");
const QString kFenceSignal = QStringLiteral("Fence");

}  // namespace

Events events_of(const std::vector<std::pair<int, int>>& pairs) {
  Events out;
  for (const auto& p : pairs) out.push_back(orva::keldra::RepositoryEvent(p.first, p.second));
  return out;
}

QByteArray ints_of(const std::vector<qint32>& ints) {
  QByteArray array;
  QDataStream out(&array, QIODevice::WriteOnly);
  for (qint32 value : ints) out << value;
  return array;
}

Peer::Peer()
    : name_(QStringLiteral("events_peer_%1").arg(reinterpret_cast<quintptr>(this))),
      connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name_)) {
  ok_ = connection_.isConnected() &&
        connection_.connect(kService, kPath, kInterface, QStringLiteral("DbChanged"), this,
                            SLOT(on_changed(int, int))) &&
        connection_.connect(kService, kPath, kInterface, QStringLiteral("DbChanges"), this,
                            SLOT(on_changes(QByteArray))) &&
        connection_.connect(QString(), kFencePath, kFenceInterface, kFenceSignal, this,
                            SLOT(on_fence(int)));
}

Peer::~Peer() {
  connection_.disconnect(kService, kPath, kInterface, QStringLiteral("DbChanged"), this,
                         SLOT(on_changed(int, int)));
  connection_.disconnect(kService, kPath, kInterface, QStringLiteral("DbChanges"), this,
                         SLOT(on_changes(QByteArray)));
  connection_.disconnect(QString(), kFencePath, kFenceInterface, kFenceSignal, this,
                         SLOT(on_fence(int)));
  QDBusConnection::disconnectFromBus(name_);
}

void Peer::emit_fence(int tag) {
  QDBusMessage signal = QDBusMessage::createSignal(kFencePath, kFenceInterface, kFenceSignal);
  signal << tag;
  connection_.send(signal);
}

SessionFence::SessionFence() {
  ok_ = QDBusConnection::sessionBus().connect(QString(), kFencePath, kFenceInterface, kFenceSignal,
                                              this, SLOT(on_fence(int)));
}

SessionFence::~SessionFence() {
  QDBusConnection::sessionBus().disconnect(QString(), kFencePath, kFenceInterface, kFenceSignal,
                                           this, SLOT(on_fence(int)));
}

void Peer::send(int type, int id) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SendMessage"));
  call << type << id;
  connection_.asyncCall(call);
}

void Peer::send(const QByteArray& bytes) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SendMessages"));
  call << bytes;
  connection_.asyncCall(call);
}

bool settle(Peer& peer) {
  static SessionFence* session_fence = nullptr;
  static int tag = 0;
  if (!session_fence) session_fence = new SessionFence;  // lives as long as the process
  QDBusConnection session = QDBusConnection::sessionBus();
  // Senders first: once the relay answers, it has broadcast what they sent, and the bus
  // has queued those broadcasts to every listener ahead of anything sent after.
  if (!session_fence->ok() || !ping_relay(session) || !ping_relay(peer.connection())) {
    return false;
  }
  const int mine = ++tag;
  peer.emit_fence(mine);
  return wait_until([&] { return session_fence->fence >= mine && peer.fence >= mine; });
}

}  // namespace keldra_test

namespace orva {
namespace keldra {
void PrintTo(const RepositoryEvent& event, std::ostream* os) {
  *os << "{" << event.type << ", " << event.local_id << ", " << event.reserved << "}";
}
}  // namespace keldra
}  // namespace orva
