#include "adaptation_umbo/database/QueryName.h"

namespace orva {
namespace keldra {
namespace internal {

const QueryParameter OBJECT_COLUMNS[14] = {LOCAL_ID,  GLOBAL_ID, CLASS_NAME, NAME,    VERSION,
                                           TIMESTAMP, SERVICE,   OWNER,      SHARING, MODIFIED,
                                           LINKMODS,  UPDEPS,    DOWNDEPS,   NO_SYNC};

namespace {

const QueryParameter P_LOCAL_ID[] = {LOCAL_ID};
const QueryParameter P_GLOBAL_ID[] = {GLOBAL_ID};
const QueryParameter P_PARENT_OBJECT[] = {PARENT_OBJECT};
const QueryParameter P_LOCAL_GLOBAL[] = {LOCAL_ID, GLOBAL_ID};
const QueryParameter P_ATTRIBUTE[] = {CLASS_NAME, NAME, VALUE_BLOB, PARENT_OBJECT,
                                      PARENT_ATTRIBUTE};
const QueryParameter P_LINK[] = {TARGET_ID, TARGET_GID, NAME, PARENT_OBJECT, PARENT_ATTRIBUTE};
const QueryParameter P_BOX[] = {MIN_LAT, MAX_LAT, MIN_LONG,      MAX_LONG,        MIN_ALT,
                                MAX_ALT, DATUM,   PARENT_OBJECT, PARENT_ATTRIBUTE};
const QueryParameter P_POSITION[] = {
    LATITUDE, LONGITUDE, ACCURACY, ALTITUDE, ALTITUDE_ABOVE_SEA, ALT_ACCURACY,
    DATETIME, COURSE,    SPEED,    DATUM,    PARENT_OBJECT,      PARENT_ATTRIBUTE};
const QueryParameter P_TEXT[] = {TYPE,        NAME,          VALUE_TEXT,
                                 COLLATE_KEY, PARENT_OBJECT, PARENT_ATTRIBUTE};
const QueryParameter P_UPDATE_OBJECT[] = {GLOBAL_ID, CLASS_NAME, NAME,     VERSION,  SERVICE,
                                          OWNER,     SHARING,    MODIFIED, LINKMODS, UPDEPS,
                                          DOWNDEPS,  NO_SYNC,    LOCAL_ID};
const QueryParameter P_COLLATE_KEY_ID[] = {COLLATE_KEY, ID};

const QueryParameter R_ATTRIBUTE[] = {ID,         CLASS_NAME,    NAME,
                                      VALUE_BLOB, PARENT_OBJECT, PARENT_ATTRIBUTE};
const QueryParameter R_LINK[] = {ID, TARGET_ID, TARGET_GID, NAME, PARENT_OBJECT, PARENT_ATTRIBUTE};
const QueryParameter R_BOX[] = {ID,      MIN_LAT, MAX_LAT, MIN_LONG,      MAX_LONG,
                                MIN_ALT, MAX_ALT, DATUM,   PARENT_OBJECT, PARENT_ATTRIBUTE};
const QueryParameter R_POSITION[] = {
    ID,       LATITUDE, LONGITUDE, ACCURACY, ALTITUDE,      ALTITUDE_ABOVE_SEA, ALT_ACCURACY,
    DATETIME, COURSE,   SPEED,     DATUM,    PARENT_OBJECT, PARENT_ATTRIBUTE};
const QueryParameter R_TEXT[] = {
    ID, NAME, TYPE, VALUE_TEXT, COLLATE_KEY, PARENT_OBJECT, PARENT_ATTRIBUTE};
const QueryParameter R_ALL_TEXTS[] = {ID, TYPE, VALUE_TEXT};
const QueryParameter R_COLLATE_KEY[] = {COLLATE_KEY};

#define LIST(a) static_cast<int>(sizeof(a) / sizeof(a[0])), a
#define NONE 0, nullptr

const KnownQuery kQueries[KNOWN_QUERY_COUNT] = {
    {BEGIN_TRANSACTION, QUERY_PLAIN, "BEGIN", NONE, NONE},
    {BEGIN_EXCLUSIVE_TRANSACTION, QUERY_PLAIN, "BEGIN EXCLUSIVE", NONE, NONE},
    {ROLLBACK_TRANSACTION, QUERY_PLAIN, "ROLLBACK", NONE, NONE},
    {COMMIT_TRANSACTION, QUERY_PLAIN, "COMMIT", NONE, NONE},
    {INSERT_OBJECT, QUERY_BINDABLE,
     "INSERT INTO object (local_id, global_id, class_name, name, version, timestamp, service, "
     "owner, sharing, modified, linkmods, updeps, downdeps, no_sync) VALUES (:local_id_p, "
     ":global_id_p, :class_name_p, :name_p, :version_p, :timestamp_p, :service_p, :owner_p, "
     ":sharing_p, :modified_p, :linkmods_p, :updeps_p, :downdeps_p, :no_sync_p);",
     LIST(OBJECT_COLUMNS), NONE},
    {INSERT_ATTRIBUTE, QUERY_BINDABLE,
     "INSERT INTO attribute (class_name, name, value_blob, parent_object, parent_attribute) "
     "VALUES (:class_name_p, :name_p, :value_blob_p, :parent_object_p, :parent_attribute_p);",
     LIST(P_ATTRIBUTE), NONE},
    {INSERT_LINK, QUERY_BINDABLE,
     "INSERT INTO link (target_id, target_gid, name, parent_object, parent_attribute) VALUES "
     "(:target_id_p, :target_gid_p, :name_p, :parent_object_p, :parent_attribute_p);",
     LIST(P_LINK), NONE},
    {INSERT_BOX, QUERY_BINDABLE,
     "INSERT INTO box(min_lat, max_lat, min_long, max_long, min_alt, max_alt, datum, "
     "parent_object, parent_attribute) VALUES (:min_lat_p, :max_lat_p, :min_long_p, "
     ":max_long_p, :min_alt_p, :max_alt_p, :datum_p, :parent_object_p, :parent_attribute_p);",
     LIST(P_BOX), NONE},
    {INSERT_POSITION, QUERY_BINDABLE,
     "INSERT INTO position (latitude, longitude, accuracy, altitude, altitude_above_sea, "
     "alt_accuracy, datetime, course, speed, datum, parent_object, parent_attribute) "
     "VALUES(:latitude_p, :longitude_p, :accuracy_p, :altitude_p, :altitude_above_sea_p, "
     ":alt_accuracy_p, :datetime_p, :course_p, :speed_p, :datum_p, :parent_object_p, "
     ":parent_attribute_p);",
     LIST(P_POSITION), NONE},
    {INSERT_TEXT, QUERY_BINDABLE,
     "INSERT INTO text(type, name, value_text, collate_key, parent_object, parent_attribute) "
     "VALUES (:type_p, :name_p, :value_text_p, :collate_key_p, :parent_object_p, "
     ":parent_attribute_p)",
     LIST(P_TEXT), NONE},
    {INSERT_REMOVED, QUERY_BINDABLE, "INSERT INTO removed(local_id) VALUES (:local_id_p);",
     LIST(P_LOCAL_ID), NONE},
    {SELECT_SYNCABLE_OBJECTS, QUERY_GETTABLE, "SELECT * FROM object where no_sync = 0", NONE,
     LIST(OBJECT_COLUMNS)},
    {SELECT_GLOBAL_ID, QUERY_BINDABLE_GETTABLE,
     "SELECT global_id FROM object WHERE local_id=:local_id_p", LIST(P_LOCAL_ID),
     LIST(P_GLOBAL_ID)},
    {SELECT_LOCAL_ID, QUERY_BINDABLE_GETTABLE,
     "SELECT local_id FROM object WHERE global_id=:global_id_p", LIST(P_GLOBAL_ID),
     LIST(P_LOCAL_ID)},
    {SELECT_OBJECT_BY_GLOBAL_ID, QUERY_BINDABLE_GETTABLE,
     "SELECT * FROM object WHERE global_id=:global_id_p", LIST(P_GLOBAL_ID), LIST(OBJECT_COLUMNS)},
    {SELECT_OBJECT_BY_LOCAL_ID, QUERY_BINDABLE_GETTABLE,
     "SELECT * FROM object WHERE local_id=:local_id_p", LIST(P_LOCAL_ID), LIST(OBJECT_COLUMNS)},
    {SELECT_PARENT_OBJECTS, QUERY_BINDABLE_GETTABLE,
     "SELECT * FROM object WHERE local_id IN (SELECT DISTINCT parent_object FROM link WHERE "
     "target_id=:local_id_p AND target_id NOT NULL OR target_gid=:global_id_p AND target_gid "
     "NOT NULL)",
     LIST(P_LOCAL_GLOBAL), LIST(OBJECT_COLUMNS)},
    {SELECT_CHILD_OBJECTS, QUERY_BINDABLE_GETTABLE,
     "SELECT * FROM object WHERE local_id IN (SELECT DISTINCT target_id FROM link WHERE "
     "link.parent_object=:parent_id_p AND target_id NOT NULL )",
     LIST(P_LOCAL_ID), LIST(OBJECT_COLUMNS)},
    {SELECT_ATTRIBUTES, QUERY_BINDABLE_GETTABLE,
     "SELECT * FROM attribute WHERE parent_object=:parent_object_p", LIST(P_PARENT_OBJECT),
     LIST(R_ATTRIBUTE)},
    {SELECT_LINKS, QUERY_BINDABLE_GETTABLE,
     "SELECT * FROM link WHERE parent_object=:parent_object_p", LIST(P_PARENT_OBJECT),
     LIST(R_LINK)},
    {SELECT_BOXES, QUERY_BINDABLE_GETTABLE,
     "SELECT * FROM box WHERE parent_object=:parent_object_p", LIST(P_PARENT_OBJECT), LIST(R_BOX)},
    {SELECT_POSITIONS, QUERY_BINDABLE_GETTABLE,
     "SELECT * FROM position WHERE parent_object=:parent_object_p", LIST(P_PARENT_OBJECT),
     LIST(R_POSITION)},
    {SELECT_TEXTS, QUERY_BINDABLE_GETTABLE,
     "SELECT * FROM text WHERE parent_object=:parent_object_p", LIST(P_PARENT_OBJECT),
     LIST(R_TEXT)},
    {SELECT_ALL_TEXTS, QUERY_GETTABLE, "SELECT id, type, value_text FROM text", NONE,
     LIST(R_ALL_TEXTS)},
    {SELECT_NAME_COLLATE_KEY, QUERY_BINDABLE_GETTABLE,
     "SELECT text.collate_key FROM text, attribute WHERE  attribute.parent_attribute IN (SELECT "
     "id FROM attribute WHERE attribute.parent_object=:parent_object_p AND attribute.class_name "
     "= 'metadata' AND attribute.parent_attribute = 0 ) AND attribute.name = 'name' AND "
     "text.parent_attribute = attribute.id",
     LIST(P_LOCAL_ID), LIST(R_COLLATE_KEY)},
    {SELECT_NEW_OBJECTS, QUERY_GETTABLE, "SELECT * FROM object WHERE modified = 1 AND no_sync = 0",
     NONE, LIST(OBJECT_COLUMNS)},
    {SELECT_CHANGED_OBJECTS, QUERY_GETTABLE,
     "SELECT * FROM object WHERE modified = 2 AND no_sync = 0", NONE, LIST(OBJECT_COLUMNS)},
    {SELECT_REMOVED_IDS, QUERY_GETTABLE, "SELECT local_id FROM removed", NONE, LIST(P_LOCAL_ID)},
    {UPDATE_OBJECT, QUERY_BINDABLE,
     "UPDATE object SET global_id=:global_id_p, class_name=:class_name_p, name=:name_p, "
     "version=:version_p, service=:service_p, owner=:owner_p, sharing=:sharing_p, "
     "modified=:modified_p, linkmods=:linkmods_p, updeps=:updeps_p, downdeps=:downdeps_p, "
     "no_sync=:no_sync_p WHERE local_id=:local_id_p;",
     LIST(P_UPDATE_OBJECT), NONE},
    {UPDATE_COLLATE_KEY, QUERY_BINDABLE,
     "UPDATE text SET collate_key=:collate_key_p WHERE id=:id_p", LIST(P_COLLATE_KEY_ID), NONE},
    {DELETE_OBJECT, QUERY_BINDABLE, "DELETE FROM object WHERE local_id=:local_id_p",
     LIST(P_LOCAL_ID), NONE},
    {DELETE_LOCAL_LINKS, QUERY_BINDABLE,
     "DELETE FROM link WHERE target_id=:local_id_p AND target_id NOT NULL AND target_gid IS NULL",
     LIST(P_LOCAL_ID), NONE},
    {CLEAR_LINK_TARGET, QUERY_BINDABLE,
     "UPDATE link SET target_id=NULL WHERE target_id=:local_id_p AND target_id NOT NULL",
     LIST(P_LOCAL_ID), NONE},
    {DELETE_REMOVED_IDS, QUERY_PLAIN, "DELETE FROM removed", NONE, NONE},
};

#undef LIST
#undef NONE

}  // namespace

const KnownQuery* known_query(int name) {
  if (name < 0 || name >= KNOWN_QUERY_COUNT) return nullptr;
  return &kQueries[name];
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
