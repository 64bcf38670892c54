// A link row: the link's name and its local and global target ids. A target id of 0
// (none) is stored as NULL, so "no target" reads the same in every statement of the
// link table (the removal of local-only links looks for a NULL global target).
#pragma once

#include "adaptation_umbo/database/dbitems/DbChildItem.h"

#include <keldra/Link.h>

namespace orva {
namespace keldra {
namespace internal {

class DbLink : public DbChildItem {
 public:
  DbLink();
  explicit DbLink(const Link& link);
  DbLink(const Link& link, unsigned int parent_object, unsigned int parent_attribute);

  // DbChildItem's columns, then NAME, TARGET_ID and TARGET_GID (NULL for 0), then
  // LOCAL_ID and GLOBAL_ID <- the targets.
  void bind(Bindable& query) override;
  // Sets the name in any case; each target only when its column is not NULL.
  void get_result(Gettable& query) override;

  Link link() const { return m_link; }
  void log();

 private:
  Link m_link;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
