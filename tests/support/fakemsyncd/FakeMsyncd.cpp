#include "FakeMsyncd.h"

FakeMsyncd::FakeMsyncd() = default;

bool FakeMsyncd::startSync(QString aProfileId) {
  calls_.push_back(QStringList{QStringLiteral("startSync"), aProfileId});
  return start_answer_;
}

void FakeMsyncd::abortSync(QString aProfileId) {
  calls_.push_back(QStringList{QStringLiteral("abortSync"), aProfileId});
}

bool FakeMsyncd::updateProfile(QString aProfileAsXml) {
  calls_.push_back(QStringList{QStringLiteral("updateProfile"), aProfileAsXml});
  return true;
}

int FakeMsyncdControl::callCount() { return static_cast<int>(daemon_.calls().size()); }

QStringList FakeMsyncdControl::call(int index) {
  if (index < 0 || index >= callCount()) return QStringList();
  return daemon_.calls()[static_cast<size_t>(index)];
}

void FakeMsyncdControl::clearCalls() { daemon_.clear(); }

void FakeMsyncdControl::emitSyncStatus(QString profile, int status, QString message, int details) {
  emit daemon_.syncStatus(profile, status, message, details);
}

void FakeMsyncdControl::emitTransferProgress(QString profile, int database, int type, QString mime,
                                             int committed) {
  emit daemon_.transferProgress(profile, database, type, mime, committed);
}

void FakeMsyncdControl::emitResultsAvailable(QString profile, QString results) {
  emit daemon_.resultsAvailable(profile, results);
}

void FakeMsyncdControl::setStartAnswer(bool accepted) { daemon_.set_start_answer(accepted); }
