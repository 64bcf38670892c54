#include "StoreImpl.h"

#include "CollectionObjectImpl.h"
#include "KeldraImpl.h"
#include "LocationObjectImpl.h"
#include "QmlText.h"
#include "ReportGuard.h"
#include "RouteObjectImpl.h"

#include <QTimer>

#include <keldra/Criterion.h>
#include <keldra/ErrorCode.h>
#include <keldra/Link.h>
#include <keldra/LoggerUmbo.h>

namespace keldra {
namespace qtplugin {

using orva::SharedPointer;
using orva::keldra::Object;
using orva::keldra::RepositoryEvent;
using orva::keldra::Search;
using orva::keldra::Store;
using orva::keldra::internal::LoggerUmbo;

namespace {

void trace(const char* text) { LoggerUmbo::log(text, LoggerUmbo::MSG_TRACE); }

}  // namespace

StoreImpl::StoreImpl(QObject* parent)
    : QObject(parent),
      m_progress(0.0f),
      m_state(IDLE),
      m_pageSize(-1),
      m_pageMax(-1),
      m_nextIndex(0),
      m_status(KeldraImpl::STATUS_OK),
      m_guard(new ReportGuard(*this)) {
  trace("QmlPlugin: StoreImpl::StoreImpl() 1");
  Store::open(m_store);
  takeCache();
}

StoreImpl::StoreImpl(const SharedPointer<Store>& store, QObject* parent)
    : QObject(parent),
      m_store(store),
      m_progress(0.0f),
      m_state(IDLE),
      m_pageSize(-1),
      m_pageMax(-1),
      m_nextIndex(0),
      m_status(KeldraImpl::STATUS_OK),
      m_guard(new ReportGuard(*this)) {
  trace("QmlPlugin: StoreImpl::StoreImpl() 2");
  takeCache();
}

void StoreImpl::takeCache() {
  if (m_store.is_valid()) m_cache = m_store->get_object_cache();
  if (!m_cache.is_valid()) {
    // Without a cache the element cannot page results: it holds no usable store.
    m_store.release();
    return;
  }
  m_cache->set_progress_listener(*this);
  m_store->set_event_listener(*this);
}

StoreImpl::~StoreImpl() {
  trace("QmlPlugin: StoreImpl::~StoreImpl()");
  if (m_store.is_valid()) m_store->unset_event_listener(*this);
  if (m_cache.is_valid()) {
    m_cache->unset_progress_listener();
    m_cache->cancel();
  }
  if (m_state == SEARCHING && m_search.is_valid()) m_search->cancel();
  // The search's and the initialisation's last reports go to the guard, which drops them.
  m_guard->release();
  m_guard = nullptr;
  m_earlierPages.clear();
  m_cache.release();
  m_search.release();
  m_store.release();
}

void StoreImpl::reportNoStore(State operation) {
  m_status = KeldraImpl::errorCodeToStatus(ORVA_ERROR_UNKNOWN);
  m_progress = 0.0f;
  emit progressChanged(m_progress, ORVA_ERROR_UNKNOWN);
  if (operation == INITIALISING) {
    emit initDone();
  } else {
    emit searchDone();
  }
}

void StoreImpl::init() {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "QmlPlugin: StoreImpl::init, state: %d", m_state);
  if (m_state != IDLE) return;
  if (!m_store.is_valid()) {
    reportNoStore(INITIALISING);
    return;
  }
  m_state = INITIALISING;
  m_guard->expect(m_store, SharedPointer<Search>());
  m_store->init(*m_guard);
}

GenericObjectImpl* StoreImpl::getObjectById(quint32 id) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "QmlPlugin: StoreImpl::getObjectById, id %d",
                   static_cast<int>(id));
  if (id == 0 || !m_store.is_valid()) return nullptr;
  SharedPointer<Object> object(new Object());
  if (m_store->get_object(id, *object) != ORVA_ERROR_NONE) return nullptr;
  return objectByClassName(object);
}

GenericObjectImpl* StoreImpl::getObject(ObjectLinkImpl* id) {
  trace("QmlPlugin: StoreImpl::getObject");
  if (!id) {
    trace("QmlPlugin: StoreImpl::getObject, ObjectLink is null");
    return nullptr;
  }
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "QmlPlugin: Getting object %d",
                   static_cast<int>(id->getTargetLID()));
  if (!m_store.is_valid()) return nullptr;
  const orva::keldra::Link link = id->link();
  SharedPointer<Object> object(new Object());
  orva::ErrorCode result;
  if (link.get_global_link() != 0) {
    result = m_store->get_global_object(link.get_global_link(), *object);
  } else if (link.get_local_link() != 0) {
    result = m_store->get_object(link.get_local_link(), *object);
  } else {
    return nullptr;
  }
  if (result != ORVA_ERROR_NONE) return nullptr;
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "QmlPlugin: Returning object %d",
                   static_cast<int>(object->get_local_id()));
  return objectByClassName(object);
}

QList<QObject*> StoreImpl::getObjects(QList<QObject*> links) {
  trace("QmlPlugin: StoreImpl::getObjects");
  QList<QObject*> objects;
  for (QObject* entry : links) {
    ObjectLinkImpl* link = qobject_cast<ObjectLinkImpl*>(entry);
    if (!link) continue;
    GenericObjectImpl* object = getObject(link);
    if (object) objects.append(object);
  }
  return objects;
}

ObjectLinkImpl* StoreImpl::addObject(GenericObjectImpl* obj) {
  trace("QmlPlugin: StoreImpl::addObject");
  if (!obj) {
    trace("QmlPlugin: StoreImpl::addObject, GenericObject is null");
    return nullptr;
  }
  SharedPointer<Object> object = obj->objectPtr();
  if (!object.is_valid() || !m_store.is_valid()) return nullptr;
  if (m_store->insert_object(*object) != ORVA_ERROR_NONE) return nullptr;
  return obj->createLink();
}

bool StoreImpl::updateObject(GenericObjectImpl* obj) {
  trace("QmlPlugin: StoreImpl::updateObject");
  if (!obj) {
    trace("QmlPlugin: StoreImpl::updateObject, GenericObject is null");
    return false;
  }
  SharedPointer<Object> object = obj->objectPtr();
  if (!object.is_valid() || !m_store.is_valid()) return false;
  return m_store->update_object(*object) == ORVA_ERROR_NONE;
}

bool StoreImpl::removeObject(ObjectLinkImpl* id, bool soft) {
  trace("QmlPlugin: StoreImpl::removeObject");
  if (!id) {
    trace("QmlPlugin: StoreImpl::removeObject, ObjectLink is null");
    return false;
  }
  if (!m_store.is_valid()) return false;
  unsigned int lid = id->link().get_local_link();
  // A link known only by its global id names the object with that global id, not the
  // (non-existent) object 0, whose removal the library would confirm.
  if (lid == 0 && id->link().get_global_link() != 0) {
    lid = m_store->get_object_local_id(id->link().get_global_link());
  }
  if (lid == 0) return false;
  const orva::ErrorCode result =
      soft ? m_store->soft_delete_object(lid) : m_store->remove_object(lid);
  return result == ORVA_ERROR_NONE;
}

bool StoreImpl::removeObjectById(quint32 id, bool soft) {
  trace("QmlPlugin: StoreImpl::removeObjectById()");
  if (!m_store.is_valid() || id == 0) return false;
  const orva::ErrorCode result =
      soft ? m_store->soft_delete_object(id) : m_store->remove_object(id);
  return result == ORVA_ERROR_NONE;
}

SearchCriteriaImpl* StoreImpl::createCriteria() {
  trace("QmlPlugin: StoreImpl::createCriteria");
  return new SearchCriteriaImpl(this);
}

SearchSortingImpl* StoreImpl::createSorting() {
  trace("QmlPlugin: StoreImpl::createSorting");
  return new SearchSortingImpl(this);
}

void StoreImpl::search(SearchCriteriaImpl* criteria, SearchSortingImpl* sort, qint32 max) {
  trace("QmlPlugin: StoreImpl::search");
  if (m_state != IDLE) {
    trace("QmlPlugin: StoreImpl::search, Another operation is in progress");
    return;
  }
  if (!criteria) {
    trace("QmlPlugin: StoreImpl::search, criteria is null");
    return;
  }
  if (m_store.is_valid() && !m_search.is_valid()) m_search = m_store->get_searcher();
  if (!m_search.is_valid()) {
    reportNoStore(SEARCHING);
    return;
  }
  Search::SortPref pref;
  pref.order = Search::SortPref::ORDER_NONE;
  pref.key = Search::SortPref::KEY_NONE;
  if (sort) pref = sort->sortPref();
  CriterionPtr criterion = criteria->buildCriteria();

  m_pageSize = max;
  m_state = SEARCHING;
  m_cache->reset();
  m_earlierPages.clear();
  m_foundIds.clear();
  m_nextIndex = 0;
  if (m_search->is_active()) {
    // Another element's search runs on the shared search object: the library would
    // refuse with 7 from a reporter it shares among refused callers, which drops the
    // pending report of one caller when the next is refused. Refuse here, the same way:
    // from the event loop, and never after this element is gone.
    QTimer::singleShot(0, this, [this] { handle_progress(0.0f, ORVA_ERROR_NOT_READY); });
    return;
  }
  m_guard->expect(SharedPointer<Store>(), m_search);
  m_search->start(*criterion, pref, *m_guard);
}

void StoreImpl::handle_progress(float progress, orva::ErrorCode status) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "QmlPlugin: StoreImpl::handle_progress: progress %5.2f status %d",
                   static_cast<double>(progress), static_cast<int>(status));
  m_status = KeldraImpl::errorCodeToStatus(status);
  const bool running = status == ORVA_ERROR_KELDRA_IN_PROGRESS;
  // A receiver may delete this element from a signal: nothing is touched after that.
  QPointer<StoreImpl> alive(this);
  switch (m_state) {
    case INITIALISING:
      m_progress = progress;
      emit progressChanged(m_progress, status);
      if (!alive || running) break;
      m_state = IDLE;
      emit initDone();
      break;
    case SEARCHING:
      m_progress = progress * 0.5f;
      // The ids are taken before any signal: the search object is shared and no longer
      // active, so a receiver may start another element's search on it, which clears them.
      if (status == ORVA_ERROR_NONE && m_search.is_valid()) m_foundIds = m_search->get_results();
      emit progressChanged(m_progress, status);
      if (!alive || running) break;
      if (status == ORVA_ERROR_NONE) {
        loadMoreResults(m_pageSize);
      } else {
        m_state = IDLE;
        emit searchDone();
      }
      break;
    case LOADING:
      m_progress = 0.5f + progress * 0.5f;
      if (status == ORVA_ERROR_NONE && topUpPage()) {
        // Objects removed before their page loaded left it short: it goes on with the
        // next ids, so the page is still running.
        m_status = KeldraImpl::errorCodeToStatus(ORVA_ERROR_KELDRA_IN_PROGRESS);
        emit progressChanged(m_progress, ORVA_ERROR_KELDRA_IN_PROGRESS);
        break;
      }
      emit progressChanged(m_progress, status);
      if (!alive || running) break;
      m_state = IDLE;
      emit searchDone();
      break;
    default:
      break;
  }
}

void StoreImpl::loadMoreResults(int max) {
  trace("QmlPlugin: StoreImpl::loadMoreResults");
  m_pageMax = max;
  offerResults(max);
  m_state = LOADING;
  m_cache->load();
}

int StoreImpl::offerResults(int max) {
  const std::vector<unsigned int>& ids = m_foundIds;
  const int n = static_cast<int>(ids.size());
  if (m_nextIndex >= n) return 0;
  int count = n - m_nextIndex;
  if (max > 0 && max < count) count = max;
  // Added to the page's pending ids: objects of the page loaded already stay.
  for (int i = m_nextIndex; i < m_nextIndex + count; ++i) m_cache->add_object(ids[i]);
  m_nextIndex += count;
  return count;
}

bool StoreImpl::topUpPage() {
  if (m_pageMax <= 0) return false;
  const int loaded = static_cast<int>(m_cache->get_objects_count());
  if (loaded >= m_pageMax || offerResults(m_pageMax - loaded) == 0) return false;
  m_cache->load();
  return true;
}

void StoreImpl::searchMore(qint32 max) {
  trace("QmlPlugin: StoreImpl::searchMore");
  if (m_state != IDLE) {
    trace("QmlPlugin: StoreImpl::searchMore, Another operation is in progress");
    return;
  }
  if (!m_cache.is_valid()) {
    reportNoStore(LOADING);
    return;
  }
  std::vector<SharedPointer<Object>> page;
  m_cache->get_objects(page);
  m_earlierPages.insert(m_earlierPages.end(), page.begin(), page.end());
  m_cache->reset();
  loadMoreResults(max);
}

bool StoreImpl::hasMoreResults() {
  trace("QmlPlugin: StoreImpl::hasMoreResults");
  if (!m_cache.is_valid()) return false;
  // Every id offered to a page counts, loaded or not: one removed before its page loaded
  // is passed over, never waited for.
  return static_cast<size_t>(m_nextIndex) < m_foundIds.size();
}

QList<QObject*> StoreImpl::getAllSearchResults() {
  trace("QmlPlugin: StoreImpl::getAllSearchResults");
  std::vector<SharedPointer<Object>> objects = m_earlierPages;
  if (m_cache.is_valid()) {
    std::vector<SharedPointer<Object>> page;
    m_cache->get_objects(page);
    objects.insert(objects.end(), page.begin(), page.end());
  }
  return getResultsArray(std::move(objects), QString());
}

QList<QObject*> StoreImpl::getAllSearchResultsByClass(QString className) {
  trace("QmlPlugin: StoreImpl::getAllSearchResultsByClass");
  std::vector<SharedPointer<Object>> objects = m_earlierPages;
  if (m_cache.is_valid()) {
    std::vector<SharedPointer<Object>> page;
    m_cache->get_objects(page);
    objects.insert(objects.end(), page.begin(), page.end());
  }
  return getResultsArray(std::move(objects), className);
}

QList<QObject*> StoreImpl::getLastSearchResults() {
  trace("QmlPlugin: StoreImpl::getLastSearchResults");
  return getLastResults(QString());
}

QList<QObject*> StoreImpl::getLastSearchResultsByClass(QString className) {
  trace("QmlPlugin: StoreImpl::getLastSearchResultsByClass");
  return getLastResults(className);
}

QList<QObject*> StoreImpl::getLastResults(const QString& className) {
  trace("QmlPlugin: StoreImpl::getLastResults");
  std::vector<SharedPointer<Object>> page;
  if (m_cache.is_valid()) m_cache->get_objects(page);
  return getResultsArray(std::move(page), className);
}

QList<QObject*> StoreImpl::getResultsArray(std::vector<SharedPointer<Object>> objects,
                                           const QString& className) {
  trace("QmlPlugin: StoreImpl::getResultsArray");
  const std::string wanted = toIdentifier(className);
  QList<QObject*> list;
  for (SharedPointer<Object>& object : objects) {
    if (!object.is_valid()) continue;
    if (!className.isEmpty() && object->get_class_name() != wanted) continue;
    list.append(objectByClassName(object));
  }
  return list;
}

GenericObjectImpl* StoreImpl::objectByClassName(SharedPointer<Object>& object) {
  trace("QmlPlugin: StoreImpl::objectByClassName");
  const std::string className = object->get_class_name();
  if (className == "location") return new LocationObjectImpl(object, this);
  if (className == "route") return new RouteObjectImpl(object, this);
  if (className == "collection") return new CollectionObjectImpl(object, this);
  return new GenericObjectImpl(object, this);
}

qint32 StoreImpl::getStatus() const { return m_status; }

qint32 StoreImpl::getProgress() const { return static_cast<qint32>(m_progress * 100.0f); }

void StoreImpl::cancel() {
  trace("QmlPlugin: StoreImpl::cancel");
  if (m_state == SEARCHING) {
    if (m_search.is_valid()) m_search->cancel();
  } else if (m_state == LOADING) {
    if (m_cache.is_valid()) m_cache->cancel();
  } else {
    return;
  }
  m_state = IDLE;
}

void StoreImpl::handle_repository_event(const std::vector<RepositoryEvent>& events) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "QmlPlugin: StoreImpl::handle_repository_event: num of events %d",
                   static_cast<int>(events.size()));
  // A handler may destroy this element: stop at once when it did.
  QPointer<StoreImpl> alive(this);
  for (const RepositoryEvent& event : events) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "QmlPlugin: StoreImpl::handle_repository_event: type %d, lid %d", event.type,
                     event.local_id);
    ObjectLinkImpl* link = nullptr;
    if (event.local_id != 0) {
      orva::keldra::Link target;
      target.set_local_link(static_cast<unsigned int>(event.local_id));
      link = new ObjectLinkImpl(target, this);
    }
    emit storeEvent(event.type, link);
    if (!alive) return;
  }
}

}  // namespace qtplugin
}  // namespace keldra
