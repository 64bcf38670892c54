// The "Store" element: the local store of service "personal" for QML. It initialises
// the store, reads objects by id or link, adds, updates and removes them, searches with
// results loaded page by page as object elements of their class (location, route,
// collection, else generic), and passes every change event of the store on as
// storeEvent.
//
// Made in QML it opens a store of its own; made by the factory element it works over the
// factory's store. Elements of one factory share the store's one search object, so one
// of them searches at a time; each keeps the ids its own last search found and pages
// through those, whatever another element searches meanwhile. The
// library calls it back as progress handler (initialisation, search, result pages) and
// as the thread's change observer (only the element registered last hears events).
//
// Results: synchronous operations give null or false on any library failure; the
// asynchronous ones report progressChanged(progress, library code) and then initDone()
// or searchDone(). getStatus() is the OpStatus of the last report.
//
// Paging: every found id is offered to one page only, in order. An object removed before
// its page loads is passed over, and the page takes the next ids in its place, so a page
// holds its size unless the results run out; hasMoreResults() is true while some found
// id has not been offered yet (an empty last page is then possible only when the
// remaining objects were all removed).
//
// Choices of this implementation: a null sorting element searches unsorted; searchMore
// before any search loads an empty page and ends with searchDone(); an element whose
// store could not be opened (or gave no cache) reports (0, 1) and initDone()/searchDone()
// at once from init/search/searchMore, and its other operations give null or false;
// removeObject with a link that holds only a global id removes the stored object with
// that global id (false when there is none; local id 0 is never removed); a search
// while another element's search runs on the shared search object is refused with 7
// by the element itself, from the event loop, as the library would.
//
// Lifetime: the initialisation and the search report through a guard that outlives the
// element; on destruction the element unsets itself as change observer (only itself) and
// as its cache's listener and cancels its running search or page load, so no report
// reaches it afterwards.
//
// Thread: the QML engine's thread, which runs the event loop the library reports from.
#pragma once

#include "ElementMacros.h"
#include "GenericObjectImpl.h"
#include "ObjectLinkImpl.h"
#include "SearchCriteriaImpl.h"
#include "SearchSortingImpl.h"

#include <QList>
#include <QPointer>
#include <QObject>
#include <QString>

#include <keldra/Object.h>
#include <keldra/ObjectCache.h>
#include <keldra/ProgressHandler.h>
#include <keldra/RepositoryObserver.h>
#include <keldra/Search.h>
#include <keldra/SharedPointer.h>
#include <keldra/Store.h>

#include <vector>

namespace keldra {
namespace qtplugin {

class ReportGuard;

class StoreImpl : public QObject,
                  public orva::keldra::ProgressHandler,
                  public orva::keldra::RepositoryObserver {
  Q_OBJECT

 public:
  // The library's change event types, passed on unchanged.
  enum EventTypes {
    NOTHING = 0,
    OBJECT_CREATED = 1,
    OBJECT_UPDATED = 2,
    OBJECT_REMOVED = 3,
    DISCONNECTED = 4,
    SYNC_STARTED = 5,
    SYNC_STOPPED = 6
  };
  Q_ENUM(EventTypes)

 private:
  Q_PROPERTY(QList<QObject*> allResults READ getAllSearchResults NOTIFY allResultsChanged)
  Q_PROPERTY(QList<QObject*> lastResults READ getLastSearchResults NOTIFY lastResultsChanged)
  KELDRA_QML_CONSTANT(EventTypes, NOTHING)
  KELDRA_QML_CONSTANT(EventTypes, OBJECT_CREATED)
  KELDRA_QML_CONSTANT(EventTypes, OBJECT_UPDATED)
  KELDRA_QML_CONSTANT(EventTypes, OBJECT_REMOVED)
  KELDRA_QML_CONSTANT(EventTypes, DISCONNECTED)
  KELDRA_QML_CONSTANT(EventTypes, SYNC_STARTED)
  KELDRA_QML_CONSTANT(EventTypes, SYNC_STOPPED)

 public:
  // Opens a store of its own.
  explicit StoreImpl(QObject* parent = nullptr);
  // Over |store| (not empty), shared with its other holders.
  StoreImpl(const orva::SharedPointer<orva::keldra::Store>& store, QObject* parent);
  ~StoreImpl() override;

  // Starts the store's initialisation; only when idle.
  Q_INVOKABLE void init();
  // New elements (children of this one) for stored objects; null when not found.
  Q_INVOKABLE keldra::qtplugin::GenericObjectImpl* getObjectById(quint32 id);
  Q_INVOKABLE keldra::qtplugin::GenericObjectImpl* getObject(keldra::qtplugin::ObjectLinkImpl* id);
  Q_INVOKABLE QList<QObject*> getObjects(QList<QObject*> links);
  // A link (child of |obj|) to the newly stored object, or null.
  Q_INVOKABLE keldra::qtplugin::ObjectLinkImpl* addObject(keldra::qtplugin::GenericObjectImpl* obj);
  Q_INVOKABLE bool updateObject(keldra::qtplugin::GenericObjectImpl* obj);
  Q_INVOKABLE bool removeObject(keldra::qtplugin::ObjectLinkImpl* id, bool soft = false);
  Q_INVOKABLE bool removeObjectById(quint32 id, bool soft = false);
  Q_INVOKABLE keldra::qtplugin::SearchCriteriaImpl* createCriteria();
  Q_INVOKABLE keldra::qtplugin::SearchSortingImpl* createSorting();
  // The first page loads |max| results, all when |max| <= 0; only when idle.
  Q_INVOKABLE void search(keldra::qtplugin::SearchCriteriaImpl* criteria,
                          keldra::qtplugin::SearchSortingImpl* sort, qint32 max);
  // The next page of up to |max| results (all remaining when |max| <= 0); only when idle.
  Q_INVOKABLE void searchMore(qint32 max);
  Q_INVOKABLE bool hasMoreResults();
  // New elements on every call (children of this one).
  Q_INVOKABLE QList<QObject*> getAllSearchResults();
  Q_INVOKABLE QList<QObject*> getAllSearchResultsByClass(QString className);
  Q_INVOKABLE QList<QObject*> getLastSearchResults();
  Q_INVOKABLE QList<QObject*> getLastSearchResultsByClass(QString className);
  Q_INVOKABLE qint32 getStatus() const;
  Q_INVOKABLE qint32 getProgress() const;
  // Stops a running search or page load, without a signal.
  Q_INVOKABLE void cancel();

  // An element of the object's class over |object|, child of this element.
  GenericObjectImpl* objectByClassName(orva::SharedPointer<orva::keldra::Object>& object);

  void handle_progress(float progress, orva::ErrorCode status) override;
  void handle_repository_event(const std::vector<orva::keldra::RepositoryEvent>& events) override;

 signals:
  void lastResultsChanged();
  void allResultsChanged();
  void initDone();
  void progressChanged(float progress, int status);
  void searchDone();
  void storeEvent(int eventType, QObject* link);

 private:
  enum State { IDLE = 0, INITIALISING = 1, SEARCHING = 2, LOADING = 3 };

  void takeCache();
  // Starts loading the next page of up to |max| results (all when |max| <= 0).
  void loadMoreResults(int max);
  // Hands the cache the next ids not yet offered, up to |max| (all when <= 0), without
  // dropping what the page loaded; how many.
  int offerResults(int max);
  // After the page loaded: when objects removed meanwhile left it below its size while
  // ids remain, offers the next ones and loads again. Whether it did.
  bool topUpPage();
  QList<QObject*> getLastResults(const QString& className);
  QList<QObject*> getResultsArray(std::vector<orva::SharedPointer<orva::keldra::Object>> objects,
                                  const QString& className);
  // Reports (0, 1) and the end of the operation at once: the element has no store.
  void reportNoStore(State operation);

  orva::SharedPointer<orva::keldra::Store> m_store;
  orva::SharedPointer<orva::keldra::Search> m_search;
  orva::SharedPointer<orva::keldra::ObjectCache> m_cache;
  std::vector<orva::SharedPointer<orva::keldra::Object>> m_earlierPages;
  float m_progress;
  int m_state;
  int m_pageSize;
  int m_pageMax;  // the size of the page being loaded (0 or less: all results)
  // The local ids this element's last search found, in order: the search object is
  // shared, and another element's search replaces what it holds.
  std::vector<unsigned int> m_foundIds;
  int m_nextIndex;  // the first of the found ids not yet offered to a page
  int m_status;
  ReportGuard* m_guard;  // owns itself; released in the destructor
};

}  // namespace qtplugin
}  // namespace keldra
