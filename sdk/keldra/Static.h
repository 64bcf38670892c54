// Per-thread holder of what a thread needs to use the store: its string pool and its
// database manager.
//
// Each thread has at most one holder, remembered in a thread-local word that holds no
// count; it lives while counted holders (stores, the storage plug-in's backend, the
// database manager facade during a lookup) keep it. Releasing the last holder deletes
// the database manager while the pool still exists, clears the thread's word and then
// drops the pool, so the next instance() builds everything anew.
//
// Thread: a holder is used only on the thread that created it; no lock is taken.
#pragma once

#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

namespace internal {
class DatabaseManagerImpl;
}

class Static : public orva::internal::RefCountable {
 public:
  // The thread's holder with one more count; when the thread has none, a new one is
  // made (with the thread's pool and a new database manager) and remembered. Throws
  // std::bad_alloc.
  static orva::SharedPointer<Static> instance();

  // The thread's database manager, owned by this holder; no count is taken.
  internal::DatabaseManagerImpl* DbManager() const { return m_db_manager; }

  ~Static() override;

 private:
  Static();
  Static(const Static&) = delete;
  Static& operator=(const Static&) = delete;

  internal::DatabaseManagerImpl* m_db_manager;
  orva::SharedPointer<StringPool> m_pool;
};

}  // namespace keldra
}  // namespace orva
