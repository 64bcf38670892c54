// One request of the direct transfer: a zip archive holding the forwarded files, each
// named by its item key, and last "upload.compact", the command text (the "R" line with
// device id and credential digest, then the command lines in the order of the calls).
//
// Each package makes its archive in a private folder of its own (mode 0700, named
// "upload_<pid>_XXXXXX" by FileManager::package_folder_template) in the temporary
// folder, as "upload_<n>.zip" (n a process-wide counter from 1), so no other
// user or process can hand it entries; the package removes the archive and its folder
// when it goes, and an archive never finalised is discarded without being written.
//
// Calling order: create, one start_request, the adding operations, finalize, get_data,
// release. Forwarded data must stay alive and unchanged, and forwarded files in place,
// until finalize returns.
//
// Results: 0; 3 a global id 0, an empty object or a command of the wrong kind; 4 a
// command before start_request; 2 finalize without command text, or the command text
// cannot be written; the writer's 1 passed on; 1 when the archive cannot be written.
// A failed operation leaves the commands count unchanged.
//
// Reference counted (RequestPackagePtr); used on the direct transfer's thread only.
#pragma once

#include "compact/SyncSerializer.h"
#include "transfer/ZipInterface.h"

#include <keldra/DynamicBuffer.h>
#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class RequestPackage;
typedef orva::SharedPointer<RequestPackage> RequestPackagePtr;

class RequestPackage : public orva::internal::RefCountable {
 public:
  // A package with its archive open; empty on any failure. |id| is kept, nothing more.
  static RequestPackagePtr create(uint32_t id);
  // "<n>.bin".
  static void create_file_name(uint32_t n, std::string& name);

  ~RequestPackage() override;

  // The "R" line with the digest of |user| and |password|, or of |token|.
  orva::ErrorCode start_request(const std::string& device_id, const std::string& user,
                                const std::string& password);
  orva::ErrorCode start_request(const std::string& device_id, const std::string& token);
  // "G" (command 4) or "D" (command 3): key, global id, "T"/"F" for |flag|.
  orva::ErrorCode add_object_request(SyncSerializer::ObjectCommand command, const std::string& key,
                                     unsigned long long global_id, bool flag);
  // "A" (command 1) or "U" (command 2) and the object; an update of an object whose
  // flags have bit 4 carries its header only.
  orva::ErrorCode add_object_submit(SyncSerializer::ObjectCommand command, const std::string& key,
                                    const ObjectPtr& object);
  // An entry |key| holding the bytes (or the file), then the "FW" line.
  orva::ErrorCode add_forward(const std::string& service, const std::string& mime_type,
                              const std::string& key, const unsigned char* data,
                              unsigned int length);
  orva::ErrorCode add_forward(const std::string& service, const std::string& mime_type,
                              const std::string& key, const std::string& file_path);
  // A "GF" line.
  orva::ErrorCode add_get_file_line(const std::string& first, const std::string& second);

  uint32_t get_commands_count() const { return m_commands_count; }
  // The keys of the object lines added ("A", "U", "G", "D"), in order.
  const std::vector<std::string>& item_keys() const { return m_item_keys; }
  // The keys of the files added ("FW" lines), in order.
  const std::vector<std::string>& forward_keys() const { return m_forward_keys; }
  const std::string& file_name() const { return m_file_name; }

  // Adds "upload.compact" and writes the archive.
  orva::ErrorCode finalize();
  // The archive's bytes: empty buffer when it cannot be opened, empty pointer when it
  // cannot be read.
  orva::SharedPointer<DynamicBuffer> get_data();

 private:
  explicit RequestPackage(uint32_t id);
  RequestPackage(const RequestPackage&) = delete;
  RequestPackage& operator=(const RequestPackage&) = delete;

  orva::ErrorCode counted(orva::ErrorCode result) {
    if (result == ORVA_ERROR_NONE) ++m_commands_count;
    return result;
  }
  orva::ErrorCode keyed(const std::string& key, orva::ErrorCode result) {
    if (result == ORVA_ERROR_NONE) m_item_keys.push_back(key);
    return counted(result);
  }
  orva::ErrorCode forwarded(const std::string& key, orva::ErrorCode result) {
    if (result == ORVA_ERROR_NONE) m_forward_keys.push_back(key);
    return counted(result);
  }

  std::unique_ptr<ZipInterface> m_zip;
  std::string m_folder;     // the package's private folder
  std::string m_file_name;  // the archive's full path
  SyncSerializer m_serializer;
  uint32_t m_commands_count;
  uint32_t m_id;
  std::vector<std::string> m_item_keys;
  std::vector<std::string> m_forward_keys;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
