// The store: the checks it makes before it writes, what it clears before an insert,
// its refusal lines, and its results with and without a repository.
#include "StoreTestSupport.h"
#include "support/LogCapture.h"

#include <keldra/Object.h>
#include <keldra/StorableObject.h>
#include <keldra/Store.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::ErrorCode;
using orva::SharedPointer;
using orva::keldra::Object;
using orva::keldra::SharingModel;
using orva::keldra::Store;

SharingModel model(int value) { return static_cast<SharingModel>(value); }

bool allowed(int value) { return value == 0 || value == 1 || value == 2 || value == 5; }

TEST(SharingRule, CallersMaySetPrivatePublicAndRestrictedOnly) {
  for (int value = 0; value < 16; ++value) {
    EXPECT_EQ(allowed(value), orva::keldra::check_input_object_sharing(model(value))) << value;
  }
}

TEST_F(StoreTest, EverySharingModelIsCheckedOnInsertAndUpdate) {
  for (int value = 0; value < 16; ++value) {
    SCOPED_TRACE(value);
    m_repository->calls.clear();
    SharedPointer<Object> fresh = make_object("location");
    fresh->set_sharing(model(value));
    SharedPointer<Object> stored = make_object("location");
    stored->set_local_id(m_repository->put(*stored));
    stored->set_sharing(model(value));

    const ErrorCode expected = allowed(value) ? ORVA_ERROR_NONE : ORVA_ERROR_INVALID_PARAMETERS;
    EXPECT_EQ(expected, m_store.insert_object(*fresh));
    EXPECT_EQ(expected, m_store.update_object(*stored));
    if (allowed(value)) {
      EXPECT_EQ(
          std::vector<std::string>({"insert", "update " + std::to_string(stored->get_local_id())}),
          m_repository->calls);
      EXPECT_EQ(model(value), m_repository->stored(fresh->get_local_id())->get_sharing());
    } else {
      EXPECT_TRUE(m_repository->calls.empty());
      EXPECT_EQ(0u, fresh->get_local_id());
    }
  }
}

// Stored or received flags may carry any of the 16 sharing values, also those that no
// enumerator names; they are read back as they are and refused as the others are.
TEST_F(StoreTest, SharingValuesWithoutNameFromTheFlagsAreReadAndRefused) {
  for (unsigned int value : {6u, 9u, 15u}) {
    SCOPED_TRACE(value);
    m_repository->calls.clear();
    SharedPointer<Object> object = make_object("location");
    object->set_local_id(m_repository->put(*object));
    object->set_flags(value << Object::FLAG_SHARING_SHIFT, true);
    orva::keldra::StorableObject view;
    view.attach(object);
    const SharingModel read = view.get_sharing();
    EXPECT_EQ(value, static_cast<unsigned int>(read));

    LogCapture log;
    EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.update_object(*object));
    object->set_local_id(0);
    EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.insert_object(*object));
    const std::string shown = std::to_string(value);
    EXPECT_EQ(
        std::vector<std::string>({"Store::update_object: ERROR: wrong sharing mode " + shown,
                                  "Store::insert_object: ERROR: wrong sharing mode " + shown}),
        log.matching({"Store::"}));
    EXPECT_TRUE(m_repository->calls.empty());
  }
}

// One refused object: the checks run in a fixed order and the first failing one
// decides, so an object with several faults gives only the first one's line.
struct Refusal {
  const char* what;
  bool update;
  const char* class_name;
  int sharing;
  bool partial;
  const char* line;
};

const Refusal kRefusals[] = {
    {"insert, sharing 3", false, "location", 3, false,
     "Store::insert_object: ERROR: wrong sharing mode 3"},
    {"insert, sharing before class", false, "", 15, false,
     "Store::insert_object: ERROR: wrong sharing mode 15"},
    {"insert, no class", false, "", 0, false, "Store::insert_object: ERROR: empty class name"},
    {"update, partial before all", true, "", 3, true,
     "Store::update_object: ERROR: update using partial object"},
    {"update, sharing before class", true, "", 4, false,
     "Store::update_object: ERROR: wrong sharing mode 4"},
    {"update, no class", true, "", 2, false, "Store::update_object: ERROR: empty class name"},
};

TEST_F(StoreTest, RefusedObjectsAreNeitherWrittenNorChangedAndTheFirstFaultIsLogged) {
  for (const Refusal& refusal : kRefusals) {
    SCOPED_TRACE(refusal.what);
    m_repository->calls.clear();
    SharedPointer<Object> object = make_object(refusal.class_name);
    object->set_local_id(refusal.update ? 4 : 0);
    object->set_global_id(77);
    object->set_version(3);
    object->set_owner("owner");
    object->set_sharing(model(refusal.sharing));
    object->set_partial(refusal.partial);
    {
      LogCapture log;
      Store& store = m_store;
      EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS,
                refusal.update ? store.update_object(*object) : store.insert_object(*object));
      EXPECT_EQ(std::vector<std::string>({refusal.line}), log.matching({"Store::"}));
    }
    EXPECT_TRUE(m_repository->calls.empty());
    EXPECT_EQ(77u, object->get_global_id());
    EXPECT_EQ(3u, object->get_version());
    EXPECT_EQ("owner", object->get_owner());
    EXPECT_EQ(refusal.partial, object->is_partial());
  }
}

TEST_F(StoreTest, RefusalLinesFollowTheLogLevel) {
  SharedPointer<Object> no_class = make_object("");
  SharedPointer<Object> bad_sharing = make_object("location");
  bad_sharing->set_sharing(model(3));
  LogCapture log("2");  // errors only: the refusal lines are traces
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.insert_object(*bad_sharing));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.insert_object(*no_class));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.update_object(*bad_sharing));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.update_object(*no_class));
  EXPECT_TRUE(log.matching({"Store::"}).empty());
}

// What belongs to the server is cleared before the repository is asked, so it stays
// cleared whatever the repository answers.
TEST_F(StoreTest, InsertClearsGlobalIdVersionPartialAndOwner) {
  SharedPointer<Store> without_repository(new Store(SharedPointer<orva::keldra::Repository>()));
  struct Case {
    const char* what;
    ErrorCode repository_result;  // of m_store's repository
    Store* store;
    ErrorCode expected;
  };
  const Case cases[] = {
      {"stored", ORVA_ERROR_NONE, &m_store, ORVA_ERROR_NONE},
      {"repository fails", ORVA_ERROR_KELDRA_DATABASE_BUSY, &m_store,
       ORVA_ERROR_KELDRA_DATABASE_BUSY},
      {"no repository", ORVA_ERROR_NONE, without_repository.get(), ORVA_ERROR_UNKNOWN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_repository->fail_with = c.repository_result;
    SharedPointer<Object> object = make_object("route", "Coast road");
    object->set_global_id(77);
    object->set_version(3);
    object->set_partial(true);
    object->set_owner("someone");
    object->set_sharing(model(5));

    EXPECT_EQ(c.expected, c.store->insert_object(*object));
    EXPECT_EQ(0u, object->get_global_id());
    EXPECT_EQ(0u, object->get_version());
    EXPECT_FALSE(object->is_partial());
    EXPECT_EQ("", object->get_owner());
    EXPECT_EQ(model(5), object->get_sharing());
    EXPECT_EQ("Coast road", object->get_name());
    if (c.expected == ORVA_ERROR_NONE) {
      ASSERT_NE(0u, object->get_local_id());
      EXPECT_FALSE(object->is_modified());
      const Object* stored = m_repository->stored(object->get_local_id());
      ASSERT_NE(nullptr, stored);
      EXPECT_EQ(0u, stored->get_global_id());
      EXPECT_EQ("", stored->get_owner());
      EXPECT_EQ("Coast road", stored->get_name());
    } else {
      EXPECT_EQ(0u, object->get_local_id());
    }
  }
}

TEST_F(StoreTest, UpdateWritesOverTheStoredObjectAndKeepsWhatInsertWouldClear) {
  SharedPointer<Object> object = make_object("route", "Coast road");
  object->set_local_id(m_repository->put(*object));
  object->set_global_id(77);
  object->set_version(3);
  object->set_owner("someone");
  object->set_name("Inland road");

  ASSERT_EQ(0, m_store.update_object(*object));
  EXPECT_FALSE(object->is_modified());
  const Object* stored = m_repository->stored(object->get_local_id());
  EXPECT_EQ("Inland road", stored->get_name());
  EXPECT_EQ(77u, stored->get_global_id());
  EXPECT_EQ(3u, stored->get_version());
  EXPECT_EQ("someone", stored->get_owner());

  m_repository->fail_with = ORVA_ERROR_KELDRA_DATABASE_BUSY;
  EXPECT_EQ(ORVA_ERROR_KELDRA_DATABASE_BUSY, m_store.update_object(*object));
}

TEST_F(StoreTest, GetObjectResetsTheObjectBeforeReading) {
  SharedPointer<Object> original = make_object("collection", "Saunas");
  original->set_global_id(42);
  const unsigned int id = m_repository->put(*original);

  Object read("route");
  read.set_local_id(9);
  read.set_name("leftover");
  ASSERT_EQ(0, m_store.get_object(id, read));
  EXPECT_EQ(id, read.get_local_id());
  EXPECT_EQ(42u, read.get_global_id());
  EXPECT_EQ("collection", read.get_class_name());
  EXPECT_EQ("Saunas", read.get_name());
  EXPECT_FALSE(read.is_partial());

  // Local id 0 is never asked of the repository; an unknown id is, and gives its 8.
  for (unsigned int missing : {0u, id + 1}) {
    SCOPED_TRACE(missing);
    m_repository->calls.clear();
    Object object("route");
    object.set_local_id(9);
    object.set_global_id(10);
    object.set_name("leftover");
    object.get_attributes().push_back(
        SharedPointer<orva::keldra::Attribute>(new orva::keldra::Attribute("meta", "metadata")));
    EXPECT_EQ(ORVA_ERROR_NOT_FOUND, m_store.get_object(missing, object));
    EXPECT_EQ(0u, object.get_local_id());
    EXPECT_EQ(0u, object.get_global_id());
    EXPECT_EQ("", object.get_class_name());
    EXPECT_EQ("", object.get_name());
    EXPECT_EQ(0u, object.get_attributes().size());
    EXPECT_EQ(missing == 0 ? 0u : 1u, m_repository->calls.size());
  }
}

// Without repository every operation still makes its checks first, then gives 1.
TEST_F(StoreTest, WithoutRepositoryChecksComeFirstThenOne) {
  Store store{SharedPointer<orva::keldra::Repository>()};
  SharedPointer<Object> valid = make_object("location");
  valid->set_local_id(3);
  SharedPointer<Object> no_class = make_object("");
  SharedPointer<Object> partial = make_object("location");
  partial->set_partial(true);
  Object read;

  EXPECT_EQ(ORVA_ERROR_UNKNOWN, store.update_object(*valid));
  EXPECT_EQ(ORVA_ERROR_UNKNOWN, store.insert_object(*valid));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, store.insert_object(*no_class));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, store.update_object(*no_class));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, store.update_object(*partial));
  EXPECT_EQ(ORVA_ERROR_NOT_FOUND, store.get_object(0, read));
  EXPECT_EQ(ORVA_ERROR_UNKNOWN, store.get_object(5, read));
}

}  // namespace
}  // namespace keldra_test
