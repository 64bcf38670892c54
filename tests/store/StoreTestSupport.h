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
