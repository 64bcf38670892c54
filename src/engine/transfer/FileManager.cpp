#include "transfer/FileManager.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const char kAccountIdFileName[] = "sync_params";

// Qt gives the canonical path of TMPDIR, which is empty when that folder does not
// exist; the caller must not then take "/" for the temporary folder.
std::string temp_dir() {
  const QString path = QDir::tempPath();
  return path.isEmpty() ? std::string() : QFile::encodeName(path).toStdString() + "/";
}

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

orva::SharedPointer<FileManager> FileManager::open() {
  return orva::SharedPointer<FileManager>(new FileManager());
}

orva::ErrorCode FileManager::write_account_id_file(const std::string& account) {
  const std::string dir = temp_dir();
  if (dir.empty()) return ORVA_ERROR_UNKNOWN;
  const std::string path = dir + kAccountIdFileName;
  // The id ends at its first zero byte, as the reader takes it.
  const char* id = account.c_str();
  const size_t length = strlen(id);

  // mkstemp creates the file with mode 0600 and never opens an existing name, so the
  // shared temporary folder cannot hand us someone else's file or link.
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) return ORVA_ERROR_UNKNOWN;
  const bool written = write_all(fd, id, length);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return ORVA_ERROR_UNKNOWN;
  }
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
