#include "transfer/FileManager.h"

#include "adaptation_umbo/base/ReplaceFile.h"

#include <keldra/LoggerUmbo.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
const char kAccountIdFileName[] = "sync_params";
const char kCitiesFolder[] = "/.cities/";
// A download being written: ".keldra-part-<pid>-<name>.XXXXXX" beside its final name.
const char kPartPrefix[] = ".keldra-part-";
// A request package's folder in the temporary folder: "upload_<pid>_XXXXXX" (older
// versions: "upload_XXXXXX").
const char kPackagePrefix[] = "upload_";

std::string path_of(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Qt gives the canonical path of TMPDIR, which is empty when that folder does not
// exist; the caller must not then take "/" for the temporary folder.
std::string temp_dir() {
  const QString path = QDir::tempPath();
  return path.isEmpty() ? std::string() : path_of(path) + "/";
}

// What follows the last '/' of |path|.
std::string file_name_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool starts_with(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Writes all of |data| to |fd|; false when a byte is missing.
bool write_all(int fd, const orva::SharedPointer<DynamicBuffer>& data) {
  const unsigned char* bytes = data.is_valid() ? data->get_data() : nullptr;
  size_t left = data.is_valid() ? data->get_data_length() : 0;
  bool ok = true;
  while (left > 0) {
    const ssize_t n = ::write(fd, bytes, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    bytes += n;
    left -= static_cast<size_t>(n);
  }
  return ok;
}

// Writes all of |data| to |fd| and closes it; false when a byte is missing.
bool write_all_and_close(int fd, const orva::SharedPointer<DynamicBuffer>& data) {
  const bool ok = write_all(fd, data);
  return ::close(fd) == 0 && ok;
}

// The process id that |text| starts with, followed by |end|; 0 when it does not.
pid_t leading_pid(const std::string& text, char end) {
  size_t i = 0;
  long long pid = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && pid < (1LL << 31)) {
    pid = pid * 10 + (text[i] - '0');
    ++i;
  }
  if (i == 0 || i >= text.size() || text[i] != end || pid <= 0 || pid >= (1LL << 31)) return 0;
  return static_cast<pid_t>(pid);
}

// True when no process |pid| runs any more, as far as this process can see. A process
// in another PID namespace (a sandboxed application sharing the home and the temporary
// folder) looks gone too, so this alone never decides: see untouched_for_long().
bool process_gone(pid_t pid) { return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH; }

// How long a leftover must have been left alone before it counts as nobody's.
const time_t kLeftoverQuiet = 60 * 60;

// True when |path| (and, for a folder, everything below it) was last modified at least
// kLeftoverQuiet ago. A time in the future counts as recent.
bool untouched_for_long(const std::string& path) {
  const time_t now = ::time(nullptr);
  const auto quiet = [now](const char* entry) {
    struct stat st;
    return ::lstat(entry, &st) == 0 && now - st.st_mtime >= kLeftoverQuiet;
  };
  if (!quiet(path.c_str())) return false;
  QDirIterator it(QFile::decodeName(path.c_str()),
                  QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    if (!quiet(QFile::encodeName(it.next()).constData())) return false;
  }
  return true;
}

// The names in |folder| that begin with |prefix|, hidden ones included.
QStringList names_in(const std::string& folder, const char* prefix, QDir::Filters kind) {
  return QDir(QFile::decodeName(folder.c_str()))
      .entryList({QString::fromLatin1(prefix) + QLatin1Char('*')},
                 kind | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

}  // namespace

orva::SharedPointer<FileManager> FileManager::open() {
  return orva::SharedPointer<FileManager>(new FileManager());
}

orva::ErrorCode FileManager::get_temp_path(std::string& path) {
  path = temp_dir();
  return ORVA_ERROR_NONE;
}

orva::ErrorCode FileManager::get_upload_path(std::string& path) {
  path = temp_dir();
  LoggerUmbo::logf(kTrace, "FileManager::get_upload_path path: %s", path.c_str());
  return ORVA_ERROR_NONE;
}

orva::ErrorCode FileManager::get_resizing_path(std::string& path) {
  path = temp_dir();
  LoggerUmbo::logf(kTrace, "FileManager::get_resizing_path path: %s", path.c_str());
  return ORVA_ERROR_NONE;
}

orva::ErrorCode FileManager::get_download_path(const std::string& mime, std::string& path) {
  if (is_mime_type_image(mime)) {
    const std::string pictures =
        path_of(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    LoggerUmbo::logf(kTrace, "FileManager::get_download_path QDesktopservice picture folder:: %s",
                     pictures.c_str());
    // Without a pictures location the file must not land in "/".
    if (pictures.empty()) return ORVA_ERROR_UNKNOWN;
    path = pictures + "/";
    return CreatePath(path) ? ORVA_ERROR_NONE : ORVA_ERROR_UNKNOWN;
  }
  path = path_of(QDir::homePath()) + kCitiesFolder;
  CreatePath(path);
  return ORVA_ERROR_NONE;
}

bool FileManager::CreatePath(const std::string& path) {
  const QString dir = QFile::decodeName(path.c_str());
  if (QDir(dir).exists()) {
    LoggerUmbo::log("FileManager::get_download_path dir exists. ORVA_ERROR_NONE.", kTrace);
    return true;
  }
  if (QDir().mkpath(dir)) {
    LoggerUmbo::log("FileManager::get_download_path mkpath ok", kTrace);
    return true;
  }
  LoggerUmbo::log("FileManager::get_download_path mkpath not ok, ORVA_ERROR_UNKNOWN", kTrace);
  return false;
}

orva::ErrorCode FileManager::write_file(const std::string& name, const std::string& mime,
                                        const orva::SharedPointer<DynamicBuffer>& data,
                                        std::string& path) {
  std::string part;
  const orva::ErrorCode r = write_part_file(name, mime, data, path, part);
  if (!path.empty()) path += name;
  if (r != ORVA_ERROR_NONE) return r;
  if (place_part_file(part, path) != ORVA_ERROR_NONE) {
    drop_part_file(part);
    return ORVA_ERROR_UNKNOWN;
  }
  return ORVA_ERROR_NONE;
}

orva::ErrorCode FileManager::write_part_file(const std::string& name, const std::string& mime,
                                             const orva::SharedPointer<DynamicBuffer>& data,
                                             std::string& folder, std::string& part) {
  folder.clear();
  part.clear();
  const orva::ErrorCode r = get_download_path(mime, folder);
  if (r != ORVA_ERROR_NONE) return r;
  LoggerUmbo::logf(kTrace, "FileManager::write_file path: %s", folder.c_str());
  LoggerUmbo::logf(kTrace, "FileManager::write_file fname: %s", name.c_str());
  // Written beside its name and renamed over it once whole: a failed write or a full
  // disk leaves the file of that name as it was, never a part of the new one. While it
  // is written it is the owner's only (mkstemp's mode) and hidden, under a name that
  // remove_leftovers() recognises should the process die meanwhile.
  part = folder + kPartPrefix + std::to_string(::getpid()) + "-" + name + ".XXXXXX";
  const int fd = ::mkstemp(&part[0]);
  if (fd < 0) {
    part.clear();
    return ORVA_ERROR_UNKNOWN;
  }
  // Whole: readable by the gallery and other applications, as downloads always were.
  const bool written = write_all(fd, data) && ::fchmod(fd, 0644) == 0;
  if (::close(fd) != 0 || !written) {
    drop_part_file(part);
    part.clear();
    return ORVA_ERROR_UNKNOWN;
  }
  return ORVA_ERROR_NONE;
}

orva::ErrorCode FileManager::place_part_file(const std::string& part, const std::string& path) {
  return ::rename(part.c_str(), path.c_str()) == 0 ? ORVA_ERROR_NONE : ORVA_ERROR_UNKNOWN;
}

void FileManager::drop_part_file(const std::string& part) {
  if (!part.empty()) ::unlink(part.c_str());
}

std::string FileManager::download_name(unsigned long long global_id, unsigned int local_id) {
  return global_id != 0 ? "md" + std::to_string(global_id) : "mdl" + std::to_string(local_id);
}

std::string FileManager::free_download_path(const std::string& folder, const std::string& name,
                                            const std::vector<std::string>& recorded) {
  for (int n = 1; n <= 1000; ++n) {
    const std::string file = n == 1 ? name : name + "-" + std::to_string(n);
    const std::string path = folder + file;
    struct stat at;
    const bool exists = ::stat(path.c_str(), &at) == 0;
    // The first name may replace a file nobody records (a download of the object
    // before); a further one is only taken while nothing is there.
    if (n > 1 && exists) continue;
    bool taken = false;
    for (const std::string& other : recorded) {
      if (other == path) {
        taken = true;
      } else if (exists && file_name_of(other) == file) {
        struct stat st;
        taken = ::stat(other.c_str(), &st) == 0 && st.st_dev == at.st_dev && st.st_ino == at.st_ino;
      }
      if (taken) break;
    }
    if (!taken) return path;
  }
  return std::string();
}

orva::ErrorCode FileManager::write_temp_file(const std::string& name,
                                             const orva::SharedPointer<DynamicBuffer>& data,
                                             std::string& path) {
  path = temp_dir();
  LoggerUmbo::logf(kTrace, "FileManager::write_temp_file path: %s", path.c_str());
  if (path.empty()) return ORVA_ERROR_UNKNOWN;
  path += name;
  // The temporary folder is shared: a link planted at the name is not followed.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return ORVA_ERROR_UNKNOWN;
  return write_all_and_close(fd, data) ? ORVA_ERROR_NONE : ORVA_ERROR_UNKNOWN;
}

std::string FileManager::package_folder_template() {
  const std::string dir = temp_dir();
  if (dir.empty()) return std::string();
  return dir + kPackagePrefix + std::to_string(::getpid()) + "_XXXXXX";
}

int FileManager::remove_leftovers() {
  int removed = 0;
  // Downloads never completed, in both download folders.
  const std::string pictures =
      path_of(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
  std::vector<std::string> folders = {path_of(QDir::homePath()) + kCitiesFolder};
  if (!pictures.empty()) folders.push_back(pictures + "/");
  const size_t part_prefix = std::strlen(kPartPrefix);
  for (const std::string& folder : folders) {
    for (const QString& entry : names_in(folder, kPartPrefix, QDir::Files)) {
      const std::string name = path_of(entry);
      if (!process_gone(leading_pid(name.substr(part_prefix), '-'))) continue;
      if (!untouched_for_long(folder + name)) continue;
      if (::unlink((folder + name).c_str()) == 0) ++removed;
    }
  }
  // Request package folders: those of a process that is gone, whatever they hold, and
  // empty ones of the older naming; either only once nothing in them changed for long.
  const std::string temp = temp_dir();
  if (!temp.empty()) {
    const size_t package_prefix = std::strlen(kPackagePrefix);
    for (const QString& entry : names_in(temp, kPackagePrefix, QDir::Dirs | QDir::NoSymLinks)) {
      const std::string name = path_of(entry);
      const std::string path = temp + name;
      const std::string rest = name.substr(package_prefix);
      const pid_t pid = leading_pid(rest, '_');
      struct stat st;
      if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        continue;
      }
      if (pid != 0 && process_gone(pid) && untouched_for_long(path)) {
        if (QDir(QFile::decodeName(path.c_str())).removeRecursively()) ++removed;
      } else if (pid == 0 && rest.size() == 6 && untouched_for_long(path) &&
                 ::rmdir(path.c_str()) == 0) {
        ++removed;
      }
    }
  }
  if (removed > 0) {
    LoggerUmbo::logf(kTrace, "FileManager::remove_leftovers: %d removed", removed);
  }
  return removed;
}

bool FileManager::is_mime_type_image(const std::string& mime) {
  return starts_with(mime, "image/");
}

bool FileManager::is_mime_type_compressible(const std::string& mime) {
  return !starts_with(mime, "image/") && !starts_with(mime, "video/") &&
         !starts_with(mime, "audio/");
}

orva::ErrorCode FileManager::write_account_id_file(const std::string& account) {
  const std::string dir = temp_dir();
  if (dir.empty()) return ORVA_ERROR_UNKNOWN;
  const std::string path = dir + kAccountIdFileName;
  // The id ends at its first zero byte, as the reader takes it.
  const char* id = account.c_str();
  const size_t length = strlen(id);

  // A new file renamed into place: in the shared temporary folder no one can hand us
  // their file or link under that name, and the storage plug-in never reads half an id.
  return replace_file(path, std::string(id, length)) == ORVA_ERROR_NONE ? ORVA_ERROR_NONE
                                                                        : ORVA_ERROR_UNKNOWN;
}

orva::ErrorCode FileManager::read_account_id_file(std::string& account) {
  const std::string dir = temp_dir();
  if (dir.empty()) return ORVA_ERROR_UNKNOWN;
  FILE* file = std::fopen((dir + kAccountIdFileName).c_str(), "re");
  if (!file) return ORVA_ERROR_UNKNOWN;
  char line[64];
  const bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  if (!read) return ORVA_ERROR_UNKNOWN;
  // A zero byte in the file ends the id, as it ends the written one.
  const size_t length = std::strlen(line);
  if (length == 0) return ORVA_ERROR_UNKNOWN;
  account.assign(line, length);
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
