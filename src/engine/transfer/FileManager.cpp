#include "transfer/FileManager.h"

#include "adaptation_umbo/base/ReplaceFile.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>

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

  // A new file renamed into place: in the shared temporary folder no one can hand us
  // their file or link under that name, and the storage plug-in never reads half an id.
  return replace_file(path, std::string(id, length)) == ORVA_ERROR_NONE ? ORVA_ERROR_NONE
                                                                        : ORVA_ERROR_UNKNOWN;
}

orva::ErrorCode FileManager::read_account_id_file(std::string& account) {
  const std::string dir = temp_dir();
  if (dir.empty()) return ORVA_ERROR_UNKNOWN;
  FILE* file = std::fopen((dir + kAccountIdFileName).c_str(), "r");
  if (!file) return ORVA_ERROR_UNKNOWN;
  char line[64];
  const bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  if (!read || line[0] == '\0') return ORVA_ERROR_UNKNOWN;
  account = line;
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
