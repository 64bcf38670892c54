#include <keldra/LinkList.h>

#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>

#include "model/RecordUtils.h"

namespace orva {
namespace keldra {

namespace {
// A link record holds its name count, local id and global id.
const unsigned int MIN_LINK_RECORD = 16;
}  // namespace

int LinkList::find_link(const StringPool::StringHandle& name, unsigned int start) const {
  if (!name.is_valid()) return -1;
  for (size_t i = start; i < m_items.size(); ++i) {
    if (m_items[i].get_name_handle() == name) return static_cast<int>(i);
  }
  return -1;
}

int LinkList::find_link(const std::string& name, unsigned int start) const {
  if (name.empty()) return -1;
  for (size_t i = start; i < m_items.size(); ++i) {
    if (m_items[i].get_name() == name) return static_cast<int>(i);
  }
  return -1;
}

int LinkList::find_similar_link(const Link& link, unsigned int start) const {
  unsigned int local_id = link.get_local_link();
  unsigned long long global_id = link.get_global_link();
  for (size_t i = start; i < m_items.size(); ++i) {
    if (local_id != 0 && m_items[i].get_local_link() == local_id) return static_cast<int>(i);
    if (global_id != 0 && m_items[i].get_global_link() == global_id) return static_cast<int>(i);
  }
  return -1;
}

int LinkList::set_link(const Link& link) {
  if (!link.has_value()) {
    remove(link.get_name_handle());
    return -1;
  }
  int index = find_link(link.get_name_handle(), 0);
  if (index < 0) {
    push_back(link);
    return static_cast<int>(m_items.size()) - 1;
  }
  if (!(m_items[index] == link)) m_items[index] = link;
  return index;
}

void LinkList::remove(const StringPool::StringHandle& name) {
  // A copy: |name| may belong to an element that erase overwrites.
  const StringPool::StringHandle key = name;
  for (int index = find_link(key, 0); index >= 0; index = find_link(key, index)) {
    erase(index);
  }
}

void LinkList::remove(const std::string& name) {
  for (int index = find_link(name, 0); index >= 0; index = find_link(name, index)) {
    erase(index);
  }
}

bool LinkList::write(WriteStream& stream) const {
  stream.write_uint32(size());
  for (const Link& link : m_items) link.write(stream);
  return stream.is_ok();
}

bool LinkList::read(ReadStream& stream) {
  m_items.clear();
  m_modified = true;
  unsigned int count = 0;
  if (!internal::read_list_count(stream, MIN_LINK_RECORD, count)) return false;
  for (unsigned int i = 0; i < count; ++i) {
    Link link;
    if (!link.read(stream)) return false;
    push_back(link);
  }
  return stream.is_ok();
}

}  // namespace keldra
}  // namespace orva
