// Row classes through real rows: written with the fixed statements and checked with
// plain SQL, and rows made by plain SQL read back through them.
#include "support/DbTestUtil.h"

#include "adaptation_umbo/base/Utils.h"
#include "adaptation_umbo/database/BindableAndGettableQuery.h"
#include "adaptation_umbo/database/BindableQuery.h"
#include "adaptation_umbo/database/DatabaseConnection.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "adaptation_umbo/database/dbitems/DbAttribute.h"
#include "adaptation_umbo/database/dbitems/DbBox.h"
#include "adaptation_umbo/database/dbitems/DbLink.h"
#include "adaptation_umbo/database/dbitems/DbObject.h"
#include "adaptation_umbo/database/dbitems/DbPosition.h"
#include "adaptation_umbo/database/dbitems/DbText.h"

#include <keldra/Attribute.h>
#include <keldra/Object.h>

#include <keldra/StringPool.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace orva::keldra::internal;
using db_test::RawDb;
using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Field;
using orva::keldra::FieldList;
using orva::keldra::Link;
using orva::keldra::Object;

class RowClasses : public ::testing::Test {
 protected:
  // Names of fields and attributes live in the thread's string pool.
  orva::SharedPointer<orva::keldra::StringPool> pool = orva::keldra::StringPool::create();
  void SetUp() override {
    path = db_test::fresh_db_path("rows.db");
    conn.reset(new DatabaseConnection());
    ASSERT_TRUE(conn->open(path));
    raw.reset(new RawDb(path));
  }
  // Binds the row to a fixed write statement and runs it; the new row id.
  unsigned int write(DbItem& row, QueryName name) {
    BindableQuery* q =
        static_cast<BindableQuery*>(conn->get_query_manager()->get_known_query(name));
    row.bind(*q);
    EXPECT_EQ(Query::DONE, q->execute(0));
    return static_cast<unsigned int>(conn->last_inserted_id());
  }
  // Reads the first result row of a fixed select, bound to parent_object / local_id.
  bool read(DbItem& row, QueryName name, int id) {
    BindableAndGettableQuery* q =
        static_cast<BindableAndGettableQuery*>(conn->get_query_manager()->get_known_query(name));
    q->bind(PARENT_OBJECT, id);
    q->bind(LOCAL_ID, id);
    if (q->execute(0) != Query::ROW) return false;
    row.get_result(*q);
    q->reset();
    return true;
  }
  std::string path;
  std::unique_ptr<DatabaseConnection> conn;
  std::unique_ptr<RawDb> raw;
};

TEST_F(RowClasses, ObjectHeaderRoundTrip) {
  Object place("location");
  place.set_name(std::string("Caf\xC3\xA9 Aalto"));
  place.set_version(7);
  place.set_timestamp(1700000000123LL);
  place.set_service(std::string("personal"));
  place.set_owner(std::string("maija"));
  place.set_sharing(orva::keldra::SHARING_PUBLIC_READ_ONLY);
  DbObject row(&place);
  row.set_state(DbObject::NEW);
  row.set_updeps(2);
  const unsigned int id = write(row, INSERT_OBJECT);
  EXPECT_EQ(1u, id);
  EXPECT_EQ("1|NULL|'location'|'Caf\xC3\xA9 Aalto'|7|1700000000123|'personal'|'maija'|1|1|0|2|0|0",
            raw->value("SELECT * FROM object"));

  Object back;
  DbObject in(&back);
  ASSERT_TRUE(read(in, SELECT_OBJECT_BY_LOCAL_ID, 1));
  EXPECT_EQ(1u, back.get_local_id());
  EXPECT_EQ(0u, back.get_global_id());
  EXPECT_EQ("location", back.get_class_name());
  EXPECT_EQ("Caf\xC3\xA9 Aalto", back.get_name());
  EXPECT_EQ(7u, back.get_version());
  EXPECT_EQ(1700000000123LL, back.get_timestamp());
  EXPECT_EQ("personal", back.get_service());
  EXPECT_EQ("maija", back.get_owner());
  EXPECT_EQ(orva::keldra::SHARING_PUBLIC_READ_ONLY, back.get_sharing());
  EXPECT_FALSE(back.is_no_sync());
  EXPECT_EQ(DbObject::NEW, in.get_state());
  EXPECT_EQ(2, in.get_updeps());
  EXPECT_FALSE(back.is_modified());
}

// Rows made by plain SQL: the timestamp rule, the flags from state and counters.
TEST_F(RowClasses, ObjectRowsReadBackWithDerivedFlags) {
  struct Case {
    const char* values;  // global_id, timestamp, modified, linkmods, updeps, downdeps, no_sync
    unsigned long long global_id;
    long long timestamp;
    unsigned int flags;
    bool in_sync;
  } cases[] = {
      {"NULL, 1322999999, 0, 0, 0, 0, 0", 0, 1322999999000LL, 0x00, true},
      {"5, 1323000000, 0, 0, 0, 0, 0", 5, 1323000000LL, 0x00, true},
      {"6, -5, 2, 0, 1, 0, 0", 6, -5000LL, 0x05, false},
      {"7, NULL, 1, 1, 0, 1, 0", 7, 0, 0x0B, false},
      {"8, 1700000000000, 3, 0, 0, 0, 0", 8, 1700000000000LL, 0x11, false},
      {"9, 1700000000000, 4, 0, 0, 0, 1", 9, 1700000000000LL, 0x01, true},
      {"10, 1700000000000, 2, 0, 0, 0, 1", 10, 1700000000000LL, 0x01, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.values);
    ASSERT_EQ(SQLITE_OK, raw->exec("DELETE FROM object; INSERT INTO object (global_id, timestamp, "
                                   "modified, linkmods, updeps, downdeps, no_sync, class_name) "
                                   "VALUES (" +
                                   std::string(c.values) + ", 'x')"));
    const int id = std::stoi(raw->value("SELECT local_id FROM object"));
    Object back;
    back.set_flags(0x1F, true);  // every derived bit is set or cleared by the read
    DbObject in(&back);
    ASSERT_TRUE(read(in, SELECT_OBJECT_BY_LOCAL_ID, id));
    EXPECT_EQ(c.global_id, back.get_global_id());
    EXPECT_EQ(c.timestamp, back.get_timestamp());
    EXPECT_EQ(c.flags, back.get_flags() & 0x1F);
    EXPECT_EQ(c.in_sync, in.in_sync());
    EXPECT_FALSE(back.is_modified());
  }
  DbObject none;
  EXPECT_FALSE(none.in_sync());
  EXPECT_EQ(DbObject::NONE, none.get_state());
}

TEST_F(RowClasses, AttributeValueBlob) {
  SharedPointer<Attribute> address(new Attribute("home", "address"));
  address->add_field("city")->set_value("Helsinki");
  address->add_field("postal_code")->set_value("00170");
  address->add_field("floor")->set_value(3);
  DbAttribute row(address, 4, 0);
  row.set_header_fields({2, 0});
  const unsigned int id = write(row, INSERT_ATTRIBUTE);
  EXPECT_EQ("'address'|'home'|'blob'|4|0",
            raw->value("SELECT class_name, name, typeof(value_blob), parent_object, "
                       "parent_attribute FROM attribute WHERE id=" +
                       std::to_string(id)));

  DbAttribute back;
  ASSERT_TRUE(read(back, SELECT_ATTRIBUTES, 4));
  EXPECT_EQ(id, back.get_local_id());
  EXPECT_EQ("home", back.attribute()->get_name());
  EXPECT_EQ("address", back.attribute()->get_class_name());
  const FieldList& fields = back.attribute()->get_fields();
  ASSERT_EQ(2u, fields.size());  // in the order of the index list
  EXPECT_TRUE(fields[0] == address->get_fields()[2]);
  EXPECT_TRUE(fields[1] == address->get_fields()[0]);

  // No plain fields: NULL blob, and the reader's field list stays as it was.
  SharedPointer<Attribute> bare(new Attribute("", "metadata"));
  DbAttribute empty(bare, 5, 9);
  empty.set_header_fields({});
  write(empty, INSERT_ATTRIBUTE);
  EXPECT_EQ("NULL|NULL",
            raw->value("SELECT name, value_blob FROM attribute WHERE parent_object=5"));
  DbAttribute back_empty;
  ASSERT_TRUE(read(back_empty, SELECT_ATTRIBUTES, 5));
  EXPECT_EQ(0u, back_empty.attribute()->get_fields().size());
  EXPECT_EQ("", back_empty.attribute()->get_name());
  EXPECT_EQ(9u, back_empty.get_parent_attribute());
}

// A missing target id is stored as NULL, so the removal of local-only links finds it.
TEST_F(RowClasses, LinkTargetsAndTheRemovalOfLocalOnlyLinks) {
  struct Case {
    unsigned int local;
    unsigned long long global;
    const char* stored;
  } cases[] = {
      {12, 0, "12|NULL|'member'"},
      {0, 77, "NULL|77|'member'"},
      {13, 78, "13|78|'member'"},
  };
  for (const Case& c : cases) {
    Link link;
    link.set_name(std::string("member"));
    link.set_local_link(c.local);
    link.set_global_link(c.global);
    DbLink row(link, 3, 0);
    const unsigned int id = write(row, INSERT_LINK);
    EXPECT_EQ(c.stored, raw->value("SELECT target_id, target_gid, name FROM link WHERE id=" +
                                   std::to_string(id)));
  }
  BindableAndGettableQuery* select = static_cast<BindableAndGettableQuery*>(
      conn->get_query_manager()->get_known_query(SELECT_LINKS));
  select->bind(PARENT_OBJECT, 3);
  for (const Case& c : cases) {
    ASSERT_EQ(Query::ROW, select->execute(0));
    DbLink back;
    back.get_result(*select);
    EXPECT_EQ(c.local, back.link().get_local_link());
    EXPECT_EQ(c.global, back.link().get_global_link());
    EXPECT_EQ("member", back.link().get_name());
    EXPECT_EQ(3u, back.get_parent_object());
  }
  EXPECT_EQ(Query::DONE, select->execute(0));

  // The never-synced target 12 is removed: its link row goes, the others stay.
  BindableQuery* remove =
      static_cast<BindableQuery*>(conn->get_query_manager()->get_known_query(DELETE_LOCAL_LINKS));
  remove->bind(LOCAL_ID, 12);
  remove->execute(0);
  EXPECT_EQ((std::vector<std::string>{"NULL|77", "13|78"}),
            raw->rows("SELECT target_id, target_gid FROM link ORDER BY id"));
}

TEST_F(RowClasses, TextRowsAndSortKeys) {
  Field cafe("Caf\xC3\xA9");
  cafe.set_name(std::string("name"));
  Field upper("CAF\xC3\x89");
  upper.set_name(std::string("name"));
  DbText a(cafe, 1, 2), b(upper, 1, 2);
  EXPECT_FALSE(a.collate_key().empty());
  EXPECT_EQ(a.collate_key(), b.collate_key());
  EXPECT_EQ(collate_key("cafe\xCC\x81"), a.collate_key());

  Field number(42);
  number.set_name(std::string("count"));
  Field special("x");
  special.set_special_type(Field::TYPE_SPECIAL_USTRING);
  special.set_name(std::string("label"));
  struct Case {
    Field field;
    const char* stored;  // type, name, value_text, collate_key IS NULL
    Field::DataType back_type;
  } cases[] = {
      {cafe, "8|'name'|'Caf\xC3\xA9'|0", Field::TYPE_USTRING},
      {number, "1|'count'|NULL|1", Field::TYPE_NONE},
      {special, "10|'label'|NULL|1", Field::TYPE_USTRING},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    raw->exec("DELETE FROM text");
    DbText row(c.field, 6, 0);
    write(row, INSERT_TEXT);
    EXPECT_EQ(c.stored, raw->value("SELECT type, name, value_text, collate_key IS NULL FROM text"));
    DbText back;
    ASSERT_TRUE(read(back, SELECT_TEXTS, 6));
    EXPECT_EQ(c.back_type, back.field().get_type());
    EXPECT_EQ(c.field.get_name(), back.field().get_name());
    EXPECT_EQ(row.collate_key(), back.collate_key());
  }
}

TEST_F(RowClasses, PositionAndBoxSlots) {
  FieldList position;
  Field lat(60.17);
  lat.set_name(std::string("latitude"));
  Field time;
  time.set_timestamp(1700000000000LL);
  time.set_name(std::string("time"));
  Field accuracy(12.5);  // a double, read back as float
  accuracy.set_name(std::string("accuracy"));
  Field other("x");
  other.set_name(std::string("label"));  // not a slot: ignored
  position.push_back(other);
  position.push_back(lat);
  position.push_back(time);
  position.push_back(accuracy);
  EXPECT_TRUE(DbPosition::is_position_field("time"));
  EXPECT_FALSE(DbPosition::is_position_field("label"));

  DbPosition row(position, {0, 1, 2}, 8, 3);
  write(row, INSERT_POSITION);
  EXPECT_EQ("60.17|NULL|NULL|1700000000000|8|3",
            raw->value("SELECT latitude, longitude, accuracy, datetime, parent_object, "
                       "parent_attribute FROM position"));
  raw->exec("DELETE FROM position");
  DbPosition with_accuracy(position, {1, 3}, 8, 3);
  write(with_accuracy, INSERT_POSITION);
  DbPosition back;
  ASSERT_TRUE(read(back, SELECT_POSITIONS, 8));
  std::vector<std::string> present;
  for (const Field& f : back.fields()) {
    if (f.get_type() != Field::TYPE_NONE)
      present.push_back(f.get_name() + ":" + std::to_string(f.get_type()));
  }
  EXPECT_EQ((std::vector<std::string>{"latitude:6", "accuracy:5"}), present);

  // Box slots come back in slot order: "maxalt" before "minalt".
  for (bool min_first : {true, false}) {
    FieldList box;
    Field minalt(1.0f), maxalt(9.0f);
    minalt.set_name(std::string("minalt"));
    maxalt.set_name(std::string("maxalt"));
    box.push_back(min_first ? minalt : maxalt);
    box.push_back(min_first ? maxalt : minalt);
    raw->exec("DELETE FROM box");
    DbBox out(box, {0, 1}, 2, 0);
    write(out, INSERT_BOX);
    DbBox in;
    ASSERT_TRUE(read(in, SELECT_BOXES, 2));
    std::vector<std::string> names;
    for (const Field& f : in.fields()) {
      if (f.get_type() != Field::TYPE_NONE) names.push_back(f.get_name());
    }
    EXPECT_EQ((std::vector<std::string>{"maxalt", "minalt"}), names);
  }
}

}  // namespace
