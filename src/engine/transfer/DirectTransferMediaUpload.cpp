// The media upload of a direct-transfer run: the batch packages built at the end of the
// search, BATCH FORWARD, FORWARD with its sub-phases (one-file packages, images posted
// bare, the scaling path) and the "F" reply lines.
#include "transfer/DirectTransferHandlerImpl.h"
#include "transfer/DirectTransferLog.h"
#include "transfer/RequestPackage.h"

#include <keldra/LoggerUmbo.h>
#include <keldra/MultimediaObject.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <sys/stat.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {

using namespace transfer_log;

ObjectPtr new_object() { return ObjectPtr(new (std::nothrow) Object()); }

bool is_multimedia(const ObjectPtr& object) { return object->get_class_name() == kMultimedia; }

// The local and remote file facts of a multimedia object.
struct MediaFacts {
  std::string local_url;  // UTF-8: the local file's path
  std::string local_mime;
  std::string remote_url;
  uint64_t local_size = 0;
  bool needs_upload() const { return !local_url.empty() && remote_url.empty(); }
};

MediaFacts media_facts(const ObjectPtr& object) {
  MultimediaObject view;
  view.attach(object);
  MediaFacts facts;
  orva::ustring url;
  view.local_uri().get_url(url);
  facts.local_url = url.to_utf8();
  view.local_uri().get_mime(facts.local_mime);
  orva::ustring remote;
  view.remote_uri().get_url(remote);
  facts.remote_url = remote.to_utf8();
  facts.local_size = view.local_info().get_file_size();
  return facts;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Batch packages.

orva::ErrorCode DirectTransferHandlerImpl::create_batch_request_packages(
    std::vector<orva::SharedPointer<RequestPackage>>& packages) {
  trace("create_batch_request_packages");
  LoggerUmbo::logf(kTrace, "m_mmfiles_uplist: %d", static_cast<int>(m_mmfiles_uplist.size()));
  if (is_scaling_enabled()) {
    trace("Scaling enabled do not create batch packages.");
    return ORVA_ERROR_NONE;
  }
  while (!m_mmfiles_uplist.empty()) {
    orva::SharedPointer<RequestPackage> package;
    orva::ErrorCode r = create_upload_package(package, true);
    if (r != ORVA_ERROR_NONE) return r;
    const uint32_t commands = package->get_commands_count();
    r = add_files_to_batch_request_package(package);
    if (r != ORVA_ERROR_NONE) {
      packages.clear();
      return r;
    }
    if (package->get_commands_count() == commands) {
      trace("create_batch_request_packages: found large images");
      break;
    }
    packages.push_back(package);
  }
  LoggerUmbo::logf(kTrace, "m_mmfiles_uplist.size(): %d",
                   static_cast<int>(m_mmfiles_uplist.size()));
  return ORVA_ERROR_NONE;
}

orva::ErrorCode DirectTransferHandlerImpl::add_files_to_batch_request_package(
    const orva::SharedPointer<RequestPackage>& package) {
  assert(package.is_valid());
  if (!package.is_valid()) std::abort();
  uint64_t total = 0;
  int files = 0;
  auto it = m_mmfiles_uplist.begin();
  while (it != m_mmfiles_uplist.end()) {
    ObjectPtr object = new_object();
    if (!object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
    const orva::ErrorCode read = m_repository->get_object(*it, *object);
    if (read == ORVA_ERROR_NOT_FOUND || (read == ORVA_ERROR_NONE && !is_multimedia(object))) {
      ++m_items_done;
      it = m_mmfiles_uplist.erase(it);
      continue;
    }
    if (read != ORVA_ERROR_NONE) return read;
    const MediaFacts facts = media_facts(object);
    uint64_t size = facts.local_size;
    if (size == 0) {
      trace("MMO file size is empty or file is empty or not found.");
      const int64_t measured = get_file_size(facts.local_url);
      if (measured <= 0) {
        // Left for the next run: its remote url stays empty.
        it = m_mmfiles_uplist.erase(it);
        continue;
      }
      size = static_cast<uint64_t>(measured);
      LoggerUmbo::logf(kTrace, "MMO new file_size: %llu", static_cast<unsigned long long>(size));
    }
    if (size <= kBatchPackageLimit && total + size <= kBatchPackageLimit) {
      const orva::ErrorCode r = add_mmf_to_request_package(package, object);
      it = m_mmfiles_uplist.erase(it);
      if (r == ORVA_ERROR_NONE) {
        ++files;
        total += size;
      } else if (r == ORVA_ERROR_NOT_FOUND) {
        ++m_items_done;
      } else {
        return r;
      }
    } else {
      ++it;  // first fit: smaller files further down may still go in
    }
  }
  LoggerUmbo::logf(kTrace, "Files per request package: %d", files);
  return ORVA_ERROR_NONE;
}

orva::ErrorCode DirectTransferHandlerImpl::add_mmf_to_request_package(
    const orva::SharedPointer<RequestPackage>& package, const ObjectPtr& object) {
  assert(package.is_valid() && object.is_valid());
  if (!package.is_valid() || !object.is_valid()) std::abort();
  perf("DirectTransferHandler::add_mmf_to_request_package begin");
  trace("DirectTransferHandler::add_mmf_to_request_package ++");
  trace("DirectTransferHandler::add_mmf_to_request_package package valid");
  const MediaFacts facts = media_facts(object);
  const unsigned int local_id = object->get_local_id();
  if (!facts.needs_upload()) {
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: nothing to do for mmo %d",
                     static_cast<int>(local_id));
    perf("DirectTransferHandler::add_mmf_to_request_package end");
    return ORVA_ERROR_NOT_FOUND;
  }
  trace("DirectTransferHandler::add_mmf_to_request_package local uri and remote uri ok");
  // A file gone from the device is skipped like one with nothing to upload, rather
  // than failing the package and with it the whole upload.
  if (get_file_size(facts.local_url) < 0) {
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: file of mmo %d cannot be read, skipped",
                     static_cast<int>(local_id));
    perf("DirectTransferHandler::add_mmf_to_request_package end");
    return ORVA_ERROR_NOT_FOUND;
  }
  perf("package->add_forward begin");
  const orva::ErrorCode r = package->add_forward(
      kPersonal, facts.local_mime, create_item_key(REQUEST_MMF_UPLOAD, local_id), facts.local_url);
  perf("package->add_forward end");
  LoggerUmbo::logf(kTrace, "DirectTransferHandler: result %d on file '%s'", r,
                   facts.local_url.c_str());
  perf("DirectTransferHandler::add_mmf_to_request_package end");
  return r;
}

orva::ErrorCode DirectTransferHandlerImpl::batch_forward() {
  trace("DirectTransferHandler::batch_forward");
  if (is_scaling_enabled() || m_batch_packages.empty()) return ORVA_ERROR_NONE;
  const orva::SharedPointer<RequestPackage> package = m_batch_packages.front();
  m_batch_packages.erase(m_batch_packages.begin());
  return send_message(package);
}

// ---------------------------------------------------------------------------------------
// FORWARD.

orva::ErrorCode DirectTransferHandlerImpl::send_forward_message() {
  trace("DirectTransferHandler::send_forward_message() ++");
  LoggerUmbo::logf(kTrace, "m_mmfiles_uplist.size(): %d",
                   static_cast<int>(m_mmfiles_uplist.size()));
  m_mmo_imagefiles_uplist.clear();
  const orva::ErrorCode r = find_mmos_with_images_to_upload();
  if (r != ORVA_ERROR_NONE) return r;
  m_forward_phase = UPLOAD_NO_SCALING_MMOS;
  next_forward_phase();
  trace("DirectTransferHandler::send_forward_message() --");
  return ORVA_ERROR_KELDRA_IN_PROGRESS;
}

orva::ErrorCode DirectTransferHandlerImpl::find_mmos_with_images_to_upload() {
  const size_t count = m_mmfiles_uplist.size();
  for (size_t i = 0; i < count; ++i) {
    ObjectPtr object = new_object();
    if (!object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
    const orva::ErrorCode read = m_repository->get_object(m_mmfiles_uplist[i], *object);
    if (read == ORVA_ERROR_NOT_FOUND) {
      ++m_items_done;
      continue;
    }
    if (read != ORVA_ERROR_NONE) return read;
    if (!is_multimedia(object)) continue;
    const MediaFacts facts = media_facts(object);
    if (facts.needs_upload() && FileManager::is_mime_type_image(facts.local_mime)) {
      trace("Found one MMO with image to be scaled");
      m_mmo_imagefiles_uplist.push_back(m_mmfiles_uplist[i]);
    }
  }
  for (unsigned int id : m_mmo_imagefiles_uplist) {
    auto it = std::find(m_mmfiles_uplist.begin(), m_mmfiles_uplist.end(), id);
    if (it != m_mmfiles_uplist.end()) {
      trace("Delete m_mmfiles_uplist cell");
      m_mmfiles_uplist.erase(it);
    }
  }
  return ORVA_ERROR_NONE;
}

void DirectTransferHandlerImpl::next_forward_phase() {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::next_forward_phase() phase: %d",
                   m_forward_phase);
  // A reply that comes after the run ended moves nothing.
  if (m_phase != FORWARD) return;
  orva::SharedPointer<DirectTransferHandler> self(this);
  orva::ErrorCode result = ORVA_ERROR_NONE;
  switch (m_forward_phase) {
    case UPLOAD_NO_SCALING_MMOS:
      result = upload_no_scaling_mmos();
      break;
    case START_SCALE_FIRST_MMO:
      trace("START_SCALE_FIRST_MMO ++");
      result = start_scaling_next_mmo();
      LoggerUmbo::logf(kTrace, "START_SCALE_FIRST_MMO error: %d --", result);
      break;
    case SCALE_FIRST_MMO_DONE:
      result = start_parallel_scaling_and_upload();
      break;
    case PARALLEL_SCALING_AND_UPLOAD:
      result = parallel_upload_and_scaling();
      break;
    case UPLOAD_IMAGES_DIRECTLY:
      result = upload_images_without_zip_file();
      break;
    case FORWARD_FINISHED:
      break;
    default:
      trace("DirectTransferHandler::next_forward_phase assert( 0 )");
      assert(!"forward sub-phase out of range");
      std::abort();
  }
  // The operation ended the run, or a nested call already ended FORWARD.
  if (m_phase != FORWARD) return;
  switch (result) {
    case ORVA_ERROR_NONE:
      trace("DirectTransferHandler::next_forward_phase ORVA_ERROR_NONE ");
      end_forward();
      break;
    case ORVA_ERROR_KELDRA_IN_PROGRESS:
      trace("DirectTransferHandler::next_forward_phase ORVA_ERROR_KELDRA_IN_PROGRESS ");
      break;
    case ORVA_ERROR_NOT_FOUND:
      trace("DirectTransferHandler::next_forward_phase ORVA_ERROR_NOT_FOUND ");
      // Without scaling an image that could not be posted (gone from the store, no
      // longer in need of an upload, or its file gone) is skipped and the next one is
      // posted; the scaling path is for a scaler alone.
      m_forward_phase = is_scaling_enabled() ? START_SCALE_FIRST_MMO : UPLOAD_IMAGES_DIRECTLY;
      next_forward_phase();
      break;
    default:
      trace("DirectTransferHandler::next_forward_phase STOP");
      stop(result);
      break;
  }
}

void DirectTransferHandlerImpl::end_forward() {
  if (m_uploading_mmo_object.is_valid() &&
      m_scaled_copies.count(m_uploading_mmo_object.get()) != 0) {
    remove_local_uri_file(m_uploading_mmo_object);
  }
  m_uploading_mmo_object.release();
  m_mmo_object.release();
  m_scaled_copies.clear();
  m_scaler.release();
  m_forward_phase = FORWARD_NONE;
  m_parallel_upload_scaling = 0;
  m_phase = static_cast<Phase>(m_phase + 1);
  next_step();
}

orva::ErrorCode DirectTransferHandlerImpl::upload_no_scaling_mmos() {
  trace("DirectTransferHandler::upload_no_scaling_mmos");
  LoggerUmbo::logf(kTrace, "m_mmfiles_uplist.size(): %d",
                   static_cast<int>(m_mmfiles_uplist.size()));
  orva::ErrorCode sent = ORVA_ERROR_NONE;
  if (!m_mmfiles_uplist.empty()) {
    orva::SharedPointer<RequestPackage> package;
    orva::ErrorCode r = create_upload_package(package, true);
    if (r == ORVA_ERROR_NONE) r = add_files_to_request_package(package);
    if (r != ORVA_ERROR_NONE) return r;
    sent = send_message(package);
    if (sent != ORVA_ERROR_NONE && sent != ORVA_ERROR_KELDRA_IN_PROGRESS) {
      LoggerUmbo::logf(kTrace, "upload_no_scaling_mmos send_message unexpected error: %d", sent);
      return sent;
    }
    if (!m_mmfiles_uplist.empty()) trace("Old style upload, no scaling");
  }
  if (m_mmfiles_uplist.empty()) {
    if (m_mmo_imagefiles_uplist.empty()) {
      trace("No need to upload mmos anymore, wait for upload to finish");
      m_forward_phase = FORWARD_FINISHED;
    } else if (!is_scaling_enabled()) {
      trace("Upload images directly, no scaling, dev server only");
      m_forward_phase = UPLOAD_IMAGES_DIRECTLY;
    } else {
      trace("upload_no_scaling_mmos done, go to START_SCALE_FIRST_MMO after upload");
      m_forward_phase = START_SCALE_FIRST_MMO;
    }
  }
  if (sent == ORVA_ERROR_KELDRA_IN_PROGRESS) return ORVA_ERROR_KELDRA_IN_PROGRESS;
  next_forward_phase();
  return ORVA_ERROR_KELDRA_IN_PROGRESS;
}

orva::ErrorCode DirectTransferHandlerImpl::add_files_to_request_package(
    const orva::SharedPointer<RequestPackage>& package) {
  assert(package.is_valid());
  if (!package.is_valid()) std::abort();
  trace("DirectTransferHandler::add_files_to_request_package ++");
  LoggerUmbo::logf(kTrace, " m_mmfiles_uplist.size(): %d",
                   static_cast<int>(m_mmfiles_uplist.size()));
  while (!m_mmfiles_uplist.empty()) {
    const unsigned int id = m_mmfiles_uplist.front();
    m_mmfiles_uplist.erase(m_mmfiles_uplist.begin());
    ObjectPtr object = new_object();
    if (!object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
    const orva::ErrorCode read = m_repository->get_object(id, *object);
    if (read != ORVA_ERROR_NONE && read != ORVA_ERROR_NOT_FOUND) return read;
    if (read == ORVA_ERROR_NOT_FOUND || !is_multimedia(object)) {
      ++m_items_done;
      continue;
    }
    const orva::ErrorCode r = add_mmf_to_request_package(package, object);
    if (r == ORVA_ERROR_NOT_FOUND) {
      ++m_items_done;
      continue;
    }
    if (r == ORVA_ERROR_NONE) trace("DirectTransferHandler::add_files_to_request_package --");
    return r;
  }
  return ORVA_ERROR_NONE;
}

orva::ErrorCode DirectTransferHandlerImpl::upload_images_without_zip_file() {
  LoggerUmbo::logf(kTrace, "pload_images_without_zip_file upload array: %d",
                   static_cast<int>(m_mmo_imagefiles_uplist.size()));
  if (m_mmo_imagefiles_uplist.empty()) {
    m_forward_phase = FORWARD_FINISHED;
    next_forward_phase();
    return ORVA_ERROR_KELDRA_IN_PROGRESS;
  }
  const unsigned int id = m_mmo_imagefiles_uplist.front();
  m_mmo_imagefiles_uplist.erase(m_mmo_imagefiles_uplist.begin());
  ObjectPtr object = new_object();
  if (!object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  const orva::ErrorCode read = m_repository->get_object(id, *object);
  if (read == ORVA_ERROR_NOT_FOUND) {
    ++m_items_done;  // gone from the store: skipped
    return ORVA_ERROR_NOT_FOUND;
  }
  if (read != ORVA_ERROR_NONE) return read;
  if (!is_multimedia(object)) {
    ++m_items_done;
    return ORVA_ERROR_NOT_FOUND;
  }
  const orva::ErrorCode r = send_mmf_object(object);
  if (r == ORVA_ERROR_NOT_FOUND) ++m_items_done;
  return r;
}

orva::ErrorCode DirectTransferHandlerImpl::send_mmf_object(const ObjectPtr& object) {
  assert(object.is_valid());
  if (!object.is_valid()) std::abort();
  trace("DirectTransferHandler::send_mmf_object");
  const MediaFacts facts = media_facts(object);
  const unsigned int local_id = object->get_local_id();
  if (!facts.needs_upload()) {
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: nothing to do for mmo %d",
                     static_cast<int>(local_id));
    return ORVA_ERROR_NOT_FOUND;
  }
  // A file that is gone (or unreadable) is skipped: its remote url stays empty and the
  // next run tries it again.
  if (get_file_size(facts.local_url) < 0) {
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: file of mmo %d cannot be read, skipped",
                     static_cast<int>(local_id));
    return ORVA_ERROR_NOT_FOUND;
  }
  const orva::SharedPointer<DynamicBuffer> data = get_file_data(facts.local_url);
  const std::string key = create_item_key(REQUEST_MMF_UPLOAD, local_id);
  return upload_mmf_data(data, key, facts.local_mime);
}

orva::SharedPointer<DynamicBuffer> DirectTransferHandlerImpl::get_file_data(
    const std::string& path) {
  orva::SharedPointer<DynamicBuffer> data(new (std::nothrow) DynamicBuffer());
  if (!data.is_valid()) return data;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return orva::SharedPointer<DynamicBuffer>();
  const bool read = data->write(file);
  std::fclose(file);
  if (!read) return orva::SharedPointer<DynamicBuffer>();
  return data;
}

int64_t DirectTransferHandlerImpl::get_file_size(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return -1;
  int64_t size = -1;
  if (fseeko(file, 0, SEEK_END) == 0) size = static_cast<int64_t>(ftello(file));
  std::fclose(file);
  return size;
}

orva::ErrorCode DirectTransferHandlerImpl::upload_mmf_data(
    const orva::SharedPointer<DynamicBuffer>& data, const std::string& request_id,
    const std::string& content_type) {
  perf("DirectTransferHandler::upload_mmf_data");
  trace("DirectTransferHandler::upload_mmf_data ++");
  std::string address = m_sync_adapter->server_uri();
  const size_t at = address.rfind("/sync");
  if (at == std::string::npos) return ORVA_ERROR_INVALID_PARAMETERS;
  address.replace(at, 5, "/upload");
  std::string digest;
  const orva::ErrorCode auth = SyncService::create_auth_digest(m_sync_params, digest);
  if (auth != ORVA_ERROR_NONE) return auth;
  if (!data.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  const orva::ErrorCode r =
      m_network_adapter->post_mmf(address, digest, request_id, content_type, data);
  if (r != ORVA_ERROR_NONE) return r;
  m_bytes_transferred += data->get_data_length();
  // A bare file carries no request line: its reply answers the file alone.
  await_reply(std::vector<std::string>(), std::vector<std::string>(1, request_id), false);
  trace("DirectTransferHandler::upload_mmf_data --");
  return ORVA_ERROR_KELDRA_IN_PROGRESS;
}

// ---------------------------------------------------------------------------------------
// "F" lines.

orva::ErrorCode DirectTransferHandlerImpl::handle_forward_status(
    const SyncParser::ForwardStatus& status) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler: got reply %d for forward %s",
                   static_cast<int>(status.code), status.key.c_str());
  const Request request = parse_item_key(status.key);
  if (request.type == REQUEST_MMF_UPLOAD) {
    // The whole id: a key whose id is no local id of ours, or that the request posted
    // last did not carry, names no file this reply may answer.
    const auto awaited = request.id > std::numeric_limits<unsigned int>::max()
                             ? m_awaited_files.end()
                             : m_awaited_files.find(static_cast<unsigned int>(request.id));
    if (awaited == m_awaited_files.end()) {
      LoggerUmbo::logf(kTrace, "DirectTransferHandler: forward %s was not sent, ignored",
                       status.key.c_str());
      return ORVA_ERROR_NONE;
    }
    const unsigned int local_id = static_cast<unsigned int>(request.id);
    m_awaited_files.erase(awaited);  // one answer per file
    const orva::ErrorCode r = process_file_upload_result(local_id, status);
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: mmfile upload result processed with %d", r);
    return r;
  }
  if (request.type == REQUEST_QUEUE_FORWARD) {
    const orva::ErrorCode r =
        process_queue_upload_result(static_cast<unsigned int>(request.id), status);
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: q upload result processed with %d", r);
    return r;
  }
  LoggerUmbo::logf(kTrace, "DirectTransferHandler: rtype %d ignored",
                   static_cast<int>(request.type));
  return ORVA_ERROR_NONE;
}

orva::ErrorCode DirectTransferHandlerImpl::process_queue_upload_result(
    unsigned int local_id, const SyncParser::ForwardStatus& status) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::process_queue_upload_result: item %u, code %u",
                   local_id, static_cast<unsigned int>(status.code));
  // The store keeps no upload queue, so no queued item can take the result: nothing
  // changes, and the 2 stops the run as the queue task itself does.
  if (!m_repository->get_upload_queue().is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  // A store with a queue would still give the handler no way to reach its items.
  return ORVA_ERROR_NOT_SUPPORTED;
}

orva::ErrorCode DirectTransferHandlerImpl::process_file_upload_result(
    unsigned int local_id, const SyncParser::ForwardStatus& status) {
  ObjectPtr object = new_object();
  if (!object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  if (status.code != 0) {
    // Refused: the file keeps its empty remote url (the next run offers it again), and
    // the run ends telling that an item failed.
    unsigned long long global_id = 0;
    if (m_repository->get_object(local_id, *object) == ORVA_ERROR_NONE)
      global_id = object->get_global_id();
    m_failed_files.push_back({ObjectBase(local_id, global_id), ORVA_ERROR_UNKNOWN});
    m_response_failed = true;
  } else {
    orva::ErrorCode r = m_repository->begin_transaction(true);
    if (r == ORVA_ERROR_NONE) {
      r = m_repository->get_object(local_id, *object);
      if (r == ORVA_ERROR_NONE && !is_multimedia(object)) r = ORVA_ERROR_NOT_FOUND;
      if (r == ORVA_ERROR_NONE) {
        MultimediaObject view;
        view.attach(object);
        std::string mime;
        view.local_uri().get_mime(mime);
        r = view.remote_uri().set_url(orva::ustring(status.url));
        if (r == ORVA_ERROR_NONE) r = view.remote_uri().set_mime(mime);
        if (r == ORVA_ERROR_NONE) r = m_repository->update_object(*object);
      }
      r = m_repository->end_transaction(r);
    }
    LoggerUmbo::logf(kTrace, "DirectTransferHandler::process_file_upload_result, err %d", r);
  }
  ++m_items_done;
  report_progress();
  return ORVA_ERROR_NONE;
}

// ---------------------------------------------------------------------------------------
// The scaling path.

orva::ErrorCode DirectTransferHandlerImpl::start_scaling_next_mmo() {
  trace("DirectTransferHandler::start_scaling_next_mmo");
  LoggerUmbo::logf(kTrace, "m_mmo_imagefiles_uplist size: %d",
                   static_cast<int>(m_mmo_imagefiles_uplist.size()));
  if (m_mmo_imagefiles_uplist.empty()) {
    trace("DirectTransferHandler::start_scaling_next_mmo No mmos to scale anymore");
    return ORVA_ERROR_NONE;
  }
  unsigned int id = m_mmo_imagefiles_uplist.front();
  m_mmo_imagefiles_uplist.erase(m_mmo_imagefiles_uplist.begin());
  if (m_forward_phase == START_SCALE_FIRST_MMO) m_forward_phase = SCALE_FIRST_MMO_DONE;
  const orva::ErrorCode r = start_scaling_mmo(id);
  LoggerUmbo::logf(kTrace, "start_scaling_mmo returned errorcode: %d", r);
  return r;
}

orva::ErrorCode DirectTransferHandlerImpl::start_scaling_mmo(unsigned int& local_id) {
  trace("DirectTransferHandler::start_scaling_mmo");
  ObjectPtr object = new_object();
  if (!object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  const orva::ErrorCode read = m_repository->get_object(local_id, *object);
  if (read != ORVA_ERROR_NONE) return read;
  trace("DirectTransferHandler::start_scaling_mmo local uri and remote uri ok");
  if (!m_scaler.is_valid()) m_scaler = ImageScaler::create(*this);
  if (!m_scaler.is_valid()) {
    // No scaler on this platform: the image is skipped, never scaled through nothing.
    trace("DirectTransferHandler::start_scaling_mmo no image scaler");
    ++m_items_done;
    return ORVA_ERROR_NOT_FOUND;
  }
  const MediaFacts facts = media_facts(object);
  std::string name;
  if (!get_filename_from_uri(facts.local_url, name)) return ORVA_ERROR_UNKNOWN;
  std::string target;
  m_file_manager->get_resizing_path(target);
  target += name;
  LoggerUmbo::logf(kTrace, "Target path: %s", target.c_str());
  m_mmo_object = object;
  m_scaled_copies.insert(object.get());
  const orva::ErrorCode r =
      m_scaler->scale_file(m_upload_options.image_scaling_longest_side, facts.local_url, target);
  if (r != ORVA_ERROR_KELDRA_IN_PROGRESS) {
    LoggerUmbo::logf(kTrace,
                     "DirectTransferHandler::add_mmf_to_request_package could not start scaling "
                     "error: %d",
                     r);
    m_scaled_copies.erase(object.get());
    m_mmo_object.release();
    m_scaler.release();
    return ORVA_ERROR_NOT_FOUND;
  }
  return ORVA_ERROR_KELDRA_IN_PROGRESS;
}

bool DirectTransferHandlerImpl::get_filename_from_uri(std::string uri, std::string& name) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::get_filename_from_uri ++, uri: %s", uri.c_str());
  const size_t at = uri.rfind('\\');
  if (at == std::string::npos) {
    trace("DirectTransferHandler::get_filename_from_uri Error, cannot find path.");
    name.clear();
    return false;
  }
  name = uri.substr(at + 1);
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::get_filename_from_uri --, fname %s",
                   name.c_str());
  return true;
}

void DirectTransferHandlerImpl::handle_scaling_done(orva::ErrorCode status,
                                                    ImageScaler::ScaledImageInfo info,
                                                    const std::string& path) {
  perf("DirectTransferHandler::handle_scaling_done");
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::handle_scaling_done Error: %d ++", status);
  LoggerUmbo::logf(kTrace,
                   "DirectTransferHandler::handle_scaling_done Width: %u, height: %u, filename: "
                   "%s, size: %llu",
                   info.width, info.height, path.c_str(),
                   static_cast<unsigned long long>(info.file_size));
  orva::SharedPointer<DirectTransferHandler> self(this);
  if (!m_mmo_object.is_valid()) return;
  if (status == ORVA_ERROR_NONE) {
    trace("DirectTransferHandler::handle_scaling_done Next_step");
    MultimediaObject view;
    view.attach(m_mmo_object);
    orva::ustring local;
    view.local_uri().get_url(local);
    if (local.to_utf8() == path) {
      trace("Do not delete the image.");
      m_scaled_copies.erase(m_mmo_object.get());
    }
    view.remote_info().set_frame_height(info.height);
    view.remote_info().set_frame_width(info.width);
    view.remote_info().set_file_size(info.file_size);
    m_repository->update_object(*m_mmo_object);
    view.local_uri().set_url(orva::ustring(path));
    next_forward_phase();
  } else {
    trace("DirectTransferHandler::handle_scaling_done Error ++");
    m_scaled_copies.erase(m_mmo_object.get());
    next_forward_phase();
    trace("DirectTransferHandler::handle_scaling_done Error --");
  }
  trace("DirectTransferHandler::handle_scaling_done --");
}

void DirectTransferHandlerImpl::handle_scaling_stream_done(orva::ErrorCode,
                                                           ImageScaler::ScaledImageInfo,
                                                           WriteStream&) {}

orva::ErrorCode DirectTransferHandlerImpl::start_parallel_scaling_and_upload() {
  trace("DirectTransferHandler::start_parallel_scaling_and_upload ++");
  m_forward_phase = PARALLEL_SCALING_AND_UPLOAD;
  m_parallel_upload_scaling = 0;
  if (!m_mmo_object.is_valid()) {
    trace("!m_mmo_object.is_valid()");
    return ORVA_ERROR_NOT_FOUND;
  }
  if (m_uploading_mmo_object.is_valid()) {
    if (m_scaled_copies.count(m_uploading_mmo_object.get()) != 0)
      remove_local_uri_file(m_uploading_mmo_object);
    m_scaled_copies.erase(m_uploading_mmo_object.get());
    m_uploading_mmo_object.release();
  }
  m_uploading_mmo_object = m_mmo_object;
  const orva::ErrorCode sent = send_mmf_object(m_uploading_mmo_object);
  if (sent != ORVA_ERROR_NONE && sent != ORVA_ERROR_KELDRA_IN_PROGRESS) {
    LoggerUmbo::logf(kTrace, "send_message error: %d", sent);
    if (m_scaled_copies.count(m_uploading_mmo_object.get()) != 0)
      remove_local_uri_file(m_uploading_mmo_object);
    m_scaled_copies.clear();
    m_uploading_mmo_object.release();
    m_mmo_object.release();
    return sent;
  }
  m_mmo_object.release();
  const orva::ErrorCode scaling = start_scaling_next_mmo();
  if (scaling == ORVA_ERROR_NONE) {
    trace("means there is no more scaling to be done.");
    m_forward_phase = FORWARD_FINISHED;
    if (m_parallel_upload_scaling == 1) {
      trace("upload did not start");
      next_forward_phase();
    }
  } else if (scaling == ORVA_ERROR_KELDRA_IN_PROGRESS) {
    trace("Continue scaling done m_forward_phase = PARALLEL_SCALING_AND_UPLOAD");
  } else if (scaling == ORVA_ERROR_NOT_FOUND) {
    trace("Scaling returned ORVA_ERROR_NOT_FOUND, either upload and/or scaling failed");
    return parallel_upload_and_scaling();
  }
  if (sent == ORVA_ERROR_KELDRA_IN_PROGRESS || scaling == ORVA_ERROR_KELDRA_IN_PROGRESS)
    return ORVA_ERROR_KELDRA_IN_PROGRESS;
  trace("DirectTransferHandler::start_parallel_scaling_and_upload --");
  return scaling;
}

orva::ErrorCode DirectTransferHandlerImpl::parallel_upload_and_scaling() {
  LoggerUmbo::logf(
      kTrace, "DirectTransferHandler::parallel_upload_and_scaling m_parallel_upload_scaling: %d",
      static_cast<int>(m_parallel_upload_scaling));
  ++m_parallel_upload_scaling;
  if (m_parallel_upload_scaling == 1) return ORVA_ERROR_KELDRA_IN_PROGRESS;
  if (m_parallel_upload_scaling == 2) return start_parallel_scaling_and_upload();
  trace("Parallel upload / scaling error. Stop -> Assert(0)");
  assert(!"more than two scaling events");
  std::abort();
}

orva::ErrorCode DirectTransferHandlerImpl::remove_local_uri_file(ObjectPtr& object) {
  MultimediaObject view;
  view.attach(object);
  orva::ustring url;
  view.local_uri().get_url(url);
  const std::string path = url.to_utf8();
  LoggerUmbo::logf(kTrace, "remove_local_uri_file: %s", path.c_str());
  std::remove(path.c_str());
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
