// One broadcast of the change relay as a listener sees it (DbChanged or DbChanges), and
// the relay's batch layout for building what is sent.
#pragma once

#include <QByteArray>

#include <ostream>
#include <utility>
#include <vector>

namespace keldra_test {

struct Broadcast {
  bool batch = false;
  int type = 0;
  int id = 0;
  QByteArray messages;

  static Broadcast one(int type, int id) { return {false, type, id, {}}; }
  static Broadcast many(const QByteArray& messages) { return {true, 0, 0, messages}; }
  bool operator==(const Broadcast& o) const {
    return batch == o.batch && type == o.type && id == o.id && messages == o.messages;
  }
};

void PrintTo(const Broadcast& b, std::ostream* os);

// The batch layout: N = twice the event count, then (type, id) pairs, big-endian int32.
QByteArray batch_of(const std::vector<std::pair<int, int>>& events);

}  // namespace keldra_test
