#include "runtime/FileReadStream.h"

#include <keldra/Invariant.h>

namespace orva {
namespace keldra {

FileReadStream::FileReadStream() {}

FileReadStream::~FileReadStream() {}

void FileReadStream::attach(const char* path) {
  if (m_file.is_open()) m_file.close();
  m_file.clear();
  if (path) m_file.open(path, std::ios::in | std::ios::binary);
  if (!m_file.is_open()) {
    m_file.setstate(std::ios::failbit);
  } else {
    m_file.clear();
  }
}

bool FileReadStream::is_ok() const { return m_file.good(); }

bool FileReadStream::is_eof() const { return m_file.eof(); }

bool FileReadStream::read(unsigned char* dst, unsigned int n) {
  if (!m_file.is_open()) m_file.setstate(std::ios::failbit);
  m_file.read(reinterpret_cast<char*>(dst), n);
  return is_ok();
}

unsigned int FileReadStream::tell() const {
  return static_cast<unsigned int>(static_cast<long long>(m_file.tellg()));
}

bool FileReadStream::skip(unsigned int n) {
  m_file.seekg(static_cast<std::streamoff>(n), std::ios::cur);
  return is_ok();
}

bool FileReadStream::seek(unsigned int offset, SeekAnchor anchor) {
  std::ios::seekdir dir;
  switch (anchor) {
    case SEEK_FROM_BEGIN:
      dir = std::ios::beg;
      break;
    case SEEK_FROM_CURRENT:
      dir = std::ios::cur;
      break;
    case SEEK_FROM_END:
      dir = std::ios::end;
      break;
    default:
      // Unknown anchor: stop, also in builds without assertions.
      ::orva::keldra::internal::invariant_failed("0", "src/engine/Stream", 344,
                                                 __PRETTY_FUNCTION__);
  }
  m_file.seekg(static_cast<std::streamoff>(offset), dir);
  return is_ok();
}

void FileReadStream::set_failed() { m_file.setstate(std::ios::failbit); }

}  // namespace keldra
}  // namespace orva
