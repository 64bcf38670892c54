#include <keldra/Frame.h>

#include <keldra/Attribute.h>
#include <keldra/LinkList.h>

namespace orva {
namespace keldra {

StringPool::StringSet* FrameStrings::create_strings(StringPool& pool) {
  FrameStrings* strings = new FrameStrings();
  pool.init_handle(strings->tags, "tags");
  pool.init_handle(strings->data, "data");
  pool.init_handle(strings->local_uri, "local_uri");
  pool.init_handle(strings->frame, "frame");
  pool.init_handle(strings->frameno, "frameno");
  pool.init_handle(strings->mask_frameno, "mask_frameno");
  pool.init_handle(strings->file, "file");
  return strings;
}

Frame::Frame() : m_strings(view_strings<FrameStrings>()) { init_children(); }

Frame::Frame(const Frame& other) : AttributeHandle(other), m_strings(other.m_strings) {
  init_children();
  copy(other);
  attach_child_handles();
}

Frame& Frame::operator=(const Frame& other) {
  m_strings = other.m_strings;
  AttributeHandle::operator=(other);
  return *this;
}

void Frame::init_children() {
  m_tags.set_parent(this);
  m_data_stream.set_parent(this);
  m_local_uri.set_parent(this);
}

ErrorCode Frame::set_frameno(int frameno) { return set_field(m_strings->frameno, frameno); }

ErrorCode Frame::set_mask_frameno(int frameno) {
  return set_field(m_strings->mask_frameno, frameno);
}

int Frame::get_frameno() const {
  int frameno = 0;
  get_field(m_strings->frameno, frameno);
  return frameno;
}

int Frame::get_mask_frameno() const {
  int frameno = -1;
  get_field(m_strings->mask_frameno, frameno);
  return frameno;
}

ErrorCode Frame::set_file_link(const Link& link) {
  Link file(link);
  file.set_name(m_strings->file);
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  attribute()->get_links().set_link(file);
  return ORVA_ERROR_NONE;
}

bool Frame::get_file_link(Link& link) const {
  link.reset();
  if (!is_safe()) return false;
  const Attribute& frame = *attribute();
  const LinkList& links = frame.get_links();
  int index = links.find_link(m_strings->file);
  if (index < 0) return false;
  link = links[static_cast<unsigned int>(index)];
  return true;
}

const StringPool::StringHandle& Frame::get_class_name_handle() const { return m_strings->frame; }

void Frame::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_tags) {
    add_handle(child, m_strings->tags);
  } else if (&child == &m_data_stream) {
    add_handle(child, m_strings->data);
  } else if (&child == &m_local_uri) {
    add_handle(child, m_strings->local_uri);
  } else {
    AttributeHandle::do_init_child_handle(child);
  }
}

void Frame::attach_child_handles() {
  attach_handle(m_tags, m_strings->tags);
  attach_handle(m_data_stream, m_strings->data);
  attach_handle(m_local_uri, m_strings->local_uri);
}

}  // namespace keldra
}  // namespace orva
