#include "StoreTestSupport.h"

#include "support/TestEnv.h"

#include <keldra/DataAdapter.h>
#include <keldra/DatabaseManager.h>
#include <keldra/ProgressHandler.h>

#include "adaptation_umbo/storage/DataAdapterUmbo.h"
#include "adaptation_umbo/database/Database.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace keldra_test {

using orva::ErrorCode;
using orva::SharedPointer;
using orva::keldra::Object;
using orva::keldra::Store;

namespace {

SharedPointer<Store> open_fresh_store() {
  const std::string db = home_dir() + "/.cities/OstraMaps.db";
  std::remove(db.c_str());
  std::remove((db + "-journal").c_str());
  SharedPointer<Store> store;
  if (Store::open(store) != ORVA_ERROR_NONE || !store.is_valid()) {
    std::fprintf(stderr, "Store::open failed\n");
    std::abort();
  }
  return store;
}

orva::keldra::internal::Database* database_behind() {
  SharedPointer<orva::keldra::DataAdapter> adapter =
      orva::keldra::DatabaseManager::open("personal");
  return static_cast<orva::keldra::internal::DataAdapterUmbo*>(adapter.get())->database();
}

struct Reports : public orva::keldra::ProgressHandler {
  void handle_progress(float progress, ErrorCode status) override {
    seen.push_back(std::make_pair(progress, status));
  }
  std::vector<std::pair<float, ErrorCode>> seen;
};

const std::string kInsert = "RepositoryUmbo::insert_object";
const std::string kUpdate = "RepositoryUmbo::update_object, lid ";
const std::string kGet = "RepositoryUmbo::get_object, lid ";

}  // namespace

StoreTest::StoreTest(const char* level)
    : m_log(new LogCapture(level)), m_handle(open_fresh_store()), m_store(*m_handle) {}

StoreTest::~StoreTest() {
  set_failing(false);
  m_handle.release();
}

void StoreTest::SetUp() {
  Reports init;
  m_store.init(init);
  ASSERT_TRUE(wait_until([&] { return !init.seen.empty(); }));
  ASSERT_EQ(1u, init.seen.size());
  ASSERT_EQ(std::make_pair(1.0f, ErrorCode(ORVA_ERROR_NONE)), init.seen[0]);
  m_opened = true;
  clear_calls();
}

unsigned int StoreTest::put(const Object& object) {
  Object copy(object);
  copy.set_local_id(0);
  // An object with a global id is stored as received from the server, which keeps it.
  if (database_behind()->insert_object(copy, copy.get_global_id() != 0) != ORVA_ERROR_NONE) {
    ADD_FAILURE() << "put failed";
    return 0;
  }
  return copy.get_local_id();
}

SharedPointer<Object> StoreTest::stored(unsigned int local_id) {
  SharedPointer<Object> object(new Object());
  if (database_behind()->get_object(local_id, *object) != ORVA_ERROR_NONE) return {};
  return object;
}

std::vector<std::string> StoreTest::calls() const {
  std::vector<std::string> out;
  if (!m_calls) return out;
  for (const std::string& line : m_calls->matching({kInsert, kUpdate, kGet})) {
    if (line == kInsert) {
      out.push_back("insert");
    } else if (line.compare(0, kUpdate.size(), kUpdate) == 0) {
      out.push_back("update " + line.substr(kUpdate.size()));
    } else if (line.compare(0, kGet.size(), kGet) == 0) {
      out.push_back("get " + line.substr(kGet.size()));
    }
  }
  return out;
}

void StoreTest::clear_calls() { m_calls.reset(new LogCapture()); }

void StoreTest::set_failing(bool failing) {
  if (failing == m_failing || !m_opened) return;
  if (failing) {
    ASSERT_EQ(0, m_store.begin_transaction(false));
    ASSERT_EQ(0, m_store.begin_transaction(false));
    m_store.rollback_transaction();
  } else {
    m_store.rollback_transaction();
  }
  m_failing = failing;
}

SharedPointer<Object> make_object(const std::string& class_name, const std::string& name) {
  SharedPointer<Object> object(class_name.empty() ? new Object() : new Object(class_name));
  if (!name.empty()) object->set_name(name);
  return object;
}

}  // namespace keldra_test
