// LocationProperties: the view of an attribute of class "location_properties",
// further properties of a place. It holds one value: the float field "radius".
//
// Results: set_radius 0, or 2 when the attribute cannot be created (a child view
// whose parent does not create it). get_radius never creates anything.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

// Name table of LocationProperties.
class LocationPropertiesStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle location_properties;  // the class
  StringPool::StringHandle radius;
};

class LocationProperties : public AttributeHandle {
 public:
  // Unbound root view.
  LocationProperties();
  // A root view over a new attribute holding a deep copy of |other|; unbound when
  // |other| is.
  LocationProperties(const LocationProperties& other);
  // Copies |other|'s content into this view's own attribute (created when needed).
  LocationProperties& operator=(const LocationProperties& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Creates; stores "radius". 0, or 2.
  ErrorCode set_radius(float radius);
  // NaN when unbound, absent or not a float.
  float get_radius() const;

 private:
  LocationPropertiesStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
