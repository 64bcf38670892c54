// The media download of a direct-transfer run: one GET per file whose content is only
// on the server, resized addresses for images, and the saving of each reply body.
#include "transfer/DirectTransferHandlerImpl.h"
#include "transfer/DirectTransferLog.h"

#include <keldra/LoggerUmbo.h>
#include <keldra/MultimediaObject.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

using namespace transfer_log;

namespace {

// Whether the download of |local_id| is still to be saved: a multimedia object without
// a local file. One that has a file (the application gave it one while the body was on
// its way) keeps it, and the download is skipped.
bool download_wanted(unsigned int local_id, const ObjectPtr& object) {
  if (object->get_class_name() != kMultimedia) return false;
  MultimediaObject view;
  view.attach(object);
  orva::ustring url;
  view.local_uri().get_url(url);
  if (url.to_utf8().empty()) return true;
  LoggerUmbo::logf(kTrace, "DirectTransferHandler: file download for obj %d skipped, err %d",
                   static_cast<int>(local_id), ORVA_ERROR_NONE);
  return false;
}

}  // namespace

orva::ErrorCode DirectTransferHandlerImpl::receive_next_mmfile() {
  while (!m_mmfiles_downlist.empty()) {
    const unsigned int local_id = m_mmfiles_downlist.front();
    ObjectPtr object(new (std::nothrow) Object());
    if (!object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
    const orva::ErrorCode read = m_repository->get_object(local_id, *object);
    if (read == ORVA_ERROR_NONE && object->get_class_name() == kMultimedia) {
      MultimediaObject view;
      view.attach(object);
      orva::ustring remote_url;
      orva::ustring local_url;
      std::string remote_mime;
      std::string local_mime;
      view.remote_uri().get_url(remote_url);
      view.local_uri().get_url(local_url);
      view.remote_uri().get_mime(remote_mime);
      view.local_uri().get_mime(local_mime);
      LoggerUmbo::logf(kTrace, "DirectTransferHandler::receive_next_mmfile: local mime: '%s'",
                       local_mime.c_str());
      LoggerUmbo::logf(kTrace, "DirectTransferHandler::receive_next_mmfile: remote mime: '%s'",
                       remote_mime.c_str());
      const std::string remote = remote_url.to_utf8();
      LoggerUmbo::logf(kTrace, "DirectTransferHandler::receive_next_mmfile: remote url: '%s'",
                       remote.c_str());
      if (local_url.to_utf8().empty() && !remote.empty()) {
        std::string address;
        add_resizing_to_remote_url(remote_url, remote_mime, address);
        std::string digest;
        const orva::ErrorCode auth = get_auth_digest(address, digest);
        if (auth != ORVA_ERROR_NONE) return auth;
        const orva::ErrorCode r = m_network_adapter->get(address, digest);
        if (r != ORVA_ERROR_NONE) return r;
        return ORVA_ERROR_KELDRA_IN_PROGRESS;
      }
    }
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: file download for obj %d skipped, err %d",
                     static_cast<int>(local_id), read);
    ++m_items_done;
    m_mmfiles_downlist.erase(m_mmfiles_downlist.begin());
  }
  return ORVA_ERROR_NONE;
}

void DirectTransferHandlerImpl::add_resizing_to_remote_url(const orva::ustring& remote_url,
                                                           const std::string& mime,
                                                           std::string& url) const {
  url = remote_url.to_utf8();
  if (m_download_options.image_scaling_longest_side != 0 && FileManager::is_mime_type_image(mime)) {
    std::string resized;
    if (add_vcdn_resizing_to_remote_url(remote_url, resized) == ORVA_ERROR_NONE) url = resized;
  }
}

orva::ErrorCode DirectTransferHandlerImpl::add_vcdn_resizing_to_remote_url(
    const orva::ustring& remote_url, std::string& url) const {
  std::string text = remote_url.to_utf8();
  size_t at = std::string::npos;
  size_t from = 0;
  for (int i = 0; i < 6; ++i) {
    at = text.find('/', from);
    if (at == std::string::npos) return ORVA_ERROR_INVALID_PARAMETERS;
    from = at + 1;
  }
  text.insert(at + 1, ".s/");
  const size_t last = text.rfind('/');
  if (last == std::string::npos) return ORVA_ERROR_INVALID_PARAMETERS;
  // The same unsigned value for width and height.
  const std::string n =
      std::to_string(static_cast<uint32_t>(m_download_options.image_scaling_longest_side));
  const std::string size = "w" + n + "-" + "h" + n + "_";
  LoggerUmbo::logf(kTrace, "DirectTransferHandler: resizing to: %s", size.c_str());
  text.insert(last + 1, size);
  url = text;
  return ORVA_ERROR_NONE;
}

orva::ErrorCode DirectTransferHandlerImpl::process_file_download_result(
    unsigned int local_id, const orva::SharedPointer<DynamicBuffer>& body,
    const std::string& content_type) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::process_file_download_result, mmo lid %u",
                   local_id);
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::process_file_download_result, MIME: %s",
                   content_type.c_str());
  orva::ErrorCode result = ORVA_ERROR_NONE;
  ObjectPtr object(new (std::nothrow) Object());
  if (!object.is_valid()) {
    result = ORVA_ERROR_OUT_OF_MEMORY;
  } else {
    // A first look without holding the store: the file's name, and whether it is still
    // wanted at all.
    result = m_repository->get_object(local_id, *object);
    if (result == ORVA_ERROR_NONE && download_wanted(local_id, object)) {
      // The file is written whole before the store is taken, so that another process
      // can write the store meanwhile however large the file is; the transaction then
      // only looks at the object again, puts the file in place and records it.
      std::string folder;
      std::string part;
      result = m_file_manager->write_part_file(
          FileManager::download_name(object->get_global_id(), local_id), content_type, body,
          folder, part);
      if (result != ORVA_ERROR_NONE) {
        LoggerUmbo::log("DirectTransferHandler::process_file_download_result, write failed",
                        kTrace);
      } else {
        result = m_repository->begin_transaction(true);
        if (result == ORVA_ERROR_NONE) {
          std::string path;
          result = place_downloaded_file(local_id, folder, part, path);
          result = m_repository->end_transaction(result);
          LoggerUmbo::logf(kTrace, "DirectTransferHandler::process_file_download_result, err %d",
                           result);
          // Put in place but not recorded: the file is nobody's.
          if (result != ORVA_ERROR_NONE && !path.empty()) std::remove(path.c_str());
        }
        m_file_manager->drop_part_file(part);
      }
    }
  }
  LoggerUmbo::logf(kTrace, "process_file_download_result Error: %d", result);
  ++m_items_done;
  report_progress();
  return result;
}

orva::ErrorCode DirectTransferHandlerImpl::place_downloaded_file(unsigned int local_id,
                                                                 const std::string& folder,
                                                                 std::string& part,
                                                                 std::string& path) {
  ObjectPtr object(new (std::nothrow) Object());
  if (!object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  // Gone meanwhile (8), or given a file of the application's while the body was on its
  // way: the download is not saved.
  orva::ErrorCode result = m_repository->get_object(local_id, *object);
  if (result != ORVA_ERROR_NONE || !download_wanted(local_id, object)) return result;
  TransferExtension* ext = extension();
  if (ext == nullptr) return ORVA_ERROR_OUT_OF_MEMORY;
  // Never over a file another object records as its own. Every name the download may
  // take begins with its plain name, so only the recorded files whose path holds that
  // name can stand in its way: the store is asked for those alone, with its write lock
  // held.
  const std::string name = FileManager::download_name(object->get_global_id(), local_id);
  std::vector<std::string> recorded;
  result = ext->get_local_files(name, recorded);
  if (result != ORVA_ERROR_NONE) return result;
  const std::string target = FileManager::free_download_path(folder, name, recorded);
  if (target.empty() || m_file_manager->place_part_file(part, target) != ORVA_ERROR_NONE) {
    LoggerUmbo::log("DirectTransferHandler::process_file_download_result, write failed", kTrace);
    return ORVA_ERROR_UNKNOWN;
  }
  part.clear();
  path = target;
  const bool local_changes = object->has_local_changes();
  result = set_mmo_local_file(object, path);
  if (result != ORVA_ERROR_NONE) return result;
  // Without local changes the object stays synchronised (the one sync write that stores
  // a local file); with them they stay pending.
  if (local_changes) return m_repository->update_object(*object);
  return ext->store_downloaded_file(local_id, *object);
}

void DirectTransferHandlerImpl::book_failed_download(unsigned int local_id,
                                                     orva::ErrorCode status) {
  unsigned long long global_id = 0;
  Object object;
  if (m_repository->get_object(local_id, object) == ORVA_ERROR_NONE) {
    global_id = object.get_global_id();
  }
  m_failed_files.push_back({ObjectBase(local_id, global_id), status});
}

orva::ErrorCode DirectTransferHandlerImpl::set_mmo_local_file(const ObjectPtr& object,
                                                              const std::string& path) {
  MultimediaObject view;
  view.attach(object);
  orva::ErrorCode r = view.local_uri().set_url(orva::ustring(path));
  if (r == ORVA_ERROR_NONE) {
    std::string remote_mime;
    view.remote_uri().get_mime(remote_mime);
    r = view.local_uri().set_mime(remote_mime);
  }
  return r;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
