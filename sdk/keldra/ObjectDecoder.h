// Codec interface: reads an object from transfer data of one MIME type.
//
// Implementations are owned by the ObjectConverter that made them and used on the
// thread that first used them.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>

namespace orva {
namespace keldra {

class ObjectDecoder {
 public:
  // Sets |object| to a new object and fills it from data[0..length). 0, 3 for
  // malformed data, 2 when memory is missing. On an error |object| keeps what was
  // read so far.
  virtual ErrorCode decode(const unsigned char* data, unsigned int length,
                           ObjectPtr& object) = 0;
  virtual ~ObjectDecoder() {}
};

}  // namespace keldra
}  // namespace orva
