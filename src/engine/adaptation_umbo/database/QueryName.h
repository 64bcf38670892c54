// Names of the store's fixed SQL statements and of the columns and statement
// parameters they bind and read.
//
// A statement's parameter list follows the order of its placeholders and its result
// list the order of its result columns; Bindable and Gettable address values by
// QueryParameter and find the SQLite position from these lists, never from the
// placeholder names in the SQL. The tables are static and shared by every thread.
#pragma once

namespace orva {
namespace keldra {
namespace internal {

// One member per column or parameter name, spelled in capitals (LOCAL_ID for
// local_id and :local_id_p). VALUE_INT and VALUE_REAL name no column of any table:
// binding them is always skipped.
enum QueryParameter {
  ACCURACY,
  ALT_ACCURACY,
  ALTITUDE,
  ALTITUDE_ABOVE_SEA,
  CLASS_NAME,
  COLLATE_KEY,
  COURSE,
  DATETIME,
  DATUM,
  DOWNDEPS,
  GLOBAL_ID,
  ID,
  LATITUDE,
  LOCAL_ID,
  LONGITUDE,
  LOCALE,
  MAX_ALT,
  MAX_LAT,
  MAX_LONG,
  MIN_ALT,
  MIN_LAT,
  MIN_LONG,
  MODIFIED,
  NAME,
  NO_SYNC,
  OWNER,
  PARENT_ATTRIBUTE,
  PARENT_OBJECT,
  SQL,
  SERVICE,
  SHARING,
  SPEED,
  TARGET_GID,
  TARGET_ID,
  TIMESTAMP,
  TYPE,
  UID,
  LINKMODS,
  UPDEPS,
  VALUE_BLOB,
  VALUE_TEXT,
  VERSION,
  VALUE_INT,
  VALUE_REAL
};

// The fixed statements; the number is also the statement's QueryManager slot.
enum QueryName {
  BEGIN_TRANSACTION = 0,
  BEGIN_EXCLUSIVE_TRANSACTION = 1,
  ROLLBACK_TRANSACTION = 2,
  COMMIT_TRANSACTION = 3,
  INSERT_OBJECT = 4,
  INSERT_ATTRIBUTE = 5,
  INSERT_LINK = 6,
  INSERT_BOX = 7,
  INSERT_POSITION = 8,
  INSERT_TEXT = 9,
  INSERT_REMOVED = 10,
  SELECT_SYNCABLE_OBJECTS = 11,
  SELECT_GLOBAL_ID = 12,
  SELECT_LOCAL_ID = 13,
  SELECT_OBJECT_BY_GLOBAL_ID = 14,
  SELECT_OBJECT_BY_LOCAL_ID = 15,
  SELECT_PARENT_OBJECTS = 16,
  SELECT_CHILD_OBJECTS = 17,
  SELECT_ATTRIBUTES = 18,
  SELECT_LINKS = 19,
  SELECT_BOXES = 20,
  SELECT_POSITIONS = 21,
  SELECT_TEXTS = 22,
  SELECT_ALL_TEXTS = 23,
  SELECT_NAME_COLLATE_KEY = 24,
  SELECT_NEW_OBJECTS = 25,
  SELECT_CHANGED_OBJECTS = 26,
  SELECT_REMOVED_IDS = 27,
  UPDATE_OBJECT = 28,
  UPDATE_COLLATE_KEY = 29,
  DELETE_OBJECT = 30,
  DELETE_LOCAL_LINKS = 31,
  CLEAR_LINK_TARGET = 32,
  DELETE_REMOVED_IDS = 33,
  KNOWN_QUERY_COUNT = 34
};

// A slot number of a QueryManager: 0 to 33 the fixed statements, 34 and up ad hoc.
typedef int QueryIndex;

// What a statement object can do, as Query::get_type() reports it.
enum QueryType {
  QUERY_PLAIN = 0,             // Query: neither binds nor reads
  QUERY_BINDABLE = 1,          // BindableQuery
  QUERY_GETTABLE = 2,          // GettableQuery
  QUERY_BINDABLE_GETTABLE = 3  // BindableAndGettableQuery
};

// One row of the fixed statement table.
struct KnownQuery {
  QueryName name;
  QueryType type;
  const char* sql;
  int param_count;
  const QueryParameter* params;
  int result_count;
  const QueryParameter* results;
};

// The table row of a fixed statement; null for a number outside 0..33.
const KnownQuery* known_query(int name);

// The 14 columns of table object in their table order (the result list of every
// "SELECT * FROM object" statement).
extern const QueryParameter OBJECT_COLUMNS[14];

}  // namespace internal
}  // namespace keldra
}  // namespace orva
