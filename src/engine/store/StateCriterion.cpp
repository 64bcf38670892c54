#include <keldra/StateCriterion.h>

namespace orva {
namespace keldra {

StateCriterion::StateCriterion()
    : m_modified(false),
      m_local_only_content(false),
      m_remote_only_content(false),
      m_linked_modified(false) {}

StateCriterion::~StateCriterion() {}

int StateCriterion::get_type() const { return TYPE_STATE; }

}  // namespace keldra
}  // namespace orva
