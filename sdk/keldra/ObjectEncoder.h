// Codec interface: writes an object into transfer data of one MIME type.
//
// Implementations are owned by the ObjectConverter that made them and used on the
// thread that first used them.
#pragma once

#include <keldra/DynamicBuffer.h>
#include <keldra/ErrorCode.h>
#include <keldra/SharedPointer.h>

namespace orva {
namespace keldra {

class Object;

class ObjectEncoder {
 public:
  // Appends |object| to |buffer| (header only when asked). 0, 3 for an empty buffer
  // pointer or data the format cannot carry, 2 when a write fails.
  virtual ErrorCode encode(const Object& object, SharedPointer<DynamicBuffer>& buffer,
                           bool header_only) = 0;
  virtual ~ObjectEncoder() {}
};

}  // namespace keldra
}  // namespace orva
