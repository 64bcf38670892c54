// Link: a named reference to another stored object by its local and/or global id.
//
// The modified mark is set by every constructor (the copy constructor included), by
// reset and read, and by a setter or assignment that changes an id or the name; an
// assignment does not copy the other link's mark. Moving a link (vector growth) keeps
// its mark. Equality (operator==) compares ids and name handle, never the mark.
//
// Record: name (u32 byte count and bytes), local link u32, global link u64. Names are
// handles of the calling thread's string pool.
#pragma once

#include <keldra/RefCountable.h>
#include <keldra/Serializable.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
namespace keldra {

class ObjectBase;

class Link : public orva::internal::RefCountable, public Serializable {
 public:
  // What the ids name.
  enum LinkType : int {
    LINK_NONE = 0,    // no target
    LINK_LOCAL = 1,   // local id only
    LINK_GLOBAL = 2   // a global id (whatever the local id)
  };

  Link();
  explicit Link(unsigned int local_id);
  explicit Link(const ObjectBase& object);
  Link(const Link& other);
  Link(Link&& other) noexcept;
  ~Link() override {}

  // Takes the ids and name; marks modified only when one of them changed.
  Link& operator=(const Link& other);
  // Relocation: takes ids, name and mark as they are.
  Link& operator=(Link&& other) noexcept;

  unsigned int get_local_link() const { return m_local_link; }
  unsigned long long get_global_link() const { return m_global_link; }
  // Mark the link modified only when the id changes.
  void set_local_link(unsigned int id);
  void set_global_link(unsigned long long id);

  LinkType get_link_type() const;
  bool has_value() const { return get_link_type() != LINK_NONE; }

  const StringPool::StringHandle& get_name_handle() const { return m_name; }
  std::string get_name() const;
  // Mark the link modified only when the handle changes. The text is cut to its first
  // 64 bytes (at a character boundary) before it is interned.
  void set_name(const StringPool::StringHandle& name);
  void set_name(const std::string& name);

  bool is_modified() const { return m_modified; }
  void set_modified(bool modified) { m_modified = modified; }

  // Ids 0, unnamed, marked modified.
  void reset();

  operator ObjectBase() const;  // NOLINT: a link converts to the identity it names

  bool read(ReadStream& stream) override;
  bool write(WriteStream& stream) const override;

 private:
  unsigned int m_local_link;
  unsigned long long m_global_link;
  StringPool::StringHandle m_name;
  bool m_modified;
};

// Same ids and name handle; the modified marks do not take part.
bool operator==(const Link& a, const Link& b);
bool operator!=(const Link& a, const Link& b);

}  // namespace keldra
}  // namespace orva

#include <keldra/ObjectBase.h>
