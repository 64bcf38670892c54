// SoftDeletionObject: the view of the soft-deletion system object, which records the
// global ids of shared objects the user removed locally until the server has
// received them.
//
// The object has the class "sys_soft_delete", the name "sys.keldra.soft_delete", the
// local id 0x7FFFFFFB, the global id 995 and the no-sync flag. Its content is its
// object-level link list: one unnamed link per recorded global id, local id 0; no two
// links carry the same global id. It has no attributes.
//
// Results: 0; 2 when no object can be made; 3 add_gid(0) (the id of no object, never
// recorded) and attach of an object of another class. remove_gids reports through its
// bool.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/ObjectHandle.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {
namespace internal {

// Names of SoftDeletionObject, interned once per string pool.
class SoftDeletionObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle sys_soft_delete;  // the class
};

class SoftDeletionObject : public ObjectHandle {
 public:
  static constexpr unsigned int LOCAL_ID = 0x7FFFFFFB;
  static constexpr unsigned long long GLOBAL_ID = 995;

  // Unbound view.
  SoftDeletionObject();
  // A view over a new object holding a deep copy of |other|'s object; unbound when
  // |other| is.
  SoftDeletionObject(const SoftDeletionObject& other);
  // Copies |other|'s object into this view's own object (created when needed).
  SoftDeletionObject& operator=(const SoftDeletionObject& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Unbound: holds a new soft-deletion object with the reserved ids, name and no-sync
  // flag. An object already held is left as it is. is_safe().
  bool init_self() override;

  // Binds the view to |object|; 3, leaving the view unbound, when the object is not
  // of class "sys_soft_delete". 0 otherwise.
  ErrorCode attach(const orva::SharedPointer<Object>& object);

  // Creates the object when unbound (2 when it cannot) and appends an unnamed link to
  // |gid| (the link list marked modified) unless a link already carries that id.
  // 0 in both cases; 3, changing nothing, for gid 0.
  ErrorCode add_gid(unsigned long long gid);

  // For each link of |sent|'s object in order, erases the first link of this view's
  // object with the same non-zero local id or the same non-zero global id. True when
  // at least one link was erased; false when |sent| is unbound or has no links, or
  // this view is unbound. |sent| may stand over this view's own object. Ids added
  // after |sent| was copied stay.
  bool remove_gids(const SoftDeletionObject& sent);

 private:
  SoftDeletionObjectStrings* m_strings;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
