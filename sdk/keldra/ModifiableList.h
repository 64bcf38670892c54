// List templates under the field, link and attribute lists: a vector with its own
// modified flag.
//
// The flag is true in a new list and is set by push_back, insert and erase; element
// access never marks anything. erase moves the later elements down with their own
// copy assignment, so a moved field or link is marked modified unless it equalled
// the one it overwrote. Growth of the vector relocates elements without touching
// their marks. Used on one thread at a time; not locked.
#pragma once

#include <keldra/Invariant.h>

#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

namespace orva {
namespace keldra {

template <class T>
class ModifiableListBase {
 public:
  typedef typename std::vector<T>::iterator iterator;
  typedef typename std::vector<T>::const_iterator const_iterator;

  ModifiableListBase() : m_modified(true) {}

  // Appends a copy of |item|; returns 0.
  int push_back(const T& item) {
    m_items.push_back(item);
    m_modified = true;
    return 0;
  }

  // Appends |item|, moved; returns 0.
  int push_back(T&& item) {
    m_items.push_back(std::move(item));
    m_modified = true;
    return 0;
  }

  // Makes room for |count| elements in all; marks nothing.
  void reserve(unsigned int count) { m_items.reserve(count); }

  // Inserts a copy of |item| before |index| (|index| equal to the size appends);
  // returns 0. |index| must not exceed the size: a larger one stops the process.
  int insert(unsigned int index, const T& item) {
    KELDRA_INVARIANT(index <= m_items.size(), "index <= m_items.size()", "ModifiableList.h",
                     __LINE__);
    m_items.insert(m_items.begin() + index, item);
    m_modified = true;
    return 0;
  }

  // Removes the element at |index|, which must be below the size: another index
  // stops the process rather than take the wrong element.
  void erase(unsigned int index) {
    KELDRA_INVARIANT(index < m_items.size(), "index < m_items.size()", "ModifiableList.h",
                     __LINE__);
    for (std::size_t i = index; i + 1 < m_items.size(); ++i) {
      m_items[i] = m_items[i + 1];
    }
    m_items.pop_back();
    m_modified = true;
  }

  // Throws std::out_of_range ("vector::_M_range_check") past the end.
  T& at(unsigned int index) {
    check_index(index);
    return m_items[index];
  }
  const T& at(unsigned int index) const {
    check_index(index);
    return m_items[index];
  }

  T& operator[](unsigned int index) { return m_items[index]; }
  const T& operator[](unsigned int index) const { return m_items[index]; }

  unsigned int size() const { return static_cast<unsigned int>(m_items.size()); }
  bool empty() const { return m_items.empty(); }

  iterator begin() { return m_items.begin(); }
  iterator end() { return m_items.end(); }
  const_iterator begin() const { return m_items.begin(); }
  const_iterator end() const { return m_items.end(); }

  bool is_modified() const { return m_modified; }
  void set_modified(bool modified) { m_modified = modified; }

 protected:
  bool m_modified;
  std::vector<T> m_items;

 private:
  // The text callers have always seen, whatever the C++ library's own wording.
  void check_index(unsigned int index) const {
    if (index >= m_items.size()) throw std::out_of_range("vector::_M_range_check");
  }
};

// Base of the value lists (FieldList, LinkList).
template <class T>
class ModifiableList : public ModifiableListBase<T> {};

// Base of the attribute list: elements are shared pointers, possibly empty. The list
// reports modified when its own flag is set or any element reports modified.
template <class T>
class ModifiablePtrList : public ModifiableListBase<T> {
 public:
  bool is_modified() const {
    if (this->m_modified) return true;
    for (const T& item : this->m_items) {
      if (item.is_valid() && item->is_modified()) return true;
    }
    return false;
  }
};

}  // namespace keldra
}  // namespace orva
