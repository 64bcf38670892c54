// Database: object lists and id lookups, each in its own read transaction.
#include "adaptation_umbo/database/BindableAndGettableQuery.h"
#include "adaptation_umbo/database/Database.h"
#include "adaptation_umbo/database/GettableQuery.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "adaptation_umbo/database/dbitems/DbLink.h"
#include "adaptation_umbo/database/dbitems/DbObject.h"
#include "runtime/BufferReadStream.h"

#include <keldra/FieldList.h>
#include <tervo/ustring.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {

struct LinksRecord {
  unsigned int local_id;
  std::vector<Link>* out;
};

struct GlobalIdRecord {
  unsigned int local_id;
  unsigned long long global_id;
};

struct LocalIdRecord {
  unsigned long long global_id;
  unsigned int local_id;
};

struct LocalFilesRecord {
  const std::string* fragment;
  std::vector<std::string>* out;
};

}  // namespace

bool Database::run_object_query(DbObject& row, QueryName name) {
  BindableAndGettableQuery* query =
      static_cast<BindableAndGettableQuery*>(m_query_manager->get_known_query(name));
  row.bind(*query);
  bool found = false;
  while (query->execute(0) == Query::ROW) {
    row.get_result(*query);
    found = true;
  }
  return found;
}

void Database::list_objects(QueryName name, std::vector<Object>& out) {
  GettableQuery* query = static_cast<GettableQuery*>(m_query_manager->get_known_query(name));
  while (query->execute(0) == Query::ROW) {
    Object header;
    DbObject row(&header);
    row.get_result(*query);
    header.set_partial(true);
    out.push_back(header);
  }
}

orva::ErrorCode Database::get_object_headers(std::vector<Object>& out) {
  LoggerUmbo::log("Database::get_object_headers ++", LoggerUmbo::MSG_TRACE);
  const orva::ErrorCode code =
      execute_transaction(&Database::do_get_object_headers_proxy, &out, false, 0);
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "Database::get_object_headers --, found %d headers",
                   static_cast<int>(out.size()));
  return code;
}

void Database::do_get_object_headers_proxy(void* record) {
  do_get_object_headers(*static_cast<std::vector<Object>*>(record));
}

void Database::do_get_object_headers(std::vector<Object>& out) {
  list_objects(SELECT_SYNCABLE_OBJECTS, out);
}

orva::ErrorCode Database::get_new_objects(std::vector<Object>& out) {
  return execute_transaction(&Database::do_get_new_objects_proxy, &out, false, 0);
}

void Database::do_get_new_objects_proxy(void* record) {
  do_get_new_objects(*static_cast<std::vector<Object>*>(record));
}

void Database::do_get_new_objects(std::vector<Object>& out) {
  list_objects(SELECT_NEW_OBJECTS, out);
}

orva::ErrorCode Database::get_modified_objects(std::vector<Object>& out) {
  return execute_transaction(&Database::do_get_modified_objects_proxy, &out, false, 0);
}

void Database::do_get_modified_objects_proxy(void* record) {
  do_get_modified_objects(*static_cast<std::vector<Object>*>(record));
}

void Database::do_get_modified_objects(std::vector<Object>& out) {
  list_objects(SELECT_CHANGED_OBJECTS, out);
}

orva::ErrorCode Database::get_removed_objects(std::vector<Object>& out) {
  return execute_transaction(&Database::do_get_removed_objects_proxy, &out, false, 0);
}

void Database::do_get_removed_objects_proxy(void* record) {
  do_get_removed_objects(*static_cast<std::vector<Object>*>(record));
}

void Database::do_get_removed_objects(std::vector<Object>& out) {
  list_objects(SELECT_REMOVED_IDS, out);
}

orva::ErrorCode Database::get_object_children(unsigned int local_id, std::vector<Link>& out) {
  LinksRecord record = {local_id, &out};
  return execute_transaction(&Database::do_get_object_children_proxy, &record, false, 0);
}

void Database::do_get_object_children_proxy(void* record) {
  LinksRecord* r = static_cast<LinksRecord*>(record);
  do_get_object_children(r->local_id, *r->out);
}

void Database::do_get_object_children(unsigned int local_id, std::vector<Link>& out) {
  Object parent;
  parent.set_local_id(local_id);
  DbObject row(&parent);
  BindableAndGettableQuery* query =
      static_cast<BindableAndGettableQuery*>(m_query_manager->get_known_query(SELECT_LINKS));
  row.bind(*query);
  while (query->execute(0) == Query::ROW) {
    DbLink link;
    link.get_result(*query);
    out.push_back(link.link());
  }
}

orva::ErrorCode Database::get_local_files(const std::string& fragment,
                                          std::vector<std::string>& out) {
  LocalFilesRecord record = {&fragment, &out};
  return execute_transaction(&Database::do_get_local_files_proxy, &record, false, 0);
}

void Database::do_get_local_files_proxy(void* record) {
  const LocalFilesRecord& r = *static_cast<LocalFilesRecord*>(record);
  const std::string& fragment = *r.fragment;
  // The url is a text field of the uri attribute, so it sits in the value blob as
  // UTF-16LE units: rows whose blob lacks the fragment's units cannot name it and are
  // left to SQLite's byte search. A match may still be a false one (units straddled,
  // another field), so the rows found are decoded and the url itself looked at.
  std::string needle;
  const orva::ustring units(fragment);
  for (unsigned int i = 0; i < units.length(); ++i) {
    needle.push_back(static_cast<char>(units[i] & 0xFF));
    needle.push_back(static_cast<char>(units[i] >> 8));
  }
  static const QueryParameter kParams[] = {VALUE_BLOB};
  static const QueryParameter kResults[] = {VALUE_BLOB};
  const QueryIndex index =
      needle.empty()
          ? m_query_manager->new_query(0, nullptr, 1, kResults,
                                       "SELECT value_blob FROM attribute WHERE name='local_uri'")
          : m_query_manager->new_query(1, kParams, 1, kResults,
                                       "SELECT value_blob FROM attribute WHERE name='local_uri' "
                                       "AND instr(value_blob, ?) > 0");
  struct Release {
    QueryManager* manager;
    QueryIndex index;
    ~Release() { manager->release_query(index); }
  } release = {m_query_manager, index};
  Query* query = m_query_manager->get_query(index);
  Gettable* rows = nullptr;
  if (needle.empty()) {
    rows = static_cast<GettableQuery*>(query);
  } else {
    BindableAndGettableQuery* bound = static_cast<BindableAndGettableQuery*>(query);
    bound->bind(0, needle.data(), static_cast<int>(needle.size()));
    rows = bound;
  }
  std::string text;
  while (query->execute(0) == Query::ROW) {
    orva::SharedPointer<DynamicBuffer> blob;
    if (!rows->get_result(VALUE_BLOB, blob) || !blob.is_valid() || blob->get_data_length() == 0) {
      continue;
    }
    BufferReadStream stream;
    stream.attach(blob);
    FieldList fields;
    if (!fields.read(stream)) continue;
    const int url = fields.find_field(std::string("url"));
    if (url >= 0 && fields[static_cast<unsigned int>(url)].get_value(text) == ORVA_ERROR_NONE &&
        !text.empty() && text.find(fragment) != std::string::npos) {
      r.out->push_back(text);
    }
  }
}

unsigned long long Database::get_object_global_id(unsigned int local_id) {
  GlobalIdRecord record = {local_id, 0};
  execute_transaction(&Database::do_get_object_global_id_proxy, &record, false, 0);
  return record.global_id;
}

void Database::do_get_object_global_id_proxy(void* record) {
  GlobalIdRecord* r = static_cast<GlobalIdRecord*>(record);
  do_get_object_global_id(r->local_id, r->global_id);
}

void Database::do_get_object_global_id(unsigned int local_id, unsigned long long& global_id) {
  Object object;
  object.set_local_id(local_id);
  DbObject row(&object);
  run_object_query(row, SELECT_GLOBAL_ID);
  global_id = object.get_global_id();
}

unsigned int Database::get_object_local_id(unsigned long long global_id) {
  unsigned int local_id = 0;
  find_object_local_id(global_id, local_id);
  return local_id;
}

orva::ErrorCode Database::find_object_local_id(unsigned long long global_id,
                                               unsigned int& local_id) {
  LocalIdRecord record = {global_id, 0};
  const orva::ErrorCode code =
      execute_transaction(&Database::do_get_object_local_id_proxy, &record, false, 0);
  local_id = code == ORVA_ERROR_NONE ? record.local_id : 0;
  return code;
}

void Database::do_get_object_local_id_proxy(void* record) {
  LocalIdRecord* r = static_cast<LocalIdRecord*>(record);
  do_get_object_local_id(r->global_id, r->local_id);
}

void Database::do_get_object_local_id(unsigned long long global_id, unsigned int& local_id) {
  Object object;
  object.set_global_id(global_id);
  DbObject row(&object);
  run_object_query(row, SELECT_LOCAL_ID);
  local_id = object.get_local_id();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
