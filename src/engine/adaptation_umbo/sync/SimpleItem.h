// SimpleItem: the storage plug-in's item, one object of the store in the compact
// format, held as bytes.
//
// Offsets and sizes come as 64-bit values and are used as 32-bit signed ones. Bytes
// that a write or resize past the end adds in front of the new data are zero.
// Owned by whoever holds it (the daemon, for items the plug-in returned). Thread: one.
#pragma once

#include <QByteArray>

#include "syncfw/StorageItem.h"

class SimpleItem : public Buteo::StorageItem {
 public:
  SimpleItem();
  ~SimpleItem() override;

  // The content becomes offset + data's length long: the old bytes before offset, then
  // the data. True, unless that length cannot be held (past what a byte array takes,
  // just under 2^31, or no memory): false then, nothing changed.
  bool write(qint64 offset, const QByteArray& data) override;
  // |data| gets at most |length| bytes from |offset| on (none past the end). Always true.
  bool read(qint64 offset, qint64 length, QByteArray& data) const override;
  // Cuts or extends the content. True, unless that length cannot be held (as for write):
  // false then, nothing changed.
  bool resize(qint64 size) override;
  qint64 getSize() const override;

 private:
  QByteArray mData;
};
