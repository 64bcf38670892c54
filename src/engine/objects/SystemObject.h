// What the system-object views share: creating their object with its reserved
// identity, and binding an object whose class is checked first.
//
// A system object can come from the server with a reserved global id and any class;
// the store keeps what it was given. The views must therefore refuse a foreign object
// with a result instead of the handle layer's class assertion.
//
// Thread: used on the thread whose string pool interned the view's names.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/ObjectHandle.h>
#include <keldra/SharedPointer.h>

namespace orva {
namespace keldra {
namespace internal {

// The reserved identity a view gives the system object it creates.
struct SystemObjectIdentity {
  const char* name;
  unsigned long long global_id;
  unsigned int local_id;
};

// The body of a system view's init_self(): a bound view is left as it is; otherwise
// the handle layer creates an object of the view's class, which then gets the
// identity's ids and name and the no-sync flag. Returns whether the view is bound.
bool init_system_object(ObjectHandle& view, const SystemObjectIdentity& identity);

// ObjectHandle::attach after a class check: an object of another class than the
// view's is refused, leaving the view unbound, with a type-32 log line and the result
// 3. Otherwise 0 (an empty pointer keeps the object held, as the handle layer does).
ErrorCode attach_system_object(ObjectHandle& view, const orva::SharedPointer<Object>& object);

}  // namespace internal
}  // namespace keldra
}  // namespace orva
