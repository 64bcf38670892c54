// The scenario's second process: opens the store as any application does and prints
// every change event the relay brings, one line "<type>:<local id>" each, flushed at
// once. "ready" comes first, once the store is open and the observer registered; end of
// standard input ends the program (code 0). Code 1: the store did not open.
#include <keldra/ProgressHandler.h>
#include <keldra/RepositoryObserver.h>
#include <keldra/Store.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <unistd.h>

#include <cstdio>
#include <vector>

using namespace orva::keldra;

namespace {

struct Opened : ProgressHandler {
  void handle_progress(float, orva::ErrorCode code) override {
    if (code == ORVA_ERROR_KELDRA_IN_PROGRESS) return;
    if (code != 0) {
      std::printf("error %d\n", static_cast<int>(code));
      std::fflush(stdout);
      QCoreApplication::exit(1);
      return;
    }
    store->set_event_listener(*observer);
    std::puts("ready");
    std::fflush(stdout);
  }
  Store* store = nullptr;
  RepositoryObserver* observer = nullptr;
};

struct Printer : RepositoryObserver {
  void handle_repository_event(const std::vector<RepositoryEvent>& events) override {
    for (const RepositoryEvent& e : events) std::printf("%d:%d\n", e.type, e.local_id);
    std::fflush(stdout);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  orva::SharedPointer<Store> store;
  if (Store::open(store) != 0) return 1;
  Printer printer;
  Opened opened;
  opened.store = store.get();
  opened.observer = &printer;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[256];
    if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
      input.setEnabled(false);
      app.quit();
    }
  });
  store->init(opened);
  const int code = app.exec();
  store->unset_event_listener(printer);
  return code;
}
