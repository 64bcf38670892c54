// Buteo::StorageItem: one item that a storage plug-in hands to the sync daemon or
// receives from it: an id and a content the plug-in keeps in its own way.
//
// The daemon owns every item a plug-in returned (newItem, getItem, getItems, the item
// lists) and deletes it through the virtual destructor. Offsets and sizes are bytes.
// Thread: the daemon's thread that loaded the plug-in; no locks.
#pragma once

#include <QByteArray>
#include <QString>

namespace Buteo {

class StorageItem {
 public:
  StorageItem();
  virtual ~StorageItem();

  // Replaces the content from |offset| on with |data|; false on failure.
  virtual bool write(qint64 offset, const QByteArray& data) = 0;
  // Sets |data| to at most |length| bytes of the content from |offset| on.
  virtual bool read(qint64 offset, qint64 length, QByteArray& data) const = 0;
  // Cuts or extends the content to |size| bytes.
  virtual bool resize(qint64 size) = 0;
  // The content's length in bytes.
  virtual qint64 getSize() const = 0;

  void setId(const QString& id) { iId = id; }
  const QString& getId() const { return iId; }

 private:
  StorageItem(const StorageItem&) = delete;
  StorageItem& operator=(const StorageItem&) = delete;

  QString iId;
};

}  // namespace Buteo
