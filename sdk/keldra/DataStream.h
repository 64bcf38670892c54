// DataStream: typed view of an attribute of class "data_stream", a block of bytes
// carried inside the object tree with its MIME type (the "data" child of a frame and
// of a multimedia object).
//
// Fields: "mime", a UTF-16 text handed in and out as UTF-8; "data", a binary field
// whose DynamicBuffer is shared, not copied, with whoever else holds it: changes to
// its bytes are seen through the field (which is not marked modified by them).
//
// Setters create the attribute (through the parent for a child view) and return 0, or
// 2 when it cannot be created or a copy of the bytes or text cannot be made (the "data"
// field is then left without a value). Getters never create anything and report
// absence (unbound view, missing field, another type) as empty or null.
//
// Thread: used on the thread whose string pool interned its names; a shared buffer
// is counted without locks.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/ErrorCode.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

// Names of DataStream, interned once per string pool.
class DataStreamStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle data_stream;  // the class
  StringPool::StringHandle mime;
  StringPool::StringHandle data;
};

class DataStream : public AttributeHandle {
 public:
  // Unbound root view.
  DataStream();
  // A root view over a new attribute holding a deep copy of |other| (the bytes stay
  // shared with it); unbound when |other| is.
  DataStream(const DataStream& other);
  // Copies |other|'s content into this view's own attribute.
  DataStream& operator=(const DataStream& other);

  ErrorCode set_mime(const std::string& mime);
  // |mime| is emptied, then receives the "mime" text as UTF-8 when there is one.
  void get_mime(std::string& mime) const;

  // "data" becomes a binary field sharing |buffer| (an empty pointer: no buffer).
  ErrorCode set_data(orva::SharedPointer<DynamicBuffer> buffer);
  // "data" becomes a new buffer holding a copy of |length| bytes (none for null).
  ErrorCode set_data(const unsigned char* bytes, unsigned int length);
  ErrorCode set_data(const std::vector<unsigned char>& bytes);

  // The buffer of a binary "data" field itself; empty when there is none.
  orva::SharedPointer<DynamicBuffer> get_buffer() const;
  // The buffer's first byte; null when there is no buffer or it has no storage.
  const unsigned char* get_data() const;
  // |bytes| is emptied, then receives a copy of the buffer's bytes.
  void get_data(std::vector<unsigned char>& bytes) const;
  // The length of the "data" value; 0 when unbound, absent or without a buffer.
  unsigned int get_data_length() const;

  const StringPool::StringHandle& get_class_name_handle() const override;

 private:
  const DataStreamStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
