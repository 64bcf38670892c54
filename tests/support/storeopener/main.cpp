// store_opener: one process that opens the store "personal" through the public library,
// for tests of several processes opening one store at the same moment.
//
// Runs under the HOME it is given. Prints "ready", waits for a line on its standard
// input (so that a test can start several copies together), initialises the store and
// prints the init's final status and the store's database name as "<status> <name>".
// Exits 0 when the status is 0, 1 otherwise, 2 when no report came within 30 s.
#include <keldra/DataAdapter.h>
#include <keldra/DatabaseManager.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Store.h>

#include <tervo/ustring.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

// As in every test binary (support/TestMain.cpp): Qt's D-Bus thread may still be winding
// down at exit, and its thread data is then reported as leaked.
extern "C" const char* __lsan_default_suppressions() { return "leak:QThread::QThread\n"; }

namespace {

struct InitReport : public orva::keldra::ProgressHandler {
  void handle_progress(float, orva::ErrorCode status) override {
    if (status == ORVA_ERROR_KELDRA_IN_PROGRESS) return;
    code = status;
    done = true;
  }
  bool done = false;
  orva::ErrorCode code = ORVA_ERROR_NONE;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const char* home = std::getenv("HOME");
  // Logging only when the test's home asks for it.
  orva::keldra::internal::LoggerUmbo::set_level_file_path(std::string(home ? home : ".") +
                                                          "/store_opener_log_level");
  std::printf("ready\n");
  std::fflush(stdout);
  std::string go;
  if (!std::getline(std::cin, go)) return 2;

  int exit_code = 2;
  {
    orva::SharedPointer<orva::keldra::Store> store;
    if (orva::keldra::Store::open(store) != ORVA_ERROR_NONE) return 1;
    InitReport report;
    store->init(report);
    QElapsedTimer waited;
    waited.start();
    while (!report.done && waited.elapsed() < 30000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    if (report.done) {
      std::string name;
      orva::SharedPointer<orva::keldra::DataAdapter> adapter =
          orva::keldra::DatabaseManager::open("personal");
      if (report.code == ORVA_ERROR_NONE && adapter.is_valid()) {
        name = adapter->get_db_name().to_utf8();
      }
      std::printf("%d %s\n", static_cast<int>(report.code), name.c_str());
      exit_code = report.code == ORVA_ERROR_NONE ? 0 : 1;
    }
  }
  std::fflush(stdout);
  return exit_code;
}
