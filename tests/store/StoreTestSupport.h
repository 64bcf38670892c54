// An in-memory repository and a fixture with a store over it, for the store and
// storable view tests.
#pragma once

#include "support/PlaceFixture.h"

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>
#include <keldra/Store.h>

#include <map>
#include <string>
#include <vector>

namespace keldra_test {

// Keeps a copy of each object by local id, giving ids from 1 on. Like the real
// repository it clears the modified marks of an object it wrote; a read gives the
// stored copy, not partial and unmarked. Every call is recorded as "insert",
// "update <id>" or "get <id>".
class MemoryRepository : public orva::keldra::Repository {
 public:
  orva::ErrorCode insert_object(orva::keldra::Object& object) override;
  orva::ErrorCode update_object(orva::keldra::Object& object) override;
  orva::ErrorCode get_object(unsigned int local_id, orva::keldra::Object& object) const override;

  // The rest of the interface is not used by the store's checks: not supported.
  orva::ErrorCode remove_object(unsigned int) override { return ORVA_ERROR_NOT_SUPPORTED; }
  orva::ErrorCode get_object_header(unsigned int, orva::keldra::Object&) const override {
    return ORVA_ERROR_NOT_SUPPORTED;
  }
  orva::ErrorCode get_global_object(unsigned long long, orva::keldra::Object&) const override {
    return ORVA_ERROR_NOT_SUPPORTED;
  }
  unsigned int get_object_local_id(unsigned long long) const override { return 0; }
  unsigned long long get_object_global_id(unsigned int) const override { return 0; }
  unsigned int get_default_object_id() const override { return 0; }
  orva::ErrorCode set_default_object_id(unsigned int) override { return ORVA_ERROR_NOT_SUPPORTED; }
  orva::SharedPointer<orva::keldra::Search> get_searcher() override { return {}; }
  orva::SharedPointer<orva::internal::RefCountable> get_upload_queue() override { return {}; }
  orva::SharedPointer<orva::keldra::ObjectCache> get_object_cache() const override { return {}; }
  orva::ErrorCode begin_transaction(bool) override { return ORVA_ERROR_NOT_SUPPORTED; }
  orva::ErrorCode commit_transaction() override { return ORVA_ERROR_NOT_SUPPORTED; }
  void rollback_transaction() override {}
  bool is_in_transaction() const override { return false; }
  orva::ErrorCode set_object_sharing(unsigned int, orva::keldra::SharingModel, bool) override {
    return ORVA_ERROR_NOT_SUPPORTED;
  }
  orva::ErrorCode set_object_no_sync(unsigned int, bool) override {
    return ORVA_ERROR_NOT_SUPPORTED;
  }
  orva::ErrorCode get_object_children(unsigned int,
                                      std::vector<orva::keldra::Link>&) const override {
    return ORVA_ERROR_NOT_SUPPORTED;
  }

  // Keeps a copy of |object| under a new local id, without recording a call, as if
  // it had been stored earlier. Returns the id.
  unsigned int put(const orva::keldra::Object& object);
  // The kept copy with that local id; null when there is none.
  const orva::keldra::Object* stored(unsigned int local_id) const;

  // The calls so far, in order.
  mutable std::vector<std::string> calls;
  // When not 0, every call fails with it and changes nothing.
  orva::ErrorCode fail_with = ORVA_ERROR_NONE;

 private:
  std::map<unsigned int, orva::SharedPointer<orva::keldra::Object>> m_objects;
  unsigned int m_next_id = 1;
};

// A store over an empty MemoryRepository, on a string pool of the test's own.
class StoreTest : public PlaceTest {
 protected:
  orva::SharedPointer<MemoryRepository> m_repository{new MemoryRepository};
  orva::keldra::Store m_store{m_repository};
};

// An object of that class (none for ""), named |name| when that is not empty.
orva::SharedPointer<orva::keldra::Object> make_object(const std::string& class_name,
                                                      const std::string& name = "");

}  // namespace keldra_test
