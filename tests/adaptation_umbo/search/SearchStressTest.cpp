// Start, cancel and destroy in every order and at every moment, many times: the worker
// must neither hang, nor be lost, nor touch freed memory. Run it under ThreadSanitizer
// to see the data races too (a build with -fsanitize=thread).
#include "adaptation_umbo/search/SearchThread.h"
#include "adaptation_umbo/search/SearchUmbo.h"
#include "support/PlaceFile.h"

#include "support/TestEnv.h"

#include <keldra/TextCriterion.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace orva::keldra;
using orva::keldra::internal::SearchThread;
using orva::keldra::internal::SearchUmbo;

struct Ends : ProgressHandler {
  int ends = 0;
  orva::ErrorCode last = -1;
  void handle_progress(float, orva::ErrorCode status) override {
    if (status != ORVA_ERROR_KELDRA_IN_PROGRESS) {
      ++ends;
      last = status;
    }
  }
};

class SearchStress : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string dir = keldra_test::home_dir() + "/.cities";
    QDir().mkpath(QString::fromStdString(dir));
    std::remove((dir + "/OstraMaps.db").c_str());
    keldra_search::PlaceFile file(dir + "/OstraMaps.db");
    file.exec("BEGIN");
    for (int i = 0; i < 2000; ++i) {
      keldra_search::Place p;
      p.name = "place " + std::to_string(i);
      p.positions = {{48.0 + i * 0.001, 11.0}};
      file.add(p);
    }
    file.exec("COMMIT");
  }

  static Criterion all() {
    Criterion c;
    c.set_service_id("personal");
    return c;
  }
  static TextCriterion text(const char* pattern) {
    TextCriterion c{orva::ustring(pattern)};
    c.set_service_id("personal");
    return c;
  }
};

void pump(int passes) {
  for (int i = 0; i < passes; ++i) QCoreApplication::processEvents();
}

TEST_F(SearchStress, StartCancelDestroyInEveryOrder) {
  std::mt19937 random(20);
  const Search::SortPref by_name = {1, 1};
  const Search::SortPref none = {0, 0};
  for (int round = 0; round < 150; ++round) {
    Ends ends;
    SearchUmbo* s = new SearchUmbo;
    const int starts = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < starts; ++i) {
      const TextCriterion slow = text("*place*1*");
      const Search::SortPref& order = (random() % 2) ? by_name : none;
      if (random() % 2) {
        s->start(slow, order, ends);
      } else {
        s->start(all(), order, ends);
      }
      switch (random() % 4) {
        case 0:
          break;  // start again at once: refused while running
        case 1:
          s->cancel();
          break;
        case 2:
          pump(static_cast<int>(random() % 20));
          break;
        default: {
          QElapsedTimer timer;
          timer.start();
          while (s->is_active() && timer.elapsed() < 30000) pump(1);
          EXPECT_FALSE(s->is_active());
        }
      }
    }
    if (random() % 2) pump(static_cast<int>(random() % 10));
    delete s;  // with or without a running search
  }
}

TEST_F(SearchStress, WorkerRunCancelStopAndRunAgain) {
  std::mt19937 random(21);
  SearchThread thread;
  const Search::SortPref none = {0, 0};
  const Criterion everything = all();
  for (int round = 0; round < 200; ++round) {
    const orva::ErrorCode rc = thread.run(everything, none);
    EXPECT_TRUE(rc == ORVA_ERROR_NONE || rc == ORVA_ERROR_NOT_READY) << rc;
    std::vector<unsigned int> ids;
    SearchThread::Status status;
    switch (random() % 4) {
      case 0:
        thread.cancel();
        EXPECT_NE(SearchThread::RUNNING, thread.state());
        break;
      case 1:
        thread.stop();
        EXPECT_EQ(SearchThread::STOPPED, thread.state());
        break;
      case 2:
        thread.get_status(status, ids);
        break;
      default:
        thread.cancel();
        thread.get_status(status, ids);
        EXPECT_NE(ORVA_ERROR_KELDRA_IN_PROGRESS, status.error);
    }
  }
}

}  // namespace
