// File locations and file writes of the transfers.
//
// So far the account id file: the application's process writes the current account's id
// to <temporary folder>/sync_params before it asks the sync daemon to start, and the
// storage plug-in reads it in the daemon's process; both take the temporary folder from
// Qt (TMPDIR), so both must see the same one.
//
// A file manager holds no state; open() makes a new one on every call, shared through
// SharedPointer. Thread: any; the file operations themselves are not serialised.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/SharedPointer.h>

#include <string>

namespace orva {
namespace keldra {
namespace internal {

class FileManager : public orva::internal::RefCountable {
 public:
  // A new file manager. Throws std::bad_alloc.
  static orva::SharedPointer<FileManager> open();

  // Replaces the account id file with |account|'s bytes up to its first zero byte, no
  // line end. The file is made readable by its owner only (mode 0600) and appears whole
  // or not at all: it is written beside its final name and renamed over it, so a
  // reader never sees a partial id, and a link planted at that name is replaced, not
  // followed. 0, or ORVA_ERROR_UNKNOWN when the file cannot be written.
  orva::ErrorCode write_account_id_file(const std::string& account);
  // Reads the account id file back: its first line, at most 63 characters, a line end
  // read with it kept. 0; ORVA_ERROR_UNKNOWN, |account| untouched, when the file is
  // missing or empty.
  orva::ErrorCode read_account_id_file(std::string& account);

 private:
  FileManager() {}
  FileManager(const FileManager&) = delete;
  FileManager& operator=(const FileManager&) = delete;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
