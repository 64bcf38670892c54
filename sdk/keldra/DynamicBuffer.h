// Reference-counted growable byte buffer: binary field values, message bodies,
// request packages and other payloads.
//
// The storage is one block of the C allocator, grown by realloc and never shrunk.
// An append that does not fit grows the block to the stored length plus the larger
// of the appended size and the growth increment (0: exactly what is needed).
// Allocation failure (or a size beyond 32 bits) is reported as false and leaves the
// stored bytes unchanged. Not thread-safe; share it through orva::SharedPointer.
#pragma once

#include <keldra/RefCountable.h>

#include <cstdio>
#include <vector>

namespace orva {
namespace keldra {

class DynamicBuffer : public orva::internal::RefCountable {
 public:
  DynamicBuffer();
  explicit DynamicBuffer(unsigned int increment);
  ~DynamicBuffer() override;

  // First stored byte; null while the buffer has no storage.
  unsigned char* get_data() { return m_data; }
  const unsigned char* get_data() const { return m_data; }
  unsigned int get_data_length() const { return static_cast<unsigned int>(m_end - m_data); }
  unsigned int get_capacity() const { return m_capacity; }

  // Makes the capacity at least n (reallocating to exactly n when it is less).
  bool reserve(unsigned int n);
  // Sets the stored length to n, growing first; added bytes are not initialised.
  bool resize(unsigned int n);
  // Makes room for n more bytes, growing by at least the growth increment.
  bool extend(unsigned int n);

  // Appends n bytes; a null data or n = 0 succeeds without change.
  bool write(const unsigned char* data, unsigned int n);
  // Appends the whole content of an open file (read from its start). False for a null
  // file, a failed seek, failed growth or a short read; nothing is stored then.
  bool write(FILE* file);

  // Replaces the content by the vector's bytes; unchanged when growth fails.
  DynamicBuffer& operator=(const std::vector<unsigned char>& v);
  // Appends the stored bytes to v.
  void copy(std::vector<unsigned char>& v) const;

  // n minus the stored length when they differ, else memcmp(data, stored bytes, n).
  int compare(const unsigned char* data, unsigned int n) const;
  int compare(const DynamicBuffer& other) const;
  bool operator==(const DynamicBuffer& other) const { return compare(other) == 0; }

 private:
  DynamicBuffer(const DynamicBuffer&) = delete;
  DynamicBuffer& operator=(const DynamicBuffer&) = delete;

  unsigned char* m_data;
  unsigned char* m_end;
  unsigned int m_capacity;
  unsigned int m_increment;
};

}  // namespace keldra
}  // namespace orva
