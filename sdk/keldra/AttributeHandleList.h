// Typed list view: the items of AttributeHandleListBase seen through item views of
// the attribute-view class T, whose class is the list's item class.
//
// The list keeps one view per item, in item order, and keeps them in step with the
// parent's children: after attach() and after every operation here, the view at index
// i is bound to the item at item position i. Changes made to the parent's children by
// other means are seen after the next attach(). Item views handed out are shared with
// the caller; copies handed in are deep copies in new attributes. A view that leaves
// the list (removed, replaced, dropped by attach() or with the list) no longer knows
// the owning view as its parent: a caller may keep it longer than that view lives.
//
// Results: as AttributeHandleListBase. Operations that return a view report failure
// (a position outside the list, an unbound item, a parent that cannot be created)
// with an empty pointer; move_item returns 3 for a position outside the list.
//
// Thread: used on the thread whose string pool holds the item class and name.
#pragma once

#include <keldra/AttributeHandleListBase.h>

#include <vector>

namespace orva {
namespace keldra {

template <class T>
class AttributeHandleList : protected AttributeHandleListBase {
 public:
  using AttributeHandleListBase::set_item_names;
  using AttributeHandleListBase::set_parent;

  AttributeHandleList() {}
  // Takes the item class and name but no parent: a list without a parent holds no
  // items, so the copy is empty.
  AttributeHandleList(const AttributeHandleList& other) : AttributeHandleListBase(other) {
    copy_items(other);
  }
  // Item views still held by callers no longer point at the owning view.
  ~AttributeHandleList() override { drop_views(); }

  // Takes the other's item class and name, removes this list's items from its parent
  // and appends a deep copy of each of the other's items.
  AttributeHandleList& operator=(const AttributeHandleList& other) {
    if (this == &other) return *this;
    AttributeHandleListBase::operator=(other);
    copy_items(other);
    return *this;
  }

  unsigned int count() const override { return static_cast<unsigned int>(m_items.size()); }

  // Drops the views and makes one per item of the parent.
  ErrorCode attach() override {
    drop_views();
    return AttributeHandleListBase::attach();
  }

  // Appends a new view bound to |attribute|. 0.
  ErrorCode do_add_attribute_handle(orva::SharedPointer<Attribute>& attribute) override {
    KELDRA_INVARIANT(attribute.is_valid(), "ap.is_valid()", "AttributeHandleList.h", 453);
    orva::SharedPointer<T> view(new T());
    view->attach(attribute);
    m_items.push_back(view);
    return ORVA_ERROR_NONE;
  }

  // The item view at |position|; empty beyond the items.
  orva::SharedPointer<T> get_item(unsigned int position) const {
    return position < m_items.size() ? m_items[position] : orva::SharedPointer<T>();
  }

  // Inserts the caller's bound view itself as the item at |position| (at or past
  // count(): after every other child). 0, or 2.
  ErrorCode insert_item(const orva::SharedPointer<T>& item, unsigned int position) {
    KELDRA_INVARIANT(item.is_valid() && item->is_safe(), "pitem.is_valid() && pitem->is_safe()",
                     "AttributeHandleList.h", 372);
    AttributeHandleManager* const old_parent = item->get_parent();
    item->set_parent(m_list_parent);
    ErrorCode result;
    if (position < count()) {
      result = AttributeHandleListBase::insert_item(item->attribute(), position);
      if (result == ORVA_ERROR_NONE) m_items.insert(m_items.begin() + position, item);
    } else {
      result = AttributeHandleListBase::add_item(item->attribute());
      if (result == ORVA_ERROR_NONE) m_items.push_back(item);
    }
    // A view the list did not take keeps the parent it had.
    if (result != ORVA_ERROR_NONE) item->set_parent(old_parent);
    return result;
  }

  // A new empty item at |position|, carrying the item name when the list has one.
  orva::SharedPointer<T> insert_item(unsigned int position) {
    orva::SharedPointer<T> item(new T());
    if (!item->init()) return orva::SharedPointer<T>();
    if (insert_item(item, position) != ORVA_ERROR_NONE) return orva::SharedPointer<T>();
    return item;
  }

  // A deep copy of |item| (with its name) at |position|; empty for an unbound item.
  orva::SharedPointer<T> insert_item(const T& item, unsigned int position) {
    if (!item.is_safe()) return orva::SharedPointer<T>();
    orva::SharedPointer<T> copy(new T(item));
    if (!copy->is_safe()) return orva::SharedPointer<T>();
    copy->attribute()->set_name(item.attribute()->get_name_handle());
    if (insert_item(copy, position) != ORVA_ERROR_NONE) return orva::SharedPointer<T>();
    return copy;
  }

  orva::SharedPointer<T> add_item() { return insert_item(count()); }
  orva::SharedPointer<T> add_item(const T& item) { return insert_item(item, count()); }

  // Replaces the item at |position| by a deep copy of |item| and returns the copy;
  // empty, changing nothing, for a position outside the items or an unbound item.
  orva::SharedPointer<T> set_item(unsigned int position, const T& item) {
    if (position >= m_items.size() || !item.is_safe()) return orva::SharedPointer<T>();
    orva::SharedPointer<T> copy(new T(item));
    if (!copy->is_safe()) return orva::SharedPointer<T>();
    copy->set_parent(m_list_parent);
    if (AttributeHandleListBase::set_item(position, copy->attribute()) != ORVA_ERROR_NONE) {
      return orva::SharedPointer<T>();
    }
    release_view(m_items[position]);
    m_items[position] = copy;
    return copy;
  }

  // Position of the first item view for which compare(view) holds, stored in |out|;
  // count() and |out| untouched when none does.
  template <class Compare>
  unsigned int find_item(Compare compare, orva::SharedPointer<T>& out) const {
    for (unsigned int i = 0; i < m_items.size(); ++i) {
      if (compare(m_items[i])) {
        out = m_items[i];
        return i;
      }
    }
    return count();
  }

  // Moves the item at |from| before the item at |to| (|to| == count(): to the end of
  // the parent's children). 0; 3, changing nothing, for |from| not below count() or
  // |to| above it.
  ErrorCode move_item(unsigned int from, unsigned int to) override {
    if (from >= m_items.size() || to > m_items.size()) return ORVA_ERROR_INVALID_PARAMETERS;
    ErrorCode result = AttributeHandleListBase::move_item(from, to);
    if (result != ORVA_ERROR_NONE) return result;
    orva::SharedPointer<T> item = m_items[from];
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + (from < to ? to - 1 : to), item);
    return ORVA_ERROR_NONE;
  }

  // Removes the item at |position|; nothing beyond the items.
  void remove_item(unsigned int position) override {
    if (position >= m_items.size()) return;
    AttributeHandleListBase::remove_item(position);
    release_view(m_items[position]);
    m_items.erase(m_items.begin() + position);
  }

  // Removes the items |first| to |last|, both included, from the last down; nothing
  // when first > last. Positions beyond the items are skipped.
  virtual void remove_items(unsigned int first, unsigned int last) {
    if (first > last || m_items.empty()) return;
    if (last >= m_items.size()) last = static_cast<unsigned int>(m_items.size()) - 1;
    for (unsigned int i = last + 1; i-- > first;) remove_item(i);
  }

  void remove_all() override {
    drop_views();
    AttributeHandleListBase::remove_all();
  }

 private:
  // A view that leaves the list may be kept by a caller beyond the owning view's
  // life: it must not point at that view any more, and stands alone from now on.
  void release_view(const orva::SharedPointer<T>& item) {
    if (item->get_parent() == m_list_parent) item->set_parent(nullptr);
  }
  void drop_views() {
    for (const orva::SharedPointer<T>& item : m_items) release_view(item);
    m_items.clear();
  }

  void copy_items(const AttributeHandleList& other) {
    remove_all();
    // Without a parent there is nowhere to keep items.
    if (!m_list_parent) return;
    // Copy from a snapshot: |other| may share this list's parent.
    std::vector<orva::SharedPointer<T> > items = other.m_items;
    for (const orva::SharedPointer<T>& item : items) insert_item(*item, count());
  }

  std::vector<orva::SharedPointer<T> > m_items;
};

}  // namespace keldra
}  // namespace orva
