// ReadStream over a memory block that it neither copies nor owns: the caller keeps
// the block alive while reading.
//
// Running out of data fails the read and clears ok until the next attach(); skip()
// and seek() that would leave the block fail without clearing it. The position never
// passes the end, so is_eof() stays false: the end of data shows as a failed read.
#pragma once

#include <keldra/DynamicBuffer.h>
#include <keldra/ReadStream.h>
#include <keldra/SharedPointer.h>

namespace orva {
namespace keldra {

class BufferReadStream : public ReadStream {
 public:
  // No data, not ok.
  BufferReadStream();

  // Reads data from position 0; ok only for a non-null block of at least one byte.
  void attach(const unsigned char* data, unsigned int len);
  // Reads the buffer's bytes; the stream keeps no reference. The pointer must not be
  // empty (the process stops otherwise).
  void attach(const SharedPointer<DynamicBuffer>& buffer);

  // Data attached, ok, and at least n bytes after the position.
  bool has_data(unsigned int n) const;

  bool is_ok() const override { return m_ok; }
  unsigned int bytes_left() override {
    // A failed stream answers by seeking, as any stream does (which moves it).
    if (!m_data || !m_ok) return ReadStream::bytes_left();
    return m_position <= m_length ? m_length - m_position : 0;
  }
  bool is_eof() const override { return m_position > m_length; }
  bool read(unsigned char* dst, unsigned int n) override;
  unsigned int tell() const override { return m_position; }
  bool skip(unsigned int n) override;
  // A failed seek from the beginning or the end leaves the position at 0.
  bool seek(unsigned int offset, SeekAnchor anchor) override;

 protected:
  void set_failed() override { m_ok = false; }

 private:
  const unsigned char* m_data;
  unsigned int m_position;
  unsigned int m_length;
  bool m_ok;
};

}  // namespace keldra
}  // namespace orva
