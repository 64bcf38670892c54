// The change relay: every call of one of its slots is re-emitted at once as the matching
// signal with the same arguments. It never looks inside the values and keeps nothing
// between calls.
//
// Created without a parent on the program's one thread and never deleted; all calls
// arrive on that thread.
#pragma once

#include <QByteArray>
#include <QObject>

class KeldService : public QObject {
  Q_OBJECT

 public:
  KeldService();
  ~KeldService() override;

 Q_SIGNALS:
  // One change message: its type (new, deleted, updated, ...) and the object's id.
  void DbChanged(int type, int id);
  // A batch of change messages, exactly as a sender passed it to SendMessages.
  void DbChanges(const QByteArray& messages);

 public Q_SLOTS:
  // Emits DbChanged(type, id).
  void SendMessage(int type, int id);
  // Emits DbChanges(array); any array, the empty one included.
  void SendMessages(const QByteArray& array);
};
