#include <keldra/Store.h>

#include <keldra/DatabaseManager.h>
#include <keldra/LoggerUmbo.h>

#include "store/Guarded.h"

#include <string>

namespace orva {
namespace keldra {

using internal::guarded;
using internal::guarded_value;
using internal::LoggerUmbo;

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;

// Which store of the thread registered the observer each adapter holds, so that a store
// being destroyed removes only its own registration. A thread has one adapter per
// service (an older one may linger while held), so a few slots suffice; the table is
// trivially destructible, so stores destroyed late at thread exit still find it.
struct Registration {
  const DataAdapter* adapter;
  const Store* store;
};
const int kRegistrations = 8;
thread_local Registration t_registrations[kRegistrations];

Registration* registration_of(const DataAdapter* adapter) {
  for (Registration& slot : t_registrations) {
    if (slot.adapter == adapter) return &slot;
  }
  return nullptr;
}

void forget_registration(const DataAdapter* adapter) {
  if (Registration* slot = registration_of(adapter)) *slot = Registration{nullptr, nullptr};
}

void record_registration(const DataAdapter* adapter, const Store* store) {
  Registration* slot = registration_of(adapter);
  if (!slot) slot = registration_of(nullptr);
  if (slot) *slot = Registration{adapter, store};
}

}  // namespace

bool check_input_object_sharing(SharingModel model) {
  switch (model) {
    case SHARING_PRIVATE:
    case SHARING_PUBLIC_READ_ONLY:
    case SHARING_PUBLIC_READ_WRITE:
    case SHARING_RESTRICTED:
      return true;
    default:
      return false;
  }
}

Store::Store(const orva::SharedPointer<DataAdapter>& adapter,
             const orva::SharedPointer<Repository>& repository,
             const orva::SharedPointer<Static>& statics)
    : m_adapter(adapter), m_repository(repository), m_statics(statics), m_observer(nullptr) {}

ErrorCode Store::open(orva::SharedPointer<Store>& out, const char* service) {
  LoggerUmbo::logf(kTrace, "Store::open, service %s", service ? service : "");
  if (!service) return ORVA_ERROR_UNKNOWN;
  return guarded([&]() -> ErrorCode {
    orva::SharedPointer<Static> statics;
    try {
      statics = Static::instance();
    } catch (...) {
      return ORVA_ERROR_OUT_OF_MEMORY;
    }
    if (!statics.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
    orva::SharedPointer<DataAdapter> adapter = DatabaseManager::open(std::string(service));
    if (!adapter.is_valid()) return ORVA_ERROR_UNKNOWN;
    orva::SharedPointer<Repository> repository = adapter->repository();
    if (!repository.is_valid()) return ORVA_ERROR_UNKNOWN;
    out = orva::SharedPointer<Store>(new Store(adapter, repository, statics));
    return ORVA_ERROR_NONE;
  });
}

ErrorCode Store::open(orva::SharedPointer<Store>& out) {
  LoggerUmbo::log("Store::open", kTrace);
  return open(out, KELD_SERVICE_PERSONAL);
}

Store::~Store() {
  LoggerUmbo::log("Store::~Store", kTrace);
  Registration* mine = m_adapter.is_valid() ? registration_of(m_adapter.get()) : nullptr;
  if (mine && mine->store == this) {
    forget_registration(m_adapter.get());
    if (m_adapter.is_valid() && m_observer && m_adapter->get_event_listener() == m_observer) {
      try {
        m_adapter->unset_event_listener();
      } catch (...) {
        // The adapter forgets the observer whatever the hub says.
      }
    }
  }
  m_repository.release();
  m_adapter.release();
  m_statics.release();
}

void Store::init(ProgressHandler& handler) {
  LoggerUmbo::log("Store::init", kTrace);
  if (!m_adapter.is_valid()) return;
  const ErrorCode failed = guarded([&]() -> ErrorCode {
    m_adapter->init(handler);
    return ORVA_ERROR_NONE;
  });
  if (failed != ORVA_ERROR_NONE) handler.handle_progress(0.0f, failed);
}

ErrorCode Store::insert_object(Object& object) {
  if (!check_input_object_sharing(object.get_sharing())) {
    LoggerUmbo::logf(kTrace, "Store::insert_object: ERROR: wrong sharing mode %d",
                     static_cast<int>(object.get_sharing()));
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (!object.get_class_name_handle().is_valid()) {
    LoggerUmbo::log("Store::insert_object: ERROR: empty class name", kTrace);
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  object.set_global_id(0);
  object.set_version(0);
  object.set_partial(false);
  object.set_owner(StringPool::StringHandle());
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return guarded([&] { return m_repository->insert_object(object); });
}

ErrorCode Store::remove_object(unsigned int local_id) {
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return guarded([&] { return m_repository->remove_object(local_id); });
}

ErrorCode Store::update_object(Object& object) {
  if (object.is_partial()) {
    LoggerUmbo::log("Store::update_object: ERROR: update using partial object", kTrace);
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (!check_input_object_sharing(object.get_sharing())) {
    LoggerUmbo::logf(kTrace, "Store::update_object: ERROR: wrong sharing mode %d",
                     static_cast<int>(object.get_sharing()));
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (!object.get_class_name_handle().is_valid()) {
    LoggerUmbo::log("Store::update_object: ERROR: empty class name", kTrace);
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return guarded([&] { return m_repository->update_object(object); });
}

ErrorCode Store::get_object(unsigned int local_id, Object& object) const {
  object.reset();
  if (local_id == 0) return ORVA_ERROR_NOT_FOUND;
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return guarded([&] { return m_repository->get_object(local_id, object); });
}

ErrorCode Store::get_object_header(unsigned int local_id, Object& object) const {
  object.reset();
  if (local_id == 0) return ORVA_ERROR_NOT_FOUND;
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return guarded([&] { return m_repository->get_object_header(local_id, object); });
}

ErrorCode Store::get_global_object(unsigned long long global_id, Object& object) const {
  object.reset();
  if (global_id == 0) return ORVA_ERROR_NOT_FOUND;
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return guarded([&] { return m_repository->get_global_object(global_id, object); });
}

unsigned int Store::get_object_local_id(unsigned long long global_id) const {
  if (global_id == 0 || !m_repository.is_valid()) return 0;
  return guarded_value(0u, [&] { return m_repository->get_object_local_id(global_id); });
}

unsigned long long Store::get_object_global_id(unsigned int local_id) const {
  if (local_id == 0 || !m_repository.is_valid()) return 0;
  return guarded_value(0ull, [&] { return m_repository->get_object_global_id(local_id); });
}

unsigned int Store::get_default_object_id() const {
  if (!m_repository.is_valid()) return 0;
  return guarded_value(0u, [&] { return m_repository->get_default_object_id(); });
}

ErrorCode Store::set_default_object_id(unsigned int local_id) {
  if (!m_repository.is_valid()) return ORVA_ERROR_NOT_SUPPORTED;
  return guarded([&] { return m_repository->set_default_object_id(local_id); });
}

orva::SharedPointer<Search> Store::get_searcher() {
  if (!m_repository.is_valid()) return orva::SharedPointer<Search>();
  return guarded_value(orva::SharedPointer<Search>(), [&] { return m_repository->get_searcher(); });
}

orva::SharedPointer<orva::internal::RefCountable> Store::get_upload_queue() {
  typedef orva::SharedPointer<orva::internal::RefCountable> Queue;
  if (!m_repository.is_valid()) return Queue();
  return guarded_value(Queue(), [&] { return m_repository->get_upload_queue(); });
}

orva::SharedPointer<ObjectCache> Store::get_object_cache() const {
  if (!m_repository.is_valid()) return orva::SharedPointer<ObjectCache>();
  return guarded_value(orva::SharedPointer<ObjectCache>(),
                       [&] { return m_repository->get_object_cache(); });
}

ErrorCode Store::begin_transaction(bool exclusive) {
  if (!m_repository.is_valid()) return ORVA_ERROR_NOT_SUPPORTED;
  return guarded([&] { return m_repository->begin_transaction(exclusive); });
}

ErrorCode Store::commit_transaction() {
  if (!m_repository.is_valid()) return ORVA_ERROR_NOT_SUPPORTED;
  return guarded([&] { return m_repository->commit_transaction(); });
}

void Store::rollback_transaction() {
  if (!m_repository.is_valid()) return;
  guarded([&]() -> ErrorCode {
    m_repository->rollback_transaction();
    return ORVA_ERROR_NONE;
  });
}

bool Store::is_in_transaction() const {
  if (!m_repository.is_valid()) return false;
  return guarded_value(false, [&] { return m_repository->is_in_transaction(); });
}

ErrorCode Store::set_object_sharing(unsigned int local_id, SharingModel model) {
  if (!check_input_object_sharing(model)) return ORVA_ERROR_INVALID_PARAMETERS;
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return guarded([&] { return m_repository->set_object_sharing(local_id, model, false); });
}

ErrorCode Store::set_object_no_sync(unsigned int local_id, bool no_sync) {
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return guarded([&] { return m_repository->set_object_no_sync(local_id, no_sync); });
}

ErrorCode Store::get_object_children(unsigned int local_id, std::vector<Link>& links) const {
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return guarded([&] { return m_repository->get_object_children(local_id, links); });
}

void Store::set_event_listener(RepositoryObserver& observer) {
  unset_event_listener();
  if (!m_adapter.is_valid()) return;
  const ErrorCode code = guarded([&]() -> ErrorCode {
    m_adapter->set_event_listener(observer);
    return ORVA_ERROR_NONE;
  });
  if (code != ORVA_ERROR_NONE) return;
  m_observer = &observer;
  record_registration(m_adapter.get(), this);
}

void Store::unset_event_listener() {
  if (!m_adapter.is_valid()) return;
  guarded([&]() -> ErrorCode {
    m_adapter->unset_event_listener();
    return ORVA_ERROR_NONE;
  });
  forget_registration(m_adapter.get());
  m_observer = nullptr;
}

void Store::unset_event_listener(RepositoryObserver& observer) {
  if (!m_adapter.is_valid() || m_adapter->get_event_listener() != &observer) return;
  unset_event_listener();
}

}  // namespace keldra
}  // namespace orva
