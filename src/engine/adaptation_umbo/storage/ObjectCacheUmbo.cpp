#include "adaptation_umbo/storage/ObjectCacheUmbo.h"

#include "adaptation_umbo/storage/DataAdapterUmbo.h"

#include <keldra/LoggerUmbo.h>

#include <QDateTime>
#include <QTimer>

#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {
const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
void trace(const char* text) { LoggerUmbo::log(text, kTrace); }
// A slice hands the event loop back once more than this has passed.
const qint64 kSliceMs = 20;
}  // namespace

ObjectCacheUmbo::ObjectCacheUmbo(const orva::SharedPointer<DataAdapterUmbo>& adapter)
    : QObject(nullptr), m_adapter(adapter), m_timer(new QTimer), m_last_slice_loaded(0) {
  trace("ObjectCacheUmbo::ObjectCacheUmbo");
  if (m_adapter.is_valid()) m_repository = m_adapter->repository();
  if (!m_repository.is_valid()) {
    delete m_timer;
    m_timer = nullptr;
    throw ErrorCode(ORVA_ERROR_OUT_OF_MEMORY);
  }
  connect(m_timer, &QTimer::timeout, this, &ObjectCacheUmbo::slotTimeout);
  m_timer->setSingleShot(true);
}

ObjectCacheUmbo::~ObjectCacheUmbo() {
  if (m_timer) m_timer->disconnect(this);
  reset();
  delete m_timer;
  m_timer = nullptr;
  m_repository.release();
  m_adapter.release();
}

void ObjectCacheUmbo::startIdleCallback() {
  if (m_timer) m_timer->start(0);
}

void ObjectCacheUmbo::stopIdleCallback() {
  if (m_timer) m_timer->stop();
}

void ObjectCacheUmbo::reset() {
  stopIdleCallback();
  ObjectCache::reset();
}

void ObjectCacheUmbo::load() {
  trace("ObjectCacheUmbo::load");
  startIdleCallback();
}

void ObjectCacheUmbo::cancel() {
  trace("ObjectCacheUmbo::cancel");
  stopIdleCallback();
}

void ObjectCacheUmbo::reload(unsigned int local_id) {
  trace("ObjectCacheUmbo::reload");
  append_pending(local_id);
  startIdleCallback();
}

void ObjectCacheUmbo::reload_all() {
  trace("ObjectCacheUmbo::reload_all");
  std::vector<unsigned int> ids;
  try {
    get_object_ids(ids);
  } catch (...) {
    ids.clear();
  }
  for (unsigned int id : ids) append_pending(id);
  startIdleCallback();
}

ErrorCode ObjectCacheUmbo::startNextStep() {
  LoggerUmbo::logf(kTrace, "ObjectCacheUmbo::startNextStep, items in queue: %d",
                   static_cast<int>(pending_count()));
  const qint64 began = QDateTime::currentMSecsSinceEpoch();
  m_last_slice_loaded = 0;
  for (;;) {
    if (pending_count() == 0) {
      stopIdleCallback();
      return ORVA_ERROR_NONE;
    }
    ErrorCode code = ORVA_ERROR_NONE;
    orva::SharedPointer<Object> object;
    try {
      object = orva::SharedPointer<Object>(new Object());
      code = m_repository->get_object(first_pending(), *object);
    } catch (const std::bad_alloc&) {
      code = ORVA_ERROR_OUT_OF_MEMORY;
    } catch (...) {
      code = ORVA_ERROR_UNKNOWN;
    }
    if (code != ORVA_ERROR_NONE) return code;
    code = add_object_to_cache(object);
    if (code != ORVA_ERROR_NONE) return code;
    drop_first_pending();
    ++m_last_slice_loaded;
    if (QDateTime::currentMSecsSinceEpoch() - began > kSliceMs) {
      if (pending_count() != 0) {
        startIdleCallback();
        return ORVA_ERROR_KELDRA_IN_PROGRESS;
      }
      stopIdleCallback();
      return ORVA_ERROR_NONE;
    }
  }
}

void ObjectCacheUmbo::slotTimeout() {
  trace("ObjectCacheUmbo::slotTimeout");
  const ErrorCode status = startNextStep();
  // A slice cut short by time ends well; it reports how far loading has come.
  const ErrorCode slice = status == ORVA_ERROR_KELDRA_IN_PROGRESS ? ORVA_ERROR_NONE : status;
  LoggerUmbo::logf(kTrace, "ObjectCacheUmbo::startNextStep: status: %d", static_cast<int>(slice));
  switch (status) {
    case ORVA_ERROR_KELDRA_DATABASE_BUSY:
      // The same id again at the next turn of the event loop.
      startIdleCallback();
      return;
    case ORVA_ERROR_NOT_FOUND:
      drop_first_pending();
      startIdleCallback();
      return;
    default:
      break;
  }
  if (status != ORVA_ERROR_KELDRA_IN_PROGRESS && status != ORVA_ERROR_NONE) stopIdleCallback();
  // Reported last: the listener may destroy the cache.
  inform_progress_listener(status);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
