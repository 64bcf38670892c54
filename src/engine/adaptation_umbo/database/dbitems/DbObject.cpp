#include "adaptation_umbo/database/dbitems/DbObject.h"

#include "adaptation_umbo/database/Bindable.h"
#include "adaptation_umbo/database/Gettable.h"

#include <keldra/LoggerUmbo.h>
#include <keldra/Object.h>

namespace orva {
namespace keldra {
namespace internal {

DbObject::DbObject()
    : m_object(nullptr), m_updeps(0), m_downdeps(0), m_linkmods(0), m_state(NONE) {}

DbObject::DbObject(Object* object)
    : m_object(object), m_updeps(0), m_downdeps(0), m_linkmods(0), m_state(NONE) {}

DbObject::DbObject(const DbObject& other)
    : DbItem(),
      m_object(other.m_object),
      m_updeps(other.m_updeps),
      m_downdeps(other.m_downdeps),
      m_linkmods(other.m_linkmods),
      m_state(other.m_state) {}

DbObject& DbObject::operator=(const DbObject& other) {
  m_object = other.m_object;
  m_updeps = other.m_updeps;
  m_downdeps = other.m_downdeps;
  m_linkmods = other.m_linkmods;
  m_state = other.m_state;
  return *this;
}

void DbObject::bind(Bindable& query) {
  if (!m_object) {
    LoggerUmbo::log("Warning: DbObject::bind(): No object!", LoggerUmbo::MSG_TRACE);
  } else {
    const unsigned int local_id = m_object->get_local_id();
    if (local_id != 0) {
      query.bind(LOCAL_ID, static_cast<int>(local_id));
      query.bind(PARENT_OBJECT, static_cast<int>(local_id));
    }
    const unsigned long long global_id = m_object->get_global_id();
    if (global_id != 0) query.bind(GLOBAL_ID, static_cast<long long>(global_id));
    query.bind(CLASS_NAME, m_object->get_class_name());
    query.bind(NAME, m_object->get_name());
    query.bind(VERSION, static_cast<int>(m_object->get_version()));
    query.bind(TIMESTAMP, static_cast<long long>(m_object->get_timestamp()));
    query.bind(SERVICE, m_object->get_service());
    query.bind(OWNER, m_object->get_owner());
    query.bind(SHARING, static_cast<int>(m_object->get_sharing()));
    query.bind(MODIFIED, m_state);
    query.bind(NO_SYNC, m_object->is_no_sync() ? 1 : 0);
  }
  query.bind(LINKMODS, m_linkmods);
  query.bind(DOWNDEPS, m_downdeps);
  query.bind(UPDEPS, m_updeps);
}

void DbObject::get_result(Gettable& query) {
  query.get_result(LINKMODS, m_linkmods);
  query.get_result(UPDEPS, m_updeps);
  query.get_result(DOWNDEPS, m_downdeps);
  query.get_result(MODIFIED, m_state);
  if (!m_object) return;
  int number;
  long long wide;
  std::string text;
  if (query.get_result(LOCAL_ID, number)) m_object->set_local_id(static_cast<unsigned int>(number));
  if (query.get_result(GLOBAL_ID, wide)) {
    m_object->set_global_id(static_cast<unsigned long long>(wide));
  }
  if (query.get_result(CLASS_NAME, text)) m_object->set_class_name(text);
  if (query.get_result(NAME, text)) m_object->set_name(text);
  if (query.get_result(VERSION, number)) m_object->set_version(static_cast<unsigned int>(number));
  if (query.get_result(TIMESTAMP, wide)) {
    // Early rows kept seconds; everything after that date is in milliseconds.
    if (wide <= LAST_SECONDS_TIMESTAMP) wide *= 1000;
    m_object->set_timestamp(wide);
  }
  if (query.get_result(SHARING, number)) m_object->set_sharing(static_cast<SharingModel>(number));
  if (query.get_result(SERVICE, text)) m_object->set_service(text);
  if (query.get_result(OWNER, text)) m_object->set_owner(text);
  if (query.get_result(NO_SYNC, number)) m_object->set_no_sync(number != 0);
  update_object_flags();
  m_object->set_modified(false);
}

void DbObject::update_object_flags() {
  if (!m_object) return;
  m_object->set_flags(Object::FLAG_LOCAL_CHANGES, m_state != SYNCED);
  m_object->set_flags(Object::FLAG_STATE_3, m_state == SHARING_CHANGED);
  m_object->set_flags(Object::FLAG_LINKED_LOCAL_CHANGES, m_linkmods > 0);
  m_object->set_flags(Object::FLAG_LOCAL_ONLY_CONTENT, m_updeps > 0);
  m_object->set_flags(Object::FLAG_REMOTE_ONLY_CONTENT, m_downdeps > 0);
}

bool DbObject::in_sync() const { return (m_object && m_object->is_no_sync()) || m_state == SYNCED; }

void DbObject::log() {
  if (!m_object) return;
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "O: %4lu %7llu %s:%s v:%d sh:%d m:%d ns:%d up:%d dn:%d ud:%d state: %d o:%s",
                   static_cast<unsigned long>(m_object->get_local_id()),
                   static_cast<unsigned long long>(m_object->get_global_id()),
                   m_object->get_name().c_str(), m_object->get_class_name().c_str(),
                   static_cast<int>(m_object->get_version()),
                   static_cast<int>(m_object->get_sharing()), m_object->is_modified() ? 1 : 0,
                   m_object->is_no_sync() ? 1 : 0, m_updeps, m_downdeps, m_linkmods, m_state,
                   m_object->get_owner().c_str());
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
