#include "adaptation_umbo/sync/SimpleItem.h"

#include <algorithm>
#include <limits>

namespace {

// Negative values count as 0: an offset or size is never taken from the end.
int clampSize(qint64 value) { return value < 0 ? 0 : static_cast<int>(value); }

// Cuts or extends |data| to |size| bytes, the new ones zero (QByteArray leaves them
// undefined).
void setLength(QByteArray& data, int size) {
  const int old = data.size();
  data.resize(size);
  if (size > old) std::fill(data.begin() + old, data.end(), '\0');
}

}  // namespace

SimpleItem::SimpleItem() = default;
SimpleItem::~SimpleItem() = default;

bool SimpleItem::write(qint64 offset, const QByteArray& data) {
  const int start = clampSize(static_cast<qint32>(offset));
  // An end past the largest array cannot be held.
  if (start > std::numeric_limits<int>::max() - data.size()) return false;
  setLength(mData, start + data.size());
  std::copy(data.begin(), data.end(), mData.begin() + start);
  return true;
}

bool SimpleItem::read(qint64 offset, qint64 length, QByteArray& data) const {
  const int start = clampSize(static_cast<qint32>(offset));
  const int count = clampSize(static_cast<qint32>(length));
  data = start >= mData.size() ? QByteArray() : mData.mid(start, count);
  return true;
}

bool SimpleItem::resize(qint64 size) {
  setLength(mData, clampSize(static_cast<qint32>(size)));
  return true;
}

qint64 SimpleItem::getSize() const { return mData.size(); }
