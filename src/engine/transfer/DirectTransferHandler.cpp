#include "transfer/DirectTransferHandler.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {

// The installed factory; empty while no handler is built in.
DirectTransferHandler::Factory& installed_factory() {
  static DirectTransferHandler::Factory factory;
  return factory;
}

void set_error(orva::ErrorCode* error, orva::ErrorCode code) {
  if (error) *error = code;
}

}  // namespace

orva::SharedPointer<DirectTransferHandler> DirectTransferHandler::create(
    const orva::SharedPointer<DataAdapter>& adapter, orva::ErrorCode* error) {
  if (!adapter.is_valid()) {
    set_error(error, ORVA_ERROR_INVALID_PARAMETERS);
    return orva::SharedPointer<DirectTransferHandler>();
  }
  const Factory& factory = installed_factory();
  if (!factory) {
    set_error(error, ORVA_ERROR_NOT_SUPPORTED);
    return orva::SharedPointer<DirectTransferHandler>();
  }
  orva::ErrorCode code = ORVA_ERROR_NONE;
  orva::SharedPointer<DirectTransferHandler> made = factory(adapter, &code);
  if (code == ORVA_ERROR_NONE && !made.is_valid()) code = ORVA_ERROR_UNKNOWN;
  if (code != ORVA_ERROR_NONE) made = orva::SharedPointer<DirectTransferHandler>();
  set_error(error, code);
  return made;
}

void DirectTransferHandler::set_factory(const Factory& factory) { installed_factory() = factory; }

}  // namespace internal
}  // namespace keldra
}  // namespace orva
