// Database: inserting, updating (or replacing from a sync), removing objects and
// changing their sharing model.
//
// Every check that can refuse a write (class name, stored object, every link of the
// tree) runs before the first row is written, so a refused write leaves the file as it
// was, although the runner commits codes 3 and 8.
#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/database/BindableQuery.h"
#include "adaptation_umbo/database/Database.h"
#include "adaptation_umbo/database/DatabaseConnection.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "adaptation_umbo/database/dbitems/DbAttribute.h"
#include "adaptation_umbo/database/dbitems/DbBox.h"
#include "adaptation_umbo/database/dbitems/DbLink.h"
#include "adaptation_umbo/database/dbitems/DbObject.h"
#include "adaptation_umbo/database/dbitems/DbPosition.h"
#include "adaptation_umbo/database/dbitems/DbText.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;

struct WriteRecord {
  DbObject* row;
  bool from_sync;
};

struct RemoveRecord {
  unsigned int local_id;
  bool from_sync;
};

struct SharingRecord {
  unsigned int local_id;
  SharingModel sharing;
  bool retain_state;
};

void run_to_end(Query* query) {
  while (query->execute(0) != Query::DONE) {
  }
}

// Some counter is above 0 after the write while the object counted for its parents in
// that kind before it: the children may hold theirs only because of that.
bool counters_may_come_back_round(const DbObject& stored, const DbObject& row) {
  return (stored.get_updeps() > 0 && row.get_updeps() > 0) ||
         (stored.get_downdeps() > 0 && row.get_downdeps() > 0) ||
         ((stored.get_linkmods() > 0 || !stored.in_sync()) && row.get_linkmods() > 0);
}

}  // namespace

orva::ErrorCode Database::insert_object(Object& object, bool from_sync) {
  LoggerUmbo::log("Database::insert_object ++", kTrace);
  DbObject row(&object);
  WriteRecord record = {&row, from_sync};
  const orva::ErrorCode code =
      execute_transaction(&Database::do_insert_object_proxy, &record, true, 0);
  if (code == ORVA_ERROR_NONE) row.update_object_flags();
  LoggerUmbo::logf(kTrace, "Database::insert_object --, new lid %lu",
                   static_cast<unsigned long>(object.get_local_id()));
  return code;
}

void Database::do_insert_object_proxy(void* record) {
  WriteRecord* r = static_cast<WriteRecord*>(record);
  do_insert_object(*r->row, r->from_sync);
}

void Database::do_insert_object(DbObject& row, bool from_sync) {
  validate(row, from_sync, true);
  if (from_sync) check_global_id_free(row.object()->get_global_id(), 0);
  row.set_state(from_sync ? DbObject::SYNCED : DbObject::NEW);
  resolve_object_links(*row.object());
  if (row.object()->get_class_name() == "multimedia") check_mmo_content_deps(row);
  insert_db_object(row);
  if (count_dependencies_for(row)) {
    const int updeps = row.get_updeps();
    const int downdeps = row.get_downdeps();
    const int linkmods = row.get_linkmods();
    check_written_child_links(row);
    // The new row already holds these counters unless a child added to them.
    if (row.get_updeps() != updeps || row.get_downdeps() != downdeps ||
        row.get_linkmods() != linkmods) {
      update_object_header(row);
    }
    // A new local id is never handed out twice, so only links by global id can lead to
    // the new object: without a global id it has no parents to tell.
    if (row.object()->get_global_id() != 0) {
      DbObject none;
      check_parent_links(none, row);
    }
  }
}

void Database::validate(DbObject& row, bool from_sync, bool for_insert) {
  Object& object = *row.object();
  if (object.get_class_name().empty()) {
    throw UmboException(ORVA_ERROR_INVALID_PARAMETERS, "Empty classname!");
  }
  if (for_insert) {
    object.set_local_id(0);
    if (!from_sync) object.set_global_id(0);
  }
}

void Database::check_global_id_free(unsigned long long global_id, unsigned int local_id) {
  if (global_id == 0) return;
  unsigned int holder = 0;
  do_get_object_local_id(global_id, holder);
  if (holder != 0 && holder != local_id) {
    LoggerUmbo::logf(kTrace, "Database: global id %llu is held by object %u, write refused",
                     global_id, holder);
    throw UmboException(ORVA_ERROR_INVALID_PARAMETERS, "Global id held by another object");
  }
}

void Database::insert_db_object(DbObject& row) {
  set_timestamp(row);
  BindableQuery* insert =
      static_cast<BindableQuery*>(m_query_manager->get_known_query(INSERT_OBJECT));
  row.bind(*insert);
  row.log();
  run_to_end(insert);
  row.object()->set_local_id(static_cast<unsigned int>(m_connection->last_inserted_id()));
  insert_object_content(row);
}

void Database::insert_object_content(DbObject& row) {
  const Object& object = *row.object();
  const unsigned int lid = object.get_local_id();
  const AttributeList& attributes = object.get_attributes();
  for (unsigned int i = 0; i < attributes.size(); ++i) insert_attribute(attributes.at(i), lid, 0);
  for (const Link& link : object.get_links()) insert_link(link, lid, 0);
}

void Database::divide_attribute_fields(DbAttribute& row, std::vector<int>& text,
                                       std::vector<int>& position, std::vector<int>& box,
                                       std::vector<int>& header) {
  const Attribute& attribute = *row.attribute();
  const std::string class_name = attribute.get_class_name();
  const char* text_field = nullptr;
  if (class_name == "text" || class_name == "address") {
    text_field = "text";
  } else if (class_name == "contact_field") {
    text_field = "value";
  }
  const bool is_position = class_name == "position";
  const bool is_box = class_name == "box";
  const FieldList& fields = attribute.get_fields();
  for (unsigned int i = 0; i < fields.size(); ++i) {
    const Field& field = fields[i];
    const std::string name = field.get_name();
    const int index = static_cast<int>(i);
    // Only a string keeps its value in table text; any other type stays in the blob,
    // so that every field written comes back.
    // A type without a column form (9, above 11) is kept whole in the blob as well.
    const bool has_column =
        field.get_type() == Field::TYPE_NONE || DbField::value_member(field.get_type()) >= 0;
    if (text_field && name == text_field && field.get_type() == Field::TYPE_USTRING) {
      text.push_back(index);
    } else if (is_position && has_column && DbPosition::is_position_field(name)) {
      position.push_back(index);
    } else if (is_box && has_column && DbBox::is_box_field(name)) {
      box.push_back(index);
    } else {
      header.push_back(index);
    }
  }
}

void Database::insert_attribute(const orva::SharedPointer<Attribute>& attribute,
                                unsigned int parent_object, unsigned int parent_attribute) {
  DbAttribute row(attribute, parent_object, parent_attribute);
  std::vector<int> text, position, box, header;
  divide_attribute_fields(row, text, position, box, header);
  row.set_header_fields(header);
  BindableQuery* insert =
      static_cast<BindableQuery*>(m_query_manager->get_known_query(INSERT_ATTRIBUTE));
  row.bind(*insert);
  row.log(0);
  run_to_end(insert);
  const unsigned int id = static_cast<unsigned int>(m_connection->last_inserted_id());
  const FieldList& fields = attribute->get_fields();
  if (!position.empty()) {
    DbPosition position_row(fields, position, parent_object, id);
    BindableQuery* q =
        static_cast<BindableQuery*>(m_query_manager->get_known_query(INSERT_POSITION));
    position_row.bind(*q);
    run_to_end(q);
  }
  if (!box.empty()) {
    DbBox box_row(fields, box, parent_object, id);
    BindableQuery* q = static_cast<BindableQuery*>(m_query_manager->get_known_query(INSERT_BOX));
    box_row.bind(*q);
    run_to_end(q);
  }
  for (int index : text) {
    DbText row_text(fields[static_cast<unsigned int>(index)], parent_object, id);
    BindableQuery* q = static_cast<BindableQuery*>(m_query_manager->get_known_query(INSERT_TEXT));
    row_text.bind(*q);
    run_to_end(q);
  }
  const AttributeList& children = static_cast<const Attribute&>(*attribute).get_attributes();
  for (unsigned int i = 0; i < children.size(); ++i) {
    insert_attribute(children.at(i), parent_object, id);
  }
  for (const Link& link : static_cast<const Attribute&>(*attribute).get_links()) {
    insert_link(link, parent_object, id);
  }
}

void Database::insert_link(const Link& link, unsigned int parent_object,
                           unsigned int parent_attribute) {
  // The link was resolved with the whole tree before the first row.
  DbLink row(link, parent_object, parent_attribute);
  BindableQuery* insert =
      static_cast<BindableQuery*>(m_query_manager->get_known_query(INSERT_LINK));
  row.bind(*insert);
  row.log();
  run_to_end(insert);
}

orva::ErrorCode Database::update_object(Object& object, bool from_sync) {
  LoggerUmbo::log("Database::update_object ++", kTrace);
  DbObject row(&object);
  WriteRecord record = {&row, from_sync};
  const orva::ErrorCode code =
      execute_transaction(&Database::do_update_object_proxy, &record, true, 0);
  if (code == ORVA_ERROR_NONE) row.update_object_flags();
  LoggerUmbo::log("Database::update_object --", kTrace);
  return code;
}

void Database::do_update_object_proxy(void* record) {
  WriteRecord* r = static_cast<WriteRecord*>(record);
  do_update_object(*r->row, r->from_sync);
}

void Database::do_update_object(DbObject& row, bool from_sync) {
  Object& object = *row.object();
  unsigned int lid = object.get_local_id();
  const unsigned long long gid = object.get_global_id();
  if (lid == 0) {
    do_get_object_local_id(gid, lid);
    if (lid == 0) {
      throw UmboException(ORVA_ERROR_NOT_FOUND,
                          "Database::update/replace called for non-existing object");
    }
    object.set_local_id(lid);
  }
  Object stored_object;
  stored_object.set_local_id(lid);
  DbObject stored(&stored_object);
  get_object_header(stored);
  // The server's object names itself by its global id: one that another object holds
  // is refused, whatever this object keeps.
  if (from_sync) check_global_id_free(gid, lid);
  merge_and_validate(row, stored, from_sync);

  if (from_sync) {
    LoggerUmbo::logf(kTrace, "Database::update_object: replace object (%4lu, %7llu)",
                     static_cast<unsigned long>(lid), gid);
    row.set_state(DbObject::SYNCED);
  } else if (stored.get_state() == DbObject::NEW) {
    LoggerUmbo::logf(kTrace, "Database::update_object: update NEW object (%lu)",
                     static_cast<unsigned long>(lid));
    if (object.get_global_id() != 0) {
      LoggerUmbo::logf(kTrace,
                       "WARNING Database::update_object: settin object with gid (%llu) as new! ",
                       object.get_global_id());
    }
    row.set_state(DbObject::NEW);
  } else {
    if (stored.get_state() == DbObject::NONE) {
      LoggerUmbo::log("ERROR: Database::update_object: Object state is DbObject::NONE", kTrace);
    } else {
      LoggerUmbo::logf(kTrace, "Database::update_object: update CHANGED object (%4lu, %7llu)",
                       static_cast<unsigned long>(lid), gid);
    }
    row.set_state(DbObject::CHANGED);
  }

  if (!object.is_partial()) {
    // Every link is checked before the old row and its content are deleted.
    resolve_object_links(object);
    remove_db_object(row, true, false);
    row.set_updeps(0);
    row.set_downdeps(0);
    row.set_linkmods(0);
    insert_db_object(row);
    if (object.get_class_name() == "multimedia") check_mmo_content_deps(row);
    if (count_dependencies_for(row)) check_written_child_links(row);
  }
  update_object_header(row);
  if (count_dependencies_for(row)) {
    check_parent_links(stored, row);
    // Counters above 0 may be owed to a cycle through this object alone (its children
    // kept theirs from what it was): count those afresh.
    if (counters_may_come_back_round(stored, row)) {
      settle_cycle_counters(lid);
      read_dependency_columns(row);
    }
  }
}

void Database::merge_and_validate(DbObject& incoming, DbObject& stored, bool from_sync) {
  validate(incoming, from_sync, false);
  Object& in = *incoming.object();
  const Object& old = *stored.object();
  if (in.get_class_name() != old.get_class_name()) {
    throw UmboException(ORVA_ERROR_INVALID_PARAMETERS, "Can't change classname!");
  }
  in.set_local_id(old.get_local_id());
  if (!from_sync) {
    in.set_global_id(old.get_global_id());
    in.set_owner(old.get_owner());
    in.set_version(old.get_version());
  } else {
    if (old.get_global_id() != 0) in.set_global_id(old.get_global_id());
    if (in.get_owner().empty() && !old.get_owner().empty()) in.set_owner(old.get_owner());
    if (old.is_no_sync()) in.set_no_sync(true);
  }
  if (in.is_partial()) {
    incoming.set_updeps(stored.get_updeps());
    incoming.set_downdeps(stored.get_downdeps());
    incoming.set_linkmods(stored.get_linkmods());
  }
}

orva::ErrorCode Database::remove_object(unsigned int local_id, bool from_sync) {
  LoggerUmbo::log("Database::remove_object ++", kTrace);
  RemoveRecord record = {local_id, from_sync};
  const orva::ErrorCode code =
      execute_transaction(&Database::do_remove_object_proxy, &record, true, 0);
  LoggerUmbo::log("Database::remove_object --", kTrace);
  if (code == ORVA_ERROR_NOT_FOUND) {
    LoggerUmbo::log("Database::remove_object ORVA_ERROR_NOT_FOUND converted to ORVA_ERROR_NONE.",
                    kTrace);
    return ORVA_ERROR_NONE;
  }
  return code;
}

void Database::do_remove_object_proxy(void* record) {
  RemoveRecord* r = static_cast<RemoveRecord*>(record);
  do_remove_object(r->local_id, r->from_sync);
}

void Database::do_remove_object(unsigned int local_id, bool from_sync) {
  Object stored_object;
  stored_object.set_local_id(local_id);
  DbObject stored(&stored_object);
  get_object_header(stored);
  // The parents are found while the links still lead to the object; they are recounted
  // once the object and its local-only links are gone.
  std::vector<DbObject> parents;
  // Parents need recounting only when the object counted for them.
  const bool propagate =
      count_dependencies_for(stored) && (stored.get_updeps() > 0 || stored.get_downdeps() > 0 ||
                                         stored.get_linkmods() > 0 || !stored.in_sync());
  try {
    if (propagate) get_parent_objects(stored, parents);
    remove_db_object(stored, from_sync, true);
    if (propagate && !parents.empty()) {
      std::set<unsigned int> visited;
      visited.insert(local_id);
      update_parent_links(parents, visited);
    }
  } catch (...) {
    free_objects(parents);
    throw;
  }
  free_objects(parents);
}

void Database::run_local_id_statement(QueryName name, unsigned int local_id) {
  BindableQuery* query = static_cast<BindableQuery*>(m_query_manager->get_known_query(name));
  query->bind(LOCAL_ID, static_cast<int>(local_id));
  run_to_end(query);
}

void Database::insert_removed_id(unsigned int local_id) {
  run_local_id_statement(INSERT_REMOVED, local_id);
}

void Database::remove_db_object(DbObject& row, bool from_sync, bool fix_links) {
  const unsigned int lid = row.object()->get_local_id();
  if (!from_sync) insert_removed_id(lid);
  if (fix_links) {
    run_local_id_statement(DELETE_LOCAL_LINKS, lid);
    run_local_id_statement(CLEAR_LINK_TARGET, lid);
  }
  run_local_id_statement(DELETE_OBJECT, lid);
}

orva::ErrorCode Database::set_object_sharing(unsigned int local_id, SharingModel sharing,
                                             bool retain_state) {
  LoggerUmbo::log("Database::set_object_sharing ++", kTrace);
  SharingRecord record = {local_id, sharing, retain_state};
  const orva::ErrorCode code =
      execute_transaction(&Database::do_set_object_sharing_proxy, &record, true, 0);
  LoggerUmbo::log("Database::set_object_sharing --", kTrace);
  return code;
}

void Database::do_set_object_sharing_proxy(void* record) {
  SharingRecord* r = static_cast<SharingRecord*>(record);
  do_set_object_sharing(r->local_id, r->sharing, r->retain_state);
}

void Database::do_set_object_sharing(unsigned int local_id, SharingModel sharing,
                                     bool retain_state) {
  Object stored_object;
  stored_object.set_local_id(local_id);
  DbObject stored(&stored_object);
  get_object_header(stored);
  if (stored_object.get_sharing() == sharing) return;
  Object changed_object(stored_object);
  DbObject changed(stored);
  changed.set_object(&changed_object);
  if (!retain_state && stored.get_state() == DbObject::SYNCED) {
    changed.set_state(DbObject::SHARING_CHANGED);
  }
  changed_object.set_sharing(sharing);
  update_object_header(changed);
  if (changed.get_state() != stored.get_state() && count_dependencies_for(stored)) {
    check_parent_links(stored, changed);
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
