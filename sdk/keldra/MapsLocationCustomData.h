// MapsLocationCustomData: the view of the maps application's own section of a place,
// an attribute of class "custom" ("maps" in a MapsLocation). It holds the child
// "maps_properties" (MapsLocationProperties).
//
// Results: as MapsLocationProperties; writes create the section (and what lies above
// it) first.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/MapsLocationProperties.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

// Name table of MapsLocationCustomData.
class MapsLocationCustomDataStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle custom;  // the class
  StringPool::StringHandle maps_properties;
};

class MapsLocationCustomData : public AttributeHandle {
 public:
  // Unbound root view with an unbound "maps_properties" child.
  MapsLocationCustomData();
  // A root view over a new attribute holding a deep copy of |other|; unbound when
  // |other| is.
  MapsLocationCustomData(const MapsLocationCustomData& other);
  // Copies |other|'s content into this view's own attribute (created when needed).
  MapsLocationCustomData& operator=(const MapsLocationCustomData& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  MapsLocationProperties& maps_properties() { return m_properties; }
  const MapsLocationProperties& maps_properties() const { return m_properties; }

  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

 private:
  void init_members();

  MapsLocationCustomDataStrings* m_strings;
  MapsLocationProperties m_properties;
};

}  // namespace keldra
}  // namespace orva
