// PositionArray: the list of all children of class "position" of its owning view,
// whatever their names, in the order of the parent's children; items can be looked
// up and written by a context name ("position", or "position." + context).
//
// Results: as the typed list; set_item_by_context returns 2 when no item can be found
// or made and 3 when the position given is the very item it would write.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandleList.h>
#include <keldra/ErrorCode.h>
#include <keldra/Position.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
namespace keldra {

// Name table of PositionArray.
class PositionArrayStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle position;  // the item class
};

// True for a non-empty item whose attribute name equals |name| byte for byte.
class PositionItemNameCompare {
 public:
  explicit PositionItemNameCompare(const std::string& name) : m_name(name) {}
  bool operator()(const orva::SharedPointer<Position>& item) const;

 private:
  const std::string& m_name;
};

class PositionArray : public AttributeHandleList<Position> {
 public:
  // No parent, no item class: the owning view calls set_items_name() and set_parent().
  PositionArray();
  PositionArray(const PositionArray& other);
  PositionArray& operator=(const PositionArray& other);

  // Item class "position", any item name.
  void set_items_name();

  // "position" for an empty context, else "position." + context.
  std::string item_name_by_context(const std::string& context) const;
  // The first item named item_name_by_context(context), compared as item names are
  // stored (cut to their first 64 bytes); empty when none.
  orva::SharedPointer<Position> get_item_by_context(const std::string& context) const;
  // Writes a deep copy of |position| into the item of that context, appending a new
  // item when there is none, and names it. 0, 2, or 3.
  ErrorCode set_item_by_context(const Position& position, const std::string& context);

 private:
  PositionArrayStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
