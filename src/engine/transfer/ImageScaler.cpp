#include "transfer/ImageScaler.h"

namespace orva {
namespace keldra {
namespace internal {

// This platform offers no image scaler.
orva::SharedPointer<ImageScaler> ImageScaler::create(ImageScalerObserver&) {
  return orva::SharedPointer<ImageScaler>();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
