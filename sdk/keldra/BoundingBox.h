// BoundingBox: the view of an attribute of class "box", the geographic extent of an
// object: a latitude/longitude rectangle, an altitude range and a coordinate datum.
//
// Fields: "minlat", "maxlat", "minlong", "maxlong" (double, degrees), "minalt",
// "maxalt" (float, metres), "datum" (int32, CoordinateDatum). A new box has no fields;
// absent edges and altitudes read as NaN, an absent datum as WGS 84 (0). The local
// store keeps these fields by name in its box table.
//
// Results: setters 0, or 2 when the attribute cannot be created (a child view whose
// parent does not create it); set_rect and extend stop at the first failing write
// (the fields written before it stay written); extend refuses a location that is not
// valid with 3. Getters never create anything.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/CoordinateDatum.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

#include <tervo/GeoRect.h>

namespace orva {
class Location;

namespace keldra {

// Name table of BoundingBox.
class BoundingBoxStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle box;  // the class
  StringPool::StringHandle minlat;
  StringPool::StringHandle maxlat;
  StringPool::StringHandle minlong;
  StringPool::StringHandle maxlong;
  StringPool::StringHandle minalt;
  StringPool::StringHandle maxalt;
  StringPool::StringHandle datum;
};

class BoundingBox : public AttributeHandle {
 public:
  // Unbound root view.
  BoundingBox();
  // A root view over a new attribute holding a deep copy of |other|; unbound when
  // |other| is.
  BoundingBox(const BoundingBox& other);
  // Copies |other|'s content into this view's own attribute (created when needed).
  BoundingBox& operator=(const BoundingBox& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Creates; stores the four edges of a valid rectangle (north = top-left latitude,
  // south = bottom-right latitude, west = top-left longitude, east = bottom-right
  // longitude), or NaN in all four for a rectangle that is not valid. Altitudes and
  // datum are not touched. 0, or 2.
  ErrorCode set_rect(const orva::GeoRect& rect);
  // The default rectangle when unbound; otherwise the stored edges (NaN when absent)
  // as corners whose altitudes are 1073741824.0 (none).
  orva::GeoRect get_rect() const;

  // Grows the box to take in the location's coordinates: an empty (not valid) box
  // becomes the point itself; otherwise each edge the point lies beyond moves out to
  // it (longitudes as plain numbers: never across the 180th meridian). Then the
  // altitude range takes in the altitude; an altitude without value (1073741824.0) or
  // not finite leaves the range as it is, and a stored bound that is not finite or
  // holds that marker counts as no bound. 0, 2, or 3 for a location that is not valid
  // (nothing is written).
  ErrorCode extend(const orva::Location& location);

  // Creates; stores "minalt" or "maxalt". 0, or 2.
  ErrorCode set_min_altitude(float altitude);
  ErrorCode set_max_altitude(float altitude);
  // NaN when unbound, absent or not a float.
  float get_min_altitude() const;
  float get_max_altitude() const;

  // Creates; stores "datum". 0, or 2.
  ErrorCode set_datum(CoordinateDatum datum);
  // WGS 84 (0) when unbound, absent or not an int32.
  CoordinateDatum get_datum() const;

 private:
  BoundingBoxStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
