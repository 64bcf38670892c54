// The direct transfer run against a scripted network adapter over a real store file:
// the reports of each run as exact sequences, the waits returning to the event loop,
// the stops, and the faults of the run's end.
#include "TransferFixture.h"

#include "support/TestEnv.h"

#include <keldra/DataAdapter.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::internal::DirectTransferHandler;
using Reports = std::vector<TransferReport>;

const orva::ErrorCode RUNNING = ORVA_ERROR_KELDRA_IN_PROGRESS;
const orva::ErrorCode CANCELLED = ORVA_ERROR_KELDRA_CANCELLED;
const Phase SEARCHING = DirectTransferHandler::SEARCHING;
const Phase CONNECTING = DirectTransferHandler::CONNECTING;
const Phase OBJECTS = DirectTransferHandler::OBJECTS;
const Phase DOWNLOAD = DirectTransferHandler::DOWNLOAD;
const Phase FINISHED = DirectTransferHandler::FINISHED;

// The total of the staged progress at fraction |p| of the stage from |lo| to |hi|,
// computed as the run computes it.
float at(float lo, float hi, float p) { return lo + (hi - lo) * p; }

// The stage starts of |n| work units, as the run declares them.
std::vector<float> unit_stages(int n) {
  std::vector<float> out;
  const float s = static_cast<float>(0.89 / n);
  for (int i = 1; i <= n; ++i) out.push_back(static_cast<float>(0.1 + (float)i * s));
  return out;
}

bool never_decreases(const Reports& reports) {
  for (size_t i = 1; i < reports.size(); ++i) {
    if (reports[i].progress < reports[i - 1].progress) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Making a handler.

class NoStoreAdapter : public orva::keldra::DataAdapter {
 public:
  void init(orva::keldra::ProgressHandler&) override {}
  void set_event_listener(orva::keldra::RepositoryObserver&) override {}
  void unset_event_listener() override {}
  orva::ustring get_db_name() const override { return orva::ustring(); }
};

TEST_F(TransferTest, CreateRefusesAnEmptyOrUnusableAdapter) {
  orva::ErrorCode error = -1;
  EXPECT_FALSE(
      DirectTransferHandler::create(SharedPointer<orva::keldra::DataAdapter>(), &error).is_valid());
  EXPECT_EQ(3, error);
  // No repository, no sync adapter: the store cannot be used.
  SharedPointer<orva::keldra::DataAdapter> bare(new NoStoreAdapter);
  EXPECT_FALSE(DirectTransferHandler::create(bare, &error).is_valid());
  EXPECT_EQ(1, error);
  EXPECT_FALSE(DirectTransferHandler::create(bare, nullptr).is_valid());

  SharedPointer<DirectTransferHandler> made = DirectTransferHandler::create(adapter_, &error);
  ASSERT_TRUE(made.is_valid());
  EXPECT_EQ(0, error);
  EXPECT_EQ(1u, made->get_ref_count());
  EXPECT_FALSE(made->is_active());
}

// ---------------------------------------------------------------------------------------
// A run with nothing to transfer still opens the session; every wait returns.

TEST_F(TransferTest, RunWithoutTaskConnectsAndFinishes) {
  SharedPointer<DirectTransferHandler> handler = make_handler();
  EXPECT_EQ(RUNNING, start(*handler));
  EXPECT_EQ(Reports({{RUNNING, 0.05f, SEARCHING}}), listener_.reports);
  EXPECT_TRUE(handler->is_active());
  ASSERT_NE(nullptr, network_);
  EXPECT_EQ(std::vector<std::string>({"open(0)"}), network_->calls);

  network_->finish_open();
  EXPECT_EQ(
      Reports({{RUNNING, 0.05f, SEARCHING}, {RUNNING, 0.1f, CONNECTING}, {0, 1.0f, FINISHED}}),
      listener_.reports);
  EXPECT_FALSE(handler->is_active());
  // Opened, found open after the change to READY, closed at the end.
  EXPECT_EQ(std::vector<std::string>({"open(0)", "open(0)", "close"}), network_->calls);
  EXPECT_EQ(0u, handler->get_data_transfered());
}

TEST_F(TransferTest, SessionOpenedFromTheEventLoop) {
  auto_open_ = true;
  SharedPointer<DirectTransferHandler> handler = make_handler();
  EXPECT_EQ(RUNNING, start(*handler));
  EXPECT_EQ(1u, reports_at_return_);
  ASSERT_TRUE(wait_final());
  EXPECT_EQ(
      Reports({{RUNNING, 0.05f, SEARCHING}, {RUNNING, 0.1f, CONNECTING}, {0, 1.0f, FINISHED}}),
      listener_.reports);
}

struct ConnectFailure {
  const char* name;
  orva::ErrorCode open_result;  // what open answers
  orva::ErrorCode session_end;  // the opening's end when open accepted (0: none)
  bool no_adapter;              // the adapter cannot be made
  orva::ErrorCode expected;
  bool ends_inside_start;
};

TEST_F(TransferTest, ConnectFailuresEndTheRun) {
  const ConnectFailure cases[] = {
      {"NoConfiguration", 5, 0, false, 5, true},     {"AdapterBusy", 7, 0, false, 7, true},
      {"OtherOpenFailure", 1, 0, false, 1, true},    {"NoAdapter", 0, 0, true, 1, true},
      {"SessionFails", RUNNING, 5, false, 5, false},
  };
  for (const ConnectFailure& c : cases) {
    SCOPED_TRACE(c.name);
    listener_.reports.clear();
    network_ = nullptr;
    open_result_ = c.open_result;
    if (c.no_adapter) {
      orva::keldra::internal::DirectTransferHandlerImpl::set_network_adapter_factory(
          [](orva::keldra::internal::NetworkAdapter::Listener&) {
            return SharedPointer<orva::keldra::internal::NetworkAdapter>();
          });
    }
    SharedPointer<DirectTransferHandler> handler = make_handler();
    const orva::ErrorCode started = start(*handler);
    if (!c.ends_inside_start) {
      EXPECT_EQ(RUNNING, started);
      network_->finish_open(c.session_end);
    } else {
      EXPECT_EQ(c.expected, started);
      EXPECT_EQ(2u, reports_at_return_);
    }
    EXPECT_EQ(Reports({{RUNNING, 0.05f, SEARCHING}, {c.expected, 0.05f, FINISHED}}),
              listener_.reports);
    EXPECT_FALSE(handler->is_active());
    if (c.no_adapter) SetUp();  // puts the scripted adapter back
  }
}

TEST_F(TransferTest, StartWhileActiveIsRefusedAndAFinishedHandlerRunsAgain) {
  SharedPointer<DirectTransferHandler> handler = make_handler();
  ASSERT_EQ(RUNNING, start(*handler));
  RecordingListener other;
  EXPECT_EQ(7, handler->start(params(), "device-2", other));
  EXPECT_TRUE(other.reports.empty());
  EXPECT_EQ(1u, listener_.reports.size());

  network_->finish_open();
  ASSERT_EQ(1, listener_.finals());
  // Again, on the same adapter: opened anew, then closed again.
  listener_.reports.clear();
  EXPECT_EQ(RUNNING, start(*handler));
  network_->finish_open();
  EXPECT_EQ(
      Reports({{RUNNING, 0.05f, SEARCHING}, {RUNNING, 0.1f, CONNECTING}, {0, 1.0f, FINISHED}}),
      listener_.reports);
  EXPECT_EQ(
      std::vector<std::string>({"open(0)", "open(0)", "close", "open(0)", "open(0)", "close"}),
      network_->calls);
}

// ---------------------------------------------------------------------------------------
// Cancel: the final report before cancel returns, nothing after.

TEST_F(TransferTest, CancelReportsBeforeItReturnsAndNothingComesAfter) {
  struct Case {
    const char* name;
    bool during_request;  // else while the session opens
    Reports expected;
  };
  const float objects_lo = unit_stages(1)[0];
  (void)objects_lo;
  const Case cases[] = {
      {"WhileOpening", false, {{RUNNING, 0.05f, SEARCHING}, {CANCELLED, 0.05f, FINISHED}}},
      {"DuringARequest",
       true,
       {{RUNNING, 0.05f, SEARCHING},
        {RUNNING, 0.1f, CONNECTING},
        {RUNNING, at(0.1f, unit_stages(1)[0], 0.05f), OBJECTS},
        {CANCELLED, at(0.1f, unit_stages(1)[0], 0.05f), FINISHED}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    listener_.reports.clear();
    SharedPointer<StepHandler> handler = make_step_handler();
    handler->objects_requests = 1;
    ASSERT_EQ(0, handler->enable_objects_download({77}, false));
    ASSERT_EQ(RUNNING, start(*handler));
    if (c.during_request) network_->finish_open();
    ASSERT_TRUE(handler->is_active());
    size_t before = 0;
    listener_.during = [&](const TransferReport&) { before = listener_.reports.size(); };
    handler->cancel();
    listener_.during = nullptr;
    EXPECT_EQ(c.expected.size(), before);
    EXPECT_EQ(c.expected, listener_.reports);
    EXPECT_EQ(CANCELLED, handler->status());
    EXPECT_EQ("close", network_->calls.back());
    // What the network still says is ignored.
    network_->finish_open();
    network_->reply(200, "R:OK;");
    pump_a_while();
    EXPECT_EQ(c.expected, listener_.reports);
  }
}

TEST_F(TransferTest, CancelOfAFinishedRunTellsItsListenerOnceMore) {
  SharedPointer<DirectTransferHandler> fresh = make_handler();
  fresh->cancel();  // no run, no listener: nothing to tell
  EXPECT_TRUE(listener_.reports.empty());

  SharedPointer<DirectTransferHandler> handler = make_handler();
  ASSERT_EQ(RUNNING, start(*handler));
  network_->finish_open();
  listener_.reports.clear();
  handler->cancel();
  EXPECT_EQ(Reports({{CANCELLED, 1.0f, FINISHED}}), listener_.reports);
}

// ---------------------------------------------------------------------------------------
// Staged progress: exact stage starts for 1, 2 and 3 work units.

TEST_F(TransferTest, StagesFollowTheWorkUnits) {
  const unsigned int remote = add_media("", "https://127.0.0.1/files/a.jpg");
  ASSERT_NE(0u, remote);
  for (int units = 1; units <= 3; ++units) {
    SCOPED_TRACE(units);
    listener_.reports.clear();
    SharedPointer<StepHandler> handler = make_step_handler();
    // 1: objects download; 2: and objects upload; 3: and one media download.
    ASSERT_EQ(0, handler->enable_objects_download({77}, false));
    if (units >= 2) {
      handler->enable_objects_upload();
      ASSERT_EQ(0, handler->set_local_objects_filter({}, 0));
    }
    if (units >= 3) {
      handler->enable_mmf_download();
      // The filter limits the media search too: let the object through.
      ASSERT_EQ(0, handler->set_local_objects_filter({remote}, 0));
      handler->download_requests = true;
    }
    handler->objects_requests = units >= 3 ? 2 : units;
    ASSERT_EQ(RUNNING, start(*handler));
    ASSERT_TRUE(wait_until([&] { return !listener_.reports.empty(); }));
    network_->finish_open();
    // One request per unit, each answered: 0.05 at its start, 1.0 when received.
    int requests = 0;
    while (handler->is_active() && requests < 5) {
      ++requests;
      network_->reply(200, "R:OK;");
    }
    ASSERT_FALSE(handler->is_active());
    const std::vector<float> stages = unit_stages(units);
    Reports expected = {{RUNNING, 0.05f, SEARCHING}, {RUNNING, 0.1f, CONNECTING}};
    float lo = 0.1f;
    for (int i = 0; i < units; ++i) {
      const Phase phase = i < (units >= 3 ? 2 : units) ? OBJECTS : DOWNLOAD;
      expected.push_back({RUNNING, at(lo, stages[i], 0.05f), phase});
      const float hi = i + 1 < units ? stages[i + 1] : 1.0f;
      expected.push_back({RUNNING, stages[i], phase});
      if (phase == DOWNLOAD) expected.push_back({RUNNING, stages[i], phase});  // saved
      lo = stages[i];
      (void)hi;
    }
    expected.push_back({0, 1.0f, FINISHED});
    EXPECT_EQ(expected, listener_.reports);
    EXPECT_TRUE(never_decreases(listener_.reports));
  }
  // The floats the run declares, as literal values.
  const std::vector<std::vector<float>> literal = {
      {0.99f}, {0.545f, 0.99f}, {0.3966666f, 0.6933333f, 0.99f}};
  for (int units = 1; units <= 3; ++units) {
    ASSERT_EQ(literal[units - 1].size(), unit_stages(units).size());
    for (size_t i = 0; i < literal[units - 1].size(); ++i) {
      EXPECT_NEAR(literal[units - 1][i], unit_stages(units)[i], 1e-6) << units << " " << i;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Replies.

TEST_F(TransferTest, ReplyStatusesAndBytes) {
  struct Case {
    const char* name;
    unsigned int http;
    std::string body;
    orva::ErrorCode final_status;
    uint64_t bytes;  // the posted 13 and the reply's body
  };
  const Case cases[] = {
      {"Ok", 200, "R:OK;", 0, 13 + 5},
      {"Unauthorised", 401, "R:OK;", 0x6004, 13},
      {"NotFound", 404, "", 8, 13},
      {"ServerError", 503, "", 0x6005, 13},
      {"Malformed", 200, "S:oa1;", 3, 13 + 6},
      {"FailedResponseLine", 200, "R:FAIL;", 1, 13 + 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    listener_.reports.clear();
    SharedPointer<StepHandler> handler = make_step_handler();
    handler->objects_requests = 1;
    ASSERT_EQ(0, handler->enable_objects_download({77}, false));
    ASSERT_EQ(RUNNING, start(*handler));
    network_->finish_open();
    network_->reply(c.http, c.body);
    EXPECT_FALSE(handler->is_active());
    ASSERT_EQ(1, listener_.finals());
    EXPECT_EQ(c.final_status, listener_.reports.back().status);
    EXPECT_EQ(FINISHED, listener_.reports.back().phase);
    EXPECT_EQ(c.bytes, handler->get_data_transfered());
  }
}

// A 2xx reply to a package that comes without a body answers nothing: what the package
// carried is booked as failed and the run ends with 1.
TEST_F(TransferTest, EmptyReplyToAPackageAnswersNothing) {
  const unsigned int place = add_place("home");
  SharedPointer<DirectTransferHandler> handler = make_handler();
  handler->enable_objects_upload();
  ASSERT_EQ(0, handler->set_local_objects_filter({place}, 0));
  ASSERT_EQ(0, handler->enable_objects_download({4711}, false));
  ASSERT_EQ(RUNNING, start(*handler));
  network_->finish_open();
  ASSERT_EQ(0u, network_->calls.back().rfind("post(", 0)) << network_->calls.back();
  network_->reply(200, "");
  EXPECT_FALSE(handler->is_active());
  EXPECT_EQ(1, listener_.finals());
  EXPECT_EQ(1, listener_.reports.back().status);
  ASSERT_EQ(2u, handler->failed_objects().size());
  EXPECT_EQ(place, handler->failed_objects()[0].object.get_local_id());
  EXPECT_EQ(4711u, handler->failed_objects()[1].object.get_global_id());
  for (const DirectTransferHandler::ItemResult& r : handler->failed_objects())
    EXPECT_EQ(ORVA_ERROR_UNKNOWN, r.error);
}

// A failed response line: the reports made while its reply is still handled carry
// 0x6001; the run ends with 1 at the adapter's next state change.
TEST_F(TransferTest, FailedResponseLineKeepsReportsRunningUntilTheEnd) {
  SharedPointer<StepHandler> handler = make_step_handler();
  handler->objects_requests = 2;
  ASSERT_EQ(0, handler->enable_objects_download({77}, false));
  ASSERT_EQ(RUNNING, start(*handler));
  network_->finish_open();
  network_->reply(200, "R:FAIL;", "text/plain", /*finish=*/false);
  network_->progress(0.5f);
  EXPECT_TRUE(handler->is_active());
  for (const TransferReport& r : listener_.reports) EXPECT_EQ(RUNNING, r.status) << r;
  network_->fail(0);  // the change back to READY after the reply
  EXPECT_FALSE(handler->is_active());
  EXPECT_EQ(1, listener_.finals());
  EXPECT_EQ(1, listener_.reports.back().status);
  EXPECT_EQ(1, handler->status());
  // No second request went out.
  EXPECT_EQ(1, handler->objects_requests);
}

// A download that ends 2xx without body bytes is skipped once, not asked for again.
TEST_F(TransferTest, EmptyDownloadBodySkipsItsEntry) {
  const unsigned int first = add_media("", "https://127.0.0.1/files/a.jpg");
  const unsigned int second = add_media("", "https://127.0.0.1/files/b.jpg");
  SharedPointer<StepHandler> handler = make_step_handler();
  handler->enable_mmf_download();
  handler->download_requests = true;
  ASSERT_EQ(RUNNING, start(*handler));
  ASSERT_TRUE(wait_until([&] { return !listener_.reports.empty(); }));
  network_->finish_open();
  network_->reply(200, "");
  network_->reply(200, "file bytes");
  ASSERT_FALSE(handler->is_active());
  EXPECT_EQ(std::vector<std::string>(
                {"open(0)", "open(0)", "get(https://127.0.0.1/md" + std::to_string(first) + ")",
                 "get(https://127.0.0.1/md" + std::to_string(second) + ")", "close"}),
            network_->calls);
  EXPECT_EQ(std::vector<unsigned int>({second}), handler->saved);
  EXPECT_EQ((TransferReport{0, 1.0f, FINISHED}), listener_.reports.back());
  EXPECT_EQ(1, listener_.finals());
  EXPECT_TRUE(never_decreases(listener_.reports));
}

// A search that completes after the run was stopped ends nothing again.
TEST_F(TransferTest, SearchEndAfterStopMakesNoSecondFinalReport) {
  for (int i = 0; i < 30; ++i) add_media("", "https://127.0.0.1/files/" + std::to_string(i));
  for (int round = 0; round < 5; ++round) {
    listener_.reports.clear();
    SharedPointer<DirectTransferHandler> handler = make_handler();
    handler->enable_mmf_download();
    ASSERT_EQ(RUNNING, start(*handler));
    EXPECT_TRUE(listener_.reports.empty());  // waiting for the search
    handler->cancel();
    EXPECT_EQ(Reports({{CANCELLED, 0.0f, FINISHED}}), listener_.reports);
    pump_a_while();
    EXPECT_EQ(1, listener_.finals());
    EXPECT_EQ(nullptr, network_);  // never connected
  }
}

// A handler destroyed while its search runs: the search's end reaches no freed memory.
TEST_F(TransferTest, HandlerDestroyedDuringItsSearch) {
  for (int i = 0; i < 30; ++i) add_media("", "https://127.0.0.1/files/" + std::to_string(i));
  {
    SharedPointer<DirectTransferHandler> handler = make_handler();
    handler->enable_mmf_download();
    ASSERT_EQ(RUNNING, start(*handler));
  }
  pump_a_while();
  EXPECT_TRUE(listener_.reports.empty());
  // The searcher serves the next handler as usual.
  SharedPointer<DirectTransferHandler> next = make_handler();
  next->enable_mmf_download();
  ASSERT_EQ(RUNNING, start(*next));
  ASSERT_TRUE(wait_until([&] { return !listener_.reports.empty(); }));
  EXPECT_EQ(Reports({{RUNNING, 0.05f, SEARCHING}}), listener_.reports);
  next->cancel();
}

// ---------------------------------------------------------------------------------------
// Item keys.

TEST(ItemKeys, CreateAndParse) {
  using T = DirectTransferHandler;
  struct Case {
    T::RequestType type;
    unsigned long long id;
    const char* key;
  };
  const Case made[] = {
      {T::REQUEST_QUEUE_FORWARD, 1, "qf1"},
      {T::REQUEST_OBJECT_ADD, 17, "oa17"},
      {T::REQUEST_OBJECT_REPLACE, 42, "or42"},
      {T::REQUEST_OBJECT_DOWNLOAD, 4711, "od4711"},
      {T::REQUEST_MMF_UPLOAD, 5, "mu5"},
      {T::REQUEST_MMF_DOWNLOAD, 18446744073709551615ULL, "md18446744073709551615"},
      {T::REQUEST_PS, 0, "ps0"},
      {T::REQUEST_OBJECT_ADD, 2147483647, "oa2147483647"},
  };
  for (const Case& c : made) EXPECT_EQ(c.key, T::create_item_key(c.type, c.id));

  struct Parsed {
    const char* key;
    T::RequestType type;
    unsigned long long id;
  };
  const Parsed parsed[] = {
      {"oa17", T::REQUEST_OBJECT_ADD, 17},
      {"or42", T::REQUEST_OBJECT_REPLACE, 42},
      {"od996", T::REQUEST_OBJECT_DOWNLOAD, 996},
      {"mu5;rest", T::REQUEST_MMF_UPLOAD, 5},  // what follows the digits is ignored
      {"md18446744073709551615", T::REQUEST_MMF_DOWNLOAD, 18446744073709551615ULL},
      {"qf3", T::REQUEST_QUEUE_FORWARD, 3},
      {"ps9", T::REQUEST_PS, 9},
      {"xx12", T::REQUEST_NONE, 12},  // unknown letters keep the number
      {"OA17", T::REQUEST_NONE, 17},
      {"oa0", T::REQUEST_NONE, 0},
      {"oa", T::REQUEST_NONE, 0},
      {"oax", T::REQUEST_NONE, 0},
      {"oa-5", T::REQUEST_NONE, 0},
      {"", T::REQUEST_NONE, 0},
  };
  for (const Parsed& p : parsed) {
    const T::Request r = T::parse_item_key(p.key);
    EXPECT_EQ(p.type, r.type) << p.key;
    EXPECT_EQ(p.id, r.id) << p.key;
  }
}

}  // namespace
}  // namespace keldra_test
