#include "support/Broadcast.h"

#include <QDataStream>

namespace keldra_test {

void PrintTo(const Broadcast& b, std::ostream* os) {
  if (b.batch) {
    *os << "DbChanges(" << b.messages.size() << " bytes: " << b.messages.toHex().constData() << ")";
  } else {
    *os << "DbChanged(" << b.type << ", " << b.id << ")";
  }
}

QByteArray batch_of(const std::vector<std::pair<int, int>>& events) {
  QByteArray array;
  QDataStream out(&array, QIODevice::WriteOnly);
  out << static_cast<qint32>(2 * events.size());
  for (const auto& e : events) out << static_cast<qint32>(e.first) << static_cast<qint32>(e.second);
  return array;
}

}  // namespace keldra_test
