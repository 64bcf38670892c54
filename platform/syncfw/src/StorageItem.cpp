#include "syncfw/StorageItem.h"

namespace Buteo {

StorageItem::StorageItem() = default;
StorageItem::~StorageItem() = default;

}  // namespace Buteo
