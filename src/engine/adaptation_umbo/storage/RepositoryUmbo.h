// The repository of a DataAdapterUmbo: forwards every operation to the adapter's
// Database and turns each successful write into a change event for the adapter.
//
// Writes: insert, update, remove and sharing changes return the database's code; on 0
// the object's modified marks are cleared (insert, update) and the event {1 created,
// 2 updated (also sharing), 3 removed; local id} is dispatched, which the adapter sends
// at once or holds (see DataAdapterUmbo). A failed write dispatches nothing.
//
// Transactions: begin_transaction forwards; commit_transaction sends the held events once
// no level is open any more; rollback_transaction (and a commit that failed and rolled
// everything back) drops the events of the writes since the outermost begin.
//
// get_searcher makes one SearchUmbo on first use and keeps it (empty, and nothing kept,
// when it cannot be made); get_object_cache makes a new ObjectCacheUmbo over the adapter
// on every call (empty when it cannot be made).
//
// No exception leaves a repository: what is thrown before a write is 2 (out of memory)
// or 1 with nothing written; a write the database committed keeps its 0 and its event.
// The id lookups answer 0 when they fail.
//
// Holds its adapter, and so the database, alive. Every repository of one adapter shares
// its database and held events. Thread: the adapter's thread only.
#pragma once

#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>

#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class Database;
class DataAdapterUmbo;

class RepositoryUmbo : public Repository {
 public:
  explicit RepositoryUmbo(const orva::SharedPointer<DataAdapterUmbo>& adapter);
  // Releases the adapter, then the searcher.
  ~RepositoryUmbo() override;

  ErrorCode insert_object(Object& object) override;
  ErrorCode remove_object(unsigned int local_id) override;
  ErrorCode update_object(Object& object) override;
  ErrorCode get_object(unsigned int local_id, Object& object) const override;
  ErrorCode get_object_header(unsigned int local_id, Object& object) const override;
  ErrorCode get_global_object(unsigned long long global_id, Object& object) const override;
  unsigned int get_object_local_id(unsigned long long global_id) const override;
  unsigned long long get_object_global_id(unsigned int local_id) const override;
  unsigned int get_default_object_id() const override;
  ErrorCode set_default_object_id(unsigned int local_id) override;
  orva::SharedPointer<Search> get_searcher() override;
  orva::SharedPointer<orva::internal::RefCountable> get_upload_queue() override;
  orva::SharedPointer<ObjectCache> get_object_cache() const override;
  ErrorCode begin_transaction(bool exclusive) override;
  ErrorCode commit_transaction() override;
  void rollback_transaction() override;
  bool is_in_transaction() const override;
  ErrorCode set_object_sharing(unsigned int local_id, SharingModel model,
                               bool retain_state) override;
  ErrorCode set_object_no_sync(unsigned int local_id, bool no_sync) override;
  ErrorCode get_object_children(unsigned int local_id, std::vector<Link>& links) const override;

  // Appends the headers of every syncable object.
  ErrorCode get_object_headers(std::vector<Object>& objects);

 private:
  RepositoryUmbo(const RepositoryUmbo&) = delete;
  RepositoryUmbo& operator=(const RepositoryUmbo&) = delete;

  void dispatch(int32_t type, unsigned int local_id);

  orva::SharedPointer<DataAdapterUmbo> m_adapter;
  Database* m_database;  // the adapter's, not owned
  orva::SharedPointer<Search> m_searcher;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
