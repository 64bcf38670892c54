// The object store of one service over one SQLite connection.
//
// Owned by the service's data adapter through a plain pointer (not reference
// counted) and used only on the thread that created it. init() opens (or creates)
// "$HOME/.cities/OstraMaps.db": a failure is reported to the handler before init
// returns, success later from the event loop; every init call with a handler gets
// exactly one final report. Until an init succeeded every operation returns 1 (or
// an id of 0) without touching anything.
//
// Every data operation runs as a work step of execute_transaction: in its own SQLite
// transaction ("BEGIN EXCLUSIVE" for writes, "BEGIN" for reads), or as a counted inner
// level of a transaction the caller opened with begin_transaction. A work step that
// throws UmboException 3 or 8 has its level committed; such a throw must come before
// the step wrote anything, so a refused operation changes nothing (the writes validate
// before their first row). Any other code rolls the level back, which inside a
// caller's transaction fails the whole transaction: later operations and the
// caller's commit then return 0x6006. Out of memory rolls back and returns 2, any
// other exception rolls back and returns 1; no level is left open by an exception.
#pragma once

#include "adaptation_umbo/base/IdleNotifier.h"
#include "adaptation_umbo/base/Notifiable.h"
#include "adaptation_umbo/database/QueryName.h"

#include <keldra/ErrorCode.h>
#include <keldra/Attribute.h>
#include <keldra/Link.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/Object.h>
#include <keldra/ProgressHandler.h>
#include <keldra/SharedPointer.h>

#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class DatabaseConnection;
class DbAttribute;
class DbField;
class DbFieldList;
class DbLink;
class DbObject;
class QueryManager;

class Database : public Notifiable {
 public:
  typedef void (Database::*WorkStep)(void*);

  Database();
  // Rolls back an open transaction, closes the connection, drops a pending report.
  virtual ~Database();

  // Opens the database when it is not open. Failure: handle_progress(0.0, code) at
  // once (1 when the file cannot be opened, else the exception's code). Success:
  // handle_progress(1.0, 0) later from the event loop. A null handler hears nothing.
  // When the process's locale differs from the stored one, every sort key of the text
  // table is recomputed in one transaction and the new locale stored.
  void init(ProgressHandler* handler);
  // The deferred success reports; always false (one report per init).
  bool notify() override;

  // The database uid, empty while no connection is open or when it cannot be read.
  std::string uid();
  QueryManager* get_query_manager() const { return m_query_manager; }
  bool is_open() const { return m_connection != nullptr; }

  // A caller's transaction level: the outermost begin opens the SQLite transaction.
  // Results: 0, the statement's code (0x6007 busy), 0x6006 in a failed transaction.
  orva::ErrorCode begin_transaction(bool exclusive);
  // 0, or the code of a failed transaction or COMMIT, after rolling it all back.
  orva::ErrorCode commit_transaction();
  void rollback_transaction();
  bool is_in_transaction() const;

  // The runner (see above). retries goes to the opening BEGIN.
  orva::ErrorCode execute_transaction(WorkStep step, void* record, bool write, int retries);

  // Empties the record of removed ids (exclusive transaction).
  orva::ErrorCode purge_removed_ids();
  // Forgets only these recorded removals (exclusive transaction): a place removed after
  // the list was taken stays recorded for the next sync.
  orva::ErrorCode purge_removed_ids(const std::vector<unsigned int>& local_ids);

  // Writes, each in an exclusive transaction. A refused write (3, 8) changes nothing:
  // the class name, the stored object and every link are checked before the first row
  // is written. Link errors: both targets 0, a local target no object has, a global
  // target that contradicts the stored object's.
  // Stores a new object (state NEW, no global id; from a sync: SYNCED with its global
  // id); the object gets its new local id, timestamp and state flags.
  // From a sync, a global id that another object holds is refused with 3: two objects
  // with one global id would let the link triggers move links between them.
  orva::ErrorCode insert_object(Object& object, bool from_sync);
  // Replaces the stored object of the same local id (or, for local id 0, of the same
  // global id): 8 when there is none, 3 for another class, and from a sync 3 as well
  // when the object brings a global id that another object holds. A partial object
  // rewrites only the header.
  orva::ErrorCode update_object(Object& object, bool from_sync);
  // Deletes the object and its content; an application removal is recorded for the
  // next sync. A missing object gives 0.
  orva::ErrorCode remove_object(unsigned int local_id, bool from_sync);
  // Sets the sharing model; a synchronised object becomes "sharing changed" unless
  // retain_state. 8 when there is no object.
  orva::ErrorCode set_object_sharing(unsigned int local_id, SharingModel sharing,
                                     bool retain_state);

  // Loading into the caller's object (content appended), each in a read transaction:
  // 0; 8 when there is no such object; 3 for an id of 0. The header read marks the
  // object partial, the full read by local id clears the mark. Content rows of a damaged
  // file that cannot reach the object (an orphan, attribute rows whose parents loop) are
  // left out; a loop is logged.
  orva::ErrorCode get_object(unsigned int local_id, Object& object);
  orva::ErrorCode get_object_header(unsigned int local_id, Object& object);
  orva::ErrorCode get_global_object(unsigned long long global_id, Object& object);

  // Lists, each in a read transaction; the out vectors are appended to. Headers are
  // marked partial (no attributes or links) and carry the flags of their row.
  // All syncable objects (no_sync = 0):
  orva::ErrorCode get_object_headers(std::vector<Object>& out);
  // Syncable objects in state NEW, respectively CHANGED:
  orva::ErrorCode get_new_objects(std::vector<Object>& out);
  orva::ErrorCode get_modified_objects(std::vector<Object>& out);
  // One object per recorded removal, holding only its local id:
  orva::ErrorCode get_removed_objects(std::vector<Object>& out);
  // The links of the object and of all its attributes, at any depth:
  orva::ErrorCode get_object_children(unsigned int local_id, std::vector<Link>& out);
  // The url of every local file a stored object records (its "local_uri" attributes, at
  // any depth) whose text holds |fragment| (empty: every one), appended to |out| in no
  // particular order. Only the rows whose stored bytes hold the fragment are decoded, so
  // a narrow fragment (a file name) costs one scan of the table and no decoding of the
  // others.
  orva::ErrorCode get_local_files(const std::string& fragment, std::vector<std::string>& out);
  // The other id of a stored object; 0 when not stored, for id 0, or on failure.
  unsigned long long get_object_global_id(unsigned int local_id);
  unsigned int get_object_local_id(unsigned long long global_id);
  // The same lookup telling a failure apart from an id no object has: 0 with |local_id|
  // set (0 when no object has |global_id|), or the read's code with |local_id| 0.
  orva::ErrorCode find_object_local_id(unsigned long long global_id, unsigned int& local_id);

  // Binds the row to the fixed statement and reads every result row into it; true
  // when there was one (the row then holds the last). Throws UmboException.
  bool run_object_query(DbObject& row, QueryName name);

  // Recomputes every sort key of the text table in one transaction level. Throws
  // UmboException (the level rolled back).
  void rebuild_collate_key_cache();
  // Deletes the files queued for the end of the transaction once the outermost level
  // committed (last queued first); a rollback drops the queue.
  void handle_deleting_files(bool rolled_back, bool committed);

 private:
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void report(ProgressHandler* handler, float progress, orva::ErrorCode code);

  // Writes.
  void do_insert_object(DbObject& row, bool from_sync);
  void do_insert_object_proxy(void* record);
  void do_update_object(DbObject& row, bool from_sync);
  void do_update_object_proxy(void* record);
  void do_remove_object(unsigned int local_id, bool from_sync);
  void do_remove_object_proxy(void* record);
  void do_set_object_sharing(unsigned int local_id, SharingModel sharing, bool retain_state);
  void do_set_object_sharing_proxy(void* record);
  void validate(DbObject& row, bool from_sync, bool for_insert);
  // Throws UmboException 3 when an object other than |local_id| holds |global_id| (not 0).
  void check_global_id_free(unsigned long long global_id, unsigned int local_id);
  void merge_and_validate(DbObject& incoming, DbObject& stored, bool from_sync);
  void insert_db_object(DbObject& row);
  void insert_object_content(DbObject& row);
  void insert_attribute(const orva::SharedPointer<Attribute>& attribute, unsigned int parent_object,
                        unsigned int parent_attribute);
  void divide_attribute_fields(DbAttribute& row, std::vector<int>& text, std::vector<int>& position,
                               std::vector<int>& box, std::vector<int>& header);
  void insert_link(const Link& link, unsigned int parent_object, unsigned int parent_attribute);
  void remove_db_object(DbObject& row, bool from_sync, bool fix_links);
  void insert_removed_id(unsigned int local_id);
  void run_local_id_statement(QueryName name, unsigned int local_id);

  // Links and dependency counters.
  bool count_dependencies_for(const DbObject& row) const;
  void check_mmo_content_deps(DbObject& row);
  void get_child_objects(DbObject& row, std::vector<DbObject>& out);
  void get_parent_objects(DbObject& row, std::vector<DbObject>& out);
  void check_child_links(DbObject& row);
  void check_written_child_links(DbObject& row);
  void check_parent_links(DbObject& old_row, DbObject& new_row);
  void check_parent_links(DbObject& old_row, DbObject& new_row, std::set<unsigned int>& visited);
  void update_parent_links(std::vector<DbObject>& parents, std::set<unsigned int>& visited);
  void recount_dependencies(DbObject& row);
  // Sets the row's counters to what its own file gives (0 but for "multimedia").
  void count_own_dependencies(DbObject& row);
  // When the object lies on a cycle of links, recounts it and every object above it
  // from what each really reaches, so the cycle keeps no counter up by itself.
  void settle_cycle_counters(unsigned int local_id);
  // Whether the object can be reached from itself along links (one statement).
  bool lies_on_cycle(unsigned int local_id);
  void resolve_link(Link& link);
  void resolve_object_links(Object& object);
  void resolve_attribute_links(Attribute& attribute);
  bool run_link_query(DbLink& row, QueryName name);
  bool read_link_target(unsigned int local_id, unsigned long long& global_id);
  bool read_dependency_columns(DbObject& row);
  void set_timestamp(DbObject& row);
  void update_object_header(DbObject& row);
  static void free_objects(std::vector<DbObject>& rows);

  // Loading.
  void do_get_object(unsigned int local_id, Object& object, bool header_only);
  void do_get_object_proxy(void* record);
  void do_get_global_object(unsigned long long global_id, Object& object);
  void do_get_global_object_proxy(void* record);
  void get_object_header(DbObject& row);
  void get_object_data(Object& object);

  void do_purge_removed_ids();
  void do_purge_removed_ids_proxy(void* record);
  void do_purge_listed_removed_ids_proxy(void* record);
  void list_objects(QueryName name, std::vector<Object>& out);
  void do_get_object_headers(std::vector<Object>& out);
  void do_get_object_headers_proxy(void* record);
  void do_get_new_objects(std::vector<Object>& out);
  void do_get_new_objects_proxy(void* record);
  void do_get_modified_objects(std::vector<Object>& out);
  void do_get_modified_objects_proxy(void* record);
  void do_get_removed_objects(std::vector<Object>& out);
  void do_get_removed_objects_proxy(void* record);
  void do_get_local_files_proxy(void* record);
  void do_get_object_children(unsigned int local_id, std::vector<Link>& out);
  void do_get_object_children_proxy(void* record);
  void do_get_object_global_id(unsigned int local_id, unsigned long long& global_id);
  void do_get_object_global_id_proxy(void* record);
  void do_get_object_local_id(unsigned long long global_id, unsigned int& local_id);
  void do_get_object_local_id_proxy(void* record);

  DatabaseConnection* m_connection;
  // Handlers whose init still waits for its success report.
  std::vector<ProgressHandler*> m_pending_reports;
  orva::SharedPointer<LoggerUmbo> m_logger;
  IdleNotifier m_idle_notifier;
  QueryManager* m_query_manager;
  // Ad-hoc slot of the statement reading a child's counters (-1 until made).
  QueryIndex m_dependency_query;
  // The link targets read while resolving the links of the object being written: their
  // global id and what they add to its counters (bits 1 upload, 2 download, 4 update),
  // so that a write reads each target once. Emptied when the write has counted them.
  struct LinkTarget {
    unsigned long long global_id;
    unsigned int contribution;
  };
  std::unordered_map<unsigned int, LinkTarget> m_link_targets;
  // Ad-hoc slot of the statement telling whether an object lies on a cycle of links.
  QueryIndex m_cycle_query;
  // UTF-8 paths deleted when the outermost transaction commits.
  std::vector<std::string> m_pending_deletions;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
