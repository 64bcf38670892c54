#include <keldra/Rating.h>

namespace orva {
namespace keldra {

StringPool::StringSet* RatingStrings::create_strings(StringPool& pool) {
  RatingStrings* strings = new RatingStrings();
  pool.init_handle(strings->rating, "rating");
  pool.init_handle(strings->count, "count");
  pool.init_handle(strings->value, "value");
  return strings;
}

Rating::Rating() : m_strings(view_strings<RatingStrings>()) {}

Rating::Rating(const Rating& other) : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
}

Rating& Rating::operator=(const Rating& other) {
  m_strings = other.m_strings;
  AttributeHandle::operator=(other);
  return *this;
}

ErrorCode Rating::set_rating(const AvgRating& rating) {
  ErrorCode result = set_field(m_strings->value, rating.value);
  if (result != ORVA_ERROR_NONE) return result;
  return set_field(m_strings->count, rating.count);
}

bool Rating::get_rating(AvgRating& rating) const {
  if (!is_safe()) return false;
  get_field(m_strings->count, rating.count);
  return get_field(m_strings->value, rating.value);
}

const StringPool::StringHandle& Rating::get_class_name_handle() const {
  return m_strings->rating;
}

}  // namespace keldra
}  // namespace orva
