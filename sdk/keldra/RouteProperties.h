// RouteProperties: the view of an attribute of class "route_properties", the settings
// under which a route was planned.
//
// The settings are stored as keyword texts and handed in and out as numbers: "mode"
// (RouteMode) and "type" (RouteType) at most once each, one "option" field per
// avoidance option (RouteOption), kept in the order they were given. "departure" and
// "arrival" hold ISO 8601 date-times (date, time and zone designator, extended or
// basic form); a text that is no such time is never stored or handed out.
//
// Getters report absence (unbound view, missing field, no text, no keyword of the
// table) as 0, false or an empty text, and never create anything. Setters create the
// attribute (through the parent for a child view) and return 0; 2 when the
// attribute or a field cannot be created (nothing is stored then); 3 for a value
// that is no entry of its table (nothing changes).
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

// Name table of RouteProperties.
class RoutePropertiesStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle route_properties;  // the class
  StringPool::StringHandle mode;
  StringPool::StringHandle option;
  StringPool::StringHandle type;
  StringPool::StringHandle departure;
  StringPool::StringHandle arrival;
};

class RouteProperties : public AttributeHandle {
 public:
  // Means of travel. The underlying type is fixed, so any stored or received number
  // may be held; numbers outside the table read as none.
  enum RouteMode : int {
    MODE_NONE = 0,
    MODE_PEDESTRIAN = 1,
    MODE_CAR = 2,
    MODE_BIKE = 3,
    MODE_STRAIGHT_LINE = 4,
    MODE_PUBLIC_TRANSPORT = 5
  };
  // What the route optimises.
  enum RouteType : int {
    TYPE_NONE = 0,
    TYPE_SHORTEST = 1,
    TYPE_FASTEST = 2,
    TYPE_MOST_ECONOMICAL = 3,
    TYPE_LEAST_WALKING = 4,
    TYPE_FEWER_TRANSFERS = 5,
    TYPE_NO_TRANSFERS = 6
  };
  // One avoidance option each; options travel as lists of single values, never as a
  // combined mask.
  enum RouteOption : int {
    OPTION_MOTORWAYS_NOT_ALLOWED = 0x001,
    OPTION_TUNNELS_NOT_ALLOWED = 0x002,
    OPTION_FERRIES_NOT_ALLOWED = 0x004,
    OPTION_TOLLROADS_NOT_ALLOWED = 0x008,
    OPTION_UNPAVED_NOT_ALLOWED = 0x010,
    OPTION_RAILFERRIES_NOT_ALLOWED = 0x020,
    OPTION_BUS_NOT_ALLOWED = 0x040,
    OPTION_TRAM_NOT_ALLOWED = 0x080,
    OPTION_SUBWAY_NOT_ALLOWED = 0x100,
    OPTION_LOCAL_TRAINS_NOT_ALLOWED = 0x200
  };

  // Unbound root view.
  RouteProperties();
  // A root view over a new attribute holding a deep copy of |other|; unbound when
  // |other| is.
  RouteProperties(const RouteProperties& other);
  // Copies |other|'s content into this view's own attribute (created when needed).
  RouteProperties& operator=(const RouteProperties& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // The mode whose keyword the first "mode" field holds; MODE_NONE otherwise.
  RouteMode get_mode() const;
  // Stores the mode's keyword in the first "mode" field. 0; 3 for a value outside
  // 1 to 5; 2.
  ErrorCode set_mode(RouteMode mode);
  // The same on "type", values 1 to 6.
  RouteType get_type() const;
  ErrorCode set_type(RouteType type);

  // |options| is emptied, then receives the options of the "option" fields in field
  // order, each once; fields without a keyword of the table are passed over.
  void get_options(std::vector<RouteOption>& options) const;
  bool is_option_set(RouteOption option) const;
  // Replaces every text "option" field by one new field per entry, in order, after
  // all other fields; entries that are no option are skipped, repeats kept. 0; 2
  // when the attribute or a field cannot be created.
  ErrorCode set_options(const std::vector<RouteOption>& options);
  // Adds |option| as the last option (on) or takes it out (off) and rewrites the
  // options as set_options does. 0 without writing when it is already as asked; 3
  // for a value that is no option (nothing changes).
  ErrorCode set_option(RouteOption option, bool on);

  // A text that passes the strict ISO 8601 check is stored unchanged in the first
  // field of that name (0, or 2); any other text, the empty one included, removes
  // every field of that name (0).
  ErrorCode set_departure_time(const std::string& text);
  ErrorCode set_arrival_time(const std::string& text);
  // The stored text when it passes the same check; empty otherwise.
  std::string get_departure_time() const;
  std::string get_arrival_time() const;

 private:
  // The text of the first field of that name; false when unbound, absent or no text.
  bool get_text(const StringPool::StringHandle& name, std::string& text) const;
  // Stores |text| in the first field of that name. 0, or 2.
  ErrorCode set_text(const StringPool::StringHandle& name, const std::string& text);
  ErrorCode set_time(const StringPool::StringHandle& name, const std::string& text);
  std::string get_time(const StringPool::StringHandle& name) const;

  RoutePropertiesStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
