// Abstract reader of the library's little-endian binary form.
//
// Integers, floats and doubles are stored little-endian without padding; a buffer is
// a 32-bit byte count followed by the bytes; a std::string is a buffer of its bytes;
// a UTF-16 text is a buffer of its code units (count = 2 × units), each little-endian.
// Readers of records read a whole record and then test is_ok() once.
// A stream is used by one thread at a time.
#pragma once

#include <keldra/RefCountable.h>

#include <string>

namespace orva {
namespace keldra {

class ReadStream : public orva::internal::RefCountable {
 public:
  enum SeekAnchor : int { SEEK_FROM_BEGIN = 0, SEEK_FROM_CURRENT = 1, SEEK_FROM_END = 2 };

  // False once a read failed (see the concrete stream for when it recovers).
  virtual bool is_ok() const = 0;
  virtual bool is_eof() const = 0;
  // Reads exactly n bytes into dst; false (and is_ok() false) when they are not there.
  virtual bool read(unsigned char* dst, unsigned int n) = 0;
  virtual unsigned int tell() const = 0;
  virtual bool skip(unsigned int n) = 0;
  // Anchor 0 counts from the beginning, 1 from the position, 2 from the end. Any
  // other anchor stops the process.
  virtual bool seek(unsigned int offset, SeekAnchor anchor) = 0;

  // Typed reads: each is one read() of the value's size; true when it was read.
  bool read_uint8(unsigned char& v);
  bool read_uint16(unsigned short& v);
  bool read_int32(int& v);
  bool read_uint32(unsigned int& v);
  bool read_float(float& v);
  bool read_uint64(unsigned long long& v);
  bool read_double(double& v);
  bool read_timestamp(long long& v);

  // Reads a count and that many bytes into a new[] block the caller delete[]s. Null
  // for a count of 0 or when the count or the bytes cannot be read (len then holds
  // the count when it was read). A count larger than the bytes left in the stream
  // fails the stream (is_ok() false) without allocating.
  unsigned char* read_buffer(unsigned int& len);
  // A buffer as UTF-16 code units (a new[] block of unsigned short, count = bytes / 2,
  // followed by a zero unit); null with count unchanged when no block was read.
  unsigned short* read_ustring(unsigned int& count);
  // UString: any text type with clear() and assign(const unsigned short*, unsigned int)
  // (orva::ustring). Clears s; false when nothing was read, which includes the empty
  // text (the stream stays ok then).
  template <class UString>
  bool read_ustring(UString& s);
  // Clears s; false when nothing was read, which includes the empty string.
  bool read_string(std::string& s);

  // Length of the stream; the position is kept. 0 when the end cannot be reached.
  unsigned int size();
  // Bytes between the position and the end: size() - tell(), 0 when the end cannot
  // be reached or lies before the position. Streams that know it without seeking
  // say so directly; readers of records ask it for every count they read.
  virtual unsigned int bytes_left();

 protected:
  // Marks the stream as failed, as a read past its end does.
  virtual void set_failed() = 0;

 private:
  // Reads a count and checks that as many bytes are left; false (stream failed when
  // the count was too large) otherwise.
  bool read_count(unsigned int& len);
};

template <class UString>
bool ReadStream::read_ustring(UString& s) {
  s.clear();
  unsigned int count = 0;
  unsigned short* units = read_ustring(count);
  if (!units) return false;
  s.assign(units, count);
  delete[] units;
  return true;
}

}  // namespace keldra
}  // namespace orva
