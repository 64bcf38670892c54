// Database: link resolution and the dependency counters kept in every object row.
//
// updeps / downdeps: 1 for a "multimedia" object's own file that exists only locally /
// only on the server, plus 1 per linked object whose updeps / downdeps is above 0.
// linkmods: 1 per linked object that is not in sync or whose linkmods is above 0.
// Each linked object counts once. A write recomputes the written object's counters,
// then carries a change of its contribution up to the objects that link to it; each
// parent reached is recounted from its children, so a parent reached along several
// paths ends right, and no counter is ever negative. The objects of global id 995 and
// 997 keep no counters.
//
// Inside a cycle of links (X -> Y -> X) the objects would keep each other's counters
// above 0 after the content that caused them is gone, and a change that comes round the
// cycle finds its start already counted. So when a counter falls but stays above 0 on
// an object that lies on a cycle, or a change comes back to an object on its way, the
// objects on and above that cycle are counted afresh: a linked object counts only when
// its counter is owed to content it really reaches (the least counts that satisfy the
// rules above).
#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/database/BindableAndGettableQuery.h"
#include "adaptation_umbo/database/BindableQuery.h"
#include "adaptation_umbo/database/Database.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "adaptation_umbo/database/dbitems/DbLink.h"
#include "adaptation_umbo/database/dbitems/DbObject.h"

#include <sys/time.h>
#include <ctime>
#include <map>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;

const unsigned long long kSoftDeletionGid = 995;
const unsigned long long kMappingGid = 997;

// The three contributions of a row to its parents' counters (0 or 1 each).
struct Contribution {
  int upload;
  int download;
  int update;
};

unsigned int pack(const Contribution& c) {
  return (c.upload ? 1u : 0u) | (c.download ? 2u : 0u) | (c.update ? 4u : 0u);
}

Contribution unpack(unsigned int bits) {
  Contribution c = {(bits & 1u) ? 1 : 0, (bits & 2u) ? 1 : 0, (bits & 4u) ? 1 : 0};
  return c;
}

Contribution contribution_of(const DbObject& row) {
  Contribution c = {0, 0, 0};
  if (!row.object()) return c;
  c.upload = row.get_updeps() > 0 ? 1 : 0;
  c.download = row.get_downdeps() > 0 ? 1 : 0;
  c.update = (row.get_linkmods() > 0 || !row.in_sync()) ? 1 : 0;
  return c;
}

// Whether some counter of the row fell from |before| yet stayed above 0: what is left may
// be owed only to a cycle of links.
bool fell_but_stayed_positive(const DbObject& before, const DbObject& after) {
  return (after.get_updeps() < before.get_updeps() && after.get_updeps() > 0) ||
         (after.get_downdeps() < before.get_downdeps() && after.get_downdeps() > 0) ||
         (after.get_linkmods() < before.get_linkmods() && after.get_linkmods() > 0);
}

// The "url" of the object's first top-level "uri" attribute of that name; empty when
// there is none.
std::string uri_address(const Object& object, const char* name, bool* found) {
  const AttributeList& attributes = object.get_attributes();
  const int index = attributes.find_attribute(std::string(name), std::string("uri"));
  *found = index >= 0;
  if (index < 0) return std::string();
  const Attribute& uri = *attributes.at(static_cast<unsigned int>(index));
  const int field = uri.find_field(std::string("url"));
  std::string url;
  if (field >= 0) uri.get_fields().at(static_cast<unsigned int>(field)).get_value(url);
  return url;
}

}  // namespace

bool Database::count_dependencies_for(const DbObject& row) const {
  if (!row.object()) return true;
  const unsigned long long gid = row.object()->get_global_id();
  return gid != kSoftDeletionGid && gid != kMappingGid;
}

void Database::check_mmo_content_deps(DbObject& row) {
  bool local_found = false;
  bool remote_found = false;
  const std::string local = uri_address(*row.object(), "local_uri", &local_found);
  const std::string remote = uri_address(*row.object(), "remote_uri", &remote_found);
  if (local_found) LoggerUmbo::log("Database::check_mmo_content_deps: local uri found!", kTrace);
  if (remote_found) LoggerUmbo::log("Database::check_mmo_content_deps: remote uri found!", kTrace);
  if (!local.empty() && remote.empty()) {
    LoggerUmbo::log("Database::check_mmo_content_deps: local uri and no remote uri!", kTrace);
    row.set_updeps(1);
  } else if (local.empty() && !remote.empty()) {
    LoggerUmbo::log("Database::check_mmo_content_deps: remote uri and no local uri!", kTrace);
    row.set_downdeps(1);
  }
}

void Database::free_objects(std::vector<DbObject>& rows) {
  for (DbObject& row : rows) delete row.object();
  rows.clear();
}

void Database::get_child_objects(DbObject& row, std::vector<DbObject>& out) {
  BindableAndGettableQuery* query = static_cast<BindableAndGettableQuery*>(
      m_query_manager->get_known_query(SELECT_CHILD_OBJECTS));
  row.bind(*query);
  while (query->execute(0) == Query::ROW) {
    DbObject child(new Object());
    child.get_result(*query);
    child.object()->set_partial(true);
    out.push_back(child);
  }
  LoggerUmbo::logf(kTrace, "Database::get_child_objects: found %d", static_cast<int>(out.size()));
}

void Database::get_parent_objects(DbObject& row, std::vector<DbObject>& out) {
  BindableAndGettableQuery* query = static_cast<BindableAndGettableQuery*>(
      m_query_manager->get_known_query(SELECT_PARENT_OBJECTS));
  row.bind(*query);
  while (query->execute(0) == Query::ROW) {
    DbObject parent(new Object());
    parent.get_result(*query);
    parent.object()->set_partial(true);
    out.push_back(parent);
  }
  LoggerUmbo::logf(kTrace, "Database::get_parent_objects: found %d", static_cast<int>(out.size()));
}

void Database::check_child_links(DbObject& row) {
  LoggerUmbo::log("Database::check_child_links()", kTrace);
  std::vector<DbObject> children;
  try {
    get_child_objects(row, children);
  } catch (...) {
    free_objects(children);
    throw;
  }
  for (const DbObject& child : children) {
    const Contribution c = contribution_of(child);
    row.set_updeps(row.get_updeps() + c.upload);
    row.set_downdeps(row.get_downdeps() + c.download);
    row.set_linkmods(row.get_linkmods() + c.update);
  }
  free_objects(children);
}

namespace {

void collect_targets(const LinkList& links, std::set<unsigned int>& out) {
  for (const Link& link : links) {
    if (link.get_local_link() != 0) out.insert(link.get_local_link());
  }
}

void collect_targets(const Attribute& attribute, std::set<unsigned int>& out) {
  collect_targets(attribute.get_links(), out);
  const AttributeList& children = attribute.get_attributes();
  for (unsigned int i = 0; i < children.size(); ++i) collect_targets(*children.at(i), out);
}

}  // namespace

void Database::check_written_child_links(DbObject& row) {
  // The object's link rows were just written from its resolved links, so its children
  // are the stored objects of their local targets: read by key instead of through the
  // link table.
  LoggerUmbo::log("Database::check_child_links()", kTrace);
  const Object& object = *row.object();
  std::set<unsigned int> targets;
  collect_targets(object.get_links(), targets);
  const AttributeList& attributes = object.get_attributes();
  for (unsigned int i = 0; i < attributes.size(); ++i) collect_targets(*attributes.at(i), targets);
  // Targets read while resolving the links are not read again; the object's own row
  // (a link to itself) was rewritten since, so it is.
  const unsigned int own = object.get_local_id();
  for (unsigned int target : targets) {
    Contribution c;
    const auto known = m_link_targets.find(target);
    if (known != m_link_targets.end() && target != own) {
      c = unpack(known->second.contribution);
    } else {
      Object child_object;
      child_object.set_local_id(target);
      DbObject child(&child_object);
      if (!read_dependency_columns(child)) continue;
      c = contribution_of(child);
    }
    row.set_updeps(row.get_updeps() + c.upload);
    row.set_downdeps(row.get_downdeps() + c.download);
    row.set_linkmods(row.get_linkmods() + c.update);
  }
  m_link_targets.clear();
}

bool Database::read_dependency_columns(DbObject& row) {
  // Only what a child's contribution needs, so no names pass through the string pool.
  static const QueryParameter kParams[] = {LOCAL_ID};
  static const QueryParameter kResults[] = {UPDEPS, DOWNDEPS, LINKMODS, MODIFIED, NO_SYNC,
                                            GLOBAL_ID};
  static const char kSql[] =
      "SELECT updeps, downdeps, linkmods, modified, no_sync, global_id FROM object "
      "WHERE local_id=?";
  Query* query = m_dependency_query >= 0 ? m_query_manager->get_query(m_dependency_query) : nullptr;
  if (!query || query->get_query_string() != kSql) {
    // First use, or the manager dropped its statements after a rollback.
    m_dependency_query = m_query_manager->new_query(1, kParams, 6, kResults, kSql);
    query = m_query_manager->get_query(m_dependency_query);
  }
  BindableAndGettableQuery* select = static_cast<BindableAndGettableQuery*>(query);
  row.bind(*select);
  bool found = false;
  while (select->execute(0) == Query::ROW) {
    row.get_result(*select);
    found = true;
  }
  return found;
}

void Database::count_own_dependencies(DbObject& row) {
  row.set_updeps(0);
  row.set_downdeps(0);
  row.set_linkmods(0);
  if (row.object()->get_class_name() == "multimedia") {
    // Its own file counts too: that needs its uri attributes.
    Object content;
    content.set_local_id(row.object()->get_local_id());
    get_object_data(content);
    DbObject own(&content);
    check_mmo_content_deps(own);
    row.set_updeps(own.get_updeps());
    row.set_downdeps(own.get_downdeps());
  }
}

void Database::recount_dependencies(DbObject& row) {
  count_own_dependencies(row);
  check_child_links(row);
}

bool Database::lies_on_cycle(unsigned int local_id) {
  // Walks up the link rows alone (no object rows, no temporary tables): a stored target
  // always has its local id in the link row (the triggers fill it in).
  static const QueryParameter kParams[] = {LOCAL_ID};
  static const QueryParameter kResults[] = {ID};
  static const char kSql[] = "SELECT parent_object FROM link WHERE target_id=?";
  Query* query = m_cycle_query >= 0 ? m_query_manager->get_query(m_cycle_query) : nullptr;
  if (!query || query->get_query_string() != kSql) {
    // First use, or the manager dropped its statements after a rollback.
    m_cycle_query = m_query_manager->new_query(1, kParams, 1, kResults, kSql);
    query = m_query_manager->get_query(m_cycle_query);
  }
  BindableAndGettableQuery* select = static_cast<BindableAndGettableQuery*>(query);
  std::set<unsigned int> seen;
  std::vector<unsigned int> next(1, local_id);
  while (!next.empty()) {
    const unsigned int child = next.back();
    next.pop_back();
    select->bind(LOCAL_ID, static_cast<int>(child));
    while (select->execute(0) == Query::ROW) {
      int parent = 0;
      select->get_result(ID, parent);
      const unsigned int lid = static_cast<unsigned int>(parent);
      if (lid == local_id) {
        select->reset();
        return true;
      }
      if (seen.insert(lid).second) next.push_back(lid);
    }
  }
  return false;
}

void Database::settle_cycle_counters(unsigned int local_id) {
  if (!lies_on_cycle(local_id)) return;
  // The region: the object and every object above it (those keep no counters aside).
  // Its rows and their children lists own their objects until the end.
  struct Region {
    std::vector<DbObject> rows;
    std::vector<std::vector<DbObject>> children;
    ~Region() {
      free_objects(rows);
      for (std::vector<DbObject>& list : children) free_objects(list);
    }
  } region;
  std::map<unsigned int, size_t> index;
  region.rows.push_back(DbObject(new Object()));
  region.rows[0].object()->set_local_id(local_id);
  if (!run_object_query(region.rows[0], SELECT_OBJECT_BY_LOCAL_ID)) return;
  index[local_id] = 0;
  bool on_cycle = false;
  for (size_t i = 0; i < region.rows.size(); ++i) {
    std::vector<DbObject> parents;
    try {
      get_parent_objects(region.rows[i], parents);
    } catch (...) {
      free_objects(parents);
      throw;
    }
    for (DbObject& parent : parents) {
      const unsigned int lid = parent.object()->get_local_id();
      if (lid == local_id) on_cycle = true;
      if (!count_dependencies_for(parent) || index.count(lid)) {
        delete parent.object();
        continue;
      }
      index[lid] = region.rows.size();
      region.rows.push_back(parent);
    }
  }
  if (!on_cycle) return;
  LoggerUmbo::logf(kTrace, "Database::settle_cycle_counters: lid %lu, %d objects",
                   static_cast<unsigned long>(local_id), static_cast<int>(region.rows.size()));

  const size_t n = region.rows.size();
  std::vector<Contribution> own(n);
  std::vector<Contribution> reach(n, Contribution{0, 0, 0});
  region.children.resize(n);
  for (size_t i = 0; i < n; ++i) {
    Object own_object(*region.rows[i].object());
    DbObject own_row(region.rows[i]);
    own_row.set_object(&own_object);
    count_own_dependencies(own_row);
    own[i] = Contribution{own_row.get_updeps() > 0 ? 1 : 0, own_row.get_downdeps() > 0 ? 1 : 0, 0};
    get_child_objects(region.rows[i], region.children[i]);
  }
  // What a child gives its parent: from its stored counters outside the region, from
  // what it reaches inside it.
  auto given = [&](const DbObject& child) {
    auto at = index.find(child.object()->get_local_id());
    if (at == index.end()) return contribution_of(child);
    const Contribution& r = reach[at->second];
    return Contribution{r.upload, r.download, (r.update || !child.in_sync()) ? 1 : 0};
  };
  // The least solution: start from nothing and add what is owed until nothing changes.
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t i = 0; i < n; ++i) {
      Contribution r = own[i];
      for (const DbObject& child : region.children[i]) {
        const Contribution c = given(child);
        r.upload |= c.upload;
        r.download |= c.download;
        r.update |= c.update;
      }
      if (r.upload != reach[i].upload || r.download != reach[i].download ||
          r.update != reach[i].update) {
        reach[i] = r;
        changed = true;
      }
    }
  }
  for (size_t i = 0; i < n; ++i) {
    Contribution count = own[i];
    for (const DbObject& child : region.children[i]) {
      const Contribution c = given(child);
      count.upload += c.upload;
      count.download += c.download;
      count.update += c.update;
    }
    DbObject& stored = region.rows[i];
    if (count.upload == stored.get_updeps() && count.download == stored.get_downdeps() &&
        count.update == stored.get_linkmods()) {
      continue;
    }
    Object copy(*stored.object());
    DbObject neu(stored);
    neu.set_object(&copy);
    neu.set_updeps(count.upload);
    neu.set_downdeps(count.download);
    neu.set_linkmods(count.update);
    LoggerUmbo::logf(kTrace,
                     "Database::settle_cycle_counters: lid %lu download %d upload %d update %d",
                     static_cast<unsigned long>(copy.get_local_id()), count.download, count.upload,
                     count.update);
    update_object_header(neu);
  }
}

void Database::check_parent_links(DbObject& old_row, DbObject& new_row) {
  std::set<unsigned int> visited;
  check_parent_links(old_row, new_row, visited);
}

void Database::check_parent_links(DbObject& old_row, DbObject& new_row,
                                  std::set<unsigned int>& visited) {
  DbObject& present = new_row.object() ? new_row : old_row;
  if (!present.object()) return;
  const unsigned int lid = (old_row.object() ? old_row : new_row).object()->get_local_id();
  const Contribution before = contribution_of(old_row);
  const Contribution after = contribution_of(new_row);
  LoggerUmbo::logf(kTrace, "Database::check_parent_links: lid %lu",
                   static_cast<unsigned long>(lid));
  LoggerUmbo::logf(kTrace, "Database::check_parent_links old: download %d upload %d update %d",
                   old_row.get_downdeps(), old_row.get_updeps(), old_row.get_linkmods());
  LoggerUmbo::logf(kTrace, "Database::check_parent_links new: download %d upload %d update %d",
                   new_row.get_downdeps(), new_row.get_updeps(), new_row.get_linkmods());
  const int upload = after.upload - before.upload;
  const int download = after.download - before.download;
  const int update = after.update - before.update;
  if (upload == 0 && download == 0 && update == 0) return;
  LoggerUmbo::logf(kTrace, "Database::check_parent_links diff: download %d upload %d update %d",
                   download, upload, update);
  std::vector<DbObject> parents;
  try {
    get_parent_objects(present, parents);
  } catch (...) {
    free_objects(parents);
    throw;
  }
  // The set holds the objects on the current path only: it stops cycles, while a
  // parent reached again along another path is recounted with what changed meanwhile.
  const unsigned int self = present.object()->get_local_id();
  const bool entered = visited.insert(self).second;
  try {
    update_parent_links(parents, visited);
  } catch (...) {
    if (entered) visited.erase(self);
    free_objects(parents);
    throw;
  }
  if (entered) visited.erase(self);
  free_objects(parents);
}

void Database::update_parent_links(std::vector<DbObject>& parents,
                                   std::set<unsigned int>& visited) {
  for (DbObject& parent : parents) {
    const unsigned int lid = parent.object()->get_local_id();
    LoggerUmbo::logf(kTrace, "Database::update_parent_links: handling parent: %4lu",
                     static_cast<unsigned long>(lid));
    if (!count_dependencies_for(parent)) {
      LoggerUmbo::log("Database::update_parent_links: found a mapping object", kTrace);
      continue;
    }
    if (visited.count(lid)) {
      LoggerUmbo::log("Database::update_parent_deps stopped on circular link", kTrace);
      // Its count was taken before the change came round the cycle to it.
      settle_cycle_counters(lid);
      continue;
    }
    Object copy(*parent.object());
    DbObject neu(parent);
    neu.set_object(&copy);
    LoggerUmbo::logf(kTrace, "update_parent_links before: download %d upload %d update %d",
                     neu.get_downdeps(), neu.get_updeps(), neu.get_linkmods());
    recount_dependencies(neu);
    LoggerUmbo::logf(kTrace, "update_parent_links after: download %d upload %d update %d",
                     neu.get_downdeps(), neu.get_updeps(), neu.get_linkmods());
    if (neu.get_updeps() == parent.get_updeps() && neu.get_downdeps() == parent.get_downdeps() &&
        neu.get_linkmods() == parent.get_linkmods()) {
      continue;  // its row and its parents stay as they are
    }
    update_object_header(neu);
    if (count_dependencies_for(neu)) check_parent_links(parent, neu, visited);
    if (fell_but_stayed_positive(parent, neu)) settle_cycle_counters(lid);
  }
}

void Database::resolve_object_links(Object& object) {
  m_link_targets.clear();
  // Read through the const side first: the modifiable accessors create empty lists.
  if (!static_cast<const Object&>(object).get_links().empty()) {
    for (Link& link : object.get_links()) resolve_link(link);
  }
  const AttributeList& attributes = static_cast<const Object&>(object).get_attributes();
  for (unsigned int i = 0; i < attributes.size(); ++i) {
    resolve_attribute_links(*attributes.at(i));
  }
}

void Database::resolve_attribute_links(Attribute& attribute) {
  if (!static_cast<const Attribute&>(attribute).get_links().empty()) {
    for (Link& link : attribute.get_links()) resolve_link(link);
  }
  const AttributeList& children = static_cast<const Attribute&>(attribute).get_attributes();
  for (unsigned int i = 0; i < children.size(); ++i) resolve_attribute_links(*children.at(i));
}

void Database::resolve_link(Link& link) {
  unsigned int local = link.get_local_link();
  unsigned long long global = link.get_global_link();
  if (local == 0 && global == 0) {
    LoggerUmbo::log("ERROR: Link's both targets are NULL!", kTrace);
    throw UmboException(ORVA_ERROR_INVALID_PARAMETERS, "Link's both targets are NULL!");
  }
  if (local == 0) {
    do_get_object_local_id(global, local);
    link.set_local_link(local);
    LoggerUmbo::logf(kTrace, "Database::resolve_link: resolved to (%4lu, %7llu)",
                     static_cast<unsigned long>(local), global);
    return;
  }
  // One keyed read tells whether the target exists, its global id and, for the count
  // after the write, its counters.
  unsigned long long stored = 0;
  if (!read_link_target(local, stored)) {
    LoggerUmbo::logf(kTrace, "ERROR: Link points to non-existing object lid %lu",
                     static_cast<unsigned long>(local));
    throw UmboException(ORVA_ERROR_INVALID_PARAMETERS, "Link cannot be resolved by its target LID");
  }
  if (global == 0) {
    link.set_global_link(stored);
    LoggerUmbo::logf(kTrace, "Database::resolve_link: resolved to (%4lu, %7llu)",
                     static_cast<unsigned long>(local), stored);
  } else if (stored != 0 && stored != global) {
    LoggerUmbo::logf(kTrace, "ERROR: Link points to object {%lu,%llu}, but contains gid %llu",
                     static_cast<unsigned long>(local), stored, global);
    throw UmboException(ORVA_ERROR_INVALID_PARAMETERS,
                        "Link's GID doesn't match object pointed by its LID");
  }
}

bool Database::read_link_target(unsigned int local_id, unsigned long long& global_id) {
  const auto known = m_link_targets.find(local_id);
  if (known != m_link_targets.end()) {
    global_id = known->second.global_id;
    return true;
  }
  Object target;
  target.set_local_id(local_id);
  DbObject row(&target);
  if (!read_dependency_columns(row)) return false;
  global_id = target.get_global_id();  // 0: no global id yet
  m_link_targets[local_id] = LinkTarget{global_id, pack(contribution_of(row))};
  return true;
}

bool Database::run_link_query(DbLink& row, QueryName name) {
  BindableAndGettableQuery* query =
      static_cast<BindableAndGettableQuery*>(m_query_manager->get_known_query(name));
  row.bind(*query);
  bool found = false;
  while (query->execute(0) == Query::ROW) found = true;
  return found;
}

void Database::set_timestamp(DbObject& row) {
  struct timeval tv;
  long long ms;
  if (gettimeofday(&tv, nullptr) == 0) {
    ms = static_cast<long long>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
  } else {
    ms = static_cast<long long>(std::time(nullptr)) * 1000;
  }
  row.object()->set_timestamp(ms);
}

void Database::update_object_header(DbObject& row) {
  LoggerUmbo::log("Database::update_object_header", kTrace);
  set_timestamp(row);
  BindableQuery* query =
      static_cast<BindableQuery*>(m_query_manager->get_known_query(UPDATE_OBJECT));
  row.bind(*query);
  while (query->execute(0) != Query::DONE) {
  }
  row.log();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
