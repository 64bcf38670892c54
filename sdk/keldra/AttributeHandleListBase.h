// The part of a typed list that works on the parent view's attribute list alone.
//
// A list shows the parent's children of one class (and, when an item name is set,
// of that name) as an ordered list of items. Items keep their order in the parent's
// list, possibly with other children between them. An item position (0 to count()-1)
// counts items only; the real position of an item is its index in the parent's whole
// list. AttributeHandleList<T> adds the item views and keeps them in step.
//
// The list is a member of its owning view, which sets the item class (and name) once
// and makes itself the parent. The parent is not owned. Writes create the parent's
// attribute or object through its init() when needed; reads create nothing.
//
// Results: 0 success; 2 the parent stays unbound after init(); 3 a position outside
// the list (positions often come straight from the library's callers); 8 set_item at
// a position that names no item. Misuse that only the library can commit (no parent,
// an empty attribute, an attribute that is no item) stops the process.
//
// Thread: used on the thread whose string pool holds the item class and name.
#pragma once

#include <keldra/Attribute.h>
#include <keldra/AttributeHandleManager.h>
#include <keldra/ErrorCode.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

class AttributeHandleListBase : public orva::internal::RefCountable {
 public:
  // No parent, no item class, no item name.
  AttributeHandleListBase();
  // Takes the item class and item name, not the parent.
  AttributeHandleListBase(const AttributeHandleListBase& other);
  ~AttributeHandleListBase() override;
  // Takes the item class and item name; keeps its own parent.
  AttributeHandleListBase& operator=(const AttributeHandleListBase& other);

  void set_parent(AttributeHandleManager* parent) { m_list_parent = parent; }

  // Sets the item class and the item name, once; an empty name lets items have any
  // name. The text form interns both in the thread's pool.
  void set_item_names(const StringPool::StringHandle& item_class,
                      const StringPool::StringHandle& item_name);
  void set_item_names(const std::string& item_class, const std::string& item_name);

  // Whether |attribute| is an item: of the item class and, when set, the item name.
  // An empty pointer is logged and is no item.
  bool is_my_attribute(const orva::SharedPointer<Attribute>& attribute) const;

  // Number of all children of the parent; 0 without parent or list.
  unsigned int size() const;
  // Index in the parent's list of the item at |position|; the size of the parent's
  // list for position == count(); -1 beyond, or without parent or list.
  int find_real_pos(unsigned int position) const;

  // Inserts |attribute| (renamed to the item name when set) as the item at
  // |position|, before the item that was there; at or past count() it goes after
  // every other child. 0, or 2.
  ErrorCode insert_item(const orva::SharedPointer<Attribute>& attribute, unsigned int position);
  ErrorCode add_item(const orva::SharedPointer<Attribute>& attribute);
  // Puts |attribute| in place of the item at |position|. 0, 2, or 8 when |position|
  // names no item.
  ErrorCode set_item(unsigned int position, const orva::SharedPointer<Attribute>& attribute);
  // Removes every item and appends |attributes| as the new items, in order; the first
  // failure is returned. The item views follow (attach()). The parent must be bound.
  ErrorCode set_items(const std::vector<orva::SharedPointer<Attribute> >& attributes);

  // Rebuilds the item views from the parent's children. 0, or the first failure.
  virtual ErrorCode attach();
  // Number of items.
  virtual unsigned int count() const = 0;
  // Moves the item at |from| before the item at |to| (|to| == count(): after every
  // other child). 0; 3 when |from| names no item or |to| is beyond count().
  virtual ErrorCode move_item(unsigned int from, unsigned int to);
  // Removes the item at |position| from the parent; nothing beyond the items.
  virtual void remove_item(unsigned int position);
  // Removes every item from the parent.
  virtual void remove_all();

  // Makes an item view bound to |attribute|. 0, or a failure that stops attach().
  virtual ErrorCode do_add_attribute_handle(orva::SharedPointer<Attribute>& attribute) = 0;

 protected:
  // The parent's list for reading (never created); null without parent or list.
  const AttributeList* parent_list() const;

  AttributeHandleManager* m_list_parent;
  StringPool::StringHandle m_items_class;
  StringPool::StringHandle m_items_name;
};

}  // namespace keldra
}  // namespace orva
