// The "SyncService" element: starts, follows and cancels a synchronisation of the
// library's sync service with the element's account parameters, backend choice and
// file options, and turns the service's reports into signals with an OpStatus value.
//
// Made in QML it wraps a sync service of its own; made by the factory element it wraps
// the factory's one service, shared with the other elements over it (one sync at a
// time; reports go to the element that started last). The element is the service's
// listener from its first start until it is destroyed, when it unsets itself so that
// no report of a service that outlives it reaches it.
//
// Refusals of a start are reported as signals (progressChanged(0, status), syncDone())
// before start returns; a start while the service runs a sync is dropped silently.
//
// Thread: the QML engine's thread, which runs the event loop the service reports from.
#pragma once

#include "ElementMacros.h"
#include "FileSyncOptionsImpl.h"

#include <QObject>
#include <QString>
#include <QVariantList>

#include <keldra/LinkList.h>
#include <keldra/ProgressHandler.h>
#include <keldra/SharedPointer.h>
#include <keldra/SyncService.h>

#include <vector>

namespace keldra {
namespace qtplugin {

class SyncServiceImpl : public QObject, public orva::keldra::ProgressHandler {
  Q_OBJECT

 public:
  // Fixed underlying types: QML may pass any integer, which must stay a valid value
  // until the element ignores it.
  enum Option : int {
    OPTION_TOKEN = 1,
    OPTION_IAP = 2,
    OPTION_USER = 3,
    OPTION_PASSWORD = 4,
    OPTION_ACCOUNT = 5
  };
  Q_ENUM(Option)

  // The library's sync task bits; other bits (32, the upload queue) pass through.
  enum Task {
    TASK_OBJECTS_UPLOAD = 1,
    TASK_OBJECTS_DOWNLOAD = 2,
    TASK_SYNC = 4,
    TASK_FILES_UPLOAD = 8,
    TASK_FILES_DOWNLOAD = 16,
    TASK_OBJECTS_SUBSCRIBE = 64
  };
  Q_DECLARE_FLAGS(Tasks, Task)
  Q_FLAG(Tasks)

  enum SyncBackends : int { BACKEND_DEFAULT = 0, BACKEND_CHINA = 1 };
  Q_ENUM(SyncBackends)

 private:
  Q_PROPERTY(keldra::qtplugin::FileSyncOptionsImpl* fileUploadOptions READ getFileUploadOptions
                 WRITE setFileUploadOptions)
  Q_PROPERTY(keldra::qtplugin::FileSyncOptionsImpl* fileDownloadOptions READ getFileDownloadOptions
                 WRITE setFileDownloadOptions)
  KELDRA_QML_CONSTANT(Option, OPTION_TOKEN)
  KELDRA_QML_CONSTANT(Option, OPTION_IAP)
  KELDRA_QML_CONSTANT(Option, OPTION_USER)
  KELDRA_QML_CONSTANT(Option, OPTION_PASSWORD)
  KELDRA_QML_CONSTANT(Option, OPTION_ACCOUNT)
  KELDRA_QML_CONSTANT(Task, TASK_OBJECTS_UPLOAD)
  KELDRA_QML_CONSTANT(Task, TASK_OBJECTS_DOWNLOAD)
  KELDRA_QML_CONSTANT(Task, TASK_SYNC)
  KELDRA_QML_CONSTANT(Task, TASK_FILES_UPLOAD)
  KELDRA_QML_CONSTANT(Task, TASK_FILES_DOWNLOAD)
  KELDRA_QML_CONSTANT(Task, TASK_OBJECTS_SUBSCRIBE)
  KELDRA_QML_CONSTANT(SyncBackends, BACKEND_DEFAULT)
  KELDRA_QML_CONSTANT(SyncBackends, BACKEND_CHINA)

 public:
  // Over a new service of its own; throws std::bad_alloc when none can be made.
  explicit SyncServiceImpl(QObject* parent = nullptr);
  // Over |service| (not empty), which other elements may share.
  SyncServiceImpl(const orva::SharedPointer<orva::keldra::SyncService>& service, QObject* parent);
  // Unsets the element as the service's listener, then releases the service.
  ~SyncServiceImpl() override;

  // A new, detached copy of the service's option record. The caller owns it; once it
  // reaches QML (method result or property read) the JavaScript engine does.
  Q_INVOKABLE keldra::qtplugin::FileSyncOptionsImpl* getFileDownloadOptions();
  keldra::qtplugin::FileSyncOptionsImpl* getFileUploadOptions();
  // The last progress in whole percent (truncated); the last OpStatus (1 before any).
  Q_INVOKABLE quint32 getProgress() const;
  Q_INVOKABLE qint32 getStatus() const;

  // Requests the sync by the task bits: 0 the SyncML sync, object upload by local ids,
  // object download or subscribe by global ids, otherwise the plain call. False when
  // the service runs a sync (nothing else happens); a refusal is reported at once.
  bool startSync(unsigned int tasks, const orva::keldra::LinkList& objects, unsigned int cascading);

  void handle_progress(float progress, orva::ErrorCode status) override;

 public slots:
  // The IAP text is read as a leading decimal number: blank keeps the old value, no
  // number gives 0.
  void setOption(Option opt, QString value);
  // A copy of the element's record; null is ignored.
  void setFileUploadOptions(keldra::qtplugin::FileSyncOptionsImpl* options);
  void setFileDownloadOptions(keldra::qtplugin::FileSyncOptionsImpl* options);
  // Object entries that are ObjectLink elements give the links; others are skipped.
  void start(Tasks tasks, QVariantList objects, quint32 cascading);
  void start(Tasks tasks, QVariantList objects);
  void start(Tasks tasks);
  void start();
  void cancel();
  // Only BACKEND_DEFAULT and BACKEND_CHINA; applied by the next sync.
  void setBackend(SyncBackends backend);

 signals:
  // Declared for QML; never emitted.
  void progress(float prog);
  void progressChanged(float progress, int status);
  void syncDone();

 private:
  orva::SharedPointer<orva::keldra::SyncService> m_service;
  float m_progress;
  qint32 m_status;
  orva::keldra::SyncService::SyncParams m_params;
};

}  // namespace qtplugin
}  // namespace keldra

Q_DECLARE_OPERATORS_FOR_FLAGS(keldra::qtplugin::SyncServiceImpl::Tasks)
