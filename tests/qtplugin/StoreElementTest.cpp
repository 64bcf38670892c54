// What QML cannot do to a Store element: delete it synchronously from its own signals,
// at each step of the library's work for it.
#include "StoreImpl.h"

#include "support/DbusTestBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <functional>

using keldra::qtplugin::StoreImpl;

namespace {

void spin_until(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void spin(int ms) {
  spin_until([] { return false; }, ms);
}

TEST(StoreElement, MayBeDeletedFromItsProgressSignal) {
  ASSERT_TRUE(keldra_test::DbusTestBus::shared().running());
  struct Case {
    const char* name;
    bool search;  // else the initialisation
    int status;   // the report whose signal deletes the element
  };
  const Case cases[] = {
      {"initialisation's end", false, 0},
      {"search's end, before the page loads", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StoreImpl* store = new StoreImpl;
    if (c.search) {
      bool ready = false;
      QObject::connect(store, &StoreImpl::initDone, [&ready] { ready = true; });
      store->init();
      spin_until([&] { return ready; });
      ASSERT_TRUE(ready);
    }
    QObject::connect(store, &StoreImpl::progressChanged, [&store, &c](float progress, int status) {
      if (status != c.status || !store) return;
      if (c.search && progress != 0.5f) return;
      delete store;
      store = nullptr;
    });
    if (c.search) {
      store->search(store->createCriteria(), nullptr, 0);
    } else {
      store->init();
    }
    spin_until([&] { return store == nullptr; });
    EXPECT_EQ(nullptr, store);
    spin(200);
    delete store;
  }
}

}  // namespace
