#include <keldra/FrameArray.h>

#include <tervo/ustring.h>

#include <algorithm>
#include <vector>

namespace orva {
namespace keldra {

StringPool::StringSet* FrameArrayStrings::create_strings(StringPool& pool) {
  FrameArrayStrings* strings = new FrameArrayStrings();
  pool.init_handle(strings->frame, "frame");
  return strings;
}

bool FrameTagCompare::operator()(const orva::SharedPointer<Frame>& frame) const {
  if (!frame.is_valid()) return false;
  std::vector<orva::ustring> tags;
  frame->tags().get_tags(tags);
  if (m_tag.empty()) return tags.empty();
  return std::find(tags.begin(), tags.end(), m_tag) != tags.end();
}

FrameArray::FrameArray() : m_strings(view_strings<FrameArrayStrings>()) {}

FrameArray::FrameArray(const FrameArray& other)
    : AttributeHandleList<Frame>(other), m_strings(other.m_strings) {}

FrameArray& FrameArray::operator=(const FrameArray& other) {
  m_strings = other.m_strings;
  AttributeHandleList<Frame>::operator=(other);
  return *this;
}

void FrameArray::set_items_name(const StringPool::StringHandle& name) {
  set_item_names(m_strings->frame, name);
}

orva::SharedPointer<Frame> FrameArray::get_frame_by_tag(const orva::ustring& tag) const {
  orva::SharedPointer<Frame> frame;
  find_item(FrameTagCompare(tag), frame);
  return frame;
}

}  // namespace keldra
}  // namespace orva
