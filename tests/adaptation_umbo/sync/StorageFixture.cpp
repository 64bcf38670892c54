#include "StorageFixture.h"

#include <keldra/DynamicBuffer.h>

#include "support/DbTestUtil.h"
#include "support/TestEnv.h"

#include <sqlite3.h>

namespace keldra_test {

using orva::keldra::Object;
using orva::keldra::ObjectPtr;

void StorageTest::SetUp() {
  AdapterTest::SetUp();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(write_file(home_dir() + "/log_level_plugin", "1\n"));
  ASSERT_TRUE(daemon_.start(DbusTestBus::shared())) << daemon_.error();
  sync_ = adapter_->sync_adapter();
  converter_ = orva::keldra::ObjectConverter::create();
  ASSERT_TRUE(sync_.is_valid() && converter_.is_valid());
}

void StorageTest::TearDown() {
  // The driver ends with its plug-in destroyed; a crash or a leak gives another code.
  EXPECT_EQ(0, driver_.finish()) << driver_.errors().toStdString();
  sync_.release();
  converter_.release();
  AdapterTest::TearDown();
}

void StorageTest::start_driver() {
  ASSERT_TRUE(driver_.start({QStringLiteral("--plugin-dir"), QStringLiteral(STORAGE_PLUGIN_DIR)}))
      << driver_.error();
  ASSERT_EQ("ok", call("load hkeldra"));
  ASSERT_EQ("ok", call("create hkeldra"));
}

void StorageTest::init_session() { ASSERT_EQ("true", call("init")); }

void StorageTest::report_status(int status, const char* profile) {
  daemon_.emit_sync_status(profile, status, "", 0);
  ASSERT_EQ("ok", call("sync"));
}

unsigned int StorageTest::server_place(const char* name, unsigned long long global_id) {
  Object o = place(name);
  o.set_global_id(global_id);
  if (sync_->add_object(o) != 0) return 0;
  return o.get_local_id();
}

QString StorageTest::item_of(const Object& object) {
  orva::SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer());
  EXPECT_EQ(0, converter_->encode(object, buffer, KELDRA_COMPACT_MIME_TYPE, false));
  const QByteArray bytes(reinterpret_cast<const char*>(buffer->get_data()),
                         static_cast<int>(buffer->get_data_length()));
  return QString::fromLatin1(bytes.toBase64());
}

ObjectPtr StorageTest::object_of_item(const QString& item, QString* id) {
  const int colon = item.indexOf(QLatin1Char(':'));
  if (colon < 0) return ObjectPtr();
  if (id) *id = item.left(colon);
  const QByteArray bytes = QByteArray::fromBase64(item.mid(colon + 1).toLatin1());
  ObjectPtr object;
  if (converter_->decode(reinterpret_cast<const unsigned char*>(bytes.constData()),
                         static_cast<unsigned int>(bytes.size()), object,
                         KELDRA_COMPACT_MIME_TYPE) != 0) {
    return ObjectPtr();
  }
  return object;
}

std::string StorageTest::db_path() { return home_dir() + "/.cities/OstraMaps.db"; }

long long StorageTest::file_value(const std::string& sql) {
  const std::string value = db_test::RawDb(db_path()).value(sql);
  return value.empty() ? -1 : std::stoll(value);
}

bool StorageTest::file_exec(const std::string& sql) {
  db_test::RawDb db(db_path());
  sqlite3_busy_timeout(db.handle(), 10000);
  return db.exec(sql) == SQLITE_OK;
}

std::string StorageTest::removed_ids() {
  std::string out;
  for (const std::string& row :
       db_test::RawDb(db_path()).rows("SELECT local_id FROM removed ORDER BY local_id")) {
    out += (out.empty() ? "" : " ") + row;
  }
  return out;
}

std::string StorageTest::plugin_log() { return read_file(home_dir() + "/.cities/OstraMaps.log"); }

QString StorageTest::ids(const std::vector<unsigned int>& list) {
  QStringList words;
  for (unsigned int id : list) words << QString::number(id);
  return words.join(QLatin1Char(' '));
}

}  // namespace keldra_test
