// An object row: the header of an Object (not owned, may be null), its stored state
// and its three dependency counters.
//
// Stored state (column modified): SYNCED 0, NEW 1, CHANGED 2, 3 sharing changed (a
// synchronised object whose sharing model changed without keeping its state; read
// objects get flag bit 4), NONE 4 (no row read yet; the initial state). When a row is
// read the counters become flags: linkmods > 0 bit 1, updeps > 0 bit 2, downdeps > 0
// bit 3; a state other than 0 sets bit 0.
#pragma once

#include "adaptation_umbo/database/dbitems/DbItem.h"

namespace orva {
namespace keldra {

class Object;

namespace internal {

class DbObject : public DbItem {
 public:
  enum State { SYNCED = 0, NEW = 1, CHANGED = 2, SHARING_CHANGED = 3, NONE = 4 };
  // Stored timestamps up to this value (2011-12-04 11:59:59 UTC in seconds) are in
  // seconds; later ones in milliseconds.
  static const long long LAST_SECONDS_TIMESTAMP = 1322999999LL;

  DbObject();
  explicit DbObject(Object* object);
  DbObject(const DbObject& other);
  DbObject& operator=(const DbObject& other);

  // With an object: LOCAL_ID and PARENT_OBJECT (unless 0), GLOBAL_ID (unless 0), the
  // header columns and MODIFIED <- state; always the three counters. Without an object
  // only the counters (and a warning).
  void bind(Bindable& query) override;
  // The counters and state; with an object also its header (each column only when
  // present), the derived flags, and the object's modified mark cleared.
  void get_result(Gettable& query) override;

  // Sets the object's flag bits 0 to 4 from the state and counters.
  void update_object_flags();
  // True for a no-sync object or a row in state SYNCED.
  bool in_sync() const;
  void log();

  Object* object() const { return m_object; }
  void set_object(Object* object) { m_object = object; }
  int get_state() const { return m_state; }
  void set_state(int state) { m_state = state; }
  int get_updeps() const { return m_updeps; }
  void set_updeps(int n) { m_updeps = n; }
  int get_downdeps() const { return m_downdeps; }
  void set_downdeps(int n) { m_downdeps = n; }
  int get_linkmods() const { return m_linkmods; }
  void set_linkmods(int n) { m_linkmods = n; }

 private:
  Object* m_object;
  int m_updeps;
  int m_downdeps;
  int m_linkmods;
  int m_state;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
