// FrameArray: the frames of one role of an owner view (the icons of a metadata
// section), looked up by tag; FrameTagCompare is the tag predicate.
//
// Items are the owner's child attributes of class "frame" whose name is the list's
// item name, in the order of the owner's children, each seen through a Frame view.
// The owner sets the item name once with set_items_name and makes itself the parent.
// The list operations are those of AttributeHandleList<Frame>.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandleList.h>
#include <keldra/Frame.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace orva {
class ustring;

namespace keldra {

// Names of FrameArray, interned once per string pool.
class FrameArrayStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle frame;  // the item class
};

// True for a frame carrying the tag; an empty tag picks a frame without any tag.
// Holds a reference to the tag, which must outlive the predicate.
class FrameTagCompare {
 public:
  explicit FrameTagCompare(const orva::ustring& tag) : m_tag(tag) {}
  // False for an empty pointer.
  bool operator()(const orva::SharedPointer<Frame>& frame) const;

 private:
  const orva::ustring& m_tag;
};

class FrameArray : public AttributeHandleList<Frame> {
 public:
  // Empty, without parent, item class or item name.
  FrameArray();
  // Takes the item class and name but no parent, so the copy holds no items.
  FrameArray(const FrameArray& other);
  // Replaces this list's items by deep copies of the other's.
  FrameArray& operator=(const FrameArray& other);

  // Sets the item class "frame" and the item name, once.
  void set_items_name(const StringPool::StringHandle& name);

  // The first frame, in list order, matching FrameTagCompare(tag); empty when none.
  orva::SharedPointer<Frame> get_frame_by_tag(const orva::ustring& tag) const;

 private:
  const FrameArrayStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
