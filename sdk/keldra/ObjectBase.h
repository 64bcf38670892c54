// ObjectBase: the identity of a stored object, the pair of its 32-bit local id (the
// local store's key) and its 64-bit global id (the server's); 0 means none. Every
// object derives from it, and it is used on its own as a plain value.
//
// Record: local id u32, then global id u64, little-endian (12 bytes). read and write
// return the stream's state.
#pragma once

#include <keldra/RefCountable.h>
#include <keldra/Serializable.h>

namespace orva {
namespace keldra {

class Link;

class ObjectBase : public orva::internal::RefCountable, public Serializable {
 public:
  ObjectBase() : m_global_id(0), m_local_id(0) {}
  ObjectBase(unsigned int local_id, unsigned long long global_id)
      : m_global_id(global_id), m_local_id(local_id) {}
  // The copy's reference count starts at 0.
  ObjectBase(const ObjectBase& other)
      : RefCountable(), Serializable(), m_global_id(other.m_global_id),
        m_local_id(other.m_local_id) {}
  ObjectBase& operator=(const ObjectBase& other) {
    m_global_id = other.m_global_id;
    m_local_id = other.m_local_id;
    return *this;
  }

  unsigned long long get_global_id() const { return m_global_id; }
  void set_global_id(unsigned long long id) { m_global_id = id; }
  unsigned int get_local_id() const { return m_local_id; }
  void set_local_id(unsigned int id) { m_local_id = id; }

  // Both ids 0.
  void reset() {
    m_global_id = 0;
    m_local_id = 0;
  }

  // A new unnamed link to this identity, marked modified.
  Link get_link() const;

  bool read(ReadStream& stream) override;
  bool write(WriteStream& stream) const override;

 private:
  unsigned long long m_global_id;
  unsigned int m_local_id;
};

}  // namespace keldra
}  // namespace orva

#include <keldra/Link.h>
