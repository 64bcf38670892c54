// Base of every reference-counted class of the library.
//
// Objects are created with new and owned by orva::SharedPointer holders; the holder
// that takes the count to 0 calls release(), which deletes the object. Counts are
// plain integers: a counted object and all its holders stay on one thread. The one
// exception is an object marked with set_shared_between_threads() (the logger), whose
// count changes are serialised by a process-wide lock.
#pragma once

#include <cstdint>
#include <mutex>

namespace orva {
namespace internal {

class RefCountable {
 public:
  RefCountable() : m_ref_count(0), m_shared(false) {}
  RefCountable(const RefCountable&) : m_ref_count(0), m_shared(false) {}
  RefCountable& operator=(const RefCountable&) { return *this; }
  virtual ~RefCountable() {}

  // Destroys the object through its virtual destructor. No class overrides it.
  virtual void release() { delete this; }

  uint32_t get_ref_count() const { return m_ref_count; }

  // Count operations used by the holders.
  void add_ref() {
    if (m_shared) {
      std::lock_guard<std::recursive_mutex> guard(shared_count_lock());
      ++m_ref_count;
    } else {
      ++m_ref_count;
    }
  }
  // Drops one count; at 0 the object is released. Returns true when it was released
  // (the object must not be touched afterwards).
  bool drop_ref() {
    if (m_shared) {
      std::lock_guard<std::recursive_mutex> guard(shared_count_lock());
      if (--m_ref_count == 0) {
        release();
        return true;
      }
      return false;
    }
    if (--m_ref_count == 0) {
      release();
      return true;
    }
    return false;
  }

  // The lock that serialises the counts of objects shared between threads; also held
  // by their owners while they look up or create such an object, so that a lookup
  // never meets an object whose last holder is releasing it.
  static std::recursive_mutex& shared_count_lock();

 protected:
  void set_shared_between_threads() { m_shared = true; }

 private:
  uint32_t m_ref_count;
  bool m_shared;
};

}  // namespace internal
}  // namespace orva
