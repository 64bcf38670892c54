// File locations and file writes of the transfers.
//
// Locations (byte strings, Qt's paths in the process's 8-bit file name encoding):
// - temporary, upload and resizing folder: Qt's temporary path and "/";
// - downloaded images: the pictures location (QStandardPaths) and "/";
// - other downloaded files: the home folder and "/.cities/";
// - account id file: the temporary folder and "sync_params". The application's process
//   writes the current account's id there before it asks the sync daemon to start, and
//   the storage plug-in reads it in the daemon's process: both must see the same
//   temporary folder (TMPDIR).
//
// A file manager holds no state; open() makes a new one on every call, shared through
// SharedPointer. Thread: any; the file operations themselves are not serialised.
// Results: 0, or 1 (ORVA_ERROR_UNKNOWN) on failure.
#pragma once

#include <keldra/DynamicBuffer.h>
#include <keldra/ErrorCode.h>
#include <keldra/SharedPointer.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class FileManager : public orva::internal::RefCountable {
 public:
  // A new file manager. Throws std::bad_alloc.
  static orva::SharedPointer<FileManager> open();

  // The temporary folder with its "/" (empty when Qt has none: TMPDIR is missing).
  // Always 0.
  orva::ErrorCode get_temp_path(std::string& path);
  // Where request packages and resized images are made: the temporary folder. Always 0.
  orva::ErrorCode get_upload_path(std::string& path);
  orva::ErrorCode get_resizing_path(std::string& path);
  // The folder for a downloaded file of |mime|, made when missing: the pictures
  // location for images (1 when it cannot be made), else ~/.cities/ (0 even when it
  // cannot be made: the write then fails instead).
  orva::ErrorCode get_download_path(const std::string& mime, std::string& path);
  // True when the folder exists or could be made with its missing parents.
  bool CreatePath(const std::string& path);

  // Writes |data| as the file |name| in the download folder of |mime|, replacing a file
  // of that name only once every byte is written (written beside it, the owner's only,
  // as ".keldra-part-<pid>-<name>.XXXXXX", and renamed over it with mode 0644); |path|
  // receives the full path. 1 when the folder or the file cannot be made or not every
  // byte was written: the file of that name is then unchanged.
  orva::ErrorCode write_file(const std::string& name, const std::string& mime,
                             const orva::SharedPointer<DynamicBuffer>& data, std::string& path);
  // write_file in two steps, so that the store need not be held while a large file is
  // written: write_part_file writes |data| whole beside the download folder of |mime|
  // as that hidden part file (mode 0644 once whole); |folder| receives the folder with
  // its "/" and |part| the part file's path. 1 when the folder or the file cannot be
  // made or not every byte was written; nothing is left then.
  orva::ErrorCode write_part_file(const std::string& name, const std::string& mime,
                                  const orva::SharedPointer<DynamicBuffer>& data,
                                  std::string& folder, std::string& part);
  // Renames the part file to |path|, replacing a file of that name; 1 when it fails
  // (the part file is then still there).
  orva::ErrorCode place_part_file(const std::string& part, const std::string& path);
  // Removes a part file that is not to be placed.
  void drop_part_file(const std::string& part);

  // The name a downloaded file of an object is saved under: "md" + its global id
  // (files saved earlier are known by it), or, without one, "mdl" + its local id:
  // global ids are plain numbers, so the two kinds of name never meet.
  static std::string download_name(unsigned long long global_id, unsigned int local_id);
  // Where in |folder| (with its "/") a download named |name| may be put, given the
  // local files that stored objects record (|recorded|): folder + name, unless an
  // object records that file; then the first of name + "-2", "-3", ... that no object
  // records and that is no file yet. A recorded path names the file when it is the same
  // text, or the same file under the same name. Empty when none of 1000 is free.
  static std::string free_download_path(const std::string& folder, const std::string& name,
                                        const std::vector<std::string>& recorded);

  // The same in the temporary folder; the file is the owner's only (mode 0600) and a
  // link planted at its name is not followed (the write fails).
  orva::ErrorCode write_temp_file(const std::string& name,
                                  const orva::SharedPointer<DynamicBuffer>& data,
                                  std::string& path);

  // The mkdtemp() template of a request package's private folder in the temporary folder
  // ("upload_<pid>_XXXXXX"); empty when there is no temporary folder.
  std::string package_folder_template();
  // Removes what runs of processes that are gone left behind (a kill -9 during a run):
  // downloads never completed in both download folders, request package folders in the
  // temporary folder with all they hold, and empty package folders of the older naming
  // ("upload_XXXXXX"). What a running process writes is left alone: a leftover goes only
  // when its process looks gone and nothing of it was modified for an hour (a process in
  // another PID namespace looks gone). The count removed.
  int remove_leftovers();

  // Case-sensitive prefix tests: "image/"; and none of "image/", "video/", "audio/".
  static bool is_mime_type_image(const std::string& mime);
  static bool is_mime_type_compressible(const std::string& mime);

  // Replaces the account id file with |account|'s bytes up to its first zero byte, no
  // line end. The file is made readable by its owner only (mode 0600) and appears whole
  // or not at all: it is written beside its final name and renamed over it, so a
  // reader never sees a partial id, and a link planted at that name is replaced, not
  // followed. 0, or 1 when the file cannot be written.
  orva::ErrorCode write_account_id_file(const std::string& account);
  // Reads the account id file back: one line of at most 63 characters, its line end
  // kept when one is read. 1, with |account| unchanged, when the file is missing or
  // holds no character.
  orva::ErrorCode read_account_id_file(std::string& account);

 private:
  FileManager() {}
  FileManager(const FileManager&) = delete;
  FileManager& operator=(const FileManager&) = delete;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
