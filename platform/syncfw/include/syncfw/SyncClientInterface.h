// Buteo::SyncClientInterface: a client's view of the sync daemon ("com.meego.msyncd",
// object "/synchronizer" on the session bus). It listens to the daemon's status signals
// and emits them again as its own Qt signals.
//
// The signals arrive through the event loop of the thread that made the object; a
// daemon that is not running yet is heard once it starts (the match is on the name).
// Thread: the thread that made it; no locks.
#pragma once

#include <QObject>
#include <QString>

#include "syncfw/SyncResults.h"

namespace Buteo {

class SyncClientInterface : public QObject {
  Q_OBJECT

 public:
  // Subscribes to the daemon's signals on the session bus.
  SyncClientInterface();
  ~SyncClientInterface() override;

  // True when both subscriptions were taken.
  bool isValid() const { return iValid; }

 Q_SIGNALS:
  // A profile's sync changed state: 0 queued, 1 started, 2 progress, 3 error, 4 done,
  // 5 aborted.
  void syncStatus(QString aProfileId, int aStatus, QString aMessage, int aStatusDetails);
  // A profile's sync ended with these results.
  void resultsAvailable(QString aProfileId, Buteo::SyncResults aResults);

 private Q_SLOTS:
  void onSyncStatus(QString aProfileId, int aStatus, QString aMessage, int aStatusDetails);
  void onResultsAvailable(QString aProfileId, QString aResultsAsXml);

 private:
  bool iValid = false;
};

}  // namespace Buteo
