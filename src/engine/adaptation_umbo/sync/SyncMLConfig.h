// SyncMLConfig: the storage plug-in's fixed places.
//
// getXmlDataPath(): the folder of the CTCaps files, "/etc/sync/xml/" (a test build of
// the plug-in is given another folder at build time). getDatabasePath(): the home folder
// + "/.sync/sync-app/", made with its parents when missing. Both are traced with the
// framework's log timer. Thread: any.
#pragma once

#include <QString>

class SyncMLConfig {
 public:
  SyncMLConfig();
  ~SyncMLConfig();

  static QString getXmlDataPath();
  static QString getDatabasePath();

 private:
  SyncMLConfig(const SyncMLConfig&) = delete;
  SyncMLConfig& operator=(const SyncMLConfig&) = delete;
};
