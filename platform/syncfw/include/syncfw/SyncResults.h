// Buteo::SyncResults: the outcome of one sync as the daemon reports it in its
// resultsAvailable signal, where it travels as XML text. The root element's attributes
// "majorcode" and "minorcode" give the two codes; missing or unreadable text gives 0.
//
// A value type; any thread.
#pragma once

#include <QMetaType>
#include <QString>

namespace Buteo {

class SyncResults {
 public:
  enum MajorCode { SYNC_RESULT_SUCCESS = 0, SYNC_RESULT_FAILED = 1 };

  SyncResults() = default;
  SyncResults(int majorCode, int minorCode) : iMajorCode(majorCode), iMinorCode(minorCode) {}
  // Reads the codes from the daemon's XML form.
  static SyncResults fromXml(const QString& xml);

  int majorCode() const { return iMajorCode; }
  int minorCode() const { return iMinorCode; }

 private:
  int iMajorCode = 0;
  int iMinorCode = 0;
};

}  // namespace Buteo

Q_DECLARE_METATYPE(Buteo::SyncResults)
