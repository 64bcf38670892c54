// Helpers of the compact-format tests: a thread pool holder, object builders, a deep
// comparison of two objects and a scoped process locale.
#pragma once

#include <keldra/Attribute.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <gtest/gtest.h>

#include <string>

namespace compact_test {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::DynamicBuffer;
using orva::keldra::Field;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::StringPool;

// Every test needs the thread's string pool.
class CompactTest : public ::testing::Test {
 protected:
  CompactTest() : m_pool(StringPool::create()) {}
  SharedPointer<StringPool> m_pool;
};

// Switches the process locale (all categories) for a scope; skips nothing itself:
// ok() tells whether the locale exists.
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* name);
  ~ScopedLocale();
  bool ok() const { return m_ok; }

 private:
  std::string m_saved;
  bool m_ok;
};

// A new top-level or child attribute.
Attribute& add_attribute(Object& object, const std::string& class_name,
                         const std::string& name = "");
Attribute& add_child(Attribute& parent, const std::string& class_name,
                     const std::string& name = "");
// A new field of |attribute|, named |name|.
Field& add_field(Attribute& attribute, const std::string& name);

// A place as the maps application stores it: name, address, position, metadata with
// a few languages, contact data, about 25 fields. |index| varies the values.
ObjectPtr make_place(int index);

// The bytes of a buffer as text.
std::string text_of(const SharedPointer<DynamicBuffer>& buffer);

// Deep comparison of header, links and attribute tree (the service and the
// timestamp, which the format does not carry, are left out).
::testing::AssertionResult same_object(const Object& expected, const Object& actual);

}  // namespace compact_test
