// Writer of the compact transfer format ("application/vnd.ostra.keldraobjectcompact").
//
// Objects are written as lines: the object line "O:...;", its link lines "L:...;",
// then its attributes depth first, each an "A<level>:...;" line followed by its field
// lines "F:...;", its link lines and its children. Names in the fixed code table go
// as codes; every other name and every free text is escaped ('\' before ':', ';' and
// '\') so that it cannot change the sections of its line. The same writer builds the
// request messages of the direct transfer (start_request and the command lines).
//
// Ownership: the serializer holds its output buffer (shared with the caller) until
// the next encode or start_request replaces it, and one count of the thread's
// string pool.
// Thread: used only on the thread that created it; its code map compares handles of
// that thread's pool.
// Results: 0; 3 for an empty output pointer, a missing class name, a field of a
// type the format cannot carry, attributes nested deeper than the reader takes,
// or a text or name the reader would refuse (not UTF-8, or holding a zero byte); 4 for a command
// before start_request; 2 when a write fails. Writing stops at the first error; what was written
// stays. Request lines are written whole or not at all.
#pragma once

#include <keldra/DynamicBuffer.h>
#include <keldra/ErrorCode.h>
#include <keldra/ObjectEncoder.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <cstdint>
#include <map>
#include <string>

namespace orva {
namespace keldra {

class Attribute;
class AttributeList;
class Field;
class Link;
class LinkList;
class Object;

namespace internal {

// A token travels as the user name "_token_<token>" with this fixed password, in the
// request digest and in the SyncML service profile alike.
inline constexpr char kTokenUserPrefix[] = "_token_";
inline constexpr char kTokenPassword[] = "brunmoset";

class SyncSerializer : public ObjectEncoder {
 public:
  // The command of an object line of a request.
  enum ObjectCommand : int {
    COMMAND_ADD = 1,     // "A": submit a new object
    COMMAND_UPDATE = 2,  // "U": submit a changed object
    COMMAND_DELETE = 3,  // "D": same form as "G"; not sent by the system
    COMMAND_GET = 4      // "G": ask for the object with a global id
  };

  // Takes the thread's string pool and interns the code table in it. Throws
  // std::bad_alloc when there is no pool.
  SyncSerializer();
  ~SyncSerializer() override;

  // Makes |buffer| the output and appends |object| to what it holds: the object line
  // and, unless |header_only|, its links and attributes. 3 for an empty pointer.
  ErrorCode encode(const Object& object, SharedPointer<DynamicBuffer>& buffer,
                   bool header_only) override;

  // The output; empty before the first encode or request.
  const SharedPointer<DynamicBuffer>& get_buffer() const { return m_output; }

  // Request lines. start_request replaces the output by a new, empty buffer and
  // writes "R:<device id>:<digest>;"; the others append to it and give 4 before it.
  // Device id, digest, item keys, MIME types and the first text of "GF" go unescaped
  // (the device id carries its own escapes); the service and the second text of "GF"
  // escaped. A text the reader would refuse, or an unescaped field holding ';' or a
  // line end, gives 3 with nothing written (start_request then keeps the previous
  // output).
  ErrorCode start_request(const std::string& device_id, const std::string& digest);
  // "G:" (GET) or "D:" (DELETE), the key, the global id, "T" or "F" for |cascade|.
  // 3 for any other command, nothing written.
  ErrorCode add_object_request(ObjectCommand command, const std::string& key,
                               unsigned long long global_id, bool cascade);
  // "A:" (ADD) or "U:" (UPDATE) and the key, then the object as encode writes it.
  // 3 for any other command, nothing written.
  ErrorCode add_object_submit(ObjectCommand command, const std::string& key,
                              const Object& object, bool header_only);
  // "FW:<service>:<MIME type>:<key>;" and a line feed.
  ErrorCode add_forward_command(const std::string& service, const std::string& mime_type,
                                const std::string& key);
  // "GF:<first>:<second>;" and a line feed.
  ErrorCode add_get_file_line_command(const std::string& first, std::string second);

  // Base64 of "<user>:<password>"; empty when the encoder fails.
  static std::string create_auth_digest(const std::string& user, const std::string& password);
  // The digest of the user "_token_<token>" with the fixed token password.
  static std::string create_auth_digest(const std::string& token);
  // Base64 of |text| into |out|; |out| is left as it was when the encoder fails.
  static void encode_digest(const std::string& text, std::string& out);

  // Appends |text| to |out| with '\' before every ':', ';' and '\'.
  static void escape_content(const std::string& text, std::string& out);
  // Appends "%.*g" of a finite |value| with '.' as decimal separator whatever the
  // locale; nothing for NaN and infinities.
  static void convert_from_locale_to_network(double value, int precision, std::string& out);

  // Appends the written form of a name: its code when it is in the table, else its
  // text, escaped, with '#' before a text that a reader could take for a number.
  // Nothing for a null handle or an empty text. False, with nothing appended, for a
  // text the reader would refuse.
  bool encode_tag_name(const StringPool::StringHandle& handle, std::string& out) const;
  bool encode_tag_name(const std::string& text, std::string& out) const;

 private:
  SyncSerializer(const SyncSerializer&) = delete;
  SyncSerializer& operator=(const SyncSerializer&) = delete;

  // The steps of encode; each appends to |out| and stops at its first error.
  ErrorCode add_object_start(const Object& object, bool header_only, std::string& out);
  ErrorCode add_object_attributes(const Object& object, bool header_only, std::string& out);
  static void add_tag_close(std::string& out) { out += ';'; }
  ErrorCode add_links(const LinkList& links, std::string& out);
  ErrorCode add_link(const Link& link, std::string& out);
  ErrorCode add_attributes(const AttributeList& attributes, unsigned int level,
                           std::string& out);
  ErrorCode add_attribute(const Attribute& attribute, unsigned int level, std::string& out);
  ErrorCode add_att_attributes(const Attribute& attribute, unsigned int level,
                               std::string& out);
  ErrorCode add_field(const Field& field, std::string& out);

  bool encode_text_name(const std::string& text, std::string& out) const;

  ErrorCode append_to_buffer(const std::string& text);
  ErrorCode append_to_buffer(const char* text);

  SharedPointer<DynamicBuffer> m_output;
  bool m_route_properties;
  // The code of each table name, by the address of its interned string: open
  // addressing over a power-of-two table, at most a quarter full.
  static const unsigned int CODE_SLOTS = 1024;
  const PString* m_code_names[CODE_SLOTS] = {};
  unsigned short m_code_values[CODE_SLOTS] = {};
  static unsigned int code_slot(const PString* name) {
    return static_cast<unsigned int>((reinterpret_cast<uintptr_t>(name) >> 3) * 0x9E3779B1u >> 22) &
           (CODE_SLOTS - 1);
  }
  // The code of an interned name; 0 when it is not a table name.
  unsigned int code_of(const PString* name) const {
    for (unsigned int i = code_slot(name);; i = (i + 1) & (CODE_SLOTS - 1)) {
      if (m_code_names[i] == name) return m_code_values[i];
      if (!m_code_names[i]) return 0;
    }
  }
  SharedPointer<StringPool> m_pool;
  StringPool::StringHandle m_mode;
  StringPool::StringHandle m_type;
  StringPool::StringHandle m_option;
  StringPool::StringHandle m_route_properties_class;
  StringPool::StringHandle m_properties_name;
  StringPool::StringHandle m_local_uri;
  std::string m_scratch;  // the text of the current call, written in one piece
  std::string m_value;    // a field's value text
  std::string m_text;     // a text field's value as UTF-8, before escaping
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
