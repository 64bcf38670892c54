// MapsLocationProperties: the view of an attribute of class
// "maps_location_properties", the maps application's properties of a place: its
// version text ("app_version"), the map content version ("map_version", unsigned
// 32-bit) and the base point of interest, kept as a place id ("place_id", text) with
// the number that goes with it ("place_url_id", unsigned 32-bit).
//
// Results: setters 0, or 2 when the attribute or the field cannot be created (a child
// view whose parent does not create it); set_base_poi is not supported (4). Getters
// never create anything and read the first field of the name.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

namespace orva {
class ustring;

namespace keldra {

// Name table of MapsLocationProperties.
class MapsLocationPropertiesStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle maps_location_properties;  // the class
  StringPool::StringHandle app_version;
  StringPool::StringHandle map_version;
  StringPool::StringHandle place_id;
  StringPool::StringHandle place_url_id;
};

class MapsLocationProperties : public AttributeHandle {
 public:
  // Version of the map content, four parts from first to last. Stored as one
  // unsigned 32-bit number with the first part in its lowest byte.
  struct MapContentVersion {
    unsigned char parts[4] = {0, 0, 0, 0};
  };

  // Unbound root view.
  MapsLocationProperties();
  // A root view over a new attribute holding a deep copy of |other|; unbound when
  // |other| is.
  MapsLocationProperties(const MapsLocationProperties& other);
  // Copies |other|'s content into this view's own attribute (created when needed).
  MapsLocationProperties& operator=(const MapsLocationProperties& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Creates; "app_version". 0, or 2.
  ErrorCode set_maps_app_version(const orva::ustring& version);
  // False, |version| untouched, when unbound or absent; otherwise true and the text
  // (|version| untouched when the field holds no text).
  bool get_maps_app_version(orva::ustring& version) const;

  // Creates; "place_id". 0, or 2.
  ErrorCode set_place_id(orva::ustring place_id);
  // As get_maps_app_version, for "place_id".
  bool get_place_id(orva::ustring& place_id) const;

  // Creates; "map_version". 0, or 2.
  ErrorCode set_map_content_version(const MapContentVersion& version);
  // False, |version| untouched, when unbound or absent; otherwise true and the
  // version (all parts 0 when the field does not hold an unsigned 32-bit number).
  bool get_map_content_version(MapContentVersion& version) const;

  // Creates; "place_url_id". 0, or 2.
  ErrorCode set_place_url_id(unsigned int id);
  // 0 when unbound, absent or of another type.
  unsigned int get_place_url_id() const;

  // The base point of interest is kept as place id and place URL id: this stores
  // nothing and returns 4; get_base_poi is always 0.
  ErrorCode set_base_poi(unsigned long long poi);
  unsigned long long get_base_poi() const;

 private:
  MapsLocationPropertiesStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
