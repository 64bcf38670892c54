#include "objects/MappingObject.h"

#include <unordered_set>

#include <keldra/LinkList.h>

#include "objects/SystemObject.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {
const SystemObjectIdentity kMappingIdentity = {"sys.keldra.mapping", MappingObject::GLOBAL_ID,
                                               MappingObject::LOCAL_ID};
}  // namespace

StringPool::StringSet* MappingObjectStrings::create_strings(StringPool& pool) {
  MappingObjectStrings* s = new MappingObjectStrings;
  pool.init_handle(s->sys_mapping, "sys_mapping");
  pool.init_handle(s->map, "map");
  return s;
}

MappingObject::MappingObject() : m_strings(view_strings<MappingObjectStrings>()) {}

MappingObject::MappingObject(const MappingObject& other)
    : ObjectHandle(other), m_strings(other.m_strings) {
  ObjectHandle::copy(other);
  attach_child_handles();
}

MappingObject& MappingObject::operator=(const MappingObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    ObjectHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& MappingObject::get_class_name_handle() const {
  return m_strings->sys_mapping;
}

bool MappingObject::init_self() { return init_system_object(*this, kMappingIdentity); }

ErrorCode MappingObject::attach(const orva::SharedPointer<Object>& object) {
  return attach_system_object(*this, object);
}

int MappingObject::find_map(const Link& link) const {
  if (!is_safe()) return -1;
  const Object& mapping = *object();
  const LinkList& links = mapping.get_links();
  for (int index = links.find_similar_link(link, 0); index >= 0;
       index = links.find_similar_link(link, static_cast<unsigned int>(index) + 1)) {
    if (links[static_cast<unsigned int>(index)].get_name_handle() == m_strings->map) return index;
  }
  return -1;
}

ErrorCode MappingObject::add_map(const ObjectBase& identity) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  Link link(identity);
  link.set_name(m_strings->map);
  if (find_map(link) < 0) object()->get_links().push_back(link);
  return ORVA_ERROR_NONE;
}

ErrorCode MappingObject::add_maps(const std::vector<ObjectBase>& identities) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  // The ids of the "map" links, as find_map would meet them, kept up to date as links go in.
  std::unordered_set<unsigned int> local_ids;
  std::unordered_set<unsigned long long> global_ids;
  LinkList& links = object()->get_links();
  for (unsigned int i = 0; i < links.size(); ++i) {
    if (links[i].get_name_handle() != m_strings->map) continue;
    local_ids.insert(links[i].get_local_link());
    global_ids.insert(links[i].get_global_link());
  }
  for (const ObjectBase& identity : identities) {
    const unsigned int local_id = identity.get_local_id();
    const unsigned long long global_id = identity.get_global_id();
    if ((local_id != 0 && local_ids.count(local_id) != 0) ||
        (global_id != 0 && global_ids.count(global_id) != 0)) {
      continue;
    }
    Link link(identity);
    link.set_name(m_strings->map);
    links.push_back(link);
    local_ids.insert(local_id);
    global_ids.insert(global_id);
  }
  return ORVA_ERROR_NONE;
}

ErrorCode MappingObject::add_map(unsigned int local_id, unsigned long long global_id) {
  return add_map(ObjectBase(local_id, global_id));
}

bool MappingObject::remove_map(const Link& link) {
  int index = find_map(link);
  if (index < 0) return false;
  object()->get_links().erase(static_cast<unsigned int>(index));
  return true;
}

bool MappingObject::remove_maps(const MappingObject& other) {
  if (!other.is_safe()) return false;
  const Object& source = *other.object();
  // A copy: |other| may stand over this view's own object, whose links shrink below.
  const LinkList links(source.get_links());
  bool removed = false;
  for (const Link& link : links) removed = remove_map(link);
  return removed;
}

void MappingObject::remove_empty_maps(Object& object) {
  const Object& stored = object;
  if (stored.get_links().empty()) return;
  LinkList& links = object.get_links();
  for (unsigned int i = links.size(); i-- > 0;) {
    if (links[i].get_local_link() == 0 || links[i].get_global_link() == 0) links.erase(i);
  }
}

void MappingObject::remove_empty_maps() {
  if (is_safe()) remove_empty_maps(*object());
}

void MappingObject::get_maps(std::vector<ObjectBase>& identities) const {
  if (!is_safe()) return;
  const Object& mapping = *object();
  for (const Link& link : mapping.get_links()) {
    identities.push_back(ObjectBase(link.get_local_link(), link.get_global_link()));
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
