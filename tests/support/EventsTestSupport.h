// Shared pieces of the hub's tests: an observer that records its batches, a second
// process's view of the relay (a connection of its own that sends and listens), and a
// way to wait until everything sent so far has been broadcast and handled here.
#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <keldra/RepositoryEvent.h>
#include <keldra/RepositoryObserver.h>

#include "support/Broadcast.h"
#include "support/TestEnv.h"

#include <functional>
#include <ostream>
#include <utility>
#include <vector>

namespace keldra_test {

using Events = std::vector<orva::keldra::RepositoryEvent>;
using Batches = std::vector<Events>;

// Pairs (type, local id) as events with the third word 0.
Events events_of(const std::vector<std::pair<int, int>>& pairs);

// Big-endian 32-bit integers as they are, for batches that do not follow the layout.
QByteArray ints_of(const std::vector<qint32>& ints);

class RecordingObserver : public orva::keldra::RepositoryObserver {
 public:
  void handle_repository_event(const Events& events) override {
    batches.push_back(events);
    if (on_call) on_call(events);
  }
  Batches batches;
  std::function<void(const Events&)> on_call;
};

// Another process on the test bus: its own connection, through which it calls the
// relay and hears its broadcasts.
class Peer : public QObject {
  Q_OBJECT

 public:
  // Connects to the process's session bus address (the shared test bus).
  Peer();
  ~Peer() override;

  bool ok() const { return ok_; }
  QDBusConnection& connection() { return connection_; }

  void send(int type, int id);
  void send(const QByteArray& bytes);

  // Emits the fence signal with |tag| from this connection.
  void emit_fence(int tag);

  std::vector<Broadcast> heard;
  int fence = 0;  // the last fence tag heard

 public Q_SLOTS:
  void on_changed(int type, int id) { heard.push_back(Broadcast::one(type, id)); }
  void on_changes(const QByteArray& messages) { heard.push_back(Broadcast::many(messages)); }
  void on_fence(int tag) { fence = tag; }

 private:
  QString name_;
  QDBusConnection connection_;
  bool ok_ = false;
};

// Hears the fence signal on this process's session bus connection, the hub's.
class SessionFence : public QObject {
  Q_OBJECT

 public:
  SessionFence();
  ~SessionFence() override;
  bool ok() const { return ok_; }
  int fence = 0;

 public Q_SLOTS:
  void on_fence(int tag) { fence = tag; }

 private:
  bool ok_ = false;
};

// Returns once everything this process's session bus connection and |peer| sent to
// the relay before the call has been broadcast, and every signal that reached either
// connection before has been handled in this thread: the relay's broadcasts (by the
// hub and by |peer|) and the daemon's signals emitted on a control call that returned.
// Signals are in order per connection but a blocking call may return before the
// signals ahead of its reply are dispatched, so it ends with a signal of |peer| that
// both connections must hear. False when the relay did not answer or the fence did not
// come back.
bool settle(Peer& peer);

}  // namespace keldra_test

namespace orva {
namespace keldra {
void PrintTo(const RepositoryEvent& event, std::ostream* os);
}  // namespace keldra
}  // namespace orva
