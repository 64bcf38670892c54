// Intrusive reference-counted pointer over orva::internal::RefCountable.
//
// A holder is one pointer wide. Copying adds one count; dropping the last holder
// releases the object. Assignment takes the new object before it drops the old one,
// so that `p = p->next` never reads freed memory.
//
// A pointer may be empty (made with no object, released, or the object() of a view
// that has none yet). There is no bool test: ask is_valid(). Using an empty pointer
// through -> or * stops the process with an assertion saying so.
#pragma once

#include <keldra/Invariant.h>
#include <keldra/RefCountable.h>

#include <cstddef>
#include <type_traits>

namespace orva {
namespace internal {

template <class Base>
class ObjectHandle {
 public:
  ObjectHandle() : m_object(nullptr) {}
  explicit ObjectHandle(Base* object) : m_object(object) {
    if (m_object) m_object->add_ref();
  }
  ObjectHandle(const ObjectHandle& other) : m_object(other.m_object) {
    if (m_object) m_object->add_ref();
  }
  // Takes the new object before dropping the old one, like SharedPointer's.
  ObjectHandle& operator=(const ObjectHandle& other) {
    if (&other != this) assign(other.m_object);
    return *this;
  }
  ~ObjectHandle() { remove_ref(); }

  // Drops one count of the held object. When that releases it the holder is
  // cleared; while other holders remain, the holder keeps its pointer.
  void remove_ref() {
    if (m_object && m_object->drop_ref()) m_object = nullptr;
  }

 protected:
  void assign(Base* object) {
    if (object) object->add_ref();
    Base* old = m_object;
    m_object = object;
    if (old) old->drop_ref();
  }

  Base* m_object;
};

}  // namespace internal

template <class T>
class SharedPointer : public internal::ObjectHandle<internal::RefCountable> {
  typedef internal::ObjectHandle<internal::RefCountable> Handle;

 public:
  SharedPointer() {}
  SharedPointer(T* p) : Handle(p) {}  // NOLINT: implicit by design, as raw pointers convert
  SharedPointer(const SharedPointer& other) : Handle(other) {}
  template <class U, class = typename std::enable_if<std::is_convertible<U*, T*>::value>::type>
  SharedPointer(const SharedPointer<U>& other) : Handle(static_cast<T*>(other.get())) {}

  SharedPointer& operator=(const SharedPointer& other) {
    if (&other != this) assign(other.m_object);
    return *this;
  }

  // Drops the held object and leaves this pointer empty, also when the object
  // survives through other holders.
  void release() {
    remove_ref();
    m_object = nullptr;
  }

  // Holds p instead; resetting to the object already held leaves its count unchanged.
  void reset(T* p = nullptr) { assign(p); }

  // The object, or null when empty.
  T* get() const { return static_cast<T*>(m_object); }
  // Whether an object is held: the way to test a pointer (there is no bool test).
  bool is_valid() const { return m_object != nullptr; }
  // Both need an object: an empty pointer stops the process with a clear message
  // instead of a bare segmentation fault.
  T* operator->() const {
    if (!m_object) empty_pointer_used(__func__);
    return get();
  }
  T& operator*() const {
    if (!m_object) empty_pointer_used(__func__);
    return *get();
  }

  bool operator==(const SharedPointer& other) const { return m_object == other.m_object; }
  bool operator!=(const SharedPointer& other) const { return m_object != other.m_object; }

  template <class U>
  friend class SharedPointer;

 private:
  [[noreturn]] static void empty_pointer_used(const char* function) {
    ::orva::keldra::internal::invariant_failed(
        "is_valid()", "keldra/SharedPointer.h", __LINE__, function,
        "an empty orva::SharedPointer was used: it holds no object (a view made "
        "without an object, such as `LocationObject place;`, has none until its first "
        "write or attach); test pointers with is_valid()");
  }
};

}  // namespace orva
