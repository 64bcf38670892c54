// The fixed table of name codes of the compact transfer format.
//
// A class, attribute, field or link name that is in this table travels as its code
// in decimal (1 to 222); any other name travels as text. Entry 0 is the empty text
// and never a code. The table is compiled in and never changes.
#pragma once

namespace orva {
namespace keldra {
namespace compact {

const unsigned int NAME_CODE_FIRST = 1;
const unsigned int NAME_CODE_LAST = 222;

// Codes the serializer and the parser refer to by meaning.
enum NameCode : int {
  CODE_PROPERTIES = 2,
  CODE_LOCAL_URI = 13,
  CODE_MODE = 75,
  CODE_TYPE = 76,
  CODE_OPTION = 77,
  CODE_ROUTE_PROPERTIES = 103,
  CODE_PRIVATE = 193,
  CODE_PUBLIC_READONLY = 194,
  CODE_PUBLIC_READWRITE = 195,
  CODE_PRIVATE_PERMANENT = 221,
  CODE_RESTRICTED = 222
};

// The name of |code|; null outside 1 to 222.
const char* name_of_code(unsigned int code);

}  // namespace compact
}  // namespace keldra
}  // namespace orva
