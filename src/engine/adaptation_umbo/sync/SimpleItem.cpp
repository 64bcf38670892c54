#include "adaptation_umbo/sync/SimpleItem.h"

#include <algorithm>
#include <limits>
#include <new>

namespace {

// The longest content a QByteArray holds: its block (header, bytes and the closing zero)
// stays within INT_MAX bytes. Asked for more, Qt requests an impossible allocation and
// the process ends instead of the call failing.
const int kMaxLength = std::numeric_limits<int>::max() - static_cast<int>(sizeof(QArrayData)) - 1;

// Negative values count as 0: an offset or size is never taken from the end.
int clampSize(qint64 value) { return value < 0 ? 0 : static_cast<int>(value); }

// Cuts or extends |data| to |size| bytes, the new ones zero (QByteArray leaves them
// undefined). False, with |data| unchanged, when that many bytes cannot be held.
bool setLength(QByteArray& data, int size) {
  if (size > kMaxLength) return false;
  const int old = data.size();
  try {
    data.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (size > old) std::fill(data.begin() + old, data.end(), '\0');
  return true;
}

}  // namespace

SimpleItem::SimpleItem() = default;
SimpleItem::~SimpleItem() = default;

bool SimpleItem::write(qint64 offset, const QByteArray& data) {
  const int start = clampSize(static_cast<qint32>(offset));
  // An end past the largest array cannot be held.
  if (start > kMaxLength - data.size()) return false;
  if (!setLength(mData, start + data.size())) return false;
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
  return setLength(mData, clampSize(static_cast<qint32>(size)));
}

qint64 SimpleItem::getSize() const { return mData.size(); }
