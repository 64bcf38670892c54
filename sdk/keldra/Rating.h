// Rating: typed view of an attribute of class "rating", the average rating of a
// described thing (the "avg_rating" child of a metadata section).
//
// Fields: "value", a float holding the average, and "count", an int32 holding the
// number of ratings it is made of. No children, no links.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

// Names of Rating, interned once per string pool.
class RatingStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle rating;  // the class
  StringPool::StringHandle count;
  StringPool::StringHandle value;
};

class Rating : public AttributeHandle {
 public:
  // An average and the number of ratings it is made of.
  struct AvgRating {
    float value;
    int count;
  };

  // Unbound root view.
  Rating();
  // A root view over a new attribute holding a deep copy of |other| (unbound when
  // |other| is).
  Rating(const Rating& other);
  // Copies |other|'s content into this view's own attribute.
  Rating& operator=(const Rating& other);

  // Stores the average as the float "value", then the number as the int32 "count",
  // creating the attribute first. 0, or 2 when it cannot be created (a failure at the
  // second field leaves the first stored).
  ErrorCode set_rating(const AvgRating& rating);
  // Copies a stored int32 "count" into rating.count and a stored float "value" into
  // rating.value; members of absent fields or other types keep their values. True
  // when a "value" field exists (whatever its type); false when it does not (the count
  // may have been copied) or the view is unbound.
  bool get_rating(AvgRating& rating) const;

  const StringPool::StringHandle& get_class_name_handle() const override;

 private:
  const RatingStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
