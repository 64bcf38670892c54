// ReadStream over a file opened for binary input. The file stream's state bits are
// the stream's state: is_ok() while none is set, is_eof() with the end-of-file bit.
// Before attach() the stream is in the good state but every read fails.
#pragma once

#include <keldra/ReadStream.h>

#include <fstream>

namespace orva {
namespace keldra {

class FileReadStream : public ReadStream {
 public:
  FileReadStream();
  ~FileReadStream() override;

  // Opens path; a file that cannot be opened leaves the stream failed.
  void attach(const char* path);

  bool is_ok() const override;
  bool is_eof() const override;
  bool read(unsigned char* dst, unsigned int n) override;
  // The file position, low 32 bits.
  unsigned int tell() const override;
  bool skip(unsigned int n) override;
  // From the end the offset counts forwards: only offset 0 reaches the end itself.
  bool seek(unsigned int offset, SeekAnchor anchor) override;

 protected:
  void set_failed() override;

 private:
  mutable std::ifstream m_file;
};

}  // namespace keldra
}  // namespace orva
