// The request side of the object exchange: the OBJECTS and SUBSCRIBE packages, the
// system objects and credentials every package carries, and the posting.
#include "transfer/DirectTransferHandlerImpl.h"
#include "transfer/DirectTransferLog.h"
#include "transfer/RequestPackage.h"
#include "objects/MappingObject.h"
#include "sysobjects/ConfigObject.h"
#include "sysobjects/SoftDeletionObject.h"
#include "sysobjects/SubscriptionObject.h"

#include <keldra/DynamicBuffer.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/WriteStream.h>

#include <cassert>
#include <cstdlib>
#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

using namespace transfer_log;

const unsigned long long kUsersGid = 996;

// A new empty object, or an empty pointer when memory runs out.
ObjectPtr new_object() {
  try {
    return ObjectPtr(new Object());
  } catch (const std::bad_alloc&) {
    return ObjectPtr();
  }
}

}  // namespace

bool DirectTransferHandlerImpl::stored_record(const Object& object, std::string& out) {
  Object copy(object);
  copy.set_modified(false);
  orva::SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  WriteStream stream(buffer);
  if (!copy.write(stream) || !stream.is_ok()) return false;
  out.assign(reinterpret_cast<const char*>(buffer->get_data()), buffer->get_data_length());
  return true;
}

TransferExtension* DirectTransferHandlerImpl::extension() {
  if (!m_extension.is_valid()) m_extension = TransferExtension::create(m_data_adapter);
  return m_extension.get();
}

orva::ErrorCode DirectTransferHandlerImpl::create_upload_package(RequestPackagePtr& package,
                                                                 bool with_mapping) {
  trace("DirectTransferHandler::create_upload_package ++");
  package = RequestPackage::create(0x7FFFFFFF);
  if (!package.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  orva::ErrorCode code =
      m_sync_params.token.empty()
          ? package->start_request(m_device_id, m_sync_params.user, m_sync_params.password)
          : package->start_request(m_device_id, m_sync_params.token);
  if (code != ORVA_ERROR_NONE) return code;
  code = add_extension_object_submit(package, ConfigObject::LOCAL_ID, false);
  if (code != ORVA_ERROR_NONE) return code;
  // Records taken for an earlier package are no longer answered.
  m_sent_states.clear();
  m_built_global_ids.clear();
  if (!m_extension_objects_sent) {
    // The run's first package: what earlier runs left behind is no longer answered.
    m_pending_mappings.clear();
    code = add_extension_object_submit(package, SubscriptionObject::LOCAL_ID, true);
    if (code == ORVA_ERROR_NONE && with_mapping) {
      code = add_extension_object_submit(package, MappingObject::LOCAL_ID, true);
    }
    if (code == ORVA_ERROR_NONE)
      code = add_extension_object_submit(package, SoftDeletionObject::LOCAL_ID, true);
    if (code != ORVA_ERROR_NONE) return code;
    m_extension_objects_sent = true;
  }
  trace("DirectTransferHandler::create_upload_package --");
  return ORVA_ERROR_NONE;
}

orva::ErrorCode DirectTransferHandlerImpl::add_extension_object_submit(
    const RequestPackagePtr& package, unsigned int local_id, bool only_with_content) {
  TransferExtension* ext = extension();
  ObjectPtr object = new_object();
  if (ext == nullptr || !object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  orva::ErrorCode code = ext->get_extension_object(local_id, *object);
  if (code != ORVA_ERROR_NONE) return code;
  if (only_with_content && !object->has_value()) return ORVA_ERROR_NONE;
  object->set_local_id(local_id);
  code = ext->cache_object(object);
  if (code != ORVA_ERROR_NONE) return code;
  return add_object_submit(package, REQUEST_OBJECT_ADD, object);
}

orva::ErrorCode DirectTransferHandlerImpl::add_object_submit(const RequestPackagePtr& package,
                                                             RequestType type,
                                                             const ObjectPtr& object) {
  if (!object.is_valid()) {
    LoggerUmbo::log("DirectTransferHandler::add_object_submit: assertion, object.is_null() ",
                    kTrace);
    assert(!"object.is_null()");
    std::abort();
  }
  SyncSerializer::ObjectCommand command;
  if (type == REQUEST_OBJECT_ADD) {
    command = SyncSerializer::COMMAND_ADD;
  } else if (type == REQUEST_OBJECT_REPLACE) {
    command = SyncSerializer::COMMAND_UPDATE;
  } else {
    LoggerUmbo::log("DirectTransferHandler::add_object_submit: assertion, wrong command ", kTrace);
    assert(!"wrong command");
    std::abort();
  }
  return package->add_object_submit(command, create_item_key(type, object->get_local_id()), object);
}

orva::ErrorCode DirectTransferHandlerImpl::send_objects_message() {
  LoggerUmbo::logf(kTrace, "m_objects_uplist.size(): %d",
                   static_cast<int>(m_objects_uplist.size()));
  LoggerUmbo::logf(kTrace, "m_objects_downlist.size(): %d",
                   static_cast<int>(m_objects_downlist.size()));
  if (m_objects_uplist.empty() && m_objects_downlist.empty()) return ORVA_ERROR_NONE;
  RequestPackagePtr package;
  orva::ErrorCode code = create_upload_package(package, true);
  if (code == ORVA_ERROR_NONE) code = add_upload_objects_to_request_package(package);
  if (code == ORVA_ERROR_NONE) code = add_download_objects_to_request_package(package);
  if (code == ORVA_ERROR_NONE) code = send_message(package);
  return code;
}

orva::ErrorCode DirectTransferHandlerImpl::add_upload_objects_to_request_package(
    const RequestPackagePtr& package) {
  assert(package.is_valid() && "package.is_valid()");
  trace("DirectTransferHandler::add_upload_objects_to_request_package ++");
  // Taken in list order; what is taken stays taken when a later step fails.
  size_t next = 0;
  orva::ErrorCode result = ORVA_ERROR_NONE;
  for (; next < m_objects_uplist.size(); ++next) {
    const unsigned int local_id = m_objects_uplist[next];
    ObjectPtr object = new_object();
    if (!object.is_valid()) {
      result = ORVA_ERROR_OUT_OF_MEMORY;
      ++next;
      break;
    }
    const orva::ErrorCode read = m_repository->get_object(local_id, *object);
    LoggerUmbo::logf(kTrace, "m_repository->get_object: %d", read);
    if (read == ORVA_ERROR_NONE && object->has_local_changes()) {
      trace("Add object to submit");
      std::string record;
      if (!stored_record(*object, record)) {
        result = ORVA_ERROR_OUT_OF_MEMORY;
        ++next;
        break;
      }
      m_sent_states[local_id].swap(record);
      result = add_object_submit(
          package, object->get_global_id() != 0 ? REQUEST_OBJECT_REPLACE : REQUEST_OBJECT_ADD,
          object);
      if (result != ORVA_ERROR_NONE) {
        m_sent_states.erase(local_id);
        ++next;
        break;
      }
    } else if (read == ORVA_ERROR_NONE || read == ORVA_ERROR_NOT_FOUND ||
               !object->has_local_changes()) {
      LoggerUmbo::logf(kTrace, "Object %u has no changes or does not exist, ignored", local_id);
      ++m_items_done;
    } else {
      LoggerUmbo::logf(
          kTrace, "DirectTransferHandler::add_upload_objects_to_request_package err: %d", read);
      result = read;
      ++next;
      break;
    }
  }
  m_objects_uplist.erase(m_objects_uplist.begin(),
                         m_objects_uplist.begin() + static_cast<std::ptrdiff_t>(next));
  if (result != ORVA_ERROR_NONE) return result;
  trace("DirectTransferHandler::add_upload_objects_to_request_package --");
  return ORVA_ERROR_NONE;
}

orva::ErrorCode DirectTransferHandlerImpl::record_changed_objects() {
  std::vector<Object> headers;
  orva::ErrorCode code = m_sync_adapter->all_objects(headers);
  if (code != ORVA_ERROR_NONE) return code;
  m_built_global_ids.reserve(m_built_global_ids.size() + headers.size());
  for (const Object& header : headers) note_stored_when_built(header.get_global_id());
  for (const Object& header : headers) {
    const unsigned int local_id = header.get_local_id();
    // Only an object with a global id can be brought by a download; an upload of this
    // package has its record already.
    if (!header.has_local_changes() || header.get_global_id() == 0 ||
        m_sent_states.count(local_id) != 0)
      continue;
    Object object;
    code = m_repository->get_object(local_id, object);
    if (code == ORVA_ERROR_NOT_FOUND) continue;  // removed meanwhile
    if (code != ORVA_ERROR_NONE) return code;
    std::string record;
    if (!stored_record(object, record)) return ORVA_ERROR_OUT_OF_MEMORY;
    m_sent_states[local_id].swap(record);
  }
  return ORVA_ERROR_NONE;
}

orva::ErrorCode DirectTransferHandlerImpl::add_download_objects_to_request_package(
    const RequestPackagePtr& package) {
  assert(package.is_valid() && "package.is_valid()");
  if (!m_objects_downlist.empty()) {
    const orva::ErrorCode recorded = record_changed_objects();
    if (recorded != ORVA_ERROR_NONE) return recorded;
  }
  size_t next = 0;
  orva::ErrorCode result = ORVA_ERROR_NONE;
  for (; next < m_objects_downlist.size(); ++next) {
    const unsigned long long global_id = m_objects_downlist[next];
    if (global_id == 0) {
      ++m_items_done;
      continue;
    }
    result = package->add_object_request(SyncSerializer::COMMAND_GET,
                                         create_item_key(REQUEST_OBJECT_DOWNLOAD, global_id),
                                         global_id, m_objects_download_cascade);
    if (result != ORVA_ERROR_NONE) {
      ++next;
      break;
    }
  }
  m_objects_downlist.erase(m_objects_downlist.begin(),
                           m_objects_downlist.begin() + static_cast<std::ptrdiff_t>(next));
  return result;
}

orva::ErrorCode DirectTransferHandlerImpl::send_subscription_message() {
  if (m_objects_subscribelist.empty() && m_downloaded_objects.empty()) return ORVA_ERROR_NONE;
  RequestPackagePtr package;
  orva::ErrorCode code = create_upload_package(package, false);
  if (code == ORVA_ERROR_NONE) code = add_subscribe_objects_to_request_package(package);
  if (code == ORVA_ERROR_NONE) code = send_message(package);
  return code;
}

orva::ErrorCode DirectTransferHandlerImpl::add_subscribe_objects_to_request_package(
    const RequestPackagePtr& package) {
  assert(package.is_valid() && "package.is_valid()");
  TransferExtension* ext = extension();
  ObjectPtr subscription = new_object();
  if (ext == nullptr || !subscription.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  orva::ErrorCode code =
      ext->add_to_subscription(m_objects_subscribelist, m_objects_subscribe_cascade, subscription);
  if (code != ORVA_ERROR_NONE) return code;
  ObjectPtr mapping = new_object();
  if (!mapping.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  code = create_mapping_object(mapping);
  if (code != ORVA_ERROR_NONE) return code;
  if (subscription->has_value()) {
    subscription->set_local_id(SubscriptionObject::LOCAL_ID);
    code = ext->cache_object(subscription);
    if (code == ORVA_ERROR_NONE)
      code = add_object_submit(package, REQUEST_OBJECT_ADD, subscription);
    // Its reply may bring ordinary objects too.
    if (code == ORVA_ERROR_NONE) code = record_changed_objects();
    if (code == ORVA_ERROR_NONE) {
      code = package->add_object_request(SyncSerializer::COMMAND_GET,
                                         create_item_key(REQUEST_OBJECT_DOWNLOAD, kUsersGid),
                                         kUsersGid, false);
    }
    if (code != ORVA_ERROR_NONE) return code;
  }
  if (mapping->has_value()) {
    mapping->set_local_id(MappingObject::LOCAL_ID);
    code = ext->cache_object(mapping);
    if (code == ORVA_ERROR_NONE) code = add_object_submit(package, REQUEST_OBJECT_ADD, mapping);
    if (code != ORVA_ERROR_NONE) return code;
  }
  m_objects_subscribelist.clear();
  return ORVA_ERROR_NONE;
}

orva::ErrorCode DirectTransferHandlerImpl::create_mapping_object(const ObjectPtr& object) {
  TransferExtension* ext = extension();
  if (ext == nullptr) return ORVA_ERROR_OUT_OF_MEMORY;
  orva::ErrorCode code = ext->get_extension_object(MappingObject::LOCAL_ID, *object);
  if (code != ORVA_ERROR_NONE) return code;
  std::vector<ObjectBase> list;
  collect_mappings(list);
  return ext->create_mapping_object(list, *object);
}

void DirectTransferHandlerImpl::collect_mappings(std::vector<ObjectBase>& list) {
  for (const unsigned long long global_id : m_objects_subscribelist) {
    unsigned int local_id = 0;
    std::vector<ObjectBase> children;
    const auto range = m_downloaded_objects.equal_range(global_id);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second.get_global_id() == global_id) {
        local_id = it->second.get_local_id();
      } else if (m_objects_download_cascade) {
        children.push_back(it->second);
      }
    }
    if (local_id == 0) local_id = m_repository->get_object_local_id(global_id);
    if (local_id == 0) continue;
    list.push_back(ObjectBase(local_id, global_id));
    if (!m_objects_subscribe_cascade) continue;
    if (children.empty()) {
      search_children(local_id, list, 2);
    } else {
      list.insert(list.end(), children.begin(), children.end());
    }
  }
}

orva::ErrorCode DirectTransferHandlerImpl::send_message(const RequestPackagePtr& package) {
  LoggerUmbo::log("DirectTransferHandler::send_message", kPerf);
  if (package->get_commands_count() < 2) return ORVA_ERROR_NONE;
  orva::ErrorCode code = package->finalize();
  if (code == ORVA_ERROR_NONE) code = upload(package, false);
  return code != ORVA_ERROR_NONE ? code : ORVA_ERROR_KELDRA_IN_PROGRESS;
}

orva::ErrorCode DirectTransferHandlerImpl::send_zip_message(const RequestPackagePtr& package) {
  if (package->get_commands_count() < 2) return ORVA_ERROR_NONE;
  orva::ErrorCode code = package->finalize();
  if (code == ORVA_ERROR_NONE) code = upload(package, true);
  return code != ORVA_ERROR_NONE ? code : ORVA_ERROR_KELDRA_IN_PROGRESS;
}

orva::ErrorCode DirectTransferHandlerImpl::upload(const RequestPackagePtr& package,
                                                  bool as_zip_request) {
  LoggerUmbo::log("DirectTransferHandler::upload", kPerf);
  trace("DirectTransferHandler::upload ++");
  std::string address = m_sync_adapter->server_uri();
  const size_t at = address.rfind("/sync");
  if (at == std::string::npos) return ORVA_ERROR_INVALID_PARAMETERS;
  address.replace(at, 5, "/upload");
  std::string digest;
  orva::ErrorCode code = SyncService::create_auth_digest(m_sync_params, digest);
  if (code != ORVA_ERROR_NONE) return code;
  const orva::SharedPointer<DynamicBuffer> body = package->get_data();
  if (!body.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  if (body->get_data_length() == 0) {
    trace("DirectTransferHandler::upload package size is zero.");
    return ORVA_ERROR_UNKNOWN;
  }
  code = as_zip_request ? m_network_adapter->post_zip_request(address, digest, body)
                        : m_network_adapter->post(address, digest, body);
  if (code == ORVA_ERROR_NONE) {
    m_bytes_transferred += body->get_data_length();
    await_reply(package->item_keys(), package->forward_keys(), true);
  }
  trace("DirectTransferHandler::upload --");
  return code;
}

void DirectTransferHandlerImpl::await_reply(const std::vector<std::string>& item_keys,
                                            const std::vector<std::string>& file_keys,
                                            bool with_response_line) {
  m_awaited_keys = std::multiset<std::string>(item_keys.begin(), item_keys.end());
  m_awaited_files.clear();
  for (const std::string& key : file_keys) {
    const Request request = parse_item_key(key);
    if (request.type == REQUEST_MMF_UPLOAD && request.id <= 0xFFFFFFFFull) {
      m_awaited_files.insert(static_cast<unsigned int>(request.id));
    }
  }
  m_reply_awaited = true;
  m_response_line_awaited = with_response_line;
  m_response_line_seen = false;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
