#include "adaptation_umbo/database/dbitems/DbItem.h"

namespace orva {
namespace keldra {
namespace internal {

DbItem::~DbItem() {}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
