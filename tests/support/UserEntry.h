// Users entries as the tests build them.
#pragma once

#include <keldra/UserInfo.h>
#include <tervo/ustring.h>

#include <gtest/gtest.h>

#include <string>

namespace keldra_test {

// A detached entry with |id| and, unless null, |display_name|.
inline orva::keldra::UserInfo user_entry(const std::string& id, const char* display_name) {
  orva::keldra::UserInfo info;
  EXPECT_EQ(0, info.set_id(id));
  if (display_name) {
    EXPECT_EQ(0, info.set_display_name(orva::ustring(display_name)));
  }
  return info;
}

}  // namespace keldra_test
