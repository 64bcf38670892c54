// The work search of a run on a real store: the lists each task gets from the store's
// searches and the local-objects filter, seen while the run waits for the session.
#include "TransferFixture.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::internal::DirectTransferHandler;
using Ids = std::vector<unsigned int>;

const orva::ErrorCode RUNNING = ORVA_ERROR_KELDRA_IN_PROGRESS;

class WorkSearchTest : public TransferTest {
 protected:
  // Runs the search of |handler| and waits until the run waits for the session.
  void search(StepHandler& handler) {
    ASSERT_EQ(RUNNING, start(handler));
    ASSERT_TRUE(wait_until([&] { return !listener_.reports.empty(); }));
    ASSERT_EQ(DirectTransferHandler::CONNECTING, handler.phase());
  }
};

TEST_F(WorkSearchTest, ObjectsUploadListByFilterAndSearch) {
  const unsigned int synced_a = add_place("synced a", true);
  const unsigned int fresh_b = add_place("fresh b");
  const unsigned int synced_c = add_place("synced c", true);
  const unsigned int fresh_d = add_place("fresh d");
  struct Case {
    const char* name;
    bool without_ids;
    bool filter;
    Ids filter_ids;
    Ids uplist;
    bool searched;
  };
  const Case cases[] = {
      // The filter itself, sorted: no search.
      {"FilterOnly", false, true, {fresh_d, synced_a}, {synced_a, fresh_d}, false},
      // The modified objects narrowed by the filter.
      {"FilterAndSearch", true, true, {fresh_d, synced_a}, {fresh_d}, true},
      {"SearchOnly", true, false, {}, {fresh_b, fresh_d}, true},
      {"EmptyFilterAndSearch", true, true, {}, {}, true},
      // Neither: nothing to upload, although a stage counts the upload.
      {"Neither", false, false, {}, {}, false},
  };
  (void)synced_c;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    listener_.reports.clear();
    SharedPointer<StepHandler> handler = make_step_handler();
    handler->enable_objects_upload();
    if (c.without_ids) handler->enable_objects_upload_without_ids();
    if (c.filter) {
      ASSERT_EQ(0, handler->set_local_objects_filter(c.filter_ids, 0));
    }
    const orva::ErrorCode started = start(*handler);
    EXPECT_EQ(RUNNING, started);
    // Without a search the phase passes inside start.
    EXPECT_EQ(c.searched ? 0u : 1u, reports_at_return_);
    ASSERT_TRUE(wait_until([&] { return !listener_.reports.empty(); }));
    EXPECT_EQ(c.uplist, handler->objects_uplist());
    EXPECT_EQ(c.uplist.size(), handler->items_total());
    handler->cancel();
  }
}

// Children to the given depth join the filter once each, however often they are linked.
TEST_F(WorkSearchTest, ChildrenWidenTheFilterOnce) {
  const unsigned int grandchild = add_place("grandchild", true);
  const unsigned int child_1 = add_place("child 1", true, {grandchild});
  const unsigned int child_2 = add_place("child 2", true);
  const unsigned int shared = add_place("shared", true);
  const unsigned int parent = add_place("parent", true, {child_1, child_2, shared});
  const unsigned int other = add_place("other parent", true, {shared, child_2});
  struct Case {
    const char* name;
    Ids filter;
    unsigned int depth;
    Ids widened;
  };
  const Case cases[] = {
      {"DepthZeroSortsOnly", {other, parent}, 0, {parent, other}},
      {"DirectChildren", {parent}, 1, {child_1, child_2, shared, parent}},
      {"Grandchildren", {parent}, 2, {grandchild, child_1, child_2, shared, parent}},
      // Linked from two parents, and a child that is itself in the filter: once.
      {"SharedChildren", {parent, other, child_2}, 1, {child_1, child_2, shared, parent, other}},
      {"DeeperThanTheTree",
       {parent, other},
       5,
       {grandchild, child_1, child_2, shared, parent, other}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    listener_.reports.clear();
    SharedPointer<StepHandler> handler = make_step_handler();
    handler->enable_objects_upload();
    ASSERT_EQ(0, handler->set_local_objects_filter(c.filter, c.depth));
    search(*handler);
    Ids expected = c.widened;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, handler->local_objects());
    EXPECT_EQ(expected, handler->objects_uplist());  // each object goes into a package once
    handler->cancel();
  }
}

TEST_F(WorkSearchTest, MediaListsFromTheirSearches) {
  const unsigned int local_only = add_media("/home/user/a.jpg", "");
  const unsigned int remote_only = add_media("", "https://127.0.0.1/files/b.jpg");
  const unsigned int both = add_media("/home/user/c.jpg", "https://127.0.0.1/files/c.jpg");
  const unsigned int remote_2 = add_media("", "https://127.0.0.1/files/d.jpg");
  const unsigned int local_2 = add_media("/home/user/e.jpg", "");
  (void)both;
  struct Case {
    const char* name;
    bool upload;
    bool download;
    bool filter;
    Ids filter_ids;
    Ids uplist;
    Ids downlist;
  };
  const Case cases[] = {
      {"Upload", true, false, false, {}, {local_only, local_2}, {}},
      {"Download", false, true, false, {}, {}, {remote_only, remote_2}},
      {"BothOneAfterTheOther",
       true,
       true,
       false,
       {},
       {local_only, local_2},
       {remote_only, remote_2}},
      {"Filtered", true, true, true, {remote_2, local_only}, {local_only}, {remote_2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    listener_.reports.clear();
    SharedPointer<StepHandler> handler = make_step_handler();
    if (c.upload) handler->enable_mmf_upload();
    if (c.download) handler->enable_mmf_download();
    if (c.filter) {
      ASSERT_EQ(0, handler->set_local_objects_filter(c.filter_ids, 0));
    }
    search(*handler);
    EXPECT_EQ(c.uplist, handler->searched_uplist);
    EXPECT_EQ(c.downlist, handler->mmfiles_downlist());
    EXPECT_EQ(c.uplist.size() + c.downlist.size(), handler->items_total());
    handler->cancel();
  }
}

TEST_F(WorkSearchTest, QueueTaskEndsTheRunBeforeConnecting) {
  SharedPointer<DirectTransferHandler> handler = make_handler();
  handler->enable_queue_upload("personal");
  handler->enable_objects_upload();
  EXPECT_EQ(2, start(*handler));
  ASSERT_EQ(1u, listener_.reports.size());
  EXPECT_EQ((TransferReport{2, 0.0f, DirectTransferHandler::FINISHED}), listener_.reports[0]);
  EXPECT_EQ(nullptr, network_);
}

// The lists a run filled are emptied by its end; the file options stay.
TEST_F(WorkSearchTest, EnablingIsForOneRun) {
  add_media("", "https://127.0.0.1/files/b.jpg");
  SharedPointer<StepHandler> handler = make_step_handler();
  handler->enable_mmf_download();
  ASSERT_EQ(0, handler->enable_objects_download({5, 6}, true));
  search(*handler);
  EXPECT_EQ(3u, handler->items_total());
  network_->finish_open();
  ASSERT_EQ(1, listener_.finals());
  EXPECT_TRUE(handler->mmfiles_downlist().empty());
  // A second run without enabling anything: nothing searched, nothing counted.
  listener_.reports.clear();
  ASSERT_EQ(RUNNING, start(*handler));
  EXPECT_EQ(1u, reports_at_return_);
  EXPECT_EQ(0u, handler->items_total());
  handler->cancel();
}

}  // namespace
}  // namespace keldra_test
