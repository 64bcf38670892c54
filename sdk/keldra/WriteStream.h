// Writer of the library's little-endian binary form (see ReadStream.h), appending to
// a shared DynamicBuffer.
//
// A stream made without buffer makes one (growth increment 0) on its first write.
// A failed write (out of memory) clears the ok flag; while it is false the typed
// writes append nothing, so writers of records test is_ok() once at the end. attach()
// starts afresh. Not thread-safe.
#pragma once

#include <keldra/DynamicBuffer.h>
#include <keldra/SharedPointer.h>

#include <string>

namespace orva {
namespace keldra {

class WriteStream {
 public:
  WriteStream();
  explicit WriteStream(const SharedPointer<DynamicBuffer>& buffer);
  virtual ~WriteStream();

  // Appends to buffer from now on and sets ok to true.
  void attach(const SharedPointer<DynamicBuffer>& buffer);

  SharedPointer<DynamicBuffer>& get_data() { return m_buffer; }
  const SharedPointer<DynamicBuffer>& get_data() const { return m_buffer; }
  bool is_ok() const { return m_ok; }

  // Each appends the value's bytes little-endian when ok; returns ok.
  bool write_uint8(unsigned char v);
  bool write_uint16(unsigned short v);
  bool write_int32(int v);
  bool write_uint32(unsigned int v);
  bool write_uint64(unsigned long long v);
  bool write_float(float v);
  bool write_double(double v);
  bool write_timestamp(long long v);

  // Appends raw bytes without a count; false (and ok cleared) when they could not be
  // appended, so that a count already written never stands without its bytes.
  bool write_block(const unsigned char* data, unsigned int n);
  // A 32-bit count followed by the bytes.
  bool write_buffer(const unsigned char* data, unsigned int n);
  // A buffer of the code units, count 2 × units.
  bool write_ustring(const unsigned short* units, unsigned int count);
  // UString: any text type with c_str() giving the code units and length() (orva::ustring).
  template <class UString>
  bool write_ustring(const UString& s) {
    return write_ustring(reinterpret_cast<const unsigned short*>(s.c_str()),
                         static_cast<unsigned int>(s.length()));
  }
  bool write_string(const std::string& s);

 private:
  WriteStream(const WriteStream&) = delete;
  WriteStream& operator=(const WriteStream&) = delete;

  // Appends n bytes when ok (making the buffer first); ok becomes the result.
  bool put(const unsigned char* bytes, unsigned int n);
  void ensure_buffer();
  // Whether p points into the stored bytes of the stream's buffer.
  bool in_buffer(const void* p) const;
  // Clears ok; returns false.
  bool fail();

  SharedPointer<DynamicBuffer> m_buffer;
  bool m_ok;
};

}  // namespace keldra
}  // namespace orva
