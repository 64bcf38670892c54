// Fixture and helpers of the place view tests: a tree printer that shows field values,
// and the few geo values the tests build again and again.
#pragma once

#include <keldra/Attribute.h>
#include <keldra/AttributeList.h>
#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <tervo/Location.h>
#include <tervo/ustring.h>

#include <gtest/gtest.h>

#include "support/AttributeTree.h"

#include <ostream>
#include <string>

namespace keldra_test {

// Tree pictures with field values.
inline std::string tree(const orva::keldra::AttributeList& list) {
  return attribute_tree(list, FieldText::kNameAndValue, false);
}
inline std::string tree(const orva::keldra::Attribute& attribute) {
  return attribute_tree(attribute, FieldText::kNameAndValue, false);
}

// A valid location at the coordinates, with no texts.
orva::Location location_at(double latitude, double longitude, double altitude);

// Every test runs with a string pool of its own.
class PlaceTest : public ::testing::Test {
 protected:
  orva::SharedPointer<orva::keldra::StringPool> m_pool = orva::keldra::StringPool::create();
};

}  // namespace keldra_test
