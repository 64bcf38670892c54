// Object: the unit the system stores, synchronises and shows (a place, a route, a
// collection, a multimedia or a system object): its identity, a header (name, class
// name, owner, service, version, timestamp, flags word), a tree of attributes and a
// lazily created list of links.
//
// Flags word (32 bits): bit 0 local changes, 1 linked objects have local changes,
// 2 local-only content, 3 remote-only content, 4 stored state 3 (bits 0 to 4 are
// filled by the local store), 16 to 19 the sharing model, 20 no-sync, 21 partial,
// 22 modified in memory. get_flags() returns the low 16 bits only.
//
// Modified: a new object is marked; setters that change a value (name, class name,
// owner, service, version, sharing model, no-sync), clear, reset and assignment mark
// it; set_timestamp and set_partial never do. is_modified() covers the attribute tree
// and the links; set_modified(false) clears them all.
//
// Record: the ObjectBase record, name, class name, owner, service (strings), version
// u32, timestamp i64, flags u32, the AttributeList record, the LinkList record (an
// object without links writes an empty list). read and write return the stream's
// state. Shared through ObjectPtr; used on the thread whose pool holds its names.
#pragma once

#include <keldra/AttributeList.h>
#include <keldra/LinkList.h>
#include <keldra/ObjectBase.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
namespace keldra {

// Sharing model, kept in flags bits 16 to 19. Callers may set only 0, 1, 2 and 5;
// 3 comes only from received subscription switches. The underlying type is fixed:
// stored and received flags may hold any of the 16 values, named or not.
enum SharingModel : int {
  SHARING_PRIVATE = 0,
  SHARING_PUBLIC_READ_ONLY = 1,
  SHARING_PUBLIC_READ_WRITE = 2,
  SHARING_DELETED_BY_OWNER = 3,
  SHARING_PRIVATE_PERMANENT = 4,
  SHARING_RESTRICTED = 5
};

class Object : public ObjectBase {
 public:
  static const unsigned int FLAG_LOCAL_CHANGES = 0x1;
  static const unsigned int FLAG_LINKED_LOCAL_CHANGES = 0x2;
  static const unsigned int FLAG_LOCAL_ONLY_CONTENT = 0x4;
  static const unsigned int FLAG_REMOTE_ONLY_CONTENT = 0x8;
  static const unsigned int FLAG_STATE_3 = 0x10;
  static const unsigned int FLAG_SHARING_MASK = 0xF0000;
  static const unsigned int FLAG_SHARING_SHIFT = 16;
  static const unsigned int FLAG_NO_SYNC = 0x100000;
  static const unsigned int FLAG_PARTIAL = 0x200000;
  static const unsigned int FLAG_MODIFIED = 0x400000;

  // No ids, no names, no attributes, no link list; only the modified bit set.
  Object();
  // The whole text is interned as class name (no 64-byte cut).
  explicit Object(const std::string& class_name);
  Object(const Object& other);
  ~Object() override;

  // reset(), then copies ids, header, flags word, a deep copy of the attributes and
  // the links (when |other| has a list); ends marked modified. Self-assignment does
  // nothing.
  Object& operator=(const Object& other);

  std::string get_name() const;
  std::string get_class_name() const;
  std::string get_owner() const;
  std::string get_service() const;
  const StringPool::StringHandle& get_name_handle() const { return m_name; }
  const StringPool::StringHandle& get_class_name_handle() const { return m_class_name; }
  const StringPool::StringHandle& get_owner_handle() const { return m_owner; }
  const StringPool::StringHandle& get_service_handle() const { return m_service; }

  // Mark the object modified only when the handle changes.
  void set_name(const StringPool::StringHandle& name);
  void set_class_name(const StringPool::StringHandle& class_name);
  void set_owner(const StringPool::StringHandle& owner);
  void set_service(const StringPool::StringHandle& service);
  // Texts cut to their first 64 bytes (at a character boundary); "" clears.
  void set_name(const std::string& name);
  void set_class_name(const std::string& class_name);
  void set_service(const std::string& service);
  // The text before the first "%%" (all of it when it holds none; no length limit).
  void set_owner(const std::string& owner);

  unsigned int get_version() const { return m_version; }
  void set_version(unsigned int version);
  long long get_timestamp() const { return m_timestamp; }
  void set_timestamp(long long ms) { m_timestamp = ms; }

  AttributeList& get_attributes() { return m_attributes; }
  const AttributeList& get_attributes() const { return m_attributes; }
  // The link list, created empty (and marked modified) on first use.
  LinkList& get_links();
  // The link list, or a shared empty list; never creates one.
  const LinkList& get_links() const;

  // The low 16 bits of the flags word.
  unsigned int get_flags() const { return m_flags & 0xFFFF; }
  // Sets or clears the bits of |mask| in the whole word; marks nothing by itself.
  void set_flags(unsigned int mask, bool on);

  bool has_local_changes() const { return (m_flags & FLAG_LOCAL_CHANGES) != 0; }
  bool has_linked_local_changes() const { return (m_flags & FLAG_LINKED_LOCAL_CHANGES) != 0; }
  bool has_local_only_content() const { return (m_flags & FLAG_LOCAL_ONLY_CONTENT) != 0; }
  bool has_remote_only_content() const { return (m_flags & FLAG_REMOTE_ONLY_CONTENT) != 0; }

  bool is_no_sync() const { return (m_flags & FLAG_NO_SYNC) != 0; }
  // Marks the object modified when the value changes.
  void set_no_sync(bool no_sync);
  bool is_partial() const { return (m_flags & FLAG_PARTIAL) != 0; }
  void set_partial(bool partial) { set_flags(FLAG_PARTIAL, partial); }

  SharingModel get_sharing() const {
    return static_cast<SharingModel>((m_flags & FLAG_SHARING_MASK) >> FLAG_SHARING_SHIFT);
  }
  // Stores the low 4 bits of |sharing|; marks the object modified when it changes.
  void set_sharing(SharingModel sharing);

  // false also clears the marks of every attribute, link and list below.
  void set_modified(bool modified);
  bool is_modified() const;

  // True when any link has a target or any attribute has a value.
  bool has_value() const;
  // The name begins with "sys.".
  bool is_system() const;

  // Drops every attribute and the link list; ids and header stay; marks modified.
  void clear();
  // Ids, header, version and timestamp cleared; of the flags word only bit 0 stays;
  // then clear().
  void reset();

  bool read(ReadStream& stream) override;
  bool write(WriteStream& stream) const override;

 private:
  StringPool::StringHandle m_name;
  StringPool::StringHandle m_class_name;
  AttributeList m_attributes;
  LinkList* m_links;
  StringPool::StringHandle m_owner;
  StringPool::StringHandle m_service;
  unsigned int m_version;
  long long m_timestamp;
  unsigned int m_flags;
};

typedef orva::SharedPointer<Object> ObjectPtr;

}  // namespace keldra
}  // namespace orva
