// The subscription manager's fixture: the adapter fixture's fresh store with the relay,
// its sync adapter, plain SQLite access to the same file, and pictures of the stored
// system objects to compare against.
#pragma once

#include "support/AdapterFixture.h"
#include "support/DbTestUtil.h"

#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/SyncAdapter.h>

#include "adaptation_umbo/syncml/SubscriptionManager.h"

#include <memory>
#include <string>
#include <vector>

namespace keldra_test {

using Gids = std::vector<unsigned long long>;

class ManagerTest : public AdapterTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new manager over the store's adapter, as each caller makes one.
  orva::SharedPointer<orva::keldra::internal::SubscriptionManager> manager();

  // A place as the server sends it, written through the sync adapter (synchronised, with
  // |gid| and |sharing|); its local id (0 on failure).
  unsigned int insert_shared(const char* name, unsigned long long gid,
                             orva::keldra::SharingModel sharing = orva::keldra::SHARING_PRIVATE);

  // The stored object with that global id; empty when there is none.
  orva::keldra::ObjectPtr stored(unsigned long long gid);
  unsigned int stored_lid(unsigned long long gid);
  // One line: class, 'name', global id, no-sync mark, the object's links as
  // name:lid/gid in braces, then the attribute tree with field values. "none" when no
  // object has that global id.
  std::string picture(unsigned long long gid);
  static std::string picture(const orva::keldra::Object& object);

  // What the relay broadcast since the last call, once everything sent has arrived.
  std::vector<Broadcast> wire();
  // One event alone, or several as one batch.
  static Broadcast one(int type, unsigned int lid) {
    return Broadcast::one(type, static_cast<int>(lid));
  }
  static Broadcast batch(const std::vector<std::pair<int, unsigned int>>& events);

  // Every row of the object and link tables, to show that nothing changed.
  std::vector<std::string> snapshot();
  // The stored change state (column modified) and the sharing model of an object.
  std::string state_of(unsigned int lid);

  orva::SharedPointer<orva::keldra::SyncAdapter> sync_;
  std::unique_ptr<db_test::RawDb> raw_;
};

}  // namespace keldra_test
