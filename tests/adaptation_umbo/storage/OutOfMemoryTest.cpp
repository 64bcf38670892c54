// Out of memory at every allocation of a write through the repository and the sync
// adapter, one allocation at a time, on the real store file: no exception leaves them, a
// write reported failed left the file as it was and announced nothing, and a write
// reported done is in the file with its event.
#include "FailingAllocations.h"
#include "support/AdapterFixture.h"
#include "support/DbTestUtil.h"
#include "support/TestEnv.h"

#include <keldra/Attribute.h>
#include <keldra/Object.h>
#include <keldra/Repository.h>
#include <keldra/RepositoryEvent.h>
#include <keldra/SyncAdapter.h>

#include "adaptation_umbo/database/Database.h"
#include "adaptation_umbo/storage/DataAdapterUmbo.h"
#include "adaptation_umbo/syncml/SyncAdapterUmbo.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using keldra_test::AdapterTest;
using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Object;
using orva::keldra::Repository;
using orva::keldra::RepositoryEvent;
using orva::keldra::SyncAdapter;
using orva::keldra::internal::DataAdapterUmbo;

// A data adapter of its own over the store file, with the sync mark set so that its
// events stay where the test can read them, and a repository and a sync adapter over it.
struct Writers {
  Writers() : adapter(new DataAdapterUmbo()) {
    adapter->database()->init(nullptr);
    adapter->setInSync(true);
    repo = adapter->repository();
    sync = adapter->sync_adapter();
  }
  SharedPointer<DataAdapterUmbo> adapter;
  SharedPointer<Repository> repo;
  SharedPointer<SyncAdapter> sync;
};

Object named_place(const std::string& name, unsigned long long global_id = 0) {
  Object o("location");
  o.set_name(name);
  o.set_service(std::string("personal"));
  o.set_global_id(global_id);
  SharedPointer<Attribute> address(new Attribute("address", "address"));
  address->add_field("text")->set_value(name + " street 1");
  o.get_attributes().push_back(address);
  return o;
}

// With every log line written, so that the lines logged after a commit fail too.
class OutOfMemoryTest : public AdapterTest {
 protected:
  void SetUp() override {
    capture_log_ = true;
    AdapterTest::SetUp();
  }
};

unsigned int inserted(Repository& repo, const std::string& name) {
  Object o = named_place(name);
  return repo.insert_object(o) == 0 ? o.get_local_id() : 0;
}

unsigned int added(SyncAdapter& sync, const std::string& name, unsigned long long global_id) {
  Object o = named_place(name, global_id);
  return sync.add_object(o) == 0 ? o.get_local_id() : 0;
}

struct Write {
  const char* name;
  // Makes what the write works on (nothing fails yet); the subject's local id.
  std::function<unsigned int(Writers&, const std::string& tag)> prepare;
  // The object the write takes, made before anything fails.
  std::function<Object(unsigned int subject, const std::string& tag)> input;
  // The write itself: nothing but the call.
  std::function<orva::ErrorCode(Writers&, unsigned int subject, Object& input)> write;
  // What the file shows of the write, and what it shows once the write is done.
  std::function<std::string(unsigned int subject, const std::string& tag)> query;
  std::function<std::string(unsigned int subject, const std::string& tag)> done;
  int event_type;
  // The event names the object the write made (else the subject).
  bool event_names_input;
};

unsigned long long gid_of(const std::string& tag) { return 500000 + std::stoull(tag); }

TEST_F(OutOfMemoryTest, NeverFailsACommittedWriteNorLetsAnExceptionOut) {
  db_test::RawDb file(keldra_test::home_dir() + "/.cities/OstraMaps.db");
  auto value = [&](const std::string& sql) { return file.value(sql); };
  auto count_where = [&](const std::string& condition) {
    return value("SELECT count(*) FROM object WHERE " + condition);
  };
  auto lid_is = [](unsigned int subject) { return "local_id = " + std::to_string(subject); };
  auto constant = [](const char* text) {
    return [text](unsigned int, const std::string&) { return std::string(text); };
  };
  const std::vector<Write> writes = {
      {"repository insert",
       [](Writers& w, const std::string& tag) { return inserted(*w.repo, "before " + tag); },
       [](unsigned int, const std::string& tag) { return named_place("new " + tag); },
       [](Writers& w, unsigned int, Object& o) { return w.repo->insert_object(o); },
       [&](unsigned int, const std::string& tag) {
         return count_where("name = 'new " + tag + "'");
       },
       constant("1"), RepositoryEvent::OBJECT_CREATED, true},
      {"repository update",
       [](Writers& w, const std::string& tag) { return inserted(*w.repo, "old " + tag); },
       [](unsigned int subject, const std::string& tag) {
         Object o = named_place("updated " + tag);
         o.set_local_id(subject);
         return o;
       },
       [](Writers& w, unsigned int, Object& o) { return w.repo->update_object(o); },
       [&](unsigned int subject, const std::string&) {
         return value("SELECT name FROM object WHERE " + lid_is(subject));
       },
       [](unsigned int, const std::string& tag) { return "'updated " + tag + "'"; },
       RepositoryEvent::OBJECT_UPDATED, false},
      {"repository remove",
       [](Writers& w, const std::string& tag) { return inserted(*w.repo, "doomed " + tag); },
       [](unsigned int, const std::string&) { return Object(); },
       [](Writers& w, unsigned int subject, Object&) { return w.repo->remove_object(subject); },
       [&](unsigned int subject, const std::string&) { return count_where(lid_is(subject)); },
       constant("0"), RepositoryEvent::OBJECT_REMOVED, false},
      {"repository sharing",
       [](Writers& w, const std::string& tag) { return inserted(*w.repo, "shared " + tag); },
       [](unsigned int, const std::string&) { return Object(); },
       [](Writers& w, unsigned int subject, Object&) {
         return w.repo->set_object_sharing(subject, orva::keldra::SHARING_PUBLIC_READ_ONLY, false);
       },
       [&](unsigned int subject, const std::string&) {
         return value("SELECT sharing FROM object WHERE " + lid_is(subject));
       },
       constant("1"), RepositoryEvent::OBJECT_UPDATED, false},
      {"sync add of a new global id",
       [](Writers& w, const std::string& tag) { return inserted(*w.repo, "before " + tag); },
       [](unsigned int, const std::string& tag) {
         return named_place("received " + tag, gid_of(tag));
       },
       [](Writers& w, unsigned int, Object& o) { return w.sync->add_object(o); },
       [&](unsigned int, const std::string& tag) {
         return count_where("global_id = " + std::to_string(gid_of(tag)));
       },
       constant("1"), RepositoryEvent::OBJECT_CREATED, true},
      {"sync add of a stored global id",
       [](Writers& w, const std::string& tag) {
         return added(*w.sync, "stored " + tag, 1000000 + gid_of(tag));
       },
       [](unsigned int, const std::string& tag) {
         return named_place("again " + tag, 1000000 + gid_of(tag));
       },
       [](Writers& w, unsigned int, Object& o) { return w.sync->add_object(o); },
       [&](unsigned int, const std::string& tag) {
         // Never two objects of one global id.
         return value("SELECT count(*) || ' ' || max(name) FROM object WHERE global_id = " +
                      std::to_string(1000000 + gid_of(tag)));
       },
       [](unsigned int, const std::string& tag) { return "'1 again " + tag + "'"; },
       RepositoryEvent::OBJECT_UPDATED, false},
      {"sync delete by global id",
       [](Writers& w, const std::string& tag) {
         return added(*w.sync, "deleted " + tag, 2000000 + gid_of(tag));
       },
       [](unsigned int, const std::string& tag) { return named_place("", 2000000 + gid_of(tag)); },
       [](Writers& w, unsigned int, Object& o) { return w.sync->delete_object(o.get_global_id()); },
       [&](unsigned int subject, const std::string&) { return count_where(lid_is(subject)); },
       constant("0"), RepositoryEvent::OBJECT_REMOVED, false},
  };
  int tag_number = 0;
  for (const Write& w : writes) {
    SCOPED_TRACE(w.name);
    // Each write stops at its first failing case.
    const testing::TestResult& results =
        *testing::UnitTest::GetInstance()->current_test_info()->result();
    const int parts = results.total_part_count();
    bool finished = false;
    for (long n = 0; n < 100000 && !finished && results.total_part_count() == parts; ++n) {
      const std::string tag = std::to_string(++tag_number);
      Writers writers;
      ASSERT_TRUE(writers.repo.is_valid() && writers.sync.is_valid());
      const unsigned int subject = w.prepare(writers, tag);
      ASSERT_NE(0u, subject);
      // The subject's own event stays held: the write's event needs room of its own.
      const std::vector<RepositoryEvent> held = writers.adapter->held_events();
      const std::string before = w.query(subject, tag);

      Object input = w.input(subject, tag);
      orva::ErrorCode result = 1;
      bool escaped = false;
      keldra_test::fail_allocation(n);
      try {
        result = w.write(writers, subject, input);
      } catch (...) {
        escaped = true;
      }
      const bool reached = keldra_test::stop_failing_allocations();

      SCOPED_TRACE("failing allocation " + std::to_string(n));
      ASSERT_FALSE(escaped) << "an exception left the write";
      std::vector<RepositoryEvent> expected = held;
      if (result == 0) {
        EXPECT_EQ(w.done(subject, tag), w.query(subject, tag));
        const unsigned int event_id = w.event_names_input ? input.get_local_id() : subject;
        expected.push_back(RepositoryEvent(w.event_type, static_cast<int>(event_id)));
      } else {
        EXPECT_EQ(before, w.query(subject, tag)) << "failed with " << result;
      }
      EXPECT_EQ(expected, writers.adapter->held_events()) << "result " << result;
      finished = !reached;
      if (finished) {
        EXPECT_EQ(0, result);
      }
    }
    EXPECT_TRUE(finished);
  }
}

// The storage plug-in forgets the removals a finished sync sent: out of memory there
// gives a code, never an exception (it would end the sync daemon), and a purge that
// failed leaves the record as it was.
TEST_F(OutOfMemoryTest, PurgeOfListedRemovalsLetsNoExceptionOut) {
  db_test::RawDb file(keldra_test::home_dir() + "/.cities/OstraMaps.db");
  bool finished = false;
  for (long n = 0; n < 100000 && !finished; ++n) {
    Writers writers;
    auto* sync = static_cast<orva::keldra::internal::SyncAdapterUmbo*>(writers.sync.get());
    const std::vector<unsigned int> listed = {added(*sync, "sent one", 3000000 + 2 * n),
                                              added(*sync, "sent two", 3000001 + 2 * n)};
    ASSERT_NE(0u, listed[0]);
    ASSERT_NE(0u, listed[1]);
    for (unsigned int id : listed) ASSERT_EQ(0, writers.repo->remove_object(id));
    const std::string in_record = "SELECT count(*) FROM removed WHERE local_id IN (" +
                                  std::to_string(listed[0]) + ", " + std::to_string(listed[1]) +
                                  ")";
    ASSERT_EQ("2", file.value(in_record));

    orva::ErrorCode result = 1;
    bool escaped = false;
    keldra_test::fail_allocation(n);
    try {
      result = sync->purge_removed_ids(listed);
    } catch (...) {
      escaped = true;
    }
    const bool reached = keldra_test::stop_failing_allocations();

    SCOPED_TRACE("failing allocation " + std::to_string(n));
    ASSERT_FALSE(escaped) << "an exception left the purge";
    EXPECT_EQ(result == 0 ? "0" : "2", file.value(in_record)) << "result " << result;
    finished = !reached;
    if (finished) {
      EXPECT_EQ(0, result);
    }
  }
  EXPECT_TRUE(finished);
}

}  // namespace
