// Sets a file's, or a whole folder's, modification time into the past, for tests of what
// is judged by how long it has been left alone.
#pragma once

#include <QDirIterator>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <ctime>

namespace keldra_test {

// |path| and everything below it now read as last modified |seconds| ago (links
// themselves, not what they point to). False when one time could not be set.
inline bool set_modified_ago(const std::string& path, long seconds) {
  struct timespec times[2];
  times[0].tv_sec = ::time(nullptr) - seconds;
  times[0].tv_nsec = 0;
  times[1] = times[0];
  bool ok = true;
  QDirIterator it(QString::fromStdString(path),
                  QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    ok = ::utimensat(AT_FDCWD, QFile::encodeName(it.next()).constData(), times,
                     AT_SYMLINK_NOFOLLOW) == 0 && ok;
  }
  return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 && ok;
}

}  // namespace keldra_test
