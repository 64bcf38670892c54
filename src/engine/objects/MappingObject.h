// MappingObject: the view of the store's mapping system object, which pairs the
// local id of an object with its global id, one "map" link per pair.
//
// The object has the class "sys_mapping", the name "sys.keldra.mapping", the local id
// 0x7FFFFFFD, the global id 997 and the no-sync flag; it has no attributes. A pair is
// complete when both ids are non-zero; pairs are kept in the order of addition. A
// new mapping is made by init() on a new view; a stored one is worked on by
// attaching the view to it.
//
// Results: add_map 0, or 2 when the object cannot be created; attach 3 for an object
// of another class. The other operations report through their bool result and do
// nothing on an unbound view.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Link.h>
#include <keldra/Object.h>
#include <keldra/ObjectBase.h>
#include <keldra/ObjectHandle.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <vector>

namespace orva {
namespace keldra {
namespace internal {

// Name table of MappingObject.
class MappingObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle sys_mapping;  // the class
  StringPool::StringHandle map;          // the link name of a pair
};

class MappingObject : public ObjectHandle {
 public:
  static constexpr unsigned int LOCAL_ID = 0x7FFFFFFD;
  static constexpr unsigned long long GLOBAL_ID = 997;

  // Unbound view.
  MappingObject();
  // A view over a new mapping object holding a deep copy of |other|'s object;
  // unbound when |other| is.
  MappingObject(const MappingObject& other);
  // Copies |other|'s object into this view's own object (created when needed).
  MappingObject& operator=(const MappingObject& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Unbound: holds a new mapping object with the reserved ids, name and no-sync flag.
  // An object already held is left as it is. is_safe().
  bool init_self() override;

  // Binds the view to |object|; 3, leaving the view unbound, when the object is not
  // of class "sys_mapping" (a received object with the mapping's global id can be of
  // any class). 0 otherwise.
  ErrorCode attach(const orva::SharedPointer<Object>& object);

  // Index of the first "map" link sharing |link|'s local id (when not 0) or its
  // global id (when not 0); -1 when there is none or the view is unbound.
  int find_map(const Link& link) const;
  // Appends a "map" link with the identity's ids unless find_map finds one (a pair
  // sharing either id is left as it is). 0, or 2.
  ErrorCode add_map(const ObjectBase& identity);
  ErrorCode add_map(unsigned int local_id, unsigned long long global_id);
  // add_map for each identity, in order, with the same result, at a cost linear in the
  // links and the identities together.
  ErrorCode add_maps(const std::vector<ObjectBase>& identities);
  // Removes the link find_map finds; false when there is none.
  bool remove_map(const Link& link);
  // remove_map for each link of |other|'s object, in order, whatever its name; the
  // result of the last call. False when |other| is unbound or has no links. |other|
  // may be this view, or another view over this view's object.
  bool remove_maps(const MappingObject& other);
  // Removes every link whose local or global id is 0, whatever its name.
  static void remove_empty_maps(Object& object);
  void remove_empty_maps();
  // Appends the ids of every link, in order, whatever its name; |identities| is not
  // emptied first.
  void get_maps(std::vector<ObjectBase>& identities) const;

 private:
  MappingObjectStrings* m_strings;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
