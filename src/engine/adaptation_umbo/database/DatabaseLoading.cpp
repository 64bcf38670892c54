// Database: loading an object, or only its header, by local or global id.
#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/database/BindableAndGettableQuery.h"
#include "adaptation_umbo/database/Database.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "adaptation_umbo/database/dbitems/DbAttribute.h"
#include "adaptation_umbo/database/dbitems/DbBox.h"
#include "adaptation_umbo/database/dbitems/DbLink.h"
#include "adaptation_umbo/database/dbitems/DbObject.h"
#include "adaptation_umbo/database/dbitems/DbPosition.h"
#include "adaptation_umbo/database/dbitems/DbText.h"

#include <keldra/Invariant.h>

#include <unordered_map>
#include <unordered_set>

namespace orva {
namespace keldra {
namespace internal {

namespace {

struct GetRecord {
  unsigned int local_id;
  Object* object;
  bool header_only;
};

struct GetGlobalRecord {
  unsigned long long global_id;
  Object* object;
};

// Reads every result row of a fixed select bound to the object's local id.
template <class Row>
void read_rows(QueryManager* manager, QueryName name, DbChildItem& key, std::vector<Row>& out) {
  BindableAndGettableQuery* query =
      static_cast<BindableAndGettableQuery*>(manager->get_known_query(name));
  key.bind(*query);
  while (query->execute(0) == Query::ROW) {
    out.push_back(Row());
    out.back().get_result(*query);
  }
}

// The attribute of the row whose id is |id|, or null (the row is then an orphan).
Attribute* find_parent(const std::unordered_map<unsigned int, Attribute*>& by_id, unsigned int id) {
  auto it = by_id.find(id);
  return it == by_id.end() ? nullptr : it->second;
}

// The ids of the attribute rows that lie on a loop of parent_attribute references (a
// damaged file): attached, such rows would hold each other and never be freed, and
// they cannot reach the object anyway. Each row is walked once.
std::unordered_set<unsigned int> rows_in_loops(const std::vector<DbAttribute>& rows) {
  std::unordered_set<unsigned int> looped;
  // Most objects hold only top-level attributes: nothing to walk, nothing to allocate.
  bool nested = false;
  for (const DbAttribute& row : rows) nested = nested || row.get_parent_attribute() != 0;
  if (!nested) return looped;
  std::unordered_map<unsigned int, unsigned int> parent_of;
  for (const DbAttribute& row : rows) {
    parent_of.emplace(row.get_local_id(), row.get_parent_attribute());
  }
  enum State { WALKING, DONE };
  std::unordered_map<unsigned int, State> state;
  std::vector<unsigned int> path;
  for (const DbAttribute& row : rows) {
    unsigned int id = row.get_local_id();
    path.clear();
    // Follow the parents until the top, an orphan, or a row seen before.
    while (id != 0 && !state.count(id)) {
      auto parent = parent_of.find(id);
      if (parent == parent_of.end()) break;
      state[id] = WALKING;
      path.push_back(id);
      id = parent->second;
    }
    auto seen = state.find(id);
    if (id != 0 && seen != state.end() && seen->second == WALKING) {
      // The walk came back to a row of this path: the rows from there on form a loop.
      for (auto it = path.rbegin(); it != path.rend(); ++it) {
        looped.insert(*it);
        if (*it == id) break;
      }
    }
    for (unsigned int walked : path) state[walked] = DONE;
  }
  return looped;
}

}  // namespace

orva::ErrorCode Database::get_object(unsigned int local_id, Object& object) {
  GetRecord record = {local_id, &object, false};
  return execute_transaction(&Database::do_get_object_proxy, &record, false, 0);
}

orva::ErrorCode Database::get_object_header(unsigned int local_id, Object& object) {
  GetRecord record = {local_id, &object, true};
  return execute_transaction(&Database::do_get_object_proxy, &record, false, 0);
}

orva::ErrorCode Database::get_global_object(unsigned long long global_id, Object& object) {
  GetGlobalRecord record = {global_id, &object};
  return execute_transaction(&Database::do_get_global_object_proxy, &record, false, 0);
}

void Database::do_get_object_proxy(void* record) {
  GetRecord* r = static_cast<GetRecord*>(record);
  do_get_object(r->local_id, *r->object, r->header_only);
}

void Database::do_get_global_object_proxy(void* record) {
  GetGlobalRecord* r = static_cast<GetGlobalRecord*>(record);
  do_get_global_object(r->global_id, *r->object);
}

void Database::do_get_object(unsigned int local_id, Object& object, bool header_only) {
  object.set_local_id(local_id);
  object.set_global_id(0);
  DbObject row(&object);
  get_object_header(row);
  object.set_partial(header_only);
  if (!header_only) get_object_data(object);
}

void Database::do_get_global_object(unsigned long long global_id, Object& object) {
  object.set_local_id(0);
  object.set_global_id(global_id);
  DbObject row(&object);
  get_object_header(row);
  get_object_data(object);
}

void Database::get_object_header(DbObject& row) {
  Object* object = row.object();
  QueryName name;
  if (object && object->get_local_id() != 0) {
    name = SELECT_OBJECT_BY_LOCAL_ID;
  } else if (object && object->get_global_id() != 0) {
    name = SELECT_OBJECT_BY_GLOBAL_ID;
  } else {
    throw UmboException(ORVA_ERROR_INVALID_PARAMETERS,
                        "Database::get_object_header: Invalid parameters");
  }
  if (!run_object_query(row, name)) {
    throw UmboException(ORVA_ERROR_NOT_FOUND, "Database::get_object_header: No object found");
  }
}

void Database::get_object_data(Object& object) {
  KELDRA_INVARIANT(object.get_local_id() != 0, "object.get_local_id() != ORVA_KELDRA_NULL_LOCAL_ID",
                   "DatabaseLoading.cpp", __LINE__);
  DbChildItem key(object.get_local_id(), 0);
  std::vector<DbAttribute> attributes;
  std::vector<DbLink> links;
  std::vector<DbPosition> positions;
  std::vector<DbBox> boxes;
  std::vector<DbText> texts;
  read_rows(m_query_manager, SELECT_ATTRIBUTES, key, attributes);
  read_rows(m_query_manager, SELECT_LINKS, key, links);
  read_rows(m_query_manager, SELECT_POSITIONS, key, positions);
  read_rows(m_query_manager, SELECT_BOXES, key, boxes);
  read_rows(m_query_manager, SELECT_TEXTS, key, texts);

  // Attributes are shared objects, so a child attached before its parent is attached
  // still ends up in the tree; the row order does not matter.
  std::unordered_map<unsigned int, Attribute*> by_id;
  for (DbAttribute& row : attributes) by_id.emplace(row.get_local_id(), row.attribute().get());
  // Rows on a loop stay unattached, as orphans do; what hangs below them goes with them.
  const std::unordered_set<unsigned int> looped = rows_in_loops(attributes);
  if (!looped.empty()) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "ERROR: Database::get_object_data: attribute rows in a loop left out "
                     "(object %u, %u rows)",
                     object.get_local_id(), static_cast<unsigned int>(looped.size()));
  }
  for (DbAttribute& row : attributes) {
    if (!looped.empty() && looped.count(row.get_local_id())) continue;
    if (row.get_parent_attribute() == 0) {
      object.get_attributes().push_back(row.attribute());
    } else if (Attribute* parent = find_parent(by_id, row.get_parent_attribute())) {
      parent->get_attributes().push_back(row.attribute());
    }
  }
  for (DbLink& row : links) {
    row.log();
    if (row.get_parent_attribute() == 0) {
      object.get_links().push_back(row.link());
    } else if (Attribute* parent = find_parent(by_id, row.get_parent_attribute())) {
      parent->get_links().push_back(row.link());
    }
  }
  for (DbText& row : texts) {
    Attribute* parent = find_parent(by_id, row.get_parent_attribute());
    // A text row without value (a non-string field of an older file) has type 0.
    if (parent && row.field().get_type() != Field::TYPE_NONE) {
      parent->get_fields().push_back(row.field());
    }
  }
  auto attach_slots = [&by_id](DbFieldList& row) {
    Attribute* parent = find_parent(by_id, row.get_parent_attribute());
    if (!parent) return;
    for (const Field& field : row.fields()) {
      if (field.get_type() != Field::TYPE_NONE) parent->get_fields().push_back(field);
    }
  };
  for (DbPosition& row : positions) attach_slots(row);
  for (DbBox& row : boxes) attach_slots(row);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
