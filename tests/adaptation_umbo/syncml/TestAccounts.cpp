#include "TestAccounts.h"

#include "support/DbusTestBus.h"
#include "support/TestEnv.h"

#include <cstdlib>

namespace keldra_test {

namespace {

int s_made = 0;

const char* const kVariables[] = {"ACCOUNTS", "AG_PROVIDERS", "AG_SERVICES", "AG_SERVICE_TYPES",
                                  "AG_APPLICATIONS"};

std::string provider_file(const std::string& id) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<provider id=\"" + id + "\">\n  <name>" + id +
         "</name>\n</provider>\n";
}

}  // namespace

// A store made for a test never reuses the folder of an earlier one (the same test run
// again under --gtest_repeat included): accounts left there would be read as its own.
TestAccounts::TestAccounts(const std::string& name)
    : m_folder(home_dir() + "/accounts/" + name + "." + std::to_string(++s_made)) {
  DbusTestBus& bus = DbusTestBus::shared();
  if (!bus.running()) m_error = "no test bus: " + bus.error();
  write_file(m_folder + "/db/.keep", "");
  write_file(m_folder + "/providers/zem.provider", provider_file("zem"));
  write_file(m_folder + "/providers/other.provider", provider_file("other"));
  setenv("ACCOUNTS", (m_folder + "/db").c_str(), 1);
  setenv("AG_PROVIDERS", (m_folder + "/providers").c_str(), 1);
  setenv("AG_SERVICES", (m_folder + "/services").c_str(), 1);
  setenv("AG_SERVICE_TYPES", (m_folder + "/service-types").c_str(), 1);
  setenv("AG_APPLICATIONS", (m_folder + "/applications").c_str(), 1);
}

TestAccounts::~TestAccounts() {
  m_manager.reset();
  for (const char* variable : kVariables) unsetenv(variable);
}

Accounts::Manager& TestAccounts::manager() {
  if (!m_manager) m_manager.reset(new Accounts::Manager());
  return *m_manager;
}

Accounts::AccountId TestAccounts::create(const std::string& provider) {
  Accounts::Account* account = manager().createAccount(QString::fromStdString(provider));
  if (!account) return 0;
  account->setDisplayName(QString::fromStdString(provider));
  if (!account->syncAndBlock()) return 0;
  return account->id();
}

bool TestAccounts::remove(Accounts::AccountId id) {
  Accounts::Account* account = manager().account(id);
  if (!account) return false;
  account->remove();
  return account->syncAndBlock();
}

}  // namespace keldra_test
