#include <keldra/Address.h>

#include <tervo/LocationInfo.h>
#include <tervo/ustring.h>

namespace orva {
namespace keldra {

namespace {

// The parts exchanged with LocationInfo and their keys, in the order of the keys.
// Zone and room cross over: part 16 pairs with key 19 and part 17 with key 18.
struct InfoKey {
  Address::Field part;
  orva::LocationInfo::Field key;
};

const InfoKey kInfoKeys[] = {
    {Address::COUNTRY_CODE, orva::LocationInfo::COUNTRY_CODE},
    {Address::COUNTY_OR_PROVINCE, orva::LocationInfo::COUNTY},
    {Address::CITY, orva::LocationInfo::CITY},
    {Address::DISTRICT, orva::LocationInfo::DISTRICT},
    {Address::POSTAL_CODE, orva::LocationInfo::POSTAL_CODE},
    {Address::NEIGHBORHOOD, orva::LocationInfo::NEIGHBORHOOD},
    {Address::STREET, orva::LocationInfo::STREET},
    {Address::STREET_NUMBER, orva::LocationInfo::STREET_NUMBER},
    {Address::BUILDING_NAME, orva::LocationInfo::BUILDING_NAME},
    {Address::FLOOR, orva::LocationInfo::FLOOR},
    {Address::ROOM, orva::LocationInfo::ROOM},
    {Address::ZONE, orva::LocationInfo::ZONE},
};

// The field of each part, indexed by part number.
StringPool::StringHandle AddressStrings::*const kPartNames[] = {
    nullptr,
    &AddressStrings::country,
    &AddressStrings::country_code,
    &AddressStrings::state,
    &AddressStrings::county_or_province,
    &AddressStrings::city,
    &AddressStrings::district,
    &AddressStrings::postal_code,
    &AddressStrings::neighborhood,
    &AddressStrings::street,
    &AddressStrings::street_number,
    &AddressStrings::extension,
    &AddressStrings::crossing1,
    &AddressStrings::crossing2,
    &AddressStrings::building_name,
    &AddressStrings::floor,
    &AddressStrings::zone,
    &AddressStrings::room,
    &AddressStrings::room_name,
};

const int kLastPart = Address::ROOM_NAME;

}  // namespace

StringPool::StringSet* AddressStrings::create_strings(StringPool& pool) {
  AddressStrings* s = new AddressStrings;
  pool.init_handle(s->address, "address");
  pool.init_handle(s->meta, "meta");
  pool.init_handle(s->building_name, "building_name");
  pool.init_handle(s->city, "city");
  pool.init_handle(s->country, "country");
  pool.init_handle(s->country_code, "country_code");
  pool.init_handle(s->county_or_province, "county_or_province");
  pool.init_handle(s->crossing1, "crossing1");
  pool.init_handle(s->crossing2, "crossing2");
  pool.init_handle(s->district, "district");
  pool.init_handle(s->extension, "extension");
  pool.init_handle(s->floor, "floor");
  pool.init_handle(s->neighborhood, "neighborhood");
  pool.init_handle(s->postal_code, "postal_code");
  pool.init_handle(s->room, "room");
  pool.init_handle(s->room_name, "room_name");
  pool.init_handle(s->state, "state");
  pool.init_handle(s->street, "street");
  pool.init_handle(s->street_number, "street_number");
  pool.init_handle(s->zone, "zone");
  return s;
}

const StringPool::StringHandle* AddressStrings::part_name(int part) const {
  if (part < 1 || part > kLastPart) return nullptr;
  return &(this->*kPartNames[part]);
}

Address::Address() : m_strings(view_strings<AddressStrings>()) { init_members(); }

Address::Address(const Address& other) : AttributeHandle(other), m_strings(other.m_strings) {
  init_members();
  copy(other);
  attach_child_handles();
}

Address& Address::operator=(const Address& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

void Address::init_members() { m_metadata.set_parent(this); }

const StringPool::StringHandle& Address::get_class_name_handle() const {
  return m_strings->address;
}

bool Address::get_address_field(Field part, orva::ustring& out) const {
  out.clear();
  const StringPool::StringHandle* name = m_strings->part_name(part);
  if (!is_safe() || !name) return false;
  return get_field(*name, out);
}

ErrorCode Address::set_address_field(Field part, const orva::ustring& text) {
  const StringPool::StringHandle* name = m_strings->part_name(part);
  if (!name) return ORVA_ERROR_INVALID_PARAMETERS;
  return set_field(*name, text);
}

void Address::get_location_info(orva::LocationInfo& info) const {
  orva::ustring text;
  for (const InfoKey& entry : kInfoKeys) {
    if (get_address_field(entry.part, text)) info.set(entry.key, text);
  }
}

ErrorCode Address::set_location_info(const orva::LocationInfo& info) {
  for (const InfoKey& entry : kInfoKeys) {
    if (!info.has(entry.key)) continue;
    ErrorCode result = set_address_field(entry.part, info.get(entry.key));
    if (result != ORVA_ERROR_NONE) return result;
  }
  return ORVA_ERROR_NONE;
}

void Address::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_metadata) {
    add_handle(child, m_strings->meta);
  } else {
    AttributeHandle::do_init_child_handle(child);
  }
}

void Address::attach_child_handles() { attach_handle(m_metadata, m_strings->meta); }

}  // namespace keldra
}  // namespace orva
