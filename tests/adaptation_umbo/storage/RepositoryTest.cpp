// The repository's operations on the real file: results, modified marks, events.
#include "support/AdapterFixture.h"

#include <keldra/Link.h>
#include <keldra/RepositoryEvent.h>

#include "adaptation_umbo/storage/RepositoryUmbo.h"

#include <vector>

namespace {

using keldra_test::AdapterTest;
using keldra_test::Batches;
using keldra_test::Events;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::RepositoryEvent;

TEST_F(AdapterTest, InsertGivesAnIdClearsTheMarksAndAnnouncesOnce) {
  Object o = place("home");
  ASSERT_TRUE(o.is_modified());
  ASSERT_EQ(0, repo_->insert_object(o));
  EXPECT_NE(0u, o.get_local_id());
  EXPECT_FALSE(o.is_modified());
  settle_bus();
  EXPECT_EQ((Batches{{RepositoryEvent(1, static_cast<int>(o.get_local_id()))}}), observer_.batches);

  Object read;
  ASSERT_EQ(0, repo_->get_object(o.get_local_id(), read));
  EXPECT_EQ("home", read.get_name());
  Object header;
  ASSERT_EQ(0, repo_->get_object_header(o.get_local_id(), header));
  EXPECT_TRUE(header.is_partial());
  std::vector<Object> headers;
  ASSERT_EQ(0, static_cast<orva::keldra::internal::RepositoryUmbo*>(repo_.get())
                   ->get_object_headers(headers));
  ASSERT_EQ(1u, headers.size());
  EXPECT_EQ(o.get_local_id(), headers[0].get_local_id());
}

TEST_F(AdapterTest, FailedWritesAnnounceNothingAndKeepTheMarks) {
  Object missing = place("nowhere");
  missing.set_local_id(4242);
  EXPECT_EQ(8, repo_->update_object(missing));
  EXPECT_TRUE(missing.is_modified());
  EXPECT_EQ(8, repo_->set_object_sharing(4242, orva::keldra::SharingModel(1), false));
  Object no_class;
  no_class.set_modified(true);
  EXPECT_NE(0, repo_->insert_object(no_class));
  EXPECT_TRUE(no_class.is_modified());
  EXPECT_EQ(0u, repo_->get_object_local_id(12345));
  Object read;
  EXPECT_EQ(8, repo_->get_object(4242, read));
  settle_bus();
  EXPECT_TRUE(observer_.batches.empty());
  EXPECT_TRUE(peer_->heard.empty());
}

TEST_F(AdapterTest, RemovalAndSharingAreAnnouncedAsRemovedAndUpdated) {
  unsigned int a = insert("a");
  unsigned int b = insert("b");
  ASSERT_EQ(0, repo_->set_object_sharing(a, orva::keldra::SharingModel(2), false));
  ASSERT_EQ(0, repo_->remove_object(b));
  settle_bus();
  EXPECT_EQ((Batches{{RepositoryEvent(1, int(a))},
                     {RepositoryEvent(1, int(b))},
                     {RepositoryEvent(2, int(a))},
                     {RepositoryEvent(3, int(b))}}),
            observer_.batches);
  Object read;
  EXPECT_EQ(8, repo_->get_object(b, read));
  ASSERT_EQ(0, repo_->get_object(a, read));
  EXPECT_EQ(2, static_cast<int>(read.get_sharing()));
}

TEST_F(AdapterTest, ChildrenAndIdLookupsAreForwarded) {
  unsigned int member = insert("member");
  Object trip("collection");
  trip.set_name(std::string("trip"));
  Link link;
  link.set_name(std::string("member"));
  link.set_local_link(member);
  trip.get_links().push_back(link);
  ASSERT_EQ(0, repo_->insert_object(trip));
  std::vector<Link> children;
  ASSERT_EQ(0, repo_->get_object_children(trip.get_local_id(), children));
  ASSERT_EQ(1u, children.size());
  EXPECT_EQ(member, children[0].get_local_link());
  EXPECT_EQ(0ull, repo_->get_object_global_id(member));  // never synchronised
  Object none;
  EXPECT_EQ(8, repo_->get_global_object(777, none));
}

TEST_F(AdapterTest, FixedAnswers) {
  EXPECT_EQ(0u, repo_->get_default_object_id());
  EXPECT_EQ(4, repo_->set_default_object_id(5));
  unsigned int a = insert("a");
  EXPECT_EQ(1, repo_->set_object_no_sync(a, true));
  Object read;
  ASSERT_EQ(0, repo_->get_object(a, read));
  EXPECT_FALSE(read.is_no_sync());
  EXPECT_FALSE(repo_->get_upload_queue().is_valid());
  EXPECT_FALSE(adapter_->data_source().is_valid());
  EXPECT_TRUE(adapter_->sync_adapter().is_valid());
}

TEST_F(AdapterTest, RepositoriesAreNewButShareTheDatabaseAndHeldEvents) {
  orva::SharedPointer<orva::keldra::Repository> other = adapter_->repository();
  ASSERT_TRUE(other.is_valid());
  EXPECT_NE(other.get(), repo_.get());
  ASSERT_EQ(0, other->begin_transaction(false));
  EXPECT_TRUE(repo_->is_in_transaction());
  unsigned int a = insert("a");  // through the first repository
  settle_bus();
  EXPECT_TRUE(observer_.batches.empty());
  ASSERT_EQ(0, other->commit_transaction());
  settle_bus();
  EXPECT_EQ((Batches{{RepositoryEvent(1, int(a))}}), observer_.batches);
  Object read;
  EXPECT_EQ(0, other->get_object(a, read));
}

// A repository keeps its adapter, and so the database, alive.
TEST_F(AdapterTest, ARepositoryOutlivesItsAdapterHandle) {
  adapter_->unset_event_listener();
  adapter_.release();
  umbo_ = nullptr;
  unsigned int a = insert("kept");
  ASSERT_NE(0u, a);
  Object read;
  EXPECT_EQ(0, repo_->get_object(a, read));
}

}  // namespace
