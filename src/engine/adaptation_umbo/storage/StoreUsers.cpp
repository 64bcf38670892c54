// The store facade's users: a user manager over the store's data adapter, new on every
// call. Defined here, beside the manager, since the store layer cannot reach the sync
// engine.
#include <keldra/Store.h>

#include "adaptation_umbo/syncml/UserManagerImpl.h"
#include "store/Guarded.h"

namespace orva {
namespace keldra {

orva::SharedPointer<UserManager> Store::get_user_manager() {
  return internal::guarded_value(orva::SharedPointer<UserManager>(), [&] {
    return internal::UserManagerImpl::open_public_manager(m_adapter);
  });
}

}  // namespace keldra
}  // namespace orva
