// Object writes, links and dependency counters, and loading, through Database on the
// real file; rows checked with plain SQL.
#include "support/DbTestUtil.h"

#include "support/AttributeTree.h"

#include "adaptation_umbo/database/Database.h"
#include "support/TestEnv.h"

#include <keldra/Attribute.h>
#include <keldra/Object.h>
#include <keldra/StringPool.h>

#include <QDir>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <random>
#include <regex>
#include <set>

namespace {

using db_test::RawDb;
using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Field;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::SharingModel;

std::string db_path() { return keldra_test::home_dir() + "/.cities/OstraMaps.db"; }

SharedPointer<Attribute> attribute(Object& object, const char* name, const char* class_name) {
  SharedPointer<Attribute> a(new Attribute(name, class_name));
  object.get_attributes().push_back(a);
  return a;
}

Link link_to(unsigned int local, unsigned long long global, const char* name = "member") {
  Link l;
  l.set_name(std::string(name));
  l.set_local_link(local);
  l.set_global_link(global);
  return l;
}

Object place(const char* name) {
  Object o("location");
  o.set_name(std::string(name));
  o.set_service(std::string("personal"));
  SharedPointer<Attribute> address = attribute(o, "address", "address");
  address->add_field("text")->set_value(std::string(name) + " street 1");
  address->add_field("city")->set_value("Helsinki");
  SharedPointer<Attribute> pos = attribute(o, "position", "position");
  pos->add_field("latitude")->set_value(60.17);
  pos->add_field("longitude")->set_value(24.94);
  return o;
}

// A multimedia object with a local and/or a server address of its file.
Object media(bool local, bool remote) {
  Object o("multimedia");
  o.set_name(std::string("photo"));
  if (local) attribute(o, "local_uri", "uri")->add_field("url")->set_value("file:///home/p.jpg");
  if (remote) attribute(o, "remote_uri", "uri")->add_field("url")->set_value("https://x/p.jpg");
  return o;
}

Object collection(const std::vector<unsigned int>& members) {
  Object o("collection");
  o.set_name(std::string("trip"));
  for (unsigned int m : members) o.get_links().push_back(link_to(m, 0));
  return o;
}

class Writes : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir(QString::fromStdString(keldra_test::home_dir() + "/.cities")).removeRecursively();
    db.reset(new orva::keldra::internal::Database());
    db->init(nullptr);
    ASSERT_TRUE(db->is_open());
    raw.reset(new RawDb(db_path()));
  }
  unsigned int insert(Object o, bool from_sync = false) {
    EXPECT_EQ(0, db->insert_object(o, from_sync));
    return o.get_local_id();
  }
  std::string row(unsigned int lid, const char* columns) {
    return raw->value(std::string("SELECT ") + columns +
                      " FROM object WHERE local_id=" + std::to_string(lid));
  }
  // updeps|downdeps|linkmods of a stored object.
  std::string counters(unsigned int lid) { return row(lid, "updeps, downdeps, linkmods"); }
  // Every table's content, to show that a refused write changed nothing.
  std::string snapshot() {
    std::string all;
    for (const char* table :
         {"object", "attribute", "link", "text", "position", "box", "removed"}) {
      for (const std::string& r : raw->rows(std::string("SELECT * FROM ") + table)) {
        // timestamps are part of the row: unchanged rows keep them
        all += std::string(table) + ":" + r + "\n";
      }
    }
    return all;
  }

  SharedPointer<orva::keldra::StringPool> pool = orva::keldra::StringPool::create();
  std::unique_ptr<orva::keldra::internal::Database> db;
  std::unique_ptr<RawDb> raw;
};

TEST_F(Writes, InsertsGiveNewIdsAndStates) {
  Object o = place("Cafe");
  o.set_local_id(77);
  o.set_global_id(5000);
  ASSERT_EQ(0, db->insert_object(o, false));
  EXPECT_EQ(1u, o.get_local_id());
  EXPECT_EQ(0u, o.get_global_id());
  EXPECT_TRUE(o.has_local_changes());
  EXPECT_EQ("NULL|1", row(1, "global_id, modified"));

  Object synced = place("Bar");
  synced.set_global_id(5001);
  ASSERT_EQ(0, db->insert_object(synced, true));
  EXPECT_EQ(2u, synced.get_local_id());
  EXPECT_FALSE(synced.has_local_changes());
  EXPECT_EQ("5001|0", row(2, "global_id, modified"));
  // The stored stamp is the insertion time; the object carries its last header write.
  const long long stamp = std::stoll(row(2, "timestamp"));
  EXPECT_LE(stamp, synced.get_timestamp());
  EXPECT_GT(stamp, synced.get_timestamp() - 60000);

  Object nameless;
  EXPECT_EQ(3, db->insert_object(nameless, false));  // empty class name
  EXPECT_EQ("2", raw->value("SELECT count(*) FROM object"));
}

// The stored state after each kind of write, from each stored state.
TEST_F(Writes, StoredStateTable) {
  struct Case {
    const char* label;
    int stored;
    char
        write;  // u application update, s sync replace, h sharing change, r retained sharing change
    int expected;
  } cases[] = {
      {"update of new", 1, 'u', 1},      {"update of synced", 0, 'u', 2},
      {"update of changed", 2, 'u', 2},  {"update of sharing-changed", 3, 'u', 2},
      {"update of unread", 4, 'u', 2},   {"replace of new", 1, 's', 0},
      {"replace of changed", 2, 's', 0}, {"replace of sharing-changed", 3, 's', 0},
      {"sharing of synced", 0, 'h', 3},  {"sharing of new", 1, 'h', 1},
      {"sharing of changed", 2, 'h', 2}, {"retained sharing of synced", 0, 'r', 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Object o = place("Cafe");
    o.set_global_id(900);
    const unsigned int lid = insert(o, true);
    raw->exec("UPDATE object SET modified=" + std::to_string(c.stored) +
              " WHERE local_id=" + std::to_string(lid));
    if (c.write == 'u' || c.write == 's') {
      Object changed = place("Cafe 2");
      changed.set_local_id(lid);
      EXPECT_EQ(0, db->update_object(changed, c.write == 's'));
      EXPECT_EQ(c.expected != 0, changed.has_local_changes());
    } else {
      EXPECT_EQ(
          0, db->set_object_sharing(lid, orva::keldra::SHARING_PUBLIC_READ_ONLY, c.write == 'r'));
      EXPECT_EQ("1", row(lid, "sharing"));
    }
    EXPECT_EQ(std::to_string(c.expected), row(lid, "modified"));
    EXPECT_EQ(0, db->remove_object(lid, true));
  }
}

TEST_F(Writes, UpdateMergesTheHeader) {
  Object o = place("Cafe");
  o.set_global_id(700);
  o.set_owner(std::string("maija"));
  o.set_version(3);
  const unsigned int lid = insert(o, true);

  // The application cannot change global id, owner or version.
  Object app = place("Cafe renamed");
  app.set_local_id(lid);
  app.set_global_id(9);
  app.set_owner(std::string("other"));
  app.set_version(8);
  ASSERT_EQ(0, db->update_object(app, false));
  EXPECT_EQ("700|'Cafe renamed'|'maija'|3|2",
            row(lid, "global_id, name, owner, version, modified"));

  // A sync replace by global id only: the server's version, the stored owner when it
  // sends none; a stored no-sync object stays no-sync.
  raw->exec("UPDATE object SET no_sync=1");
  Object server = place("Cafe server");
  server.set_global_id(700);
  server.set_version(4);
  ASSERT_EQ(0, db->update_object(server, true));
  EXPECT_EQ(lid, server.get_local_id());
  EXPECT_EQ("700|'Cafe server'|'maija'|4|0|1",
            row(lid, "global_id, name, owner, version, modified, no_sync"));

  Object unknown = place("x");
  unknown.set_global_id(12345);
  EXPECT_EQ(8, db->update_object(unknown, true));
  Object missing = place("x");
  missing.set_local_id(999);
  EXPECT_EQ(8, db->update_object(missing, false));

  const std::string before = snapshot();
  Object other_class("route");
  other_class.set_local_id(lid);
  EXPECT_EQ(3, db->update_object(other_class, false));
  EXPECT_EQ(before, snapshot());
}

TEST_F(Writes, PartialUpdateWritesOnlyTheHeader) {
  const unsigned int lid = insert(place("Cafe"));
  raw->exec("UPDATE object SET timestamp=1700000000000, updeps=2");
  const std::string content =
      raw->value("SELECT count(*) FROM attribute") + "/" + raw->value("SELECT count(*) FROM text");
  Object header("location");
  header.set_local_id(lid);
  header.set_name(std::string("Renamed"));
  header.set_partial(true);
  ASSERT_EQ(0, db->update_object(header, false));
  EXPECT_EQ("'Renamed'|1700000000000|2", row(lid, "name, timestamp, updeps"));
  EXPECT_EQ(content, raw->value("SELECT count(*) FROM attribute") + "/" +
                         raw->value("SELECT count(*) FROM text"));
  EXPECT_GT(header.get_timestamp(), 1700000000000LL);

  // A full update rewrites content and timestamp.
  Object full = place("Full");
  full.set_local_id(lid);
  ASSERT_EQ(0, db->update_object(full, false));
  EXPECT_NE("1700000000000", row(lid, "timestamp"));
  EXPECT_EQ("'Full street 1'", raw->value("SELECT value_text FROM text"));
}

TEST_F(Writes, FieldsLandInTheirTablesAndComeBack) {
  Object o("location");
  SharedPointer<Attribute> address = attribute(o, "address", "address");
  address->add_field("text")->set_value("Main street 1");
  address->add_field("street")->set_value("Main street");
  address->add_field("value")->set_value("stays in the blob");
  SharedPointer<Attribute> contact = attribute(o, "phone", "contact_field");
  contact->add_field("value")->set_value("+358 1");
  SharedPointer<Attribute> note = attribute(o, "note", "text");
  note->add_field("text")->set_value(42);  // not a string: stays in the blob
  SharedPointer<Attribute> pos = attribute(o, "position", "position");
  pos->add_field("accuracy")->set_value(5.0f);
  pos->add_field("latitude")->set_value(60.17);
  pos->add_field("label")->set_value("not a slot");
  SharedPointer<Attribute> box = attribute(o, "box", "box");
  box->add_field("minalt")->set_value(1.0f);
  box->add_field("maxalt")->set_value(9.0f);
  SharedPointer<Attribute> loc = attribute(o, "where", "location");
  loc->add_field("latitude")->set_value(61.0);  // not a "position" attribute: blob
  const unsigned int lid = insert(o);

  EXPECT_EQ((std::vector<std::string>{"'text'|'Main street 1'", "'value'|'+358 1'"}),
            raw->rows("SELECT name, value_text FROM text ORDER BY id"));
  EXPECT_EQ("60.17|5|NULL", raw->value("SELECT latitude, accuracy, longitude FROM position"));
  EXPECT_EQ("1|9", raw->value("SELECT min_alt, max_alt FROM box"));

  Object back;
  ASSERT_EQ(0, db->get_object(lid, back));
  EXPECT_FALSE(back.is_partial());
  auto names = [&back](const char* attribute_name) {
    const orva::keldra::AttributeList& list = back.get_attributes();
    std::vector<std::string> out;
    for (unsigned int i = 0; i < list.size(); ++i) {
      if (list.at(i)->get_name() != attribute_name) continue;
      for (const Field& f : list.at(i)->get_fields()) out.push_back(f.get_name());
    }
    return out;
  };
  EXPECT_EQ((std::vector<std::string>{"street", "value", "text"}), names("address"));
  EXPECT_EQ((std::vector<std::string>{"value"}), names("phone"));
  EXPECT_EQ((std::vector<std::string>{"text"}), names("note"));
  EXPECT_EQ((std::vector<std::string>{"label", "latitude", "accuracy"}), names("position"));
  EXPECT_EQ((std::vector<std::string>{"maxalt", "minalt"}), names("box"));
  EXPECT_EQ((std::vector<std::string>{"latitude"}), names("where"));
  int note_value = 0;
  back.get_attributes().at(2)->get_field("text", note_value);
  EXPECT_EQ(42, note_value);
}

// A field of a type without a column form never reaches a position column (binding it
// would stop the process); it is kept in the attribute's blob.
TEST_F(Writes, FieldWithoutColumnFormInAPositionAttribute) {
  Object o("location");
  SharedPointer<Attribute> pos = attribute(o, "position", "position");
  pos->add_field("latitude")->set_value(60.5);
  pos->add_field("longitude")->set_type(Field::TYPE_KEYWORD);
  ASSERT_EQ(0, db->insert_object(o, false));
  EXPECT_EQ("60.5|NULL|'blob'", raw->value("SELECT latitude, longitude, (SELECT typeof(value_blob) "
                                           "FROM attribute) FROM position"));
}

TEST_F(Writes, LoadingByIdsAndTheTreeShape) {
  Object o("collection");
  o.set_global_id(4242);
  SharedPointer<Attribute> a = attribute(o, "a", "level");
  SharedPointer<Attribute> b(new Attribute("b", "level"));
  SharedPointer<Attribute> c(new Attribute("c", "level"));
  c->add_field("deep")->set_value("three levels down");
  b->get_attributes().push_back(c);
  a->get_attributes().push_back(b);
  const unsigned int member = insert(place("Member"));
  o.get_links().push_back(link_to(member, 0, "same"));
  o.get_links().push_back(link_to(member, 0, "same"));
  c->get_links().push_back(link_to(member, 0, "nested"));
  const unsigned int lid = insert(o, true);

  Object header;
  ASSERT_EQ(0, db->get_object_header(lid, header));
  EXPECT_TRUE(header.is_partial());
  EXPECT_EQ(0u, header.get_attributes().size());
  EXPECT_EQ(4242u, header.get_global_id());

  Object whole;
  whole.set_partial(true);
  ASSERT_EQ(0, db->get_global_object(4242, whole));
  EXPECT_EQ(lid, whole.get_local_id());
  ASSERT_EQ(2u, whole.get_links().size());  // both links of one name come back
  const Attribute& deep =
      *whole.get_attributes().at(0)->get_attributes().at(0)->get_attributes().at(0);
  EXPECT_EQ("c", deep.get_name());
  EXPECT_EQ(1u, deep.get_fields().size());
  ASSERT_EQ(1u, deep.get_links().size());
  EXPECT_EQ(member, deep.get_links().at(0).get_local_link());

  // An orphan row (its attribute row is gone) is left out.
  raw->exec("DELETE FROM attribute WHERE name='b'");
  Object pruned;
  ASSERT_EQ(0, db->get_object(lid, pruned));
  EXPECT_EQ(0u, pruned.get_attributes().at(0)->get_attributes().size());

  Object none;
  EXPECT_EQ(8, db->get_object(999, none));
  EXPECT_EQ(0u, none.get_attributes().size());
  EXPECT_EQ(3, db->get_object(0, none));
  EXPECT_EQ(3, db->get_global_object(0, none));
  EXPECT_EQ(8, db->get_global_object(777, none));
}

TEST_F(Writes, RemovalsRecordIdsAndRepairLinks) {
  const unsigned int local_only = insert(place("Local"));
  Object synced = place("Synced");
  synced.set_global_id(800);
  const unsigned int with_gid = insert(synced, true);
  const unsigned int parent = insert(collection({local_only, with_gid}));
  EXPECT_EQ((std::vector<std::string>{"1|NULL", "2|800"}),
            raw->rows("SELECT target_id, target_gid FROM link ORDER BY id"));

  EXPECT_EQ(0, db->remove_object(local_only, false));
  EXPECT_EQ(0, db->remove_object(with_gid, true));
  EXPECT_EQ(0, db->remove_object(4711, false));  // missing: counts as removed
  EXPECT_EQ((std::vector<std::string>{"1"}), raw->rows("SELECT local_id FROM removed"));
  // The local-only link is gone; the other keeps its global target.
  EXPECT_EQ((std::vector<std::string>{"NULL|800"}),
            raw->rows("SELECT target_id, target_gid FROM link"));
  EXPECT_EQ("0", raw->value("SELECT count(*) FROM text WHERE parent_object=" +
                            std::to_string(local_only)));
  (void)parent;
}

// Removing a never-synced child leaves no dangling link: the parent saves again.
TEST_F(Writes, RemoveANeverSyncedChildThenSaveItsParentAgain) {
  const unsigned int child = insert(place("Child"));
  Object parent = collection({child});
  const unsigned int lid = insert(parent);
  ASSERT_EQ(0, db->remove_object(child, false));
  EXPECT_EQ("0", raw->value("SELECT count(*) FROM link"));

  Object reloaded;
  ASSERT_EQ(0, db->get_object(lid, reloaded));
  EXPECT_EQ(0u, reloaded.get_links().size());
  reloaded.set_name(std::string("saved again"));
  EXPECT_EQ(0, db->update_object(reloaded, false));
  EXPECT_EQ("'saved again'", row(lid, "name"));
}

// A refused link leaves everything as it was, also in a full update.
TEST_F(Writes, LinkErrorsChangeNothing) {
  Object target = place("Target");
  target.set_global_id(600);
  const unsigned int t = insert(target, true);
  const unsigned int member = insert(place("Member"));
  const unsigned int lid = insert(collection({member}));

  struct Case {
    const char* label;
    Link link;
  } cases[] = {
      {"both targets 0", link_to(0, 0)},
      {"unknown local target", link_to(9999, 0)},
      {"global target contradicts the stored one", link_to(t, 601)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string before = snapshot();
    Object fresh = collection({member});
    fresh.get_attributes().push_back(SharedPointer<Attribute>(new Attribute("inner", "group")));
    fresh.get_attributes().at(0)->get_links().push_back(c.link);
    EXPECT_EQ(3, db->insert_object(fresh, false));
    EXPECT_EQ(before, snapshot());

    Object update = collection({member});
    update.set_local_id(lid);
    update.get_links().push_back(c.link);
    EXPECT_EQ(3, db->update_object(update, false));
    EXPECT_EQ(before, snapshot());
  }

  // The member is removed meanwhile; saving the collection as the caller holds it is
  // refused and the stored collection keeps its content.
  ASSERT_EQ(0, db->remove_object(member, false));
  const std::string before = snapshot();
  Object stale = collection({member});
  stale.set_local_id(lid);
  stale.set_name(std::string("changed"));
  EXPECT_EQ(3, db->update_object(stale, false));
  EXPECT_EQ(before, snapshot());
}

TEST_F(Writes, LinksAreCompletedAndFilledInByLaterInserts) {
  Object target = place("Target");
  target.set_global_id(610);
  const unsigned int t = insert(target, true);
  Object c = collection({t});
  c.get_links().push_back(link_to(0, 610, "by gid"));
  c.get_links().push_back(link_to(0, 611, "later"));
  ASSERT_EQ(0, db->insert_object(c, false));
  const unsigned int lid = c.get_local_id();
  EXPECT_EQ(610u, c.get_links().at(0).get_global_link());  // completed in the caller's object
  EXPECT_EQ((std::vector<std::string>{"1|610", "1|610", "NULL|611"}),
            raw->rows("SELECT target_id, target_gid FROM link WHERE parent_object=" +
                      std::to_string(lid) + " ORDER BY id"));
  Object later = place("Later");
  later.set_global_id(611);
  const unsigned int l = insert(later, true);
  EXPECT_EQ(std::to_string(l) + "|611",
            raw->value("SELECT target_id, target_gid FROM link WHERE name='later'"));
}

TEST_F(Writes, MultimediaCountersCarriedUp) {
  struct Case {
    bool local, remote;
    const char* stored;
  } own[] = {{true, false, "1|0|0"},
             {false, true, "0|1|0"},
             {true, true, "0|0|0"},
             {false, false, "0|0|0"}};
  for (const Case& c : own) {
    const unsigned int m = insert(media(c.local, c.remote), true);
    EXPECT_EQ(c.stored, counters(m));
  }

  const unsigned int photo = insert(media(true, false), true);
  Object p = place("Place");
  p.get_links().push_back(link_to(photo, 0));
  const unsigned int pl = insert(p, true);
  const unsigned int col = insert(collection({pl}), true);
  EXPECT_EQ("1|0|0", counters(pl));
  EXPECT_EQ("1|0|0", counters(col));

  // The server copy is recorded: all three drop to 0.
  Object uploaded = media(true, true);
  uploaded.set_local_id(photo);
  ASSERT_EQ(0, db->update_object(uploaded, true));
  EXPECT_EQ("0|0|0", counters(photo));
  EXPECT_EQ("0|0|0", counters(pl));
  EXPECT_EQ("0|0|0", counters(col));

  // Two files under one place: 2, then 1 without any change above.
  const unsigned int a = insert(media(true, false), true);
  const unsigned int b = insert(media(true, false), true);
  Object two = place("Two");
  two.get_links().push_back(link_to(a, 0));
  two.get_links().push_back(link_to(b, 0));
  two.get_links().push_back(link_to(b, 0, "again"));  // counted once
  const unsigned int tw = insert(two, true);
  const unsigned int top = insert(collection({tw}), true);
  EXPECT_EQ("2|0|0", counters(tw));
  Object done = media(true, true);
  done.set_local_id(a);
  ASSERT_EQ(0, db->update_object(done, true));
  EXPECT_EQ("1|0|0", counters(tw));
  EXPECT_EQ("1|0|0", counters(top));
}

TEST_F(Writes, LinkmodsFollowTheStateOfLinkedObjects) {
  Object p = place("Place");
  p.set_global_id(300);
  const unsigned int pl = insert(p, true);
  const unsigned int col = insert(collection({pl}), true);
  EXPECT_EQ("0|0|0", counters(col));
  Object changed = place("Place changed");
  changed.set_local_id(pl);
  ASSERT_EQ(0, db->update_object(changed, false));
  EXPECT_EQ("0|0|1", counters(col));
  Object replaced = place("Place server");
  replaced.set_local_id(pl);
  ASSERT_EQ(0, db->update_object(replaced, true));
  EXPECT_EQ("0|0|0", counters(col));
  ASSERT_EQ(0, db->set_object_sharing(pl, orva::keldra::SHARING_PUBLIC_READ_WRITE, false));
  EXPECT_EQ("0|0|1", counters(col));
  // Removing the changed object takes its contribution away.
  ASSERT_EQ(0, db->remove_object(pl, false));
  EXPECT_EQ("0|0|0", counters(col));
}

// A parent reached along two paths (A->B->D, A->C->D) ends with the right count, and
// no counter goes below 0 when the change is undone or the object removed.
TEST_F(Writes, DiamondAndCycleCounters) {
  const unsigned int d = insert(media(true, false), true);
  Object b = place("B");
  b.get_links().push_back(link_to(d, 0));
  const unsigned int bl = insert(b, true);
  Object c = place("C");
  c.get_links().push_back(link_to(d, 0));
  const unsigned int cl = insert(c, true);
  const unsigned int a = insert(collection({bl, cl}), true);
  EXPECT_EQ("2|0|0", counters(a));

  for (int round = 0; round < 2; ++round) {
    Object off = media(true, true);
    off.set_local_id(d);
    ASSERT_EQ(0, db->update_object(off, true));
    EXPECT_EQ("0|0|0", counters(bl));
    EXPECT_EQ("0|0|0", counters(a));
    Object on = media(true, false);
    on.set_local_id(d);
    ASSERT_EQ(0, db->update_object(on, true));
    EXPECT_EQ("1|0|0", counters(bl));
    EXPECT_EQ("1|0|0", counters(cl));
    EXPECT_EQ("2|0|0", counters(a));
  }
  ASSERT_EQ(0, db->remove_object(d, true));
  EXPECT_EQ("0|0|0", counters(bl));
  EXPECT_EQ("0|0|0", counters(cl));
  EXPECT_EQ("0|0|0", counters(a));
  EXPECT_EQ(
      "0",
      raw->value("SELECT count(*) FROM object WHERE updeps < 0 OR downdeps < 0 OR linkmods < 0"));

  // A cycle: X -> Y -> X, with a file under Y. The walk ends, and counts stay sane.
  const unsigned int f = insert(media(true, false), true);
  Object x("collection");
  x.set_name(std::string("x"));
  const unsigned int xl = insert(x, true);
  Object y = collection({xl, f});
  const unsigned int yl = insert(y, true);
  Object x2 = collection({yl});
  x2.set_local_id(xl);
  ASSERT_EQ(0, db->update_object(x2, true));
  EXPECT_EQ("1|0|0", counters(xl));
  EXPECT_EQ("2|0|0", counters(yl));  // the file and x
  ASSERT_EQ(0, db->remove_object(f, true));
  EXPECT_EQ(
      "0",
      raw->value("SELECT count(*) FROM object WHERE updeps < 0 OR downdeps < 0 OR linkmods < 0"));
}

// Links anywhere in the tree count their targets once, whatever the target's state;
// a link to the written object itself counts the object as rewritten.
TEST_F(Writes, CountersFromLinksInAttributesAndToItself) {
  const unsigned int file = insert(media(true, false), true);
  Object changed_place = place("Changed");
  const unsigned int changed = insert(changed_place, false);  // new: not in sync
  const unsigned int synced = insert(place("Synced"), true);

  Object route("route");
  route.set_name(std::string("Route"));
  SharedPointer<Attribute> points = attribute(route, "points", "list");
  for (unsigned int target : {file, changed, synced, file}) {
    SharedPointer<Attribute> point(new Attribute("", "way_point"));
    point->get_links().push_back(link_to(target, 0, "location"));
    points->get_attributes().push_back(point);
  }
  const unsigned int r = insert(route, true);
  EXPECT_EQ("1|0|1", counters(r));

  // In sync as stored; rewritten by the application with a link to itself, it is
  // changed, and so is what it adds to itself.
  const unsigned int self = insert(collection({synced}), true);
  EXPECT_EQ("0|0|0", counters(self));
  Object again = collection({synced, self});
  again.set_local_id(self);
  ASSERT_EQ(0, db->update_object(again, false));
  EXPECT_EQ("0|0|1", counters(self));
}

// Attribute rows whose parent_attribute leads round in a loop (a damaged file) can
// never reach the object: the load keeps everything else, leaves the looped rows and
// what hangs below them out, says so in the log, and keeps no attribute alive (the
// leak check at exit sees any that would be).
TEST_F(Writes, AttributeRowsInALoopAreLeftOutWithoutLeaking) {
  db.reset();
  db_test::TraceLog log;
  db.reset(new orva::keldra::internal::Database());
  db->init(nullptr);
  ASSERT_TRUE(db->is_open());
  const std::string sound = "address:address position:position";
  const std::string id_of = "(SELECT id FROM attribute WHERE name=";
  struct Case {
    const char* label;
    std::string damage;
    std::string tree;
  } cases[] = {
      {"outer is its own parent", "UPDATE attribute SET parent_attribute=id WHERE name='outer'",
       sound},
      {"outer and inner point to each other",
       "UPDATE attribute SET parent_attribute=" + id_of + "'inner') WHERE name='outer'", sound},
      {"inner is its own parent, below a sound outer",
       "UPDATE attribute SET parent_attribute=id WHERE name='inner'", sound + " outer:group"},
      {"inner and leaf point to each other, below a sound outer",
       "UPDATE attribute SET parent_attribute=" + id_of + "'leaf') WHERE name='inner'",
       sound + " outer:group"},
      {"no damage", "SELECT 1", sound + " outer:group[inner:group[leaf:group(note)]]"},
  };
  const unsigned int target = insert(place("Target"), true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Object o = place("Looped");
    SharedPointer<Attribute> outer = attribute(o, "outer", "group");
    SharedPointer<Attribute> inner(new Attribute("inner", "group"));
    SharedPointer<Attribute> leaf(new Attribute("leaf", "group"));
    leaf->add_field("note")->set_value(std::string("under the loop"));
    leaf->get_links().push_back(link_to(target, 0, "to"));
    inner->get_attributes().push_back(leaf);
    outer->get_attributes().push_back(inner);
    const unsigned int lid = insert(o, true);
    ASSERT_EQ(SQLITE_OK, raw->exec(c.damage));
    const int before = log.count("ERROR: Database::get_object_data: attribute rows in a loop");
    for (int round = 0; round < 2; ++round) {
      Object loaded;
      ASSERT_EQ(0, db->get_object(lid, loaded));
      std::string tree = keldra_test::attribute_tree(loaded.get_attributes(),
                                                     keldra_test::FieldText::kName, false);
      // the place's own attributes, without their fields
      tree = std::regex_replace(tree, std::regex("(address|position)\\([^)]*\\)"), "$1");
      EXPECT_EQ(c.tree, tree);
    }
    const bool looped = std::string(c.label) != "no damage";
    EXPECT_EQ(before + (looped ? 2 : 0),
              log.count("ERROR: Database::get_object_data: attribute rows in a loop"));
    ASSERT_EQ(0, db->remove_object(lid, true));
  }
}

// Counters inside a cycle of links (X -> Y -> X) fall once the content that caused them
// goes, however it goes; a cycle that still reaches such content elsewhere keeps them.
TEST_F(Writes, CountersInsideALinkCycleFallWithTheirCause) {
  // Z -> X <-> Y; Y -> P; X -> Q when |second_file|. P and Q are local-only files, or
  // (for linkmods) changed places. Counters: updeps|downdeps|linkmods.
  struct Graph {
    unsigned int p, q, x, y, z;
  };
  auto build = [this](bool places, bool second_file) {
    Graph g = {};
    auto content = [&](const char* name) {
      return places ? insert(place(name), false) : insert(media(true, false), true);
    };
    g.p = content("P");
    Object x("collection");
    x.set_name(std::string("x"));
    g.x = insert(x, true);
    g.y = insert(collection({g.x, g.p}), true);
    std::vector<unsigned int> x_members = {g.y};
    if (second_file) {
      g.q = content("Q");
      x_members.push_back(g.q);
    }
    Object closed = collection(x_members);
    closed.set_local_id(g.x);
    EXPECT_EQ(0, db->update_object(closed, true));
    g.z = insert(collection({g.x}), true);
    return g;
  };
  struct Case {
    const char* label;
    bool places;
    bool second_file;
    std::function<void(const Graph&)> act;
    const char *x, *y, *z;
  } cases[] = {
      {"the file is removed", false, false,
       [this](const Graph& g) { ASSERT_EQ(0, db->remove_object(g.p, true)); }, "0|0|0", "0|0|0",
       "0|0|0"},
      {"the file gets its server copy", false, false,
       [this](const Graph& g) {
         Object uploaded = media(true, true);
         uploaded.set_local_id(g.p);
         ASSERT_EQ(0, db->update_object(uploaded, true));
       },
       "0|0|0", "0|0|0", "0|0|0"},
      {"Y no longer links the file", false, false,
       [this](const Graph& g) {
         Object y = collection({g.x});
         y.set_local_id(g.y);
         ASSERT_EQ(0, db->update_object(y, true));
       },
       "0|0|0", "0|0|0", "0|0|0"},
      {"another file stays reachable", false, true,
       [this](const Graph& g) { ASSERT_EQ(0, db->remove_object(g.p, true)); }, "2|0|0", "1|0|0",
       "1|0|0"},
      {"the changed place is synchronised", true, false,
       [this](const Graph& g) {
         Object synced = place("P");
         synced.set_local_id(g.p);
         ASSERT_EQ(0, db->update_object(synced, true));
       },
       "0|0|0", "0|0|0", "0|0|0"},
      {"the changed place is removed", true, false,
       [this](const Graph& g) { ASSERT_EQ(0, db->remove_object(g.p, true)); }, "0|0|0", "0|0|0",
       "0|0|0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Graph g = build(c.places, c.second_file);
    // Before: X counts Y (and Q), Y counts X and P.
    if (c.places) {
      EXPECT_EQ("0|0|1", counters(g.x));
      EXPECT_EQ("0|0|2", counters(g.y));
    } else {
      EXPECT_EQ(c.second_file ? "2|0|0" : "1|0|0", counters(g.x));
      EXPECT_EQ("2|0|0", counters(g.y));
    }
    c.act(g);
    EXPECT_EQ(c.x, counters(g.x));
    EXPECT_EQ(c.y, counters(g.y));
    EXPECT_EQ(c.z, counters(g.z));
  }
}

// Random link graphs with cycles between collections and files under them, changed
// write by write (by the server or the application): after every write each stored
// counter equals the count from scratch (a linked object counts when it really reaches
// a file of that kind, or is or reaches an object changed by the application).
TEST_F(Writes, CountersMatchACountFromScratchOnRandomCyclicGraphs) {
  const int kFiles = 3, kCollections = 5;
  std::mt19937 random(20261211);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    // Files: local only (upload) or server only (download); removed ones are 0.
    std::vector<unsigned int> file(kFiles), kind(kFiles);
    for (int f = 0; f < kFiles; ++f) {
      kind[f] = random() % 2;
      file[f] = insert(media(kind[f] == 0, kind[f] == 1), true);
    }
    std::vector<unsigned int> col(kCollections);
    std::vector<std::set<int>> links(kCollections);  // < kFiles: a file, else a collection
    std::vector<bool> in_sync(kCollections, true);   // else changed by the application
    for (int c = 0; c < kCollections; ++c) col[c] = insert(collection({}), true);
    auto relink = [&](int c) {
      links[c].clear();
      for (int target = 0; target < kFiles + kCollections; ++target) {
        if (target == kFiles + c || random() % 3 != 0) continue;
        if (target < kFiles && file[target] == 0) continue;
        links[c].insert(target);
      }
      std::vector<unsigned int> members;
      for (int target : links[c]) {
        members.push_back(target < kFiles ? file[target] : col[target - kFiles]);
      }
      Object o = collection(members);
      o.set_local_id(col[c]);
      in_sync[c] = random() % 3 != 0;
      ASSERT_EQ(0, db->update_object(o, in_sync[c]));
    };
    auto check = [&](const std::string& step) {
      // Least solution of "reaches a file of that kind" (k 0, 1) and of "reaches an
      // object changed by the application" (k 2), then the counts.
      std::vector<std::array<bool, 3>> reach(kCollections, {{false, false, false}});
      auto gives = [&](int target, int k) -> bool {
        if (target < kFiles) return k < 2 && file[target] != 0 && kind[target] == unsigned(k);
        const int c = target - kFiles;
        return reach[c][k] || (k == 2 && !in_sync[c]);
      };
      for (bool changed = true; changed;) {
        changed = false;
        for (int c = 0; c < kCollections; ++c) {
          for (int target : links[c]) {
            for (int k = 0; k < 3; ++k) {
              if (gives(target, k) && !reach[c][k]) reach[c][k] = changed = true;
            }
          }
        }
      }
      for (int c = 0; c < kCollections; ++c) {
        int count[3] = {0, 0, 0};
        for (int target : links[c]) {
          for (int k = 0; k < 3; ++k) count[k] += gives(target, k);
        }
        EXPECT_EQ(std::to_string(count[0]) + "|" + std::to_string(count[1]) + "|" +
                      std::to_string(count[2]),
                  counters(col[c]))
            << step << ": collection " << c;
      }
    };
    for (int c = 0; c < kCollections; ++c) relink(c);
    check("linked");
    for (int step = 0; step < 30 && !HasFailure(); ++step) {
      const int what = random() % 3;
      const int f = random() % kFiles;
      if (what == 0) {
        relink(random() % kCollections);
      } else if (what == 1 && file[f] != 0) {
        // The file gets its other copy, or loses it again.
        Object changed = media(true, true);
        if (counters(file[f]) == "0|0|0") changed = media(kind[f] == 0, kind[f] == 1);
        changed.set_local_id(file[f]);
        ASSERT_EQ(0, db->update_object(changed, true));
        if (counters(file[f]) == "0|0|0")
          kind[f] = 2;  // counts for neither
        else
          kind[f] = counters(file[f]) == "1|0|0" ? 0 : 1;
      } else if (file[f] != 0) {
        ASSERT_EQ(0, db->remove_object(file[f], true));
        file[f] = 0;
        for (std::set<int>& l : links) l.erase(f);
      }
      check("step " + std::to_string(step) + " op " + std::to_string(what));
    }
  }
}

// A rolled-back caller transaction leaves nothing, and the statements the writes keep
// are made again afterwards.
TEST_F(Writes, WritesAfterARolledBackCallerTransaction) {
  const unsigned int photo = insert(media(true, false), true);
  ASSERT_EQ(0, db->begin_transaction(true));
  Object p = place("Gone");
  p.get_links().push_back(link_to(photo, 0));
  EXPECT_EQ(0, db->insert_object(p, false));
  db->rollback_transaction();
  EXPECT_EQ("1", raw->value("SELECT count(*) FROM object"));
  Object again = place("Kept");
  again.get_links().push_back(link_to(photo, 0));
  ASSERT_EQ(0, db->insert_object(again, false));
  EXPECT_EQ("1|0|0", counters(again.get_local_id()));  // the photo's file, only local
}

TEST_F(Writes, SystemObjectsKeepNoCounters) {
  const unsigned int photo = insert(media(true, false), true);
  Object mapping("sys_mapping");
  mapping.set_global_id(997);
  mapping.get_links().push_back(link_to(photo, 0, "map"));
  const unsigned int m = insert(mapping, true);
  EXPECT_EQ("0|0|0", counters(m));
  Object changed = media(false, true);
  changed.set_local_id(photo);
  ASSERT_EQ(0, db->update_object(changed, true));
  EXPECT_EQ("0|0|0", counters(m));
}

TEST_F(Writes, SharingChangeToTheSameModelWritesNothing) {
  const unsigned int lid = insert(place("Cafe"), true);
  raw->exec("UPDATE object SET timestamp=5");
  const std::string before = snapshot();
  EXPECT_EQ(0, db->set_object_sharing(lid, orva::keldra::SHARING_PRIVATE, false));
  EXPECT_EQ(before, snapshot());
  EXPECT_EQ(8, db->set_object_sharing(999, orva::keldra::SHARING_PRIVATE, false));
}

// Attribute names come back from their rows as the text setters would keep them (64
// bytes), except the name of an "anchor" attribute: the config object's sync anchor,
// which goes back to the server exactly as it came.
TEST_F(Writes, AttributeNamesComeBackCutExceptTheAnchor) {
  std::string long_text;
  for (int i = 0; long_text.size() < 150; ++i) long_text += "anchor-" + std::to_string(i) + ";";
  // 70 bytes whose 64th byte is inside a two-byte character.
  const std::string umlauts = std::string(63, 'a') + "\xc3\xa4" + "bcdef";
  struct Case {
    const char* class_name;
    std::string name;
    std::string loaded;
  } cases[] = {
      {"anchor", long_text, long_text},
      {"anchor", umlauts, umlauts},
      {"anchor", "20261210T180000Z", "20261210T180000Z"},
      {"address", long_text, long_text.substr(0, 64)},
      {"address", umlauts, std::string(63, 'a')},
      {"user", long_text, long_text.substr(0, 64)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.class_name) + " " + std::to_string(c.name.size()));
    Object config("config");
    config.set_global_id(999);
    attribute(config, "222", "last_string_supported");
    config.get_attributes().push_back(
        SharedPointer<Attribute>(new Attribute(c.name, c.class_name)));
    const unsigned int lid = insert(config, true);
    ASSERT_NE(0u, lid);
    // The row holds the whole name either way.
    EXPECT_EQ(std::to_string(c.name.size()),
              raw->value("SELECT length(CAST(name AS BLOB)) FROM attribute WHERE class_name='" +
                         std::string(c.class_name) + "' AND parent_object=" + std::to_string(lid)));
    Object loaded;
    ASSERT_EQ(0, db->get_object(lid, loaded));
    ASSERT_EQ(2u, loaded.get_attributes().size());
    EXPECT_EQ("222", loaded.get_attributes()[0]->get_name());
    EXPECT_EQ(c.loaded, loaded.get_attributes()[1]->get_name());
    // One object at a time holds the global id.
    ASSERT_EQ(0, db->remove_object(lid, true));
  }
}

}  // namespace
