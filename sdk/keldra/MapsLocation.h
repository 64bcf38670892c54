// MapsLocation: the storable view of a place as the maps application keeps it: a
// location object (class "location") with the maps application's own section, the
// top-level attribute "maps" of class "custom" (MapsLocationCustomData), whose
// "maps_properties" it shows.
//
// The section is an ordinary attribute: it is stored, loaded, copied and sent with the
// rest of the object. Reading never creates it; the first write through
// maps_properties() appends it.
//
// Results: as StorableLocation and MapsLocationProperties.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/MapsLocationCustomData.h>
#include <keldra/MapsLocationProperties.h>
#include <keldra/StorableLocation.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

// Name table of MapsLocation; "location" is the class.
class MapsLocationStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle location;  // the class
  StringPool::StringHandle maps;
};

class MapsLocation : public StorableLocation {
 public:
  // Unbound view with unbound members.
  MapsLocation();
  // A view over a new object of class "location" holding a deep copy of |other|'s
  // object, the "maps" section included; unbound when |other| is.
  MapsLocation(const MapsLocation& other);
  // Copies |other|'s object into this view's own object (created when needed).
  MapsLocation& operator=(const MapsLocation& other);
  ~MapsLocation() override;

  const StringPool::StringHandle& get_class_name_handle() const override;

  MapsLocationProperties& maps_properties() { return m_custom.maps_properties(); }
  const MapsLocationProperties& maps_properties() const { return m_custom.maps_properties(); }

  // The location's children first, then "maps".
  void attach_child_handles() override;
  void do_init_child_handle(AttributeHandle& child) override;

 private:
  void init_members();

  MapsLocationStrings* m_strings;
  MapsLocationCustomData m_custom;
};

}  // namespace keldra
}  // namespace orva
