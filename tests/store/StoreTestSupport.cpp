#include "StoreTestSupport.h"

namespace keldra_test {

using orva::ErrorCode;
using orva::SharedPointer;
using orva::keldra::Object;

ErrorCode MemoryRepository::insert_object(Object& object) {
  calls.push_back("insert");
  if (fail_with != ORVA_ERROR_NONE) return fail_with;
  object.set_local_id(m_next_id++);
  object.set_modified(false);
  m_objects[object.get_local_id()] = SharedPointer<Object>(new Object(object));
  return ORVA_ERROR_NONE;
}

ErrorCode MemoryRepository::update_object(Object& object) {
  calls.push_back("update " + std::to_string(object.get_local_id()));
  if (fail_with != ORVA_ERROR_NONE) return fail_with;
  auto found = m_objects.find(object.get_local_id());
  if (found == m_objects.end()) return ORVA_ERROR_NOT_FOUND;
  object.set_modified(false);
  found->second = SharedPointer<Object>(new Object(object));
  return ORVA_ERROR_NONE;
}

ErrorCode MemoryRepository::get_object(unsigned int local_id, Object& object) const {
  calls.push_back("get " + std::to_string(local_id));
  if (fail_with != ORVA_ERROR_NONE) return fail_with;
  auto found = m_objects.find(local_id);
  if (found == m_objects.end()) return ORVA_ERROR_NOT_FOUND;
  object = *found->second;
  object.set_partial(false);
  object.set_modified(false);
  return ORVA_ERROR_NONE;
}

unsigned int MemoryRepository::put(const Object& object) {
  const unsigned int id = m_next_id++;
  SharedPointer<Object> copy(new Object(object));
  copy->set_local_id(id);
  copy->set_modified(false);
  m_objects[id] = copy;
  return id;
}

const Object* MemoryRepository::stored(unsigned int local_id) const {
  auto found = m_objects.find(local_id);
  return found == m_objects.end() ? nullptr : found->second.get();
}

SharedPointer<Object> make_object(const std::string& class_name, const std::string& name) {
  SharedPointer<Object> object(class_name.empty() ? new Object() : new Object(class_name));
  if (!name.empty()) object->set_name(name);
  return object;
}

}  // namespace keldra_test
