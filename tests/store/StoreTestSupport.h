// A store opened on a fresh database file under the test's home, for the store and
// storable view tests, with what they need to look behind it: the repository calls the
// store made (read from the trace log), the stored copies (read past the store) and a
// way to make the store's database fail.
#pragma once

#include "support/LogCapture.h"
#include "support/PlaceFixture.h"

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/Store.h>

#include <memory>
#include <string>
#include <vector>

namespace keldra_test {

// What every operation of a failing store gives (see StoreTest::set_failing).
const orva::ErrorCode kFailedTransaction = ORVA_ERROR_KELDRA_CANCELLED;

// Opens the store "personal" of the thread and initialises it, with the log at |level|
// for the life of the fixture (the thread's logger is made with the store).
class StoreTest : public PlaceTest {
 protected:
  explicit StoreTest(const char* level = "1");
  ~StoreTest() override;
  void SetUp() override;

  // Stores a copy of |object| past the store (no repository call is recorded, no
  // event), as received from the server when it has a global id; its local id.
  unsigned int put(const orva::keldra::Object& object);
  // A copy of the stored object with that local id, read past the store; empty when
  // there is none.
  orva::SharedPointer<orva::keldra::Object> stored(unsigned int local_id);

  // The store's repository calls since the fixture started or clear_calls(), in order,
  // as "insert", "update <id>" and "get <id>".
  std::vector<std::string> calls() const;
  void clear_calls();

  // true: every later store operation fails with kFailedTransaction (a caller's
  // transaction whose inner level was rolled back); false: ends that.
  void set_failing(bool failing);

  std::unique_ptr<LogCapture> m_log;
  orva::SharedPointer<orva::keldra::Store> m_handle;
  orva::keldra::Store& m_store;

 private:
  std::unique_ptr<LogCapture> m_calls;
  bool m_failing = false;
  bool m_opened = false;
};

// An object of that class (none for ""), named |name| when that is not empty.
orva::SharedPointer<orva::keldra::Object> make_object(const std::string& class_name,
                                                      const std::string& name = "");

}  // namespace keldra_test
