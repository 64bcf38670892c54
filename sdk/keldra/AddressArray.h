// AddressArray: the list of all children of class "address" of its owning view,
// whatever their names, in the order of the parent's children. The main address is
// the item named "address"; a further address for a context (a word such as the kind
// of address) is named "address." followed by the context.
//
// Results: as the typed list; set_item_by_context returns 2 when no item can be made
// and 3 when the address given is the very item it would write.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/Address.h>
#include <keldra/AttributeHandleList.h>
#include <keldra/ErrorCode.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
namespace keldra {

// Name table of AddressArray.
class AddressArrayStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle address;  // the item class
};

// True for a non-empty item whose attribute name equals |name| byte for byte. Holds
// a reference: |name| must outlive the comparator.
class AddressItemNameCompare {
 public:
  explicit AddressItemNameCompare(const std::string& name) : m_name(name) {}
  bool operator()(const orva::SharedPointer<Address>& item) const;

 private:
  const std::string& m_name;
};

class AddressArray : public AttributeHandleList<Address> {
 public:
  // No parent, no item class: the owning view calls set_items_name() and set_parent().
  AddressArray();
  AddressArray(const AddressArray& other);
  AddressArray& operator=(const AddressArray& other);

  // Item class "address", any item name.
  void set_items_name();

  // "address" for an empty context, else "address." + context.
  std::string item_name_by_context(const std::string& context) const;
  // The first item named item_name_by_context(context), compared as item names are
  // stored (cut to their first 64 bytes); empty when none.
  orva::SharedPointer<Address> get_item_by_context(const std::string& context) const;
  // Writes a deep copy of |address| into the item of that context, appending a new
  // item at the end of the parent's children when there is none, and names it.
  // 0, 2, or 3.
  ErrorCode set_item_by_context(const Address& address, const std::string& context);

 private:
  AddressArrayStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
