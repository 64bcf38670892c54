#include "adaptation_umbo/database/dbitems/DbLink.h"

#include "adaptation_umbo/database/Bindable.h"
#include "adaptation_umbo/database/Gettable.h"

#include <keldra/LoggerUmbo.h>

namespace orva {
namespace keldra {
namespace internal {

DbLink::DbLink() {}

DbLink::DbLink(const Link& link) : m_link(link) {}

DbLink::DbLink(const Link& link, unsigned int parent_object, unsigned int parent_attribute)
    : DbChildItem(parent_object, parent_attribute), m_link(link) {}

void DbLink::bind(Bindable& query) {
  DbChildItem::bind(query);
  const unsigned int local = m_link.get_local_link();
  const long long global = static_cast<long long>(m_link.get_global_link());
  query.bind(NAME, m_link.get_name());
  // A missing target stays NULL: a stored 0 would escape "target_gid IS NULL" and the
  // other NULL tests of the link statements, leaving dangling rows behind.
  if (local != 0) query.bind(TARGET_ID, static_cast<int>(local));
  if (global != 0) query.bind(TARGET_GID, global);
  query.bind(LOCAL_ID, static_cast<int>(local));
  query.bind(GLOBAL_ID, global);
}

void DbLink::get_result(Gettable& query) {
  DbChildItem::get_result(query);
  std::string name;
  query.get_result(NAME, name);
  m_link.set_name(name);
  int local;
  if (query.get_result(TARGET_ID, local)) m_link.set_local_link(static_cast<unsigned int>(local));
  long long global;
  if (query.get_result(TARGET_GID, global)) {
    m_link.set_global_link(static_cast<unsigned long long>(global));
  }
}

void DbLink::log() {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "L: %4lu %7llu %s",
                   static_cast<unsigned long>(m_link.get_local_link()),
                   static_cast<unsigned long long>(m_link.get_global_link()),
                   m_link.get_name().c_str());
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
