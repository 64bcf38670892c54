#include "transfer/DirectTransferHandler.h"

#include "transfer/DirectTransferHandlerImpl.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orva {
namespace keldra {
namespace internal {

namespace {

// The installed factory; empty while the library's own handler is used.
DirectTransferHandler::Factory& installed_factory() {
  static DirectTransferHandler::Factory factory;
  return factory;
}

void set_error(orva::ErrorCode* error, orva::ErrorCode code) {
  if (error) *error = code;
}

// Prefixes by request type; index 0 unused.
const char* const kKeyPrefixes[] = {"", "qf", "oa", "or", "od", "mu", "md", "ps"};

}  // namespace

orva::SharedPointer<DirectTransferHandler> DirectTransferHandler::create(
    const orva::SharedPointer<DataAdapter>& adapter, orva::ErrorCode* error) {
  if (!adapter.is_valid()) {
    set_error(error, ORVA_ERROR_INVALID_PARAMETERS);
    return orva::SharedPointer<DirectTransferHandler>();
  }
  const Factory& factory = installed_factory();
  if (!factory) return DirectTransferHandlerImpl::create(adapter, error);
  orva::ErrorCode code = ORVA_ERROR_NONE;
  orva::SharedPointer<DirectTransferHandler> made = factory(adapter, &code);
  if (code == ORVA_ERROR_NONE && !made.is_valid()) code = ORVA_ERROR_UNKNOWN;
  if (code != ORVA_ERROR_NONE) made = orva::SharedPointer<DirectTransferHandler>();
  set_error(error, code);
  return made;
}

void DirectTransferHandler::set_factory(const Factory& factory) { installed_factory() = factory; }

std::string DirectTransferHandler::create_item_key(RequestType type, unsigned long long id) {
  assert(type >= REQUEST_QUEUE_FORWARD && type <= REQUEST_PS);
  if (type < REQUEST_QUEUE_FORWARD || type > REQUEST_PS) std::abort();
  char text[24];
  std::snprintf(text, sizeof text, "%s%llu", kKeyPrefixes[type], id);
  return text;
}

DirectTransferHandler::Request DirectTransferHandler::parse_item_key(const std::string& key) {
  Request request = {REQUEST_NONE, 0};
  if (key.size() <= 2) return request;
  // Only digits count: strtoull would also take a sign or leading blanks.
  unsigned long long id = 0;
  size_t i = 2;
  for (; i < key.size() && key[i] >= '0' && key[i] <= '9'; ++i) {
    const unsigned long long digit = static_cast<unsigned long long>(key[i] - '0');
    // Past the largest value the number reads as that value, as strtoull gives it.
    id = id > (~0ULL - digit) / 10 ? ~0ULL : id * 10 + digit;
  }
  if (i == 2 || id == 0) return request;
  request.id = id;
  // The order in which the prefixes are tried.
  static const RequestType kOrder[] = {
      REQUEST_QUEUE_FORWARD,   REQUEST_MMF_UPLOAD,   REQUEST_OBJECT_ADD, REQUEST_OBJECT_REPLACE,
      REQUEST_OBJECT_DOWNLOAD, REQUEST_MMF_DOWNLOAD, REQUEST_PS};
  for (RequestType type : kOrder) {
    if (key.compare(0, 2, kKeyPrefixes[type]) == 0) {
      request.type = type;
      break;
    }
  }
  return request;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
