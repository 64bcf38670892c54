#include "transfer/RequestPackage.h"

#include "transfer/FileManager.h"

#include <keldra/LoggerUmbo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
const char KELD_PACKAGE_NAME[] = "upload";
const char KELD_PACKAGE_NAME_END[] = ".zip";
const char kCommandsEntry[] = "upload.compact";

// Counts the archive names of the process; the thread of the direct transfer only.
int32_t g_package_counter = 1;

// The command text as the dump shows it: the "R" line's digest masked. The digest is
// the last field of the first line (Base64: no ':' or ';' in it).
std::string masked_commands(const unsigned char* data, unsigned int length) {
  std::string text(reinterpret_cast<const char*>(data), length);
  const size_t end = text.find(';');
  if (text.compare(0, 2, "R:") != 0 || end == std::string::npos) return text;
  const size_t colon = text.rfind(':', end);
  if (colon == std::string::npos || colon < 2) return text;
  text.replace(colon + 1, end - colon - 1, "********");
  return text;
}

}  // namespace

RequestPackage::RequestPackage(uint32_t id) : m_commands_count(0), m_id(id) {}

RequestPackagePtr RequestPackage::create(uint32_t id) {
  LoggerUmbo::log("RequestPackage::create ++", kTrace);
  RequestPackagePtr package;
  try {
    package = new RequestPackage(id);
  } catch (const std::bad_alloc&) {
    package.release();
  }
  bool ok = false;
  if (package.is_valid()) {
    orva::SharedPointer<FileManager> files = FileManager::open();
    // Named after this process, so that a later run can tell it was left behind.
    std::string folder;
    if (files.is_valid()) folder = files->package_folder_template();
    if (!folder.empty()) {
      LoggerUmbo::log("RequestPackage::create_package_path ok", kTrace);
      // A folder only this user can enter: nobody can plant or swap the archive.
      if (mkdtemp(&folder[0])) {
        package->m_folder = folder;
        package->m_file_name = folder + "/" + KELD_PACKAGE_NAME + "_" +
                               std::to_string(g_package_counter++) + KELD_PACKAGE_NAME_END;
        package->m_zip.reset(ZipInterface::create());
        ok = package->m_zip && package->m_zip->init(package->m_file_name.c_str());
      }
    }
  }
  if (!ok) {
    LoggerUmbo::log("RequestPackage::create: zip file was not created!", kTrace);
    LoggerUmbo::log("RequestPackage::create --", kTrace);
    return RequestPackagePtr();  // releasing the package removes its folder
  }
  return package;
}

void RequestPackage::create_file_name(uint32_t n, std::string& name) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.bin", n);
  name = text;
}

RequestPackage::~RequestPackage() {
  // An archive still open was never finalised: discarded, nothing written.
  m_zip.reset();
  if (!m_file_name.empty()) std::remove(m_file_name.c_str());
  if (!m_folder.empty()) ::rmdir(m_folder.c_str());
}

orva::ErrorCode RequestPackage::start_request(const std::string& device_id, const std::string& user,
                                              const std::string& password) {
  return m_serializer.start_request(device_id, SyncSerializer::create_auth_digest(user, password));
}

orva::ErrorCode RequestPackage::start_request(const std::string& device_id,
                                              const std::string& token) {
  return m_serializer.start_request(device_id, SyncSerializer::create_auth_digest(token));
}

orva::ErrorCode RequestPackage::add_object_request(SyncSerializer::ObjectCommand command,
                                                   const std::string& key,
                                                   unsigned long long global_id, bool flag) {
  if (global_id == 0) return ORVA_ERROR_INVALID_PARAMETERS;
  return keyed(key, m_serializer.add_object_request(command, key, global_id, flag));
}

orva::ErrorCode RequestPackage::add_object_submit(SyncSerializer::ObjectCommand command,
                                                  const std::string& key, const ObjectPtr& object) {
  if (!object.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  const bool header_only =
      command == SyncSerializer::COMMAND_UPDATE && (object->get_flags() & 16) != 0;
  return keyed(key, m_serializer.add_object_submit(command, key, *object, header_only));
}

orva::ErrorCode RequestPackage::add_forward(const std::string& service,
                                            const std::string& mime_type, const std::string& key,
                                            const unsigned char* data, unsigned int length) {
  if (!m_zip) return ORVA_ERROR_UNKNOWN;
  const orva::ErrorCode added = m_zip->add_blob_to_zip(key, data, length);
  if (added != ORVA_ERROR_NONE) return added;
  return forwarded(key, m_serializer.add_forward_command(service, mime_type, key));
}

orva::ErrorCode RequestPackage::add_forward(const std::string& service,
                                            const std::string& mime_type, const std::string& key,
                                            const std::string& file_path) {
  if (!m_zip) return ORVA_ERROR_UNKNOWN;
  const orva::ErrorCode added =
      m_zip->add_file_to_zip(file_path, key, FileManager::is_mime_type_compressible(mime_type));
  if (added != ORVA_ERROR_NONE) return added;
  return forwarded(key, m_serializer.add_forward_command(service, mime_type, key));
}

orva::ErrorCode RequestPackage::add_get_file_line(const std::string& first,
                                                  const std::string& second) {
  return counted(m_serializer.add_get_file_line_command(first, second));
}

orva::ErrorCode RequestPackage::finalize() {
  const orva::SharedPointer<DynamicBuffer>& commands = m_serializer.get_buffer();
  if (!commands.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  if (!m_zip) return ORVA_ERROR_UNKNOWN;
  // The dump shows the request without the credential digest.
  orva::SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
  if (logger.is_valid() && logger->isTypeAllowed(LoggerUmbo::MSG_ALL)) {
    const std::string shown = masked_commands(commands->get_data(), commands->get_data_length());
    DumpCompactMessage(reinterpret_cast<const unsigned char*>(shown.data()),
                       static_cast<unsigned int>(shown.size()), true, true);
  }
  const orva::ErrorCode added =
      m_zip->add_blob_to_zip(kCommandsEntry, commands->get_data(), commands->get_data_length());
  if (added != ORVA_ERROR_NONE) return added;
  const bool written = m_zip->finalize();
  m_zip.reset();
  return written ? ORVA_ERROR_NONE : ORVA_ERROR_UNKNOWN;
}

orva::SharedPointer<DynamicBuffer> RequestPackage::get_data() {
  orva::SharedPointer<DynamicBuffer> data(new DynamicBuffer());
  FILE* file = std::fopen(m_file_name.c_str(), "rbe");
  if (!file) {
    LoggerUmbo::logf(kTrace, "RequestPackage::get_data cannot open file: %s ", m_file_name.c_str());
    return data;
  }
  const bool read = data->write(file);
  std::fclose(file);
  if (!read) return orva::SharedPointer<DynamicBuffer>();
  return data;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
