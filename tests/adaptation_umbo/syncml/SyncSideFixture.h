// The store's synchronisation side on the real file: the adapter fixture with a store
// open over the same "personal" adapter (as an application holds it), the adapter's sync
// adapter (as the storage plug-in writes through it), and the test's log read back.
#pragma once

#include "support/AdapterFixture.h"

#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/Store.h>
#include <keldra/SyncAdapter.h>

namespace keldra_test {

class SyncSideTest : public AdapterTest {
 protected:
  SyncSideTest() { capture_log_ = true; }
  void SetUp() override {
    AdapterTest::SetUp();
    ASSERT_EQ(0, orva::keldra::Store::open(store_));
    sync_ = adapter_->sync_adapter();
    ASSERT_TRUE(sync_.is_valid());
  }
  void TearDown() override {
    sync_.release();
    store_.release();
    AdapterTest::TearDown();
  }

  // A new object of that class with that global id (the server's ids).
  static orva::keldra::ObjectPtr object_of(const char* class_name, unsigned long long gid) {
    orva::keldra::ObjectPtr object(new orva::keldra::Object(class_name));
    object->set_global_id(gid);
    return object;
  }

  // Inserts place(name) through the store; its local id (0 on failure).
  unsigned int stored_place(const char* name) {
    orva::keldra::Object o = place(name);
    return store_->insert_object(o) == 0 ? o.get_local_id() : 0;
  }

  orva::SharedPointer<orva::keldra::Store> store_;
  orva::SharedPointer<orva::keldra::SyncAdapter> sync_;
};

}  // namespace keldra_test
