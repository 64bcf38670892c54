// The object cache of the store: loads the pending ids through a repository of its own
// in slices of a little over 20 ms, stepped by a single-shot zero-interval QTimer on the
// creating thread's Qt event loop (see ObjectCache for the lists, the order and the
// reports).
//
// A slice reads one object after the other (whole, never as a header) and inserts each
// at its place in the order; once more than 20 ms have passed it rearms the timer and
// reports (fraction, 0x6001) when ids are still pending, or (1.0, 0) when none are. A
// busy or locked database (0x6007) leaves the id first in the queue and tries again at
// the next turn, without a report; a missing object (8) is dropped and loading goes on;
// any other failure stops loading and is reported with the current fraction.
//
// Construction throws orva::ErrorCode 2 when the adapter gives no repository; the
// repository turns that into an empty pointer. Holds the adapter and its repository
// alive. Thread: the creating thread only.
#pragma once

#include <keldra/ObjectCache.h>
#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>

#include <QObject>

class QTimer;

namespace orva {
namespace keldra {
namespace internal {

class DataAdapterUmbo;

class ObjectCacheUmbo : public QObject, public ObjectCache {
  Q_OBJECT

 public:
  explicit ObjectCacheUmbo(const orva::SharedPointer<DataAdapterUmbo>& adapter);
  ~ObjectCacheUmbo() override;

  void reset() override;
  void load() override;
  void reload(unsigned int local_id) override;
  void reload_all() override;
  void cancel() override;

  // How many objects the last completed slice loaded (for measurements).
  unsigned int last_slice_loaded() const { return m_last_slice_loaded; }

 public slots:
  void slotTimeout();

 private:
  ObjectCacheUmbo(const ObjectCacheUmbo&) = delete;
  ObjectCacheUmbo& operator=(const ObjectCacheUmbo&) = delete;

  void startIdleCallback();
  void stopIdleCallback();
  // One slice; its status.
  ErrorCode startNextStep();

  orva::SharedPointer<DataAdapterUmbo> m_adapter;
  orva::SharedPointer<Repository> m_repository;
  QTimer* m_timer;
  unsigned int m_last_slice_loaded;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
