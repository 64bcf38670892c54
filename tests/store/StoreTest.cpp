// The store: the checks it makes before it writes, what it clears before an insert,
// its refusal lines, and what it passes on from the database, on a real store file.
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
    clear_calls();
    SharedPointer<Object> fresh = make_object("location");
    fresh->set_sharing(model(value));
    SharedPointer<Object> stored = make_object("location");
    stored->set_local_id(put(*stored));
    stored->set_sharing(model(value));

    const ErrorCode expected = allowed(value) ? ORVA_ERROR_NONE : ORVA_ERROR_INVALID_PARAMETERS;
    EXPECT_EQ(expected, m_store.insert_object(*fresh));
    EXPECT_EQ(expected, m_store.update_object(*stored));
    if (allowed(value)) {
      EXPECT_EQ(
          std::vector<std::string>({"insert", "update " + std::to_string(stored->get_local_id())}),
          calls());
      EXPECT_EQ(model(value), this->stored(fresh->get_local_id())->get_sharing());
    } else {
      EXPECT_TRUE(calls().empty());
      EXPECT_EQ(0u, fresh->get_local_id());
    }
  }
}

// Stored or received flags may carry any of the 16 sharing values, also those that no
// enumerator names; they are read back as they are and refused as the others are.
TEST_F(StoreTest, SharingValuesWithoutNameFromTheFlagsAreReadAndRefused) {
  for (unsigned int value : {6u, 9u, 15u}) {
    SCOPED_TRACE(value);
    clear_calls();
    SharedPointer<Object> object = make_object("location");
    object->set_local_id(put(*object));
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
    EXPECT_TRUE(calls().empty());
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
    clear_calls();
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
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(77u, object->get_global_id());
    EXPECT_EQ(3u, object->get_version());
    EXPECT_EQ("owner", object->get_owner());
    EXPECT_EQ(refusal.partial, object->is_partial());
  }
}

// The store's logger is made with the store, so the level is set before it opens.
class StoreErrorsOnlyTest : public StoreTest {
 protected:
  StoreErrorsOnlyTest() : StoreTest("2") {}  // errors only: the refusal lines are traces
};

TEST_F(StoreErrorsOnlyTest, RefusalLinesFollowTheLogLevel) {
  SharedPointer<Object> no_class = make_object("");
  SharedPointer<Object> bad_sharing = make_object("location");
  bad_sharing->set_sharing(model(3));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.insert_object(*bad_sharing));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.insert_object(*no_class));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.update_object(*bad_sharing));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.update_object(*no_class));
  EXPECT_TRUE(m_log->matching({"Store::"}).empty());
}

// What belongs to the server is cleared before the repository is asked, so it stays
// cleared whatever the repository answers.
TEST_F(StoreTest, InsertClearsGlobalIdVersionPartialAndOwner) {
  struct Case {
    const char* what;
    bool failing;
    ErrorCode expected;
  };
  const Case cases[] = {
      {"stored", false, ORVA_ERROR_NONE},
      {"database fails", true, kFailedTransaction},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    set_failing(c.failing);
    SharedPointer<Object> object = make_object("route", "Coast road");
    object->set_global_id(77);
    object->set_version(3);
    object->set_partial(true);
    object->set_owner("someone");
    object->set_sharing(model(5));

    EXPECT_EQ(c.expected, m_store.insert_object(*object));
    EXPECT_EQ(0u, object->get_global_id());
    EXPECT_EQ(0u, object->get_version());
    EXPECT_FALSE(object->is_partial());
    EXPECT_EQ("", object->get_owner());
    EXPECT_EQ(model(5), object->get_sharing());
    EXPECT_EQ("Coast road", object->get_name());
    if (c.expected == ORVA_ERROR_NONE) {
      ASSERT_NE(0u, object->get_local_id());
      EXPECT_FALSE(object->is_modified());
      const SharedPointer<Object> stored = this->stored(object->get_local_id());
      ASSERT_TRUE(stored.is_valid());
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
  object->set_global_id(77);
  object->set_version(3);
  object->set_owner("someone");
  object->set_local_id(put(*object));
  object->set_name("Inland road");

  ASSERT_EQ(0, m_store.update_object(*object));
  EXPECT_FALSE(object->is_modified());
  EXPECT_EQ(77u, object->get_global_id());
  EXPECT_EQ(3u, object->get_version());
  EXPECT_EQ("someone", object->get_owner());
  const SharedPointer<Object> stored = this->stored(object->get_local_id());
  EXPECT_EQ("Inland road", stored->get_name());
  EXPECT_EQ(77u, stored->get_global_id());
  EXPECT_EQ(3u, stored->get_version());
  EXPECT_EQ("someone", stored->get_owner());

  set_failing(true);
  EXPECT_EQ(kFailedTransaction, m_store.update_object(*object));
}

TEST_F(StoreTest, GetObjectResetsTheObjectBeforeReading) {
  SharedPointer<Object> original = make_object("collection", "Saunas");
  original->set_global_id(42);
  const unsigned int id = put(*original);

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
    clear_calls();
    Object object("route");
    object.set_local_id(9);
    object.set_global_id(10);
    object.set_name("leftover");
    object.get_attributes().push_back(
        SharedPointer<orva::keldra::Attribute>(new orva::keldra::Attribute("meta", "metadata")));
    EXPECT_EQ(ORVA_ERROR_NOT_FOUND, m_store.get_object(missing, object));
    if (missing == 0) { EXPECT_EQ(0u, object.get_local_id()); }
    EXPECT_EQ(0u, object.get_global_id());
    EXPECT_EQ("", object.get_class_name());
    EXPECT_EQ("", object.get_name());
    EXPECT_EQ(0u, object.get_attributes().size());
    EXPECT_EQ(missing == 0 ? std::vector<std::string>()
                           : std::vector<std::string>({"get " + std::to_string(missing)}),
              calls());
  }
}

// The checks come before the database is asked: refused input and id 0 give their own
// codes also when the database would fail, everything else gives the database's code.
TEST_F(StoreTest, ChecksComeBeforeTheDatabase) {
  SharedPointer<Object> valid = make_object("location");
  valid->set_local_id(put(*valid));
  SharedPointer<Object> no_class = make_object("");
  SharedPointer<Object> partial = make_object("location");
  partial->set_partial(true);
  Object read;
  set_failing(true);
  clear_calls();

  EXPECT_EQ(kFailedTransaction, m_store.update_object(*valid));
  EXPECT_EQ(kFailedTransaction, m_store.insert_object(*valid));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.insert_object(*no_class));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.update_object(*no_class));
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, m_store.update_object(*partial));
  EXPECT_EQ(ORVA_ERROR_NOT_FOUND, m_store.get_object(0, read));
  EXPECT_EQ(kFailedTransaction, m_store.get_object(5, read));
  EXPECT_EQ(std::vector<std::string>(
                {"update " + std::to_string(valid->get_local_id()), "insert", "get 5"}),
            calls());
}

}  // namespace
}  // namespace keldra_test
