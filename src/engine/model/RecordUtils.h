// Helpers shared by the object-tree classes: name interning with the 64-byte cut, and
// bounded reading of binary records.
//
// Attribute names read back (from a binary record, a database row or the compact
// format) are cut as the text setters cut them, with one exception: an attribute of
// class "anchor" carries the server's sync anchor in its name, a text of any length
// that must go back to the server unchanged, so its name is read whole.
//
// Records come from the database file, so the readers never trust a count: a list
// count that announces more elements than the bytes left can hold fails the read
// before anything is built, and nesting of attribute records stops at
// MAX_RECORD_DEPTH.
#pragma once

#include <keldra/StringPool.h>

#include <string>

namespace orva {
namespace keldra {

class ReadStream;
class WriteStream;

namespace internal {

// Longest name a setter interns, in bytes.
const unsigned int MAX_NAME_BYTES = 64;
// Most elements a list reader makes room for at once from a count it has read.
const unsigned int MAX_RESERVED_ITEMS = 256;
// Deepest nesting of attribute records a reader accepts (top-level attributes are 0).
const int MAX_RECORD_DEPTH = 64;

// The first 64 bytes of |text|, shortened further so that no UTF-8 character is cut.
std::string cut_name(const std::string& text);

// |text| interned whole in the calling thread's pool; the null handle for "".
StringPool::StringHandle intern(const std::string& text);
// cut_name(text) interned.
StringPool::StringHandle intern_name(const std::string& text);
// The same for |length| bytes at |text|, without a copy when the pool has the name.
StringPool::StringHandle intern_name(const char* text, size_t length);
// The length cut_name would keep of |length| bytes at |text|.
size_t cut_name_length(const char* text, size_t length);

// Whether readers keep the name of an attribute of this class whole ("anchor").
bool keeps_whole_name(const StringPool::StringHandle& class_name);
// A name read back for an attribute of |class_name|: whole under keeps_whole_name,
// otherwise as intern_name.
StringPool::StringHandle intern_attribute_name(const char* text, size_t length,
                                               const StringPool::StringHandle& class_name);
StringPool::StringHandle intern_attribute_name(const std::string& text,
                                               const StringPool::StringHandle& class_name);

// Writes an interned name as write_string writes its text (the empty text for the
// null handle), without a copy. Returns the stream's state.
bool write_name(WriteStream& stream, const StringPool::StringHandle& name);

// The bytes left between the stream's position and its end.
unsigned int bytes_left(ReadStream& stream);

// Reads a u32 element count of a list whose elements take at least |min_record| bytes
// each. False (count 0) when it cannot be read or the elements cannot fit in the
// bytes left.
bool read_list_count(ReadStream& stream, unsigned int min_record, unsigned int& count);

}  // namespace internal
}  // namespace keldra
}  // namespace orva
