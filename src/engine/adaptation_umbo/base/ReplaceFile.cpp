#include "adaptation_umbo/base/ReplaceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {

bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

orva::ErrorCode replace_file(const std::string& path, const std::string& content) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) return ORVA_ERROR_FILE_OPERATION;
  const bool written = write_all(fd, content.data(), content.size()) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return ORVA_ERROR_FILE_OPERATION;
  }
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
