#include "adaptation_umbo/syncml/SyncExtension.h"

#include "adaptation_umbo/syncml/SystemObjectStore.h"
#include "objects/MappingObject.h"
#include "sysobjects/ConfigObject.h"
#include "sysobjects/SoftDeletionObject.h"
#include "sysobjects/SubscriptionObject.h"
#include "sysobjects/UsersObject.h"

#include <keldra/Attribute.h>
#include <keldra/Link.h>
#include <keldra/LoggerUmbo.h>

#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;

// The reserved system objects, in local id order.
struct ReservedObject {
  uint32_t lid;
  uint64_t gid;
  const char* class_name;
};
const ReservedObject kReserved[] = {
    {SoftDeletionObject::LOCAL_ID, SoftDeletionObject::GLOBAL_ID, "sys_soft_delete"},
    {UsersObject::LOCAL_ID, UsersObject::GLOBAL_ID, "sys_users"},
    {MappingObject::LOCAL_ID, MappingObject::GLOBAL_ID, "sys_mapping"},
    {SubscriptionObject::LOCAL_ID, SubscriptionObject::GLOBAL_ID, "sys_subscription"},
    {ConfigObject::LOCAL_ID, ConfigObject::GLOBAL_ID, "config"},
};

const ReservedObject* reserved_by_gid(uint64_t gid) {
  for (const ReservedObject& r : kReserved) {
    if (r.gid == gid) return &r;
  }
  return nullptr;
}

// What the server's acknowledgement of a received system object is called.
const char kAcknowledgement[] = "sys_ok";

// Global ids are traced as a 32-bit unsigned long: the low word.
unsigned long gid_word(uint64_t gid) {
  return static_cast<unsigned long>(static_cast<uint32_t>(gid));
}

// The steps of get_added_objects_list: what is sent, in this order, and when.
struct AddedStep {
  uint32_t lid;
  bool need_value;
  bool need_modified;
};
const AddedStep kAddedSteps[] = {
    {ConfigObject::LOCAL_ID, false, false}, {SubscriptionObject::LOCAL_ID, true, false},
    {MappingObject::LOCAL_ID, true, false}, {SoftDeletionObject::LOCAL_ID, true, false},
    {UsersObject::LOCAL_ID, true, true},
};

}  // namespace

SyncExtension::SyncExtension(const orva::SharedPointer<DataAdapter>& adapter)
    : m_adapter(adapter), m_subscriptions(adapter), m_users(adapter) {
  if (m_adapter.is_valid()) {
    m_sync_adapter = m_adapter->sync_adapter();
    m_repository = m_adapter->repository();
  }
  m_converter = ObjectConverter::create();
}

SyncExtension::~SyncExtension() {}

uint64_t SyncExtension::extension_object_lid_to_gid(uint32_t lid) {
  for (const ReservedObject& r : kReserved) {
    if (r.lid == lid) return r.gid;
  }
  return 0;
}

uint32_t SyncExtension::extension_object_gid_to_lid(uint64_t gid) {
  const ReservedObject* r = reserved_by_gid(gid);
  return r ? r->lid : 0;
}

bool SyncExtension::is_extension_object(uint32_t lid) const {
  return extension_object_lid_to_gid(lid) != 0;
}

bool SyncExtension::is_extension_object(const ObjectPtr& object) const {
  return object.is_valid() && extension_object_gid_to_lid(object->get_global_id()) != 0;
}

ErrorCode SyncExtension::get_added_objects_list(std::vector<uint32_t>& lids) {
  LoggerUmbo::log("SyncExtension::get_added_objects_list ++", kTrace);
  lids.clear();
  for (const AddedStep& step : kAddedSteps) {
    ErrorCode code = prepare_extension_object(step.lid, lids, step.need_value, step.need_modified);
    if (code != ORVA_ERROR_NONE) return code;
  }
  LoggerUmbo::logf(kTrace, "SyncExtension::get_added_objects_list --, %d objects",
                   static_cast<int>(lids.size()));
  return ORVA_ERROR_NONE;
}

ErrorCode SyncExtension::get_changed_objects_list(std::vector<uint32_t>& lids) {
  lids.clear();
  return ORVA_ERROR_NONE;
}

ErrorCode SyncExtension::get_removed_objects_list(std::vector<uint32_t>& lids) {
  lids.clear();
  return ORVA_ERROR_NONE;
}

ErrorCode SyncExtension::prepare_extension_object(uint32_t lid, std::vector<uint32_t>& lids,
                                                  bool need_value, bool need_modified) {
  try {
    ObjectPtr object(new Object());
    ErrorCode code = get_extension_object(lid, *object);
    if (code != ORVA_ERROR_NONE) return code;
    if (need_value && !object->has_value()) return ORVA_ERROR_NONE;
    if (need_modified && !object->is_modified()) return ORVA_ERROR_NONE;
    object->set_local_id(lid);
    code = cache_object(object);
    if (code != ORVA_ERROR_NONE) return code;
    lids.push_back(lid);
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
  return ORVA_ERROR_NONE;
}

ErrorCode SyncExtension::get_extension_object(uint32_t lid, Object& object) {
  LoggerUmbo::logf(kTrace, "SyncExtension::get_extension_object, lid %u ", lid);
  object.reset();
  switch (lid) {
    case SoftDeletionObject::LOCAL_ID:
      return m_subscriptions.get_soft_deletion_object(object);
    case UsersObject::LOCAL_ID:
      return m_users.get_user_object(m_current_user, object);
    case MappingObject::LOCAL_ID:
      return m_subscriptions.get_mapping_object(object);
    case SubscriptionObject::LOCAL_ID:
      return m_subscriptions.get_subscription_object(object);
    case ConfigObject::LOCAL_ID:
      return get_config_object(object);
    default:
      return ORVA_ERROR_INVALID_PARAMETERS;
  }
}

ErrorCode SyncExtension::cache_object(const ObjectPtr& object) {
  if (!object.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  try {
    m_cache[object->get_local_id()] = object;
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  } catch (...) {
    return ORVA_ERROR_UNKNOWN;
  }
  return ORVA_ERROR_NONE;
}

ObjectPtr SyncExtension::get_cached_object(uint32_t lid) const {
  std::map<uint32_t, ObjectPtr>::const_iterator it = m_cache.find(lid);
  return it == m_cache.end() ? ObjectPtr() : it->second;
}

ErrorCode SyncExtension::object_to_transfer_format(uint32_t lid, TransferType type,
                                                   orva::SharedPointer<DynamicBuffer>& buffer) {
  try {
    ObjectPtr object;
    bool header_only = false;
    if (is_extension_object(lid)) {
      object = get_cached_object(lid);
      if (!object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
    } else {
      if (!m_repository.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
      object = new Object();
      ErrorCode code = m_repository->get_object(lid, *object);
      if (code != ORVA_ERROR_NONE) return code;
      if (type < TRANSFER_CHANGES || type > TRANSFER_FULL) return ORVA_ERROR_INVALID_PARAMETERS;
      // The server holds all of a global object that has nothing new here: its header
      // is enough for it to match the object.
      if (type != TRANSFER_FULL) {
        header_only = object_is_global(*object) && (!object->has_local_changes() ||
                                                    (object->get_flags() & Object::FLAG_STATE_3));
      }
    }
    if (!m_converter.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
    buffer = new DynamicBuffer();
    return m_converter->encode(*object, buffer, KELDRA_COMPACT_MIME_TYPE, header_only);
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
}

bool SyncExtension::object_is_global(const Object& object) const {
  return object.get_global_id() != 0 && all_links_are_global(object.get_links()) &&
         all_links_are_global(object.get_attributes());
}

bool SyncExtension::all_links_are_global(const LinkList& links) const {
  for (const Link& link : links) {
    if (link.get_global_link() == 0) return false;
  }
  return true;
}

bool SyncExtension::all_links_are_global(const AttributeList& attributes) const {
  for (const orva::SharedPointer<Attribute>& attribute : attributes) {
    if (!attribute.is_valid()) continue;
    if (!all_links_are_global(attribute->get_links()) ||
        !all_links_are_global(attribute->get_attributes())) {
      return false;
    }
  }
  return true;
}

ErrorCode SyncExtension::handle_cached_extension_object_sent(uint32_t lid, ErrorCode result) {
  ObjectPtr object = get_cached_object(lid);
  if (object.is_valid()) return handle_extension_object_sent(object, result);
  LoggerUmbo::logf(
      kTrace, "SyncExtension::handle_cached_extension_object_sent: object lid %u wasn't cached",
      lid);
  return ORVA_ERROR_NOT_FOUND;
}

ErrorCode SyncExtension::handle_extension_object_sent(const ObjectPtr& object, ErrorCode result) {
  if (!object.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  const bool delivered = result == ORVA_ERROR_NONE;
  // A failed step of a manager leaves the stored object as it was: its entries simply
  // go out again next time, so it is not an error of this report.
  switch (object->get_local_id()) {
    case SoftDeletionObject::LOCAL_ID:
      LoggerUmbo::log("SyncExtension::handle_extension_object_sent: soft deletion object detected",
                      kTrace);
      if (delivered) m_subscriptions.handle_soft_deletion_object_sent(object);
      return ORVA_ERROR_NONE;
    case UsersObject::LOCAL_ID:
      LoggerUmbo::log(
          "SyncExtension::handle_extension_object_sent: virtual users object status ignored",
          kTrace);
      return ORVA_ERROR_NONE;
    case MappingObject::LOCAL_ID:
      LoggerUmbo::log("SyncExtension::handle_extension_object_sent: mapping object detected",
                      kTrace);
      if (delivered) m_subscriptions.handle_mapping_object_sent(object);
      return ORVA_ERROR_NONE;
    case SubscriptionObject::LOCAL_ID:
      LoggerUmbo::log("SyncExtension::handle_extension_object_sent: subscription object detected",
                      kTrace);
      if (delivered) m_subscriptions.handle_subscription_object_sent(object);
      return ORVA_ERROR_NONE;
    case ConfigObject::LOCAL_ID:
      LoggerUmbo::log(
          "SyncExtension::handle_extension_object_sent: virtual config object status ignored",
          kTrace);
      return ORVA_ERROR_NONE;
    default:
      return ORVA_ERROR_INVALID_PARAMETERS;
  }
}

ErrorCode SyncExtension::handle_extension_object_received(const ObjectPtr& object, uint32_t& lid) {
  if (!object.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  const uint64_t gid = object->get_global_id();
  const ReservedObject* reserved = reserved_by_gid(gid);
  const std::string class_name = object->get_class_name();

  if (class_name == kAcknowledgement) {
    LoggerUmbo::logf(kTrace,
                     "SyncExtension::handle_extension_object_received: sys_ok received for gid %lu",
                     gid_word(gid));
    if (handle_cached_extension_object_sent(extension_object_gid_to_lid(gid), ORVA_ERROR_NONE) ==
        ORVA_ERROR_NOT_FOUND) {
      LoggerUmbo::log("SyncExtension::handle_extension_object_received: sys_ok ignored", kTrace);
    }
    if (reserved) {
      lid = reserved->lid;
      return ORVA_ERROR_NONE;
    }
  }
  if (!reserved) {
    LoggerUmbo::logf(
        kTrace, "SyncExtension::handle_extension_object_received: unknown object gid %lu detected",
        gid_word(gid));
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  // The server's data decides nothing here: an object that is not what its id reserves
  // would be stored in place of a system object that no view could read again.
  if (class_name != reserved->class_name) {
    LoggerUmbo::logf(
        kTrace,
        "SyncExtension::handle_extension_object_received: ERROR: gid %lu of class '%s' refused",
        gid_word(gid), class_name.c_str());
    return ORVA_ERROR_INVALID_PARAMETERS;
  }

  // The server's local id means nothing here: a system object is kept as the one of its
  // reserved id, never in place of whatever object has that local id in this store.
  object->set_local_id(reserved->lid);
  const ErrorCode code = dispatch_received(object, reserved->lid);
  if (code != ORVA_ERROR_INVALID_PARAMETERS) lid = reserved->lid;
  return code;
}

ErrorCode SyncExtension::dispatch_received(const ObjectPtr& object, uint32_t reserved_lid) {
  switch (reserved_lid) {
    case SoftDeletionObject::LOCAL_ID:
      LoggerUmbo::log(
          "SyncExtension::handle_extension_object_received: soft deletion object ignored", kTrace);
      return ORVA_ERROR_NONE;
    case UsersObject::LOCAL_ID:
      LoggerUmbo::log("SyncExtension::handle_extension_object_received: users object detected",
                      kTrace);
      return m_users.handle_users_object_received(object);
    case MappingObject::LOCAL_ID:
      LoggerUmbo::log("SyncExtension::handle_extension_object_received: mapping object ignored",
                      kTrace);
      return ORVA_ERROR_NONE;
    case SubscriptionObject::LOCAL_ID:
      LoggerUmbo::log(
          "SyncExtension::handle_extension_object_received: subscription object detected", kTrace);
      return m_subscriptions.handle_subscription_object_received(object);
    default:
      LoggerUmbo::log("SyncExtension::handle_extension_object_received: config object detected",
                      kTrace);
      return handle_config_object_received(object);
  }
}

ErrorCode SyncExtension::load_config_object(Object& object) {
  return load_system_object<ConfigObject>(m_repository, object);
}

ErrorCode SyncExtension::get_config_object(Object& object) {
  ErrorCode code = load_config_object(object);
  if (code != ORVA_ERROR_NONE) return code;
  code = ConfigObject::set_initial_values(object);
  if (code != ORVA_ERROR_NONE) return code;
  // The anchor the server sent last goes back unchanged; before any, an empty one.
  std::string anchor;
  if (ConfigObject::get_anchor(object, anchor) == ORVA_ERROR_NOT_FOUND) {
    return ConfigObject::set_anchor(object, std::string());
  }
  return ORVA_ERROR_NONE;
}

ErrorCode SyncExtension::store_config_object(Object& object) {
  return store_system_object(m_sync_adapter, object, ConfigObject::LOCAL_ID);
}

ErrorCode SyncExtension::handle_config_object_received(const ObjectPtr& object) {
  if (!object.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  return store_config_object(*object);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
