#include "SyncServiceImpl.h"

#include "KeldraImpl.h"
#include "ObjectLinkImpl.h"
#include "QmlText.h"

#include <QPointer>
#include <QQmlEngine>

#include <keldra/ErrorCode.h>
#include <keldra/LoggerUmbo.h>

#include <cstdio>
#include <new>

namespace keldra {
namespace qtplugin {

using orva::SharedPointer;
using orva::keldra::LinkList;
using orva::keldra::SyncService;
using orva::keldra::internal::LoggerUmbo;

namespace {

void trace(const char* text) { LoggerUmbo::log(text, LoggerUmbo::MSG_TRACE); }

// Handed out without a parent: the JavaScript engine frees it once unreferenced, also
// when QML read it as a property (which alone would not hand it over).
FileSyncOptionsImpl* detachedCopy(const SyncService::FileSyncOptions& options) {
  FileSyncOptionsImpl* copy = new FileSyncOptionsImpl(options, nullptr);
  QQmlEngine::setObjectOwnership(copy, QQmlEngine::JavaScriptOwnership);
  return copy;
}

}  // namespace

SyncServiceImpl::SyncServiceImpl(QObject* parent)
    : QObject(parent), m_progress(0.0f), m_status(KeldraImpl::STATUS_OK) {
  m_service = SyncService::instance();
  if (!m_service.is_valid()) {
    trace("SyncServiceImpl out-of-memory error");
    throw std::bad_alloc();
  }
}

SyncServiceImpl::SyncServiceImpl(const SharedPointer<SyncService>& service, QObject* parent)
    : QObject(parent), m_service(service), m_progress(0.0f), m_status(KeldraImpl::STATUS_OK) {}

SyncServiceImpl::~SyncServiceImpl() {
  // First: a service released here reports its cancelled sync to its listener.
  if (m_service.is_valid()) m_service->unset_listener(this);
  m_service.release();
}

void SyncServiceImpl::setOption(Option opt, QString value) {
  trace("QmlPlugin: SyncServiceImpl::setOption");
  const std::string text = toIdentifier(value);
  switch (opt) {
    case OPTION_TOKEN:
      m_params.token = text;
      break;
    case OPTION_IAP: {
      int iap = 0;
      const int read = std::sscanf(text.c_str(), "%d", &iap);
      if (read == EOF) break;
      m_params.iap = read == 1 ? static_cast<uint32_t>(iap) : 0u;
      break;
    }
    case OPTION_USER:
      m_params.user = text;
      break;
    case OPTION_PASSWORD:
      m_params.password = text;
      break;
    case OPTION_ACCOUNT:
      m_params.account = text;
      break;
    default:
      break;
  }
}

void SyncServiceImpl::setFileUploadOptions(FileSyncOptionsImpl* options) {
  trace("QmlPlugin: SyncServiceImpl::setFileUploadOptions");
  if (!options) {
    trace("QmlPlugin: SyncServiceImpl::setFileUploadOptions, FileSyncOptions is null");
    return;
  }
  m_service->set_file_upload_options(options->options());
}

void SyncServiceImpl::setFileDownloadOptions(FileSyncOptionsImpl* options) {
  trace("QmlPlugin: SyncServiceImpl::setFileDownloadOptions");
  if (!options) {
    trace("QmlPlugin: SyncServiceImpl::setFileDownloadOptions, FileSyncOptions is null");
    return;
  }
  m_service->set_file_download_options(options->options());
}

FileSyncOptionsImpl* SyncServiceImpl::getFileUploadOptions() {
  trace("QmlPlugin: SyncServiceImpl::getFileUploadOptions");
  SyncService::FileSyncOptions upload, download;
  m_service->get_file_transfer_options(upload, download);
  return detachedCopy(upload);
}

FileSyncOptionsImpl* SyncServiceImpl::getFileDownloadOptions() {
  trace("QmlPlugin: SyncServiceImpl::getFileDownloadOptions");
  SyncService::FileSyncOptions upload, download;
  m_service->get_file_transfer_options(upload, download);
  return detachedCopy(download);
}

quint32 SyncServiceImpl::getProgress() const { return static_cast<quint32>(m_progress * 100.0f); }

qint32 SyncServiceImpl::getStatus() const { return m_status; }

void SyncServiceImpl::start(Tasks tasks, QVariantList objects, quint32 cascading) {
  trace("QmlPlugin: SyncServiceImpl::start");
  LinkList links;
  for (const QVariant& entry : objects) {
    if (!entry.canConvert<QObject*>()) continue;
    ObjectLinkImpl* link = qobject_cast<ObjectLinkImpl*>(entry.value<QObject*>());
    if (link) links.push_back(link->link());
  }
  startSync(static_cast<unsigned int>(tasks), links, cascading);
}

void SyncServiceImpl::start(Tasks tasks, QVariantList objects) { start(tasks, objects, 0); }

void SyncServiceImpl::start(Tasks tasks) { start(tasks, QVariantList(), 0); }

void SyncServiceImpl::start() { start(TASK_SYNC, QVariantList(), 0); }

bool SyncServiceImpl::startSync(unsigned int tasks, const LinkList& objects,
                                unsigned int cascading) {
  trace("QmlPlugin: SyncServiceImpl::startSync");
  if (m_service->sync_ongoing()) return false;
  m_service->set_listener(this);
  m_params.service = "personal";

  orva::ErrorCode result;
  if (tasks == 0) {
    result = m_service->synchronize(m_params, 4);
  } else if (tasks & TASK_OBJECTS_UPLOAD) {
    std::vector<unsigned int> ids;
    ids.reserve(objects.size());
    for (const auto& link : objects) ids.push_back(link.get_local_link());
    result = m_service->synchronize(m_params, tasks, ids, cascading);
  } else if (tasks & (TASK_OBJECTS_DOWNLOAD | TASK_OBJECTS_SUBSCRIBE)) {
    std::vector<unsigned long long> ids;
    ids.reserve(objects.size());
    for (const auto& link : objects) ids.push_back(link.get_global_link());
    result = m_service->synchronize(m_params, tasks, ids, cascading != 0);
  } else {
    result = m_service->synchronize(m_params, tasks);
  }
  if (result != ORVA_ERROR_NONE) handle_progress(0.0f, result);
  return true;
}

void SyncServiceImpl::cancel() {
  trace("QmlPlugin: SyncServiceImpl::cancel");
  m_service->cancel();
}

void SyncServiceImpl::setBackend(SyncBackends backend) {
  trace("QmlPlugin: SyncServiceImpl::setBackend ++");
  if (backend == BACKEND_DEFAULT) {
    trace("Bacnkend DEFAULT selected");
    m_service->select_backend(SyncService::DEFAULT);
  } else if (backend == BACKEND_CHINA) {
    trace("Backend CHINA selected");
    m_service->select_backend(SyncService::CHINA);
  } else {
    trace("QmlPlugin: SyncServiceImpl::setBackend invalid params -> assert");
  }
  trace("QmlPlugin: SyncServiceImpl::setBackend --");
}

void SyncServiceImpl::handle_progress(float progress, orva::ErrorCode status) {
  trace("QmlPlugin: SyncServiceImpl::handle_progress");
  m_status = KeldraImpl::errorCodeToStatus(status);
  m_progress = progress;
  // A receiver may delete this element from the first signal.
  QPointer<SyncServiceImpl> alive(this);
  emit progressChanged(progress, m_status);
  if (status != ORVA_ERROR_KELDRA_IN_PROGRESS && alive) emit syncDone();
}

}  // namespace qtplugin
}  // namespace keldra
