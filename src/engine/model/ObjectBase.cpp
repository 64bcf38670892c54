#include <keldra/ObjectBase.h>

#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>

namespace orva {
namespace keldra {

Link ObjectBase::get_link() const {
  Link link(m_local_id);
  link.set_global_link(m_global_id);
  return link;
}

bool ObjectBase::read(ReadStream& stream) {
  reset();
  unsigned int local_id = 0;
  unsigned long long global_id = 0;
  stream.read_uint32(local_id);
  stream.read_uint64(global_id);
  if (!stream.is_ok()) return false;
  m_local_id = local_id;
  m_global_id = global_id;
  return true;
}

bool ObjectBase::write(WriteStream& stream) const {
  stream.write_uint32(m_local_id);
  stream.write_uint64(m_global_id);
  return stream.is_ok();
}

}  // namespace keldra
}  // namespace orva
