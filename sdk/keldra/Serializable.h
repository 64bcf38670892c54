// Binary form of objects, attributes, fields, links and their lists. Both operations
// return the stream's is_ok() after the whole record.
#pragma once

namespace orva {
namespace keldra {

class ReadStream;
class WriteStream;

class Serializable {
 public:
  virtual bool read(ReadStream& stream) = 0;
  virtual bool write(WriteStream& stream) const = 0;

 protected:
  // Not deleted through this interface.
  ~Serializable() {}
};

}  // namespace keldra
}  // namespace orva
