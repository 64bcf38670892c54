#include "adaptation_umbo/search/SearchUmbo.h"
#include "support/PlaceFile.h"

#include "support/LogCapture.h"
#include "support/TestEnv.h"

#include <keldra/CompositeCriterion.h>
#include <keldra/PositionCriterion.h>
#include <keldra/StateCriterion.h>
#include <keldra/TextCriterion.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace orva::keldra;
using keldra_search::Place;
using keldra_search::PlaceFile;
using orva::GeoCoordinates;
using orva::keldra::internal::SearchUmbo;

typedef std::vector<unsigned int> Ids;
typedef std::pair<float, orva::ErrorCode> Report;

std::string store_path() { return keldra_test::home_dir() + "/.cities/OstraMaps.db"; }

void remove_store() {
  std::remove(store_path().c_str());
  std::remove((store_path() + ".old").c_str());
  std::remove((store_path() + "-journal").c_str());
}

// Records every report and on which thread it came.
struct Reports : ProgressHandler {
  std::vector<Report> reports;
  std::vector<std::thread::id> threads;
  std::function<void(float, orva::ErrorCode)> during;
  void handle_progress(float progress, orva::ErrorCode status) override {
    reports.push_back(Report(progress, status));
    threads.push_back(std::this_thread::get_id());
    if (during) during(progress, status);
  }
  bool ended() const {
    return !reports.empty() && reports.back().second != ORVA_ERROR_KELDRA_IN_PROGRESS;
  }
  Report last() const { return reports.empty() ? Report(-1.0f, -1) : reports.back(); }
};

// Runs the caller's event loop until |done| holds; false after |ms| milliseconds.
bool pump_until(const std::function<bool()>& done, int ms = 60000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// A few more passes, for reports that must not come.
void pump_a_while() {
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
}

Search::SortPref sort(uint32_t order, uint32_t key) { return Search::SortPref{order, key}; }
const Search::SortPref kNoSort = {0, 0};

template <class C>
C personal(C criterion, const std::string& class_name = "") {
  criterion.set_service_id("personal");
  criterion.set_class_name(class_name);
  return criterion;
}

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    remove_store();
    QDir().mkpath(QString::fromStdString(keldra_test::home_dir() + "/.cities"));
    file.reset(new PlaceFile(store_path()));
  }
  void TearDown() override {
    file.reset();
    remove_store();
  }

  unsigned int add(const std::string& name, std::vector<std::pair<double, double> > positions = {},
                   const std::string& class_name = "location") {
    Place p;
    p.name = name;
    p.positions = positions;
    p.class_name = class_name;
    return file->add(p);
  }

  // Runs one search to its end; the final ids in result order.
  Ids search(const Criterion& criterion, Search::SortPref order = kNoSort,
             Reports* seen = nullptr) {
    Reports own;
    Reports& reports = seen ? *seen : own;
    SearchUmbo s;
    s.start(criterion, order, reports);
    EXPECT_TRUE(pump_until([&] { return reports.ended(); }));
    EXPECT_EQ(Report(1.0f, 0), reports.last());
    return s.get_results();
  }

  static std::set<unsigned int> as_set(const Ids& ids) {
    return std::set<unsigned int>(ids.begin(), ids.end());
  }

  std::unique_ptr<PlaceFile> file;
};

TEST_F(SearchTest, FindsByTextClassAreaStateAndTheirIntersection) {
  const unsigned joes = add("Joe's Bar", {{52.5166671234, 13.4000001111}});
  const unsigned hall = add("Old Town Hall", {{48.137, 11.575}});
  const unsigned cafe = add("caf\xC3\xA9 Central", {{48.2103, 16.3634}});
  const unsigned museum = add("CAFE\xCC\x81 Museum", {{48.2, 16.36}}, "route");
  Place odd;
  odd.texts = {"x' or 1=1 or '"};
  odd.positions = {{-16.5, 179.99}};
  odd.modified = 1;
  const unsigned literal = file->add(odd);
  Place zoo;
  zoo.name = "Zoo";
  zoo.class_name = "multimedia";
  zoo.updeps = 1;
  const unsigned zoo_id = file->add(zoo);
  Place linked;
  linked.name = "Ring";
  linked.linkmods = 2;
  linked.downdeps = 1;
  linked.modified = 2;
  const unsigned ring = file->add(linked);

  auto text = [](const char* pattern, unsigned options = 0, const std::string& cls = "") {
    TextCriterion t{orva::ustring(pattern)};
    t.set_options(options);
    return personal(t, cls);
  };
  auto state = [](bool modified, bool local, bool remote, bool linked_mod,
                  const std::string& cls = "") {
    StateCriterion s;
    s.check_if_modified(modified);
    s.check_if_has_unloaded_content(local, remote);
    s.check_if_linked_modified(linked_mod);
    return personal(s, cls);
  };
  CompositeCriterion cafes_in_vienna(CompositeCriterion::COMPOSITION_AND);
  cafes_in_vienna.add_argument(text("caf\xC3\xA9*"));
  cafes_in_vienna.add_argument(PositionCriterion(48.1, 48.3, 16.2, 16.5));
  CompositeCriterion cafes_in_munich(CompositeCriterion::COMPOSITION_AND);
  cafes_in_munich.add_argument(text("caf\xC3\xA9*"));
  cafes_in_munich.add_argument(PositionCriterion(48.0, 48.2, 11.0, 12.0));
  CompositeCriterion cafe_routes = cafes_in_vienna;
  cafe_routes.set_class_name("route");

  const struct {
    const char* name;
    std::shared_ptr<Criterion> criterion;
    std::set<unsigned int> expected;
  } cases[] = {
      {"every object",
       std::make_shared<Criterion>(personal(Criterion())),
       {joes, hall, cafe, museum, literal, zoo_id, ring}},
      {"class", std::make_shared<Criterion>(personal(Criterion(), "route")), {museum}},
      {"a quote in the pattern", std::make_shared<TextCriterion>(text("joe's bar")), {joes}},
      {"injection text matches only itself",
       std::make_shared<TextCriterion>(text("x' or 1=1 or '")),
       {literal}},
      {"whole field only", std::make_shared<TextCriterion>(text("town")), {}},
      {"word start", std::make_shared<TextCriterion>(text("town*", 1)), {hall}},
      {"case and accents folded",
       std::make_shared<TextCriterion>(text("CAF\xC3\x89*")),
       {cafe, museum}},
      {"text with class",
       std::make_shared<TextCriterion>(text("caf\xC3\xA9*", 0, "location")),
       {cafe}},
      {"rectangle drawn exactly around a position",
       std::make_shared<PositionCriterion>(
           personal(PositionCriterion(52.5166671234, 52.5166671234, 13.4000001111, 13.4000001111))),
       {joes}},
      {"rectangle a hair beside it",
       std::make_shared<PositionCriterion>(
           personal(PositionCriterion(52.5166671235, 52.52, 13.4, 13.41))),
       {}},
      {"circle",
       std::make_shared<PositionCriterion>(
           personal(PositionCriterion(GeoCoordinates(48.21, 16.36), 1500.0))),
       {cafe, museum}},
      {"small circle",
       std::make_shared<PositionCriterion>(
           personal(PositionCriterion(GeoCoordinates(48.2, 16.36), 10.0))),
       {museum}},
      {"circle across the 180th meridian",
       std::make_shared<PositionCriterion>(
           personal(PositionCriterion(GeoCoordinates(-16.5, -179.99), 5000.0))),
       {literal}},
      {"modified",
       std::make_shared<StateCriterion>(state(true, false, false, false)),
       {literal, ring}},
      {"local-only content",
       std::make_shared<StateCriterion>(state(false, true, false, false)),
       {zoo_id}},
      {"remote-only or linked",
       std::make_shared<StateCriterion>(state(false, false, true, true)),
       {ring}},
      {"state with class",
       std::make_shared<StateCriterion>(state(true, true, false, false, "location")),
       {literal, ring}},
      {"text and area",
       std::make_shared<CompositeCriterion>(personal(cafes_in_vienna)),
       {cafe, museum}},
      {"text and another area",
       std::make_shared<CompositeCriterion>(personal(cafes_in_munich)),
       {}},
      {"text and area of a class",
       std::make_shared<CompositeCriterion>(personal(cafe_routes, "route")),
       {museum}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, as_set(search(*c.criterion)));
  }
}

TEST_F(SearchTest, SortsByNameKeepingEqualKeysInArrivalOrder) {
  const unsigned banana = add("Banana");
  const unsigned apple1 = add("apple");
  Place nameless;
  const unsigned none1 = file->add(nameless);
  const unsigned cherry = add("cherry");
  const unsigned apple2 = add("APPLE");
  const unsigned none2 = file->add(nameless);

  const Criterion all = personal(Criterion(), "location");
  const Ids arrival = search(all);
  ASSERT_EQ(6u, arrival.size());
  auto before = [&arrival](unsigned a, unsigned b) {
    return std::find(arrival.begin(), arrival.end(), a) <
           std::find(arrival.begin(), arrival.end(), b);
  };
  // Equal keys keep the order in which the database returned them.
  const unsigned a1 = before(apple1, apple2) ? apple1 : apple2;
  const unsigned a2 = a1 == apple1 ? apple2 : apple1;
  const unsigned n1 = before(none1, none2) ? none1 : none2;
  const unsigned n2 = n1 == none1 ? none2 : none1;

  EXPECT_EQ((Ids{n1, n2, a1, a2, banana, cherry}), search(all, sort(1, 1)));
  EXPECT_EQ((Ids{cherry, banana, a1, a2, n1, n2}), search(all, sort(2, 1)));
  EXPECT_EQ(arrival, search(all, sort(1, 2)));  // by distance: row order
  EXPECT_EQ(arrival, search(all, sort(0, 1)));
}

TEST_F(SearchTest, ReportsFromTheEventLoopAndOnlyChanges) {
  const unsigned a = add("a");
  Reports reports;
  SearchUmbo s;
  s.start(personal(TextCriterion(orva::ustring("nothing"))), kNoSort, reports);
  EXPECT_TRUE(reports.reports.empty());  // nothing from within start
  EXPECT_TRUE(s.is_active());
  ASSERT_TRUE(pump_until([&] { return reports.ended(); }));
  pump_a_while();
  // No match: the end is the only report.
  EXPECT_EQ((std::vector<Report>{Report(1.0f, 0)}), reports.reports);
  EXPECT_EQ(std::this_thread::get_id(), reports.threads[0]);
  EXPECT_TRUE(s.get_results().empty());
  EXPECT_FALSE(s.is_active());

  // With rows, (0.5, in progress) comes before the end; the results grow.
  Reports found;
  s.start(personal(TextCriterion(orva::ustring("A"))), kNoSort, found);
  ASSERT_TRUE(pump_until([&] { return found.ended(); }));
  // A poll may come only after the worker has ended.
  ASSERT_LE(found.reports.size(), 2u);
  if (found.reports.size() == 2) {
    EXPECT_EQ(Report(0.5f, ORVA_ERROR_KELDRA_IN_PROGRESS), found.reports[0]);
  }
  EXPECT_EQ(Report(1.0f, 0), found.last());
  EXPECT_EQ(Ids{a}, s.get_results());
  // Cancelling after the end returns at once and reports nothing.
  const size_t reported = found.reports.size();
  s.cancel();
  pump_a_while();
  EXPECT_EQ(reported, found.reports.size());
}

TEST_F(SearchTest, RefusalsComeLaterFromTheEventLoop) {
  add("a");
  SearchUmbo s;
  Criterion other_service = personal(Criterion());
  other_service.set_service_id("business");
  const struct {
    const char* name;
    std::shared_ptr<Criterion> criterion;
  } cases[] = {
      {"no service id", std::make_shared<Criterion>()},
      {"another service", std::make_shared<Criterion>(other_service)},
      {"position without area", std::make_shared<PositionCriterion>(personal(PositionCriterion()))},
      {"state without flags", std::make_shared<StateCriterion>(personal(StateCriterion()))},
      {"composite without arguments",
       std::make_shared<CompositeCriterion>(
           personal(CompositeCriterion(CompositeCriterion::COMPOSITION_AND)))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reports reports;
    s.start(*c.criterion, kNoSort, reports);
    EXPECT_TRUE(reports.reports.empty());
    EXPECT_FALSE(s.is_active());
    ASSERT_TRUE(pump_until([&] { return reports.ended(); }));
    pump_a_while();
    EXPECT_EQ((std::vector<Report>{Report(0.0f, 3)}), reports.reports);
  }

  // A second start while the first runs is refused with 7; the first goes on and
  // keeps reporting to its own handler.
  Reports first, second;
  s.start(personal(Criterion()), kNoSort, first);
  s.start(personal(Criterion()), kNoSort, second);
  EXPECT_TRUE(first.reports.empty());
  EXPECT_TRUE(second.reports.empty());
  ASSERT_TRUE(pump_until([&] { return first.ended() && second.ended(); }));
  EXPECT_EQ((std::vector<Report>{Report(0.0f, 7)}), second.reports);
  EXPECT_EQ(Report(1.0f, 0), first.last());
  EXPECT_EQ(1u, s.get_results().size());

  // Not supported: reported before the call returns.
  Reports soft;
  s.search_soft_deleted_objects(personal(Criterion()), soft);
  EXPECT_EQ((std::vector<Report>{Report(0.0f, 1)}), soft.reports);
}

TEST_F(SearchTest, CancelEndsWithTheIdsFoundSoFar) {
  // Many texts that each take the wildcard matcher a while: a scan of minutes.
  // Every thousandth ends in b and matches "*a*a*a*b"; the others take the matcher long.
  file->exec(
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 200000) "
      "INSERT INTO text (value_text, parent_object) SELECT "
      "'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa' || "
      "CASE WHEN x % 1000 = 0 THEN 'b' ELSE 'c' END, x FROM c");
  keldra_test::LogCapture log;
  SearchUmbo s;
  Reports reports;
  // Rows arrive slowly: cancel once the first has been reported.
  s.start(personal(TextCriterion(orva::ustring("*a*a*a*b"))), kNoSort, reports);
  ASSERT_TRUE(pump_until([&] { return !s.get_results().empty(); }));
  s.cancel();
  EXPECT_FALSE(s.is_active());
  ASSERT_TRUE(pump_until([&] { return reports.ended(); }));
  EXPECT_EQ(Report(1.0f, ORVA_ERROR_KELDRA_CANCELLED), reports.last());
  const size_t found = s.get_results().size();
  EXPECT_GT(found, 0u);
  EXPECT_LT(found, 200u);

  // No row matches: SQLite computes without giving a row; cancel interrupts it.
  Reports none;
  s.start(personal(TextCriterion(orva::ustring("*a*a*a*d"))), kNoSort, none);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  s.cancel();
  ASSERT_TRUE(pump_until([&] { return none.ended(); }));
  EXPECT_EQ((std::vector<Report>{Report(1.0f, ORVA_ERROR_KELDRA_CANCELLED)}), none.reports);
  EXPECT_TRUE(s.get_results().empty());
  EXPECT_TRUE(log.has("SearchThread::run: cancel called, statement interrupted"));

  // The worker serves the next search as usual.
  Reports after;
  s.start(personal(TextCriterion(orva::ustring("nothing"))), kNoSort, after);
  ASSERT_TRUE(pump_until([&] { return after.ended(); }));
  EXPECT_EQ(Report(1.0f, 0), after.last());
}

TEST_F(SearchTest, CancelWithoutSearchReturnsAtOnce) {
  SearchUmbo never_started;
  never_started.cancel();
  EXPECT_FALSE(never_started.is_active());
}

TEST_F(SearchTest, FailedOpenIsReportedAndTheNextStartTriesAgain) {
  file.reset();
  remove_store();
  QDir(QString::fromStdString(keldra_test::home_dir() + "/.cities")).removeRecursively();
  SearchUmbo s;
  Reports failed;
  s.start(personal(Criterion()), kNoSort, failed);
  ASSERT_TRUE(pump_until([&] { return failed.ended(); }));
  EXPECT_EQ((std::vector<Report>{Report(0.0f, 1)}), failed.reports);
  s.cancel();  // nothing runs: returns at once

  QDir().mkpath(QString::fromStdString(keldra_test::home_dir() + "/.cities"));
  file.reset(new PlaceFile(store_path()));
  const unsigned a = add("a");
  Reports ok;
  s.start(personal(Criterion()), kNoSort, ok);
  ASSERT_TRUE(pump_until([&] { return ok.ended(); }));
  EXPECT_EQ(Report(1.0f, 0), ok.last());
  EXPECT_EQ(Ids{a}, s.get_results());
}

TEST_F(SearchTest, DatabaseFailureDuringTheRunEndsTheSearch) {
  add("a");
  // The table is there (a store missing one is refused at open) but not its columns.
  file->exec("DROP TABLE text; CREATE TABLE text (id INTEGER)");
  SearchUmbo s;
  Reports reports;
  s.start(personal(TextCriterion(orva::ustring("a"))), kNoSort, reports);
  ASSERT_TRUE(pump_until([&] { return reports.ended(); }));
  EXPECT_EQ(0.5f, reports.last().first);
  EXPECT_NE(0, reports.last().second);
  // The worker lives on.
  Reports next;
  s.start(personal(Criterion()), kNoSort, next);
  ASSERT_TRUE(pump_until([&] { return next.ended(); }));
  EXPECT_EQ(Report(1.0f, 0), next.last());
}

// The next start comes after the worker ended but before the event loop ran: the
// earlier search's end still reaches its own handler, first, with its own ids.
TEST_F(SearchTest, EndedSearchReportsToItsOwnHandlerWhenTheNextStartsBeforeThePoll) {
  const unsigned b = add("b");
  const unsigned a = add("a");
  const unsigned c = add("c");
  const unsigned other = add("x", {}, "route");
  const Criterion locations = personal(Criterion(), "location");
  const struct {
    const char* name;
    Search::SortPref order;
    bool cancel;
    std::vector<Ids> accepted;  // the earlier search's possible final ids
  } cases[] = {
      {"in row order", kNoSort, false, {Ids{b, a, c}}},
      {"sorted by name", sort(1, 1), false, {Ids{a, b, c}}},
      // Cancelled at some row: the ids found so far, still sorted.
      {"cancelled while sorting by name",
       sort(2, 1),
       true,
       {Ids{}, Ids{b}, Ids{b, a}, Ids{c, b, a}}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    SearchUmbo s;
    std::vector<std::string> order;
    Reports first, second;
    Ids seen_by_first;
    first.during = [&](float, orva::ErrorCode status) {
      order.push_back("first");
      if (status != ORVA_ERROR_KELDRA_IN_PROGRESS) seen_by_first = s.get_results();
    };
    second.during = [&](float, orva::ErrorCode) { order.push_back("second"); };
    s.start(locations, k.order, first);
    if (k.cancel) s.cancel();
    // The worker ends; no event loop runs meanwhile.
    QElapsedTimer timer;
    timer.start();
    while (s.is_active() && timer.elapsed() < 60000) std::this_thread::yield();
    ASSERT_FALSE(s.is_active());
    s.start(personal(Criterion(), "route"), kNoSort, second);
    ASSERT_TRUE(pump_until([&] { return first.ended() && second.ended(); }));
    pump_a_while();

    ASSERT_EQ(1u, first.reports.size());
    if (k.cancel) {
      EXPECT_EQ(1.0f, first.last().first);
    } else {
      EXPECT_EQ(Report(1.0f, 0), first.last());
    }
    EXPECT_NE(k.accepted.end(),
              std::find(k.accepted.begin(), k.accepted.end(), seen_by_first));
    EXPECT_EQ("first", order.front());
    EXPECT_EQ(Report(1.0f, 0), second.last());
    EXPECT_EQ(Ids{other}, s.get_results());
  }
}

TEST_F(SearchTest, HandlerMayStartAgainOrDestroyTheSearch) {
  const unsigned a = add("a");
  SearchUmbo* s = new SearchUmbo;
  Reports second;
  Reports first;
  first.during = [&](float, orva::ErrorCode status) {
    if (status != ORVA_ERROR_KELDRA_IN_PROGRESS) s->start(personal(Criterion()), kNoSort, second);
  };
  second.during = [&](float, orva::ErrorCode status) {
    if (status != ORVA_ERROR_KELDRA_IN_PROGRESS) {
      delete s;
      s = nullptr;
    }
  };
  s->start(personal(TextCriterion(orva::ustring("a"))), kNoSort, first);
  ASSERT_TRUE(pump_until([&] { return s == nullptr; }));
  EXPECT_EQ(Report(1.0f, 0), first.last());
  EXPECT_EQ(Report(1.0f, 0), second.last());
  pump_a_while();
  (void)a;
}

// Composites at the builder's limits, on the real store: the deepest and the widest
// accepted trees prepare and find what they should; one step beyond is refused with 3
// instead of failing in SQLite.
TEST_F(SearchTest, CompositesAtTheLimitsRunEndToEnd) {
  const unsigned cafe = add("caf\xC3\xA9 Central", {{48.2103, 16.3634}});
  add("CAFE\xCC\x81 Museum", {{48.2, 16.36}}, "route");
  add("Old Town Hall", {{48.137, 11.575}});
  auto nested = [](int depth, int width) {
    CompositeCriterion inner(CompositeCriterion::COMPOSITION_AND);
    for (int i = 0; i < width; ++i) {
      TextCriterion t{orva::ustring("caf\xC3\xA9*")};
      t.set_class_name("location");
      inner.add_argument(t);
    }
    inner.add_argument(PositionCriterion(48.1, 48.3, 16.2, 16.5));
    inner.set_class_name("location");
    CompositeCriterion tree = inner;
    for (int level = 1; level < depth; ++level) {
      CompositeCriterion next(CompositeCriterion::COMPOSITION_AND);
      next.add_argument(tree);
      next.set_class_name("location");
      tree = next;
    }
    return personal(tree, "location");
  };
  const struct {
    const char* name;
    CompositeCriterion criterion;
    int result;
  } cases[] = {
      {"eleven deep", nested(11, 1), 0},    {"sixteen deep", nested(16, 1), 0},
      {"seventeen deep", nested(17, 1), 3}, {"500 terms", nested(1, 498), 0},
      {"501 terms", nested(1, 499), 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reports reports;
    SearchUmbo s;
    s.start(c.criterion, kNoSort, reports);
    ASSERT_TRUE(pump_until([&] { return reports.ended(); }));
    if (c.result == 0) {
      EXPECT_EQ(Report(1.0f, 0), reports.last());
      EXPECT_EQ(Ids{cafe}, s.get_results());
    } else {
      EXPECT_EQ((std::vector<Report>{Report(0.0f, 3)}), reports.reports);
    }
  }
}

}  // namespace
