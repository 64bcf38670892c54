// A private platform accounts store for one test: a new, empty accounts database folder and
// data folders (with a provider file for "zem" and one for "other") under the test's
// HOME, named to libaccounts-glib through its environment variables. The accounts
// library needs a session bus: the process-wide test bus is started first.
//
// Accounts are made and removed through a manager of the test's own, so every other
// manager (the library's) hears of them over the bus as it would of another program's.
//
// Not thread-safe: use from the test's main thread, one store at a time.
#pragma once

#include <Accounts/Account>
#include <Accounts/Manager>

#include <memory>
#include <string>

namespace keldra_test {

class TestAccounts {
 public:
  // |name| names the folder, followed by a number of its own: every store starts empty.
  explicit TestAccounts(const std::string& name);
  ~TestAccounts();

  TestAccounts(const TestAccounts&) = delete;
  TestAccounts& operator=(const TestAccounts&) = delete;

  // True when the bus is up; error() tells why not.
  bool ready() const { return m_error.empty(); }
  const std::string& error() const { return m_error; }

  // Stores a new account of |provider| and returns its id (0 on failure).
  Accounts::AccountId create(const std::string& provider);
  // The ids of the store's accounts in the store's own order.
  Accounts::AccountIdList ids() { return manager().accountList(); }
  // Deletes the account; false when it could not be loaded or removed.
  bool remove(Accounts::AccountId id);

 private:
  Accounts::Manager& manager();

  std::string m_folder;
  std::string m_error;
  std::unique_ptr<Accounts::Manager> m_manager;
};

// Runs the calling thread's event loop until |done| returns true or |ms| pass; returns
// done()'s last value.
template <class Done>
bool wait_until(Done done, int ms = 5000);

}  // namespace keldra_test

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

template <class Done>
bool keldra_test::wait_until(Done done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}
