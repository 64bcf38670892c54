#include "compact/SyncParser.h"

#include <keldra/Attribute.h>
#include <keldra/Link.h>
#include <keldra/LoggerUmbo.h>

#include "model/RecordUtils.h"
#include "compact/Buffer.h"
#include "compact/NameCodes.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

using compact::Buffer;
using compact::Section;

// Moves to the next line and reads its header; an empty header when none follows.
void advance(Buffer& buffer) {
  buffer.next_line();
  buffer.line_header();
}

bool header_is(const Buffer& buffer, const char* kind) {
  return buffer.current_section().equals(kind);
}

// A text whose start strtol could read as a number: digits, a sign or white space.
bool may_be_number(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == ' ' || (c >= '\t' && c <= '\r');
}

SharingModel sharing_from_section(const Section& section) {
  if (section.empty()) return SHARING_PRIVATE;
  switch (section.uint32()) {
    case 0:
      break;  // not a number: a keyword
    case compact::CODE_PUBLIC_READONLY:
      return SHARING_PUBLIC_READ_ONLY;
    case compact::CODE_PUBLIC_READWRITE:
      return SHARING_PUBLIC_READ_WRITE;
    case compact::CODE_PRIVATE_PERMANENT:
      return SHARING_PRIVATE_PERMANENT;
    case compact::CODE_RESTRICTED:
      return SHARING_RESTRICTED;
    default:
      return SHARING_PRIVATE;
  }
  // Exact words: "private" must not be taken for "private-permanent".
  if (section.equals(compact::name_of_code(compact::CODE_PUBLIC_READONLY)))
    return SHARING_PUBLIC_READ_ONLY;
  if (section.equals(compact::name_of_code(compact::CODE_PUBLIC_READWRITE)))
    return SHARING_PUBLIC_READ_WRITE;
  if (section.equals(compact::name_of_code(compact::CODE_PRIVATE_PERMANENT)))
    return SHARING_PRIVATE_PERMANENT;
  if (section.equals(compact::name_of_code(compact::CODE_RESTRICTED))) return SHARING_RESTRICTED;
  return SHARING_PRIVATE;
}

void set_real(Field& field, Field::DataType type, double number) {
  if (type == Field::TYPE_FLOAT) {
    field.set_value(orva::keldra::internal::narrow_to_float(number));
  } else {
    field.set_value(number);
  }
}

ErrorCode malformed_text() {
  LoggerUmbo::logf(LoggerUmbo::MSG_WARNING, "SyncParser: message is not UTF-8");
  return ORVA_ERROR_INVALID_PARAMETERS;
}

}  // namespace

SyncParser::SyncParser() : m_children(MAX_RECORD_DEPTH + 1) {}

SyncParser::~SyncParser() {}

ErrorCode SyncParser::decode(const unsigned char* data, unsigned int length, ObjectPtr& out) {
  Object* object = new (std::nothrow) Object();
  if (!object) return ORVA_ERROR_OUT_OF_MEMORY;
  out = object;
  Buffer buffer(data, length);
  buffer.line_header();
  ErrorCode result = parse_object(buffer, *object);
  if (result == ORVA_ERROR_NONE && buffer.malformed()) return malformed_text();
  return result;
}

ErrorCode SyncParser::parse_response_message(const unsigned char* data, int length,
                                             Consumer* consumer) {
  if (length < 0) return ORVA_ERROR_INVALID_PARAMETERS;
  Buffer buffer(data, static_cast<unsigned int>(length));
  while (buffer.line_header()) {
    ErrorCode result = ORVA_ERROR_NONE;
    if (header_is(buffer, "F")) {
      ForwardStatus status;
      result = parse_forward_status_line(buffer, status);
      if (result != ORVA_ERROR_NONE) return result;
      buffer.next_line();
      if (buffer.malformed()) return malformed_text();
      if (consumer) result = consumer->handle_forward_status(status);
    } else if (header_is(buffer, "S")) {
      ObjectStatus status;
      result = parse_object_status(buffer, status);
      if (result != ORVA_ERROR_NONE) return result;
      if (buffer.malformed()) return malformed_text();
      if (consumer) result = consumer->handle_object_status(status);
    } else if (header_is(buffer, "R")) {
      ResponseStatus status;
      result = parse_response_status_line(buffer, status);
      if (result != ORVA_ERROR_NONE) return result;
      buffer.next_line();
      if (buffer.malformed()) return malformed_text();
      if (consumer) result = consumer->handle_response_status(status);
    } else {
      break;
    }
    if (result != ORVA_ERROR_NONE) return result;
  }
  return buffer.malformed() ? malformed_text() : ORVA_ERROR_NONE;
}

Field::DataType SyncParser::get_data_type(int wire) {
  static const Field::DataType TYPES[12] = {
      Field::TYPE_NONE,   Field::TYPE_INT32,  Field::TYPE_INT64,     Field::TYPE_UINT32,
      Field::TYPE_UINT64, Field::TYPE_FLOAT,  Field::TYPE_DOUBLE,    Field::TYPE_TIMESTAMP,
      Field::TYPE_USTRING, Field::TYPE_BINARY, Field::TYPE_SPECIAL_USTRING, Field::TYPE_KEYWORD};
  if (wire < 0 || wire > 11) return Field::TYPE_NONE;
  return TYPES[wire];
}

bool SyncParser::code_of(const char* text, size_t length, long& code) {
  if (length == 0 || !may_be_number(text[0])) return false;
  unsigned long long digits = 0;
  if (compact::Token(text, text + length).digits(18, digits)) {
    code = static_cast<long>(digits);
    return code != 0;
  }
  char copy[32];
  if (length >= sizeof copy) {
    // Longer than any number strtol could read whole without overflowing: only
    // blanks and zeros in front could make it one.
    const std::string whole(text, length);
    char* end = nullptr;
    code = strtol(whole.c_str(), &end, 10);
    return end != whole.c_str() && end == whole.c_str() + length && code != 0;
  }
  memcpy(copy, text, length);
  copy[length] = '\0';
  char* end = nullptr;
  code = strtol(copy, &end, 10);
  return end != copy && end == copy + length && code != 0;
}

ErrorCode SyncParser::handle_of_code(long code, StringPool::StringHandle& handle) {
  if (code < static_cast<long>(compact::NAME_CODE_FIRST) ||
      code > static_cast<long>(compact::NAME_CODE_LAST))
    return ORVA_ERROR_INVALID_PARAMETERS;
  StringPool::StringHandle& cached = m_codes[static_cast<unsigned int>(code)];
  if (!cached.is_valid()) {
    // Cached handles point into the pool: keep it alive as long as they are kept.
    if (!m_pool.is_valid()) m_pool = StringPool::create();
    cached = StringPool::StringHandle(
        StringPool::insert(compact::name_of_code(static_cast<unsigned int>(code))));
  }
  handle = cached;
  return ORVA_ERROR_NONE;
}

ErrorCode SyncParser::decode_tag_name(const std::string& text, StringPool::StringHandle& handle,
                                      std::string& name) {
  handle = StringPool::StringHandle();
  name.clear();
  if (text.empty()) return ORVA_ERROR_NONE;
  long code = 0;
  if (code_of(text.data(), text.size(), code)) return handle_of_code(code, handle);
  if (text[0] == '#') {
    name.assign(text, 1, std::string::npos);
  } else {
    name = text;
  }
  return ORVA_ERROR_NONE;
}

ErrorCode SyncParser::decode_name(const Section& section, StringPool::StringHandle& handle,
                                  const StringPool::StringHandle& attribute_class) {
  handle = StringPool::StringHandle();
  const compact::Token token = section.token();
  const char* text = token.start();
  size_t length = token.length();
  if (length == 0) return ORVA_ERROR_NONE;
  long code = 0;
  if (code_of(text, length, code)) return handle_of_code(code, handle);
  if (text[0] == '#') {
    ++text;
    --length;
  }
  // As the text setters intern a name: cut to its first 64 bytes (the anchor excepted).
  handle = intern_attribute_name(text, length, attribute_class);
  return ORVA_ERROR_NONE;
}

ErrorCode SyncParser::decode_class(const Section& section, StringPool::StringHandle& handle) {
  ErrorCode result = decode_name(section, handle);
  if (result != ORVA_ERROR_NONE) return result;
  // "#" alone marks a name and leaves no class: refused like a missing class, since
  // the writer refuses what has none.
  if (!handle.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  return ORVA_ERROR_NONE;
}

ErrorCode SyncParser::parse_object(Buffer& buffer, Object& object) {
  ErrorCode result = parse_object_line(buffer, object);
  if (result != ORVA_ERROR_NONE) return result;
  advance(buffer);
  while (header_is(buffer, "L")) {
    LinkList& links = object.get_links();
    links.push_back(Link());
    result = parse_link_line(buffer, links[links.size() - 1]);
    if (result != ORVA_ERROR_NONE) return result;
    advance(buffer);
  }
  return parse_children(buffer, object.get_attributes(), 0);
}

ErrorCode SyncParser::parse_children(Buffer& buffer, AttributeList& list, int level) {
  if (get_attribute_level(buffer.current_section()) != level) return ORVA_ERROR_NONE;
  // Gathered first so that the list is allocated once at its size; on an error the
  // attributes read so far, the broken one last, are in the list all the same.
  // One scratch per level, all made with the parser, so that none moves while an
  // outer level still uses its own.
  if (level < 0 || static_cast<size_t>(level) >= m_children.size())
    return ORVA_ERROR_INVALID_PARAMETERS;
  std::vector<SharedPointer<Attribute>>& children = m_children[level];
  children.clear();
  ErrorCode result = ORVA_ERROR_NONE;
  while (get_attribute_level(buffer.current_section()) == level) {
    SharedPointer<Attribute> child(new (std::nothrow) Attribute());
    if (!child.is_valid()) {
      result = ORVA_ERROR_OUT_OF_MEMORY;
      break;
    }
    children.push_back(child);
    result = parse_attribute(buffer, *child, level);
    if (result != ORVA_ERROR_NONE) break;
  }
  list.reserve(list.size() + static_cast<unsigned int>(children.size()));
  for (SharedPointer<Attribute>& child : children) list.push_back(child);
  children.clear();
  return result;
}

ErrorCode SyncParser::parse_attribute(Buffer& buffer, Attribute& attribute, int level) {
  // Nesting is bounded as in the binary records, so hostile input cannot exhaust
  // the stack.
  if (level >= MAX_RECORD_DEPTH) return ORVA_ERROR_INVALID_PARAMETERS;
  ErrorCode result = parse_attribute_line(buffer, attribute);
  if (result != ORVA_ERROR_NONE) return result;
  advance(buffer);
  if (header_is(buffer, "F")) {
    // Gathered first so that the list is allocated once at its size; on an error the
    // fields read so far, the broken one last, are in the list all the same.
    m_fields.clear();
    do {
      m_fields.emplace_back();
      result = parse_field_line(buffer, m_fields.back());
      if (result != ORVA_ERROR_NONE) break;
      advance(buffer);
    } while (header_is(buffer, "F"));
    FieldList& fields = attribute.get_fields();
    fields.reserve(fields.size() + static_cast<unsigned int>(m_fields.size()));
    for (Field& field : m_fields) fields.push_back(std::move(field));
    m_fields.clear();
    if (result != ORVA_ERROR_NONE) return result;
  }
  while (header_is(buffer, "L")) {
    LinkList& links = attribute.get_links();
    links.push_back(Link());
    result = parse_link_line(buffer, links[links.size() - 1]);
    if (result != ORVA_ERROR_NONE) return result;
    advance(buffer);
  }
  if (get_attribute_level(buffer.current_section()) != level + 1) return ORVA_ERROR_NONE;
  return parse_children(buffer, attribute.get_attributes(), level + 1);
}

ErrorCode SyncParser::parse_object_line(Buffer& buffer, Object& object) {
  if (!header_is(buffer, "O") || !buffer.next_section()) return ORVA_ERROR_INVALID_PARAMETERS;
  const Section& section = buffer.current_section();
  StringPool::StringHandle handle;
  ErrorCode result = decode_class(section, handle);
  if (result != ORVA_ERROR_NONE) return result;
  object.set_class_name(handle);

  if (buffer.next_section()) {
    const compact::Token name = section.token();
    object.set_name(intern_name(name.start(), name.length()));
  }
  if (buffer.next_section()) object.set_global_id(section.uint64());
  if (buffer.next_section()) object.set_local_id(section.uint32());
  if (buffer.next_section()) {
    // As set_owner(text) keeps it: the text before the first "%%", whole.
    const compact::Token owner = section.token();
    const char* cut = owner.start();
    while (cut < owner.end() && !(cut[0] == '%' && cut + 1 < owner.end() && cut[1] == '%')) ++cut;
    object.set_owner(StringPool::StringHandle(
        StringPool::insert(owner.start(), static_cast<unsigned int>(cut - owner.start()))));
  }
  if (buffer.next_section())
    object.set_timestamp(static_cast<long long>(section.uint64()));
  if (buffer.next_section()) object.set_version(section.uint32());
  if (buffer.next_section() && section.equals("T")) object.set_partial(true);
  buffer.next_section();
  object.set_sharing(sharing_from_section(section));
  return ORVA_ERROR_NONE;
}

ErrorCode SyncParser::parse_link_line(Buffer& buffer, Link& link) {
  if (!header_is(buffer, "L")) return ORVA_ERROR_INVALID_PARAMETERS;
  const Section& section = buffer.current_section();
  if (buffer.next_section()) link.set_global_link(section.uint64());
  if (buffer.next_section()) link.set_local_link(section.uint32());
  if (buffer.next_section()) {
    StringPool::StringHandle handle;
    ErrorCode result = decode_name(section, handle);
    if (result != ORVA_ERROR_NONE) return result;
    link.set_name(handle);
  }
  return ORVA_ERROR_NONE;
}

ErrorCode SyncParser::parse_attribute_line(Buffer& buffer, Attribute& attribute) {
  if (get_attribute_level(buffer.current_section()) < 0 || !buffer.next_section())
    return ORVA_ERROR_INVALID_PARAMETERS;
  const Section& section = buffer.current_section();
  StringPool::StringHandle handle;
  ErrorCode result = decode_class(section, handle);
  if (result != ORVA_ERROR_NONE) return result;
  attribute.set_class_name(handle);
  if (buffer.next_section()) {
    result = decode_name(section, handle, attribute.get_class_name_handle());
    if (result != ORVA_ERROR_NONE) return result;
    attribute.set_name(handle);
  }
  return ORVA_ERROR_NONE;
}

ErrorCode SyncParser::parse_field_line(Buffer& buffer, Field& field) {
  if (!header_is(buffer, "F") || !buffer.next_section()) return ORVA_ERROR_INVALID_PARAMETERS;
  const Section& section = buffer.current_section();
  Field::DataType type = get_data_type(static_cast<int>(section.uint32()));
  if (buffer.next_section()) {
    StringPool::StringHandle handle;
    ErrorCode result = decode_name(section, handle);
    if (result != ORVA_ERROR_NONE) return result;
    field.set_name(handle);
  }
  buffer.next_section();
  switch (type) {
    case Field::TYPE_INT32:
    case Field::TYPE_UINT32:
    case Field::TYPE_INT64:
    case Field::TYPE_UINT64:
    case Field::TYPE_TIMESTAMP:
      return field.from_string(type, section.string());
    case Field::TYPE_USTRING:
    case Field::TYPE_SPECIAL_USTRING: {
      // As from_string: the text, then the special mark.
      const compact::Token value = section.token();
      ErrorCode result = field.set_value(value.start(), value.length());
      if (type == Field::TYPE_SPECIAL_USTRING) field.set_special_type(type);
      return result;
    }
    case Field::TYPE_FLOAT:
    case Field::TYPE_DOUBLE: {
      const compact::Token value = section.token();
      // The wire writes '.' whatever the locale. from_chars reads the usual forms to the
      // same correctly rounded value as strtod, and needs no locale; anything else (a sign
      // '+', blanks, hexadecimal, trailing bytes, a value out of range) goes to strtod in
      // the locale, as it always did.
      double number = 0;
      if (!value.empty()) {
        const std::from_chars_result read =
            std::from_chars(value.start(), value.end(), number, std::chars_format::general);
        if (read.ec == std::errc() && read.ptr == value.end()) {
          set_real(field, type, number);
          return ORVA_ERROR_NONE;
        }
      }
      const char* point = localeconv()->decimal_point;
      char text[64];
      if (value.length() >= sizeof text || !point || strcmp(point, ".") != 0) {
        std::string copy = section.string();
        convert_from_network_to_locale(copy);
        return field.from_string(type, copy);
      }
      // The locale reads '.' itself: convert the bytes as they are.
      if (value.length()) memcpy(text, value.start(), value.length());
      text[value.length()] = '\0';
      set_real(field, type, strtod(text, nullptr));
      return ORVA_ERROR_NONE;
    }
    case Field::TYPE_KEYWORD: {
      ErrorCode result = decode_tag_name(section.string(), m_handle, m_name);
      if (result != ORVA_ERROR_NONE) return result;
      return field.set_value(m_handle.is_valid() ? StringPool::get_string(m_handle) : m_name);
    }
    case Field::TYPE_BINARY: {
      compact::Token value = section.token();
      SharedPointer<DynamicBuffer> bytes =
          base64_to_binary(reinterpret_cast<const unsigned char*>(value.start()), value.length());
      if (!bytes.is_valid()) {
        LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                         "SyncParser::parse_field_line: failed to parse binary stream");
        return ORVA_ERROR_INVALID_PARAMETERS;
      }
      return field.set_value(bytes);
    }
    default:
      return ORVA_ERROR_INVALID_PARAMETERS;
  }
}

ErrorCode SyncParser::parse_object_status(Buffer& buffer, ObjectStatus& status) {
  ErrorCode result = parse_object_status_line(buffer, status);
  if (result != ORVA_ERROR_NONE) return result;
  advance(buffer);
  while (header_is(buffer, "O")) {
    ObjectPtr object(new (std::nothrow) Object());
    if (!object.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
    status.objects.push_back(object);
    result = parse_object(buffer, *object);
    if (result != ORVA_ERROR_NONE) return result;
  }
  return ORVA_ERROR_NONE;
}

ErrorCode SyncParser::parse_object_status_line(Buffer& buffer, ObjectStatus& status) {
  const Section& section = buffer.current_section();
  if (!header_is(buffer, "S") || !buffer.next_section()) return ORVA_ERROR_INVALID_PARAMETERS;
  status.key = section.string();
  if (!buffer.next_section()) return ORVA_ERROR_INVALID_PARAMETERS;
  status.code = section.uint32();
  if (buffer.next_section()) status.message = section.string();
  return ORVA_ERROR_NONE;
}

ErrorCode SyncParser::parse_forward_status_line(Buffer& buffer, ForwardStatus& status) {
  const Section& section = buffer.current_section();
  if (!header_is(buffer, "F") || !buffer.next_section()) return ORVA_ERROR_INVALID_PARAMETERS;
  status.key = section.string();
  if (!buffer.next_section()) return ORVA_ERROR_INVALID_PARAMETERS;
  status.code = section.uint32();
  if (buffer.next_section()) status.url = section.string();
  if (buffer.next_section()) status.message = section.string();
  return ORVA_ERROR_NONE;
}

ErrorCode SyncParser::parse_response_status_line(Buffer& buffer, ResponseStatus& status) {
  const Section& section = buffer.current_section();
  if (!header_is(buffer, "R") || !buffer.next_section()) return ORVA_ERROR_INVALID_PARAMETERS;
  status.status = section.equals("OK") ? 0 : 1;
  status.message = section.string();
  return ORVA_ERROR_NONE;
}

int SyncParser::get_attribute_level(const Section& header) {
  compact::Token token = header.token();
  if (token.length() == 0 || token.start()[0] != 'A') return -1;
  if (token.length() == 2 && token.start()[1] >= '0' && token.start()[1] <= '9')
    return token.start()[1] - '0';  // the usual "A0" to "A9"
  std::string rest(token.start() + 1, token.length() - 1);
  long level = strtol(rest.c_str(), nullptr, 10);
  // A 32-bit long: values beyond it clamp to its ends.
  if (level > INT_MAX) return INT_MAX;
  if (level < INT_MIN) return INT_MIN;
  return static_cast<int>(level);
}

void SyncParser::convert_from_network_to_locale(std::string& text) {
  const char* point = localeconv()->decimal_point;
  if (!point || strcmp(point, ".") == 0 || *point == '\0') return;
  size_t at = text.find('.');
  if (at != std::string::npos) text.replace(at, 1, point);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
