// ReadStream that reads another stream up to that stream's end and fails itself, not
// the stream below, where a read would go past it.
//
// Lets a reader probe a whole stream (count its items) and leave the stream below ok,
// so that the caller's reading goes on where it was. Reads, skips and seeks are passed
// to the stream below at its own position; a read past the end (as the end was when
// this object was made) clears ok here only, until the object goes. Holds a reference
// to the stream below, which must outlive it. One thread at a time.
#pragma once

#include <keldra/ReadStream.h>

namespace orva {
namespace keldra {
namespace internal {

class BoundedReadStream : public ReadStream {
 public:
  explicit BoundedReadStream(ReadStream& below);

  bool is_ok() const override { return m_ok && m_below.is_ok(); }
  bool is_eof() const override { return m_below.tell() >= m_end; }
  bool read(unsigned char* dst, unsigned int n) override;
  unsigned int tell() const override { return m_below.tell(); }
  bool skip(unsigned int n) override;
  bool seek(unsigned int offset, SeekAnchor anchor) override;

 protected:
  void set_failed() override { m_ok = false; }

 private:
  BoundedReadStream(const BoundedReadStream&) = delete;
  BoundedReadStream& operator=(const BoundedReadStream&) = delete;

  // At least n bytes between the position and the end.
  bool fits(unsigned int n) const;

  ReadStream& m_below;
  unsigned int m_end;
  bool m_ok;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
