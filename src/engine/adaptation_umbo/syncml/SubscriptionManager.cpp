#include "adaptation_umbo/syncml/SubscriptionManager.h"

#include <keldra/Link.h>
#include <keldra/LoggerUmbo.h>

#include "adaptation_umbo/syncml/SystemObjectStore.h"
#include "objects/MappingObject.h"
#include "sysobjects/SoftDeletionObject.h"
#include "sysobjects/SubscriptionObject.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
void trace(const char* text) { LoggerUmbo::log(text, kTrace); }

// Received sharing switches in the order they are applied, with the model each sets:
// an id in several lists ends with the model of the last.
struct Switch {
  SubscriptionCommandBase::Type type;
  SharingModel model;
};
const Switch kSwitches[] = {
    {SubscriptionCommandBase::SWITCHED_PRIVATE, SHARING_PRIVATE},
    {SubscriptionCommandBase::SWITCHED_PUBLIC, SHARING_PUBLIC_READ_ONLY},
    {SubscriptionCommandBase::SWITCHED_PUBLIC_RW, SHARING_PUBLIC_READ_WRITE},
    {SubscriptionCommandBase::DELETED_BY_OWNER, SHARING_DELETED_BY_OWNER},
};

}  // namespace

SubscriptionManager::SubscriptionManager(const orva::SharedPointer<DataAdapter>& adapter)
    : m_adapter(adapter) {
  if (m_adapter.is_valid()) {
    m_repository = m_adapter->repository();
    m_sync_adapter = m_adapter->sync_adapter();
  }
}

// The members go in reverse order: the sync adapter and the repository before the
// adapter that made them.
SubscriptionManager::~SubscriptionManager() = default;

ErrorCode SubscriptionManager::end(ErrorCode code) { return m_repository->end_transaction(code); }

// Loading and storing.

ErrorCode SubscriptionManager::load_subscription_object(Object& out) {
  return load_system_object<SubscriptionObject>(m_repository, out);
}

ErrorCode SubscriptionManager::load_soft_deletion_object(Object& out) {
  return load_system_object<SoftDeletionObject>(m_repository, out);
}

ErrorCode SubscriptionManager::load_mapping_object(Object& out) {
  return load_system_object<MappingObject>(m_repository, out);
}

ErrorCode SubscriptionManager::get_subscription_object(Object& out) {
  return load_subscription_object(out);
}

ErrorCode SubscriptionManager::get_soft_deletion_object(Object& out) {
  return load_soft_deletion_object(out);
}

ErrorCode SubscriptionManager::get_mapping_object(Object& out) {
  ErrorCode code = load_mapping_object(out);
  if (code == ORVA_ERROR_NONE) MappingObject::remove_empty_maps(out);
  return code;
}

ErrorCode SubscriptionManager::store_special_object(Object& object,
                                                    unsigned int reserved_local_id) {
  return store_system_object(m_sync_adapter, object, reserved_local_id);
}

ErrorCode SubscriptionManager::store_subscription_object(Object& object) {
  return store_special_object(object, SubscriptionObject::LOCAL_ID);
}

ErrorCode SubscriptionManager::store_soft_deletion_object(Object& object) {
  return store_special_object(object, SoftDeletionObject::LOCAL_ID);
}

ErrorCode SubscriptionManager::store_mapping_object(Object& object) {
  return store_special_object(object, MappingObject::LOCAL_ID);
}

// Subscriptions.

ErrorCode SubscriptionManager::add_to_subscription(const std::vector<unsigned long long>& gids,
                                                   bool cascade) {
  trace("SubscriptionManager::add_to_subscription ++");
  if (!m_repository.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  orva::SharedPointer<Object> object(new Object());
  ErrorCode code = m_repository->begin_transaction(true);
  if (code != ORVA_ERROR_NONE) return code;
  code = load_subscription_object(*object);
  if (code == ORVA_ERROR_NONE) code = add_to_subscription(gids, cascade, object);
  if (code == ORVA_ERROR_NONE) code = store_subscription_object(*object);
  code = end(code);
  if (code == ORVA_ERROR_NONE) trace("SubscriptionManager::add_to_subscription --");
  return code;
}

ErrorCode SubscriptionManager::add_to_subscription(const std::vector<unsigned long long>& gids,
                                                   bool cascade,
                                                   const orva::SharedPointer<Object>& object) {
  if (!object.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  SubscriptionObject subscription;
  if (object->get_class_name_handle() == subscription.get_class_name_handle()) {
    ErrorCode code = subscription.attach(object);
    if (code != ORVA_ERROR_NONE) return code;
    return subscription.subscribe(gids, cascade);
  }
  ErrorCode code = subscription.subscribe(gids, cascade);
  if (code == ORVA_ERROR_NONE) *object = *subscription.object();
  return code;
}

ErrorCode SubscriptionManager::get_change_gids(SubscriptionCommandBase::Type type,
                                               std::vector<unsigned long long>& out) {
  if (!m_repository.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  orva::SharedPointer<Object> object(new Object());
  ErrorCode code = load_subscription_object(*object);
  if (code != ORVA_ERROR_NONE) return code;
  SubscriptionObject subscription;
  code = subscription.attach(object);
  if (code != ORVA_ERROR_NONE) return code;
  return subscription.get_change_gids(type, out);
}

// Soft deletion and the mapping.

ErrorCode SubscriptionManager::soft_delete_object(unsigned int local_id) {
  LoggerUmbo::logf(kTrace, "SubscriptionManager::soft_delete_object ++, lid %u", local_id);
  if (!m_repository.is_valid() || !m_sync_adapter.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  orva::SharedPointer<Object> deletions(new Object());
  orva::SharedPointer<Object> mapping(new Object());
  ErrorCode code = m_repository->begin_transaction(true);
  if (code != ORVA_ERROR_NONE) return code;

  const unsigned long long global_id = m_repository->get_object_global_id(local_id);
  // A removal that failed ends here: recording the id would make the server delete a
  // shared object that stays on the device.
  code = m_sync_adapter->delete_object(local_id);
  if (code == ORVA_ERROR_NONE && global_id != 0) {
    code = load_soft_deletion_object(*deletions);
    SoftDeletionObject deletion_view;
    if (code == ORVA_ERROR_NONE) code = deletion_view.attach(deletions);
    if (code == ORVA_ERROR_NONE) code = deletion_view.add_gid(global_id);
    if (code == ORVA_ERROR_NONE) code = store_soft_deletion_object(*deletions);

    if (code == ORVA_ERROR_NONE) code = load_mapping_object(*mapping);
    MappingObject mapping_view;
    if (code == ORVA_ERROR_NONE) code = mapping_view.attach(mapping);
    if (code == ORVA_ERROR_NONE) {
      Link pair(local_id);
      pair.set_global_link(global_id);
      if (mapping_view.remove_map(pair)) code = store_mapping_object(*mapping);
    }
  }
  code = end(code);
  if (code == ORVA_ERROR_NONE) trace("SubscriptionManager::soft_delete_object --");
  return code;
}

ErrorCode SubscriptionManager::save_mapping(const ObjectBase& ids) {
  if (!m_repository.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  orva::SharedPointer<Object> mapping(new Object());
  ErrorCode code = m_repository->begin_transaction(true);
  if (code != ORVA_ERROR_NONE) return code;
  code = load_mapping_object(*mapping);
  MappingObject view;
  if (code == ORVA_ERROR_NONE) code = view.attach(mapping);
  if (code == ORVA_ERROR_NONE) {
    // A pair whose local or global id is mapped already stays as it is.
    view.add_map(ids);
    code = store_mapping_object(*mapping);
  }
  return end(code);
}

ErrorCode SubscriptionManager::save_mappings(const std::vector<ObjectBase>& pairs) {
  if (!m_repository.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  orva::SharedPointer<Object> mapping(new Object());
  ErrorCode code = m_repository->begin_transaction(true);
  if (code != ORVA_ERROR_NONE) return code;
  code = load_mapping_object(*mapping);
  MappingObject view;
  if (code == ORVA_ERROR_NONE) code = view.attach(mapping);
  if (code == ORVA_ERROR_NONE) code = view.add_maps(pairs);
  if (code == ORVA_ERROR_NONE) code = store_mapping_object(*mapping);
  return end(code);
}

ErrorCode SubscriptionManager::create_mapping_object(const std::vector<ObjectBase>& items,
                                                     Object& out) {
  if (!m_repository.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  MappingObject view;
  if (!view.init()) return ORVA_ERROR_OUT_OF_MEMORY;
  for (const ObjectBase& item : items) {
    unsigned int local_id = item.get_local_id();
    unsigned long long global_id = item.get_global_id();
    if (local_id != 0 && global_id == 0) {
      global_id = m_repository->get_object_global_id(local_id);
    } else if (local_id == 0 && global_id != 0) {
      local_id = m_repository->get_object_local_id(global_id);
    }
    if (local_id == 0 || global_id == 0) continue;
    ErrorCode code = view.add_map(local_id, global_id);
    if (code != ORVA_ERROR_NONE) return code;
  }
  out = *view.object();
  return ORVA_ERROR_NONE;
}

// Acknowledgements.

namespace {

// The frame of an acknowledgement, in one transaction: the stored object of the view's
// kind and the sent copy, each bound to a view; |step| changes the stored object and
// stores it.
template <class View, class Step>
ErrorCode acknowledge(SubscriptionManager& manager, Repository* repository,
                      ErrorCode (SubscriptionManager::*load)(Object&),
                      const orva::SharedPointer<Object>& sent, Step step) {
  if (repository == nullptr) return ORVA_ERROR_OUT_OF_MEMORY;
  if (!sent.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  orva::SharedPointer<Object> stored(new Object());
  ErrorCode code = repository->begin_transaction(true);
  if (code != ORVA_ERROR_NONE) return code;
  code = (manager.*load)(*stored);
  View stored_view;
  View sent_view;
  if (code == ORVA_ERROR_NONE) code = stored_view.attach(stored);
  if (code == ORVA_ERROR_NONE) code = sent_view.attach(sent);
  if (code == ORVA_ERROR_NONE) code = step(stored_view, sent_view, *stored);
  return repository->end_transaction(code);
}

}  // namespace

ErrorCode SubscriptionManager::handle_subscription_object_sent(
    const orva::SharedPointer<Object>& sent) {
  trace("SubscriptionManager::handle_subscription_object_sent ");
  ErrorCode code = acknowledge<SubscriptionObject>(
      *this, m_repository.get(), &SubscriptionManager::load_subscription_object, sent,
      [this](SubscriptionObject& stored, const SubscriptionObject& copy, Object& object) {
        ErrorCode result = stored.commit_changes(copy);
        return result != ORVA_ERROR_NONE ? result : store_subscription_object(object);
      });
  if (code == ORVA_ERROR_NONE) trace("SubscriptionManager::handle_subscription_object_sent --");
  return code;
}

ErrorCode SubscriptionManager::handle_mapping_object_sent(const orva::SharedPointer<Object>& sent) {
  trace("SubscriptionManager::handle_mapping_object_sent ++");
  ErrorCode code = acknowledge<MappingObject>(
      *this, m_repository.get(), &SubscriptionManager::load_mapping_object, sent,
      [this](MappingObject& stored, const MappingObject& copy, Object& object) {
        // Written even when nothing changed.
        stored.remove_maps(copy);
        stored.remove_empty_maps();
        return store_mapping_object(object);
      });
  if (code == ORVA_ERROR_NONE) trace("SubscriptionManager::handle_mapping_object_sent --");
  return code;
}

ErrorCode SubscriptionManager::handle_soft_deletion_object_sent(
    const orva::SharedPointer<Object>& sent) {
  trace("SubscriptionManager::handle_soft_deletion_object_sent ++");
  ErrorCode code = acknowledge<SoftDeletionObject>(
      *this, m_repository.get(), &SubscriptionManager::load_soft_deletion_object, sent,
      [this](SoftDeletionObject& stored, const SoftDeletionObject& copy, Object& object) {
        // Nothing is written when none of the sent ids is still recorded.
        if (!stored.remove_gids(copy)) return ORVA_ERROR_NONE;
        return store_soft_deletion_object(object);
      });
  if (code == ORVA_ERROR_NONE) trace("SubscriptionManager::handle_soft_deletion_object_sent --");
  return code;
}

// Sharing switches from the server.

ErrorCode SubscriptionManager::handle_subscription_object_received(
    const orva::SharedPointer<Object>& received) {
  if (!received.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  SubscriptionObject view;
  // An object of another class under the subscription's global id is refused here, so
  // that no later reader meets it.
  ErrorCode code = view.attach(received);
  if (code != ORVA_ERROR_NONE) return code;
  for (const Switch& s : kSwitches) {
    std::vector<unsigned long long> gids;
    view.get_change_gids(s.type, gids);
    code = apply_sharing_changes(gids, s.model);
    if (code != ORVA_ERROR_NONE) return code;
  }
  return ORVA_ERROR_NONE;
}

ErrorCode SubscriptionManager::apply_sharing_changes(const std::vector<unsigned long long>& gids,
                                                     SharingModel model) {
  if (!m_repository.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  for (unsigned long long global_id : gids) {
    ErrorCode code = m_repository->begin_transaction(true);
    if (code != ORVA_ERROR_NONE) return code;
    // Global id 0 names no object; an id no object here has is skipped.
    const unsigned int local_id = global_id == 0 ? 0 : m_repository->get_object_local_id(global_id);
    if (local_id != 0) code = m_repository->set_object_sharing(local_id, model, true);
    code = end(code);
    if (code != ORVA_ERROR_NONE) return code;
  }
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
