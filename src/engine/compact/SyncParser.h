// Reader of the compact transfer format: one object from a block of bytes (as the
// converter's decoder), and the replies of direct-transfer requests, whose response
// lines reach a Consumer in the order they arrive.
//
// Line kinds: "O" object, "L" link, "A<level>" attribute, "F" field; in replies "S"
// object status (followed by its objects), "F" forward status, "R" response status.
// Names are decoded through the fixed code table; the handles of codes are interned
// in the pool of the thread that decodes and cached for the parser's life.
//
// Ownership: once it has cached a handle the parser holds one count of that pool, so
// the cached handles stay valid while the parser lives.
// Thread: one thread (the thread whose pool holds the cached handles).
// Results: 0; 3 for malformed data (a line of the wrong kind, a missing class, key or
// code section, a class that is "#" alone, an unknown wire code, a code outside the
// table, an unreadable timestamp or Base64 value, text that is not UTF-8, nesting
// deeper than a record may be); 2 when memory for an object or attribute is missing.
// Reading stops at the first error; what was read stays where it was put.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Field.h>
#include <keldra/Object.h>
#include <keldra/ObjectDecoder.h>
#include <keldra/StringPool.h>

#include <map>
#include <string>
#include <vector>

namespace orva {
namespace keldra {

class Attribute;
class Link;

namespace compact {
class Buffer;
class Section;
}  // namespace compact

namespace internal {

// Entries of the name code table, code 0 included.
const unsigned int compact_name_codes = 223;

class SyncParser : public ObjectDecoder {
 public:
  // "S:<key>:<code>[:<message>];" and the objects that follow it.
  struct ObjectStatus {
    std::string key;
    unsigned int code = 0;
    std::string message;
    std::vector<ObjectPtr> objects;
  };
  // "F:<key>:<code>[:<url>][:<message>];"
  struct ForwardStatus {
    std::string key;
    unsigned int code = 0;
    std::string url;
    std::string message;
  };
  // "R:<text>;": status 0 for exactly "OK", else 1.
  struct ResponseStatus {
    unsigned int status = 0;
    std::string message;
  };

  // Receives the records of a reply in order; a non-zero result stops the reading
  // and is returned by parse_response_message. Implemented by the direct transfer.
  class Consumer {
   public:
    virtual ErrorCode handle_object_status(const ObjectStatus& status) = 0;
    virtual ErrorCode handle_forward_status(const ForwardStatus& status) = 0;
    virtual ErrorCode handle_response_status(const ResponseStatus& status) = 0;

   protected:
    ~Consumer() {}
  };

  SyncParser();
  ~SyncParser() override;

  // |object| becomes a new object filled from the first object in the data.
  ErrorCode decode(const unsigned char* data, unsigned int length, ObjectPtr& object) override;

  // Reads a reply; |consumer| may be null. A line of an unknown kind ends the reply.
  ErrorCode parse_response_message(const unsigned char* data, int length, Consumer* consumer);

  // The Field::DataType of a wire code; TYPE_NONE for an unknown one.
  static Field::DataType get_data_type(int wire);

  // A code (1 to 222) gives the handle of its name; any other text gives |name|
  // (without a leading '#'). 3 for a number outside the table.
  ErrorCode decode_tag_name(const std::string& text, StringPool::StringHandle& handle,
                            std::string& name);

  // The object readers. Each is entered with the header of its first line just read
  // (Buffer::line_header) and leaves the header of the first line it did not
  // consume read.
  ErrorCode parse_object(compact::Buffer& buffer, Object& object);
  ErrorCode parse_attribute(compact::Buffer& buffer, Attribute& attribute, int level);
  // The single lines; each reads the sections after the header.
  ErrorCode parse_object_line(compact::Buffer& buffer, Object& object);
  ErrorCode parse_link_line(compact::Buffer& buffer, Link& link);
  ErrorCode parse_attribute_line(compact::Buffer& buffer, Attribute& attribute);
  ErrorCode parse_field_line(compact::Buffer& buffer, Field& field);

  // The response readers, entered like the object readers.
  ErrorCode parse_object_status(compact::Buffer& buffer, ObjectStatus& status);
  ErrorCode parse_object_status_line(compact::Buffer& buffer, ObjectStatus& status);
  ErrorCode parse_forward_status_line(compact::Buffer& buffer, ForwardStatus& status);
  ErrorCode parse_response_status_line(compact::Buffer& buffer, ResponseStatus& status);

  // The level of an attribute line header "A<n>" (strtol of the rest, so "A" is 0);
  // -1 for a header that does not begin with 'A'.
  static int get_attribute_level(const compact::Section& header);

  // Replaces the first '.' by the locale's decimal separator, for strtod.
  static void convert_from_network_to_locale(std::string& text);

 private:
  SyncParser(const SyncParser&) = delete;
  SyncParser& operator=(const SyncParser&) = delete;

  // True, with |code|, when the whole text reads as a number other than 0 (strtol).
  static bool code_of(const char* text, size_t length, long& code);
  // The cached handle of a code's name; 3 outside the table.
  ErrorCode handle_of_code(long code, StringPool::StringHandle& handle);
  // A coded name as the handle a name setter would intern: the code's name, or the
  // text without a leading '#', cut to 64 bytes; null for an empty section. 3 for a
  // code outside the table. The name of an attribute of |attribute_class| is not cut
  // when readers keep that class's names whole (the sync anchor).
  ErrorCode decode_name(
      const compact::Section& section, StringPool::StringHandle& handle,
      const StringPool::StringHandle& attribute_class = StringPool::StringHandle());
  // Reads the attributes of |level| that follow, each with its subtree, into |list|.
  ErrorCode parse_children(compact::Buffer& buffer, AttributeList& list, int level);
  // decode_name for a class: 3 also when no class is left (the text "#").
  ErrorCode decode_class(const compact::Section& section, StringPool::StringHandle& handle);

  StringPool::StringHandle m_codes[compact_name_codes];  // by code; null until first use
  SharedPointer<StringPool> m_pool;  // the pool of the cached handles
  StringPool::StringHandle m_handle;  // scratch for decoded keyword values
  std::string m_name;
  // Scratch of the readers, kept for their capacity: the fields of the attribute
  // being read, and the attributes being read per level.
  std::vector<Field> m_fields;
  std::vector<std::vector<SharedPointer<Attribute>>> m_children;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
