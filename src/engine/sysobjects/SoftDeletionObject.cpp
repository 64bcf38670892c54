#include "sysobjects/SoftDeletionObject.h"

#include <keldra/Link.h>
#include <keldra/LinkList.h>

#include "objects/SystemObject.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {
const SystemObjectIdentity kSoftDeletionIdentity = {
    "sys.keldra.soft_delete", SoftDeletionObject::GLOBAL_ID, SoftDeletionObject::LOCAL_ID};
}  // namespace

StringPool::StringSet* SoftDeletionObjectStrings::create_strings(StringPool& pool) {
  SoftDeletionObjectStrings* s = new SoftDeletionObjectStrings;
  pool.init_handle(s->sys_soft_delete, "sys_soft_delete");
  return s;
}

SoftDeletionObject::SoftDeletionObject() : m_strings(view_strings<SoftDeletionObjectStrings>()) {}

SoftDeletionObject::SoftDeletionObject(const SoftDeletionObject& other)
    : ObjectHandle(other), m_strings(other.m_strings) {
  ObjectHandle::copy(other);
  attach_child_handles();
}

SoftDeletionObject& SoftDeletionObject::operator=(const SoftDeletionObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    ObjectHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& SoftDeletionObject::get_class_name_handle() const {
  return m_strings->sys_soft_delete;
}

bool SoftDeletionObject::init_self() { return init_system_object(*this, kSoftDeletionIdentity); }

ErrorCode SoftDeletionObject::attach(const orva::SharedPointer<Object>& object) {
  return attach_system_object(*this, object);
}

ErrorCode SoftDeletionObject::add_gid(unsigned long long gid) {
  // A link without ids matches nothing, so id 0 would be appended again and again and
  // sent to the server as a deletion of no object.
  if (gid == 0) return ORVA_ERROR_INVALID_PARAMETERS;
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  Link link;
  link.set_global_link(gid);
  LinkList& links = object()->get_links();
  if (links.find_similar_link(link) < 0) links.push_back(link);
  return ORVA_ERROR_NONE;
}

bool SoftDeletionObject::remove_gids(const SoftDeletionObject& sent) {
  if (!sent.is_safe() || !is_safe()) return false;
  const Object& source = *sent.object();
  if (source.get_links().empty()) return false;
  // A copy: |sent| may stand over this view's own object, whose links shrink below.
  const LinkList removed(source.get_links());
  LinkList& links = object()->get_links();
  bool erased = false;
  for (const Link& link : removed) {
    int index = links.find_similar_link(link);
    if (index < 0) continue;
    links.erase(static_cast<unsigned int>(index));
    erased = true;
  }
  return erased;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
