// The storage plug-in in the daemon stand-in's process, over the store file of the
// adapter fixture: the test seeds and reads the store directly and through SQL, drives
// the plug-in's calls through the driver, makes the fake daemon report statuses, and
// hears the relay through the fixture's peer.
#pragma once

#include "support/AdapterFixture.h"

#include <QString>
#include <QStringList>

#include <keldra/Object.h>
#include <keldra/ObjectConverter.h>
#include <keldra/SharedPointer.h>
#include <keldra/SyncAdapter.h>

#include "support/FakeSyncDaemon.h"
#include "support/StorageDriverProcess.h"

#include <string>
#include <vector>

namespace keldra_test {

class StorageTest : public AdapterTest {
 protected:
  // The config object's reserved local id: always the first system object listed.
  static constexpr unsigned int kConfigId = 0x7FFFFFFFu;

  void SetUp() override;
  void TearDown() override;

  // Starts the driver with the test build of the plug-in loaded and one plug-in made.
  void start_driver();
  // One call of the driver, its answer.
  QString call(const QString& line) { return driver_.call(line); }
  // "init" that must succeed, then the extension ids taken as given.
  void init_session();
  // Makes the fake daemon report |status| for |profile| and lets the plug-in hear it.
  void report_status(int status, const char* profile = "maps-keldra");

  // A place stored as the server's (synchronised, with that global id); its local id.
  unsigned int server_place(const char* name, unsigned long long global_id);
  // A place as the server sends it: with its global id.
  static orva::keldra::Object received_place(const char* name, unsigned long long global_id) {
    orva::keldra::Object o = place(name);
    o.set_global_id(global_id);
    return o;
  }
  // An object in the compact format, base64, as the server would send it.
  QString item_of(const orva::keldra::Object& object);
  // The object of an item "<id>:<base64>"; the id is returned in |id|.
  orva::keldra::ObjectPtr object_of_item(const QString& item, QString* id = nullptr);

  // SQL on the store file from a connection of the test's own.
  static std::string db_path();
  static long long file_value(const std::string& sql);
  static bool file_exec(const std::string& sql);
  static long long state_of(unsigned int id) {
    return file_value("SELECT modified FROM object WHERE local_id = " + std::to_string(id));
  }
  static long long object_count() { return file_value("SELECT count(*) FROM object"); }
  static std::string removed_ids();

  // The plug-in's log so far (the log level of the plug-in's process allows everything).
  static std::string plugin_log();

  // Decimal ids as the driver prints them.
  static QString ids(const std::vector<unsigned int>& list);

  FakeSyncDaemon daemon_;
  StorageDriverProcess driver_;
  orva::SharedPointer<orva::keldra::SyncAdapter> sync_;
  orva::SharedPointer<orva::keldra::ObjectConverter> converter_;
};

}  // namespace keldra_test
