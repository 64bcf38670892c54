// ObjectCache: the whole objects of a chosen set of local ids, for a list in a user
// interface, loaded from the store a few at a time from the thread's event loop.
//
// The caller gives the ids (set_object_ids, add_object, reload, reload_all), starts or
// stops the loading (load, cancel) and reads the loaded objects by index. The loaded
// list holds at most one object per local id (a newer copy replaces an older one) and is
// kept in the order of the order function (arrival order without one). Ids wait in a
// pending queue in request order; the same id may wait more than once.
//
// Progress: the listener (not owned) hears, per load(), any number of
// (fraction, 0x6001) reports, one after each slice that left ids pending, then one
// final report: (1.0, 0) when nothing is pending any more, or (fraction, code) when a
// read failed with anything but "busy" (0x6007, retried at the next turn) or "no such
// object" (8, the id is skipped). The fraction is loaded / (loaded + pending). cancel()
// and reset() end a loading without a report.
//
// Made by Repository::get_object_cache() and Store::get_object_cache() (a new cache on
// every call). Thread: the thread that made it, which runs a Qt event loop; nothing here
// is locked.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/ProgressHandler.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>

#include <deque>
#include <unordered_map>
#include <vector>

namespace orva {
namespace keldra {

class ObjectCache : public orva::internal::RefCountable {
 public:
  // Negative when |a| goes before |b|.
  typedef int (*OrderFunction)(const orva::SharedPointer<Object>& a,
                               const orva::SharedPointer<Object>& b);

  // Larger local ids first, empty pointers last.
  static int id_order(const orva::SharedPointer<Object>& a, const orva::SharedPointer<Object>& b);
  // By the metadata name (case-folded, then as written), empty pointers first.
  static int name_order(const orva::SharedPointer<Object>& a, const orva::SharedPointer<Object>& b);

  ObjectCache();
  ~ObjectCache() override;

  // Recorded only: loading always reads whole objects.
  virtual void set_object_view(unsigned int view);
  // Empties the cache (reset()), then orders by |order| (null: arrival order).
  virtual void set_object_order(OrderFunction order);
  // Pends every id of |ids| that is not loaded, in order, and drops the loaded objects
  // whose id is not in |ids|. 0; 2 out of memory, 1 other failure (then some ids may be
  // pending and nothing was dropped).
  virtual ErrorCode set_object_ids(const std::vector<unsigned int>& ids);
  // Pends the id (also when loaded or pending already); does not start loading.
  virtual ErrorCode add_object(unsigned int local_id);
  // Puts the object in the loaded list, replacing the one with its local id. 3 for an
  // empty pointer.
  virtual ErrorCode add_object(const orva::SharedPointer<Object>& object);
  // Drops the loaded object with this id and the first pending occurrence of it.
  virtual void remove_object(unsigned int local_id);
  // Empties loaded and pending and forgets the order; view and listener stay.
  virtual void reset();

  virtual unsigned int get_objects_count() const;
  // Index in the loaded list, or -1.
  virtual int find_object(unsigned int local_id) const;
  // 0 / empty when |index| is not below the count.
  virtual unsigned int get_object_id_by_index(unsigned int index) const;
  virtual orva::SharedPointer<Object> get_object_by_index(unsigned int index) const;
  // Replaces the content of |out| with the loaded objects, in order.
  virtual void get_objects(std::vector<orva::SharedPointer<Object>>& out) const;
  // Appends the loaded objects' ids, in order, to |out|.
  virtual void get_object_ids(std::vector<unsigned int>& out) const;

  virtual void set_progress_listener(ProgressHandler& listener);
  virtual void unset_progress_listener();

  // Starts (or resumes) loading the pending ids.
  virtual void load() = 0;
  // Pends the id again and starts loading; the loaded copy stays until replaced.
  virtual void reload(unsigned int local_id) = 0;
  // Pends every loaded id, in list order, and starts loading.
  virtual void reload_all() = 0;
  // Stops loading; loaded and pending stay, nothing is reported.
  virtual void cancel() = 0;

  unsigned int get_object_view() const { return m_view; }

 protected:
  // Index of the loaded object with this id, or -1.
  int find_object_in_cache(unsigned int local_id) const;
  // The loaded object with this id, or empty.
  orva::SharedPointer<Object> get_object_from_cache(unsigned int local_id) const;
  void remove_object_from_cache(unsigned int local_id);
  // No effect when |index| is not below the count.
  void remove_object_from_cache_by_index(unsigned int index);
  // Replaces the loaded object with the same id, inserted at its place in the order.
  ErrorCode add_object_to_cache(const orva::SharedPointer<Object>& object);
  // Reports loaded / (loaded + pending) with |code|; (1.0, code) when nothing pends.
  void inform_progress_listener(ErrorCode code);

  size_t pending_count() const { return m_pending.size(); }
  unsigned int first_pending() const { return m_pending.front(); }
  void drop_first_pending() { m_pending.pop_front(); }
  // Appends |local_id| to the pending queue; 2 out of memory, 1 other failure.
  ErrorCode append_pending(unsigned int local_id);

 private:
  ObjectCache(const ObjectCache&) = delete;
  ObjectCache& operator=(const ObjectCache&) = delete;

  void forget(unsigned int index);

  unsigned int m_view;
  ProgressHandler* m_listener;
  OrderFunction m_order;
  std::vector<orva::SharedPointer<Object>> m_loaded;
  std::deque<unsigned int> m_pending;
  // The loaded objects by local id, so that membership and replacement need no scan
  // of the lists.
  std::unordered_map<unsigned int, orva::SharedPointer<Object>> m_by_id;
};

}  // namespace keldra
}  // namespace orva
