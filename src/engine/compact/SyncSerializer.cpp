#include "compact/SyncSerializer.h"

#include <keldra/Attribute.h>
#include <keldra/Field.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/Object.h>

#include "runtime/Base64Encode.h"
#include "model/RecordUtils.h"
#include "runtime/Timestamp.h"
#include "runtime/Utf16.h"
#include "compact/NameCodes.h"
#include "compact/Utf8.h"

#include <charconv>
#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const unsigned int REQUEST_GROWTH = 4096;

template <class T>
void append_number(T value, std::string& out) {
  char text[24];
  std::to_chars_result r = std::to_chars(text, text + sizeof(text), value);
  out.append(text, r.ptr);
}

// Appends the number, or nothing for 0 (an id or version that is not set).
template <class T>
void append_nonzero(T value, std::string& out) {
  if (value != 0) append_number(value, out);
}

// The wire code of each Field::DataType; 0 where the type has none.
const unsigned int WIRE_CODE[16] = {0, 1, 3, 2, 4, 5, 6, 7, 8, 11, 10, 9, 0, 0, 0, 0};
const unsigned int WIRE_KEYWORD = 11;
// 10000-01-01T00:00:00.000Z in milliseconds.
const long long FIRST_TIME_OF_YEAR_10000 = 253402300800000LL;

unsigned int sharing_code(SharingModel sharing) {
  switch (sharing) {
    case SHARING_PUBLIC_READ_ONLY:
      return compact::CODE_PUBLIC_READONLY;
    case SHARING_PUBLIC_READ_WRITE:
      return compact::CODE_PUBLIC_READWRITE;
    case SHARING_PRIVATE_PERMANENT:
      return compact::CODE_PRIVATE_PERMANENT;
    case SHARING_RESTRICTED:
      return compact::CODE_RESTRICTED;
    default:
      return compact::CODE_PRIVATE;  // 0 and 3 (deleted by owner) alike
  }
}

// The bytes escaped in texts: ':', ';' and '\\'.
struct EscapedBytes {
  bool flag[256] = {};
  EscapedBytes() { flag[':'] = flag[';'] = flag['\\'] = true; }
};
const EscapedBytes kNeedsEscape;

// Appends the bytes with ':', ';' and '\\' escaped. These never occur inside a
// multi-byte UTF-8 sequence, so escaping the bytes equals escaping the characters.
void escape_bytes(const char* text, size_t length, std::string& out) {
  const char* from = text;
  const char* const end = text + length;
  const char* p = from;
  for (;;) {
    while (p < end && !kNeedsEscape.flag[static_cast<unsigned char>(*p)]) ++p;
    out.append(from, p);
    if (p == end) break;
    out += '\\';
    out += *p;
    from = ++p;
  }
}

// A name a reader would take for a code unless marked: texts starting with a digit,
// a sign or white space (strtol skips blanks and reads a sign), and texts that start
// with the mark itself.
bool needs_mark(char c) {
  return (c >= '0' && c <= '9') || c == '#' || c == '-' || c == '+' || c == ' ' ||
         (c >= '\t' && c <= '\r');
}

// Appends |text| escaped. False, with nothing appended, for text the reader would
// refuse (not UTF-8, or a zero byte, which ends a message): such a text is refused
// rather than sent as data that cannot be read back.
bool append_text(const char* text, size_t length, std::string& out) {
  if (!compact::is_wire_text(text, length)) {
    LoggerUmbo::logf(LoggerUmbo::MSG_WARNING,
                     "SyncSerializer: text is not UTF-8 or holds a zero byte");
    return false;
  }
  escape_bytes(text, length, out);
  return true;
}

bool append_text(const std::string& text, std::string& out) {
  return append_text(text.data(), text.size(), out);
}

// Appends a field of a request line as it is, unescaped: device id, digest, item keys,
// MIME types. The device id carries its own escapes ("IMEI\:..."), which the server
// reads as they are. False, with nothing appended, for text the reader would refuse, and
// for a ';' or a line end, which would end the line and start one of the text's own.
bool append_raw(const std::string& text, std::string& out) {
  if (!compact::is_wire_text(text.data(), text.size()) ||
      text.find_first_of(";\n\r") != std::string::npos) {
    LoggerUmbo::logf(LoggerUmbo::MSG_WARNING,
                     "SyncSerializer: request field is not UTF-8 or would end its line");
    return false;
  }
  out += text;
  return true;
}

// append_text of an interned text (all its bytes); nothing for the null handle.
bool append_text(const StringPool::StringHandle& handle, std::string& out) {
  if (!handle.is_valid()) return true;
  return append_text(handle.get()->get_text(), handle.get()->length(), out);
}

// Appends UTF-16 text as escaped UTF-8, as append_text does with the text that
// Field::get_value gives (a surrogate alone becomes U+FFFD, so the bytes are always
// UTF-8). False, with nothing appended, for a text holding U+0000.
bool append_units(const unsigned short* units, unsigned int n, std::string& out) {
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(n) * 3);  // the most any unit takes
  char* q = &out[start];
  for (unsigned int i = 0; i < n; ++i) {
    const unsigned short u = units[i];
    if (u < 0x80) {
      if (u == 0) {
        out.resize(start);
        LoggerUmbo::logf(LoggerUmbo::MSG_WARNING,
                         "SyncSerializer: text is not UTF-8 or holds a zero byte");
        return false;
      }
      if (kNeedsEscape.flag[u]) *q++ = '\\';
      *q++ = static_cast<char>(u);
      continue;
    }
    q = put_utf8(units, n, i, q);
  }
  out.resize(static_cast<size_t>(q - out.data()));
  return true;
}

}  // namespace

SyncSerializer::SyncSerializer() : m_route_properties(false), m_pool(StringPool::create()) {
  if (!m_pool.is_valid()) throw std::bad_alloc();
  for (unsigned int code = compact::NAME_CODE_FIRST; code <= compact::NAME_CODE_LAST; ++code) {
    StringPool::StringHandle handle;
    m_pool->init_handle(handle, compact::name_of_code(code));
    unsigned int slot = code_slot(handle.get());
    while (m_code_names[slot] && m_code_names[slot] != handle.get())
      slot = (slot + 1) & (CODE_SLOTS - 1);
    m_code_names[slot] = handle.get();
    m_code_values[slot] = static_cast<unsigned short>(code);
    switch (code) {
      case compact::CODE_MODE:
        m_mode = handle;
        break;
      case compact::CODE_TYPE:
        m_type = handle;
        break;
      case compact::CODE_OPTION:
        m_option = handle;
        break;
      case compact::CODE_ROUTE_PROPERTIES:
        m_route_properties_class = handle;
        break;
      case compact::CODE_PROPERTIES:
        m_properties_name = handle;
        break;
      case compact::CODE_LOCAL_URI:
        m_local_uri = handle;
        break;
      default:
        break;
    }
  }
}

SyncSerializer::~SyncSerializer() {}

ErrorCode SyncSerializer::encode(const Object& object, SharedPointer<DynamicBuffer>& buffer,
                                 bool header_only) {
  if (!buffer.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  m_output = buffer;
  m_scratch.clear();
  ErrorCode result = add_object_start(object, header_only, m_scratch);
  if (result == ORVA_ERROR_NONE) result = add_object_attributes(object, header_only, m_scratch);
  // What was composed before an error stays written, as a line-by-line writer leaves it.
  ErrorCode written = append_to_buffer(m_scratch);
  return result != ORVA_ERROR_NONE ? result : written;
}

ErrorCode SyncSerializer::add_object_start(const Object& object, bool header_only,
                                           std::string& out) {
  out += "O:";
  size_t class_start = out.size();
  if (!encode_tag_name(object.get_class_name_handle(), out) || out.size() == class_start)
    return ORVA_ERROR_INVALID_PARAMETERS;
  out += ':';
  if (!append_text(object.get_name_handle(), out)) return ORVA_ERROR_INVALID_PARAMETERS;
  out += ':';
  append_nonzero(object.get_global_id(), out);
  out += ':';
  append_nonzero(object.get_local_id(), out);
  out += ':';
  if (!append_text(object.get_owner_handle(), out)) return ORVA_ERROR_INVALID_PARAMETERS;
  out += "::";  // the timestamp section is always empty
  append_nonzero(object.get_version(), out);
  out += ':';
  if (header_only || object.is_partial()) out += 'T';
  out += ':';
  append_number(sharing_code(object.get_sharing()), out);
  add_tag_close(out);
  return ORVA_ERROR_NONE;
}

ErrorCode SyncSerializer::add_object_attributes(const Object& object, bool header_only,
                                                std::string& out) {
  if (header_only) return ORVA_ERROR_NONE;
  ErrorCode result = add_links(object.get_links(), out);
  if (result != ORVA_ERROR_NONE) return result;
  return add_attributes(object.get_attributes(), 0, out);
}

ErrorCode SyncSerializer::add_links(const LinkList& links, std::string& out) {
  for (const Link& link : links) {
    ErrorCode result = add_link(link, out);
    if (result != ORVA_ERROR_NONE) return result;
  }
  return ORVA_ERROR_NONE;
}

ErrorCode SyncSerializer::add_link(const Link& link, std::string& out) {
  out += "L:";
  append_nonzero(link.get_global_link(), out);
  out += ':';
  append_nonzero(link.get_local_link(), out);
  out += ':';
  if (!encode_tag_name(link.get_name_handle(), out)) return ORVA_ERROR_INVALID_PARAMETERS;
  add_tag_close(out);
  return ORVA_ERROR_NONE;
}

ErrorCode SyncSerializer::add_attributes(const AttributeList& attributes, unsigned int level,
                                         std::string& out) {
  for (const SharedPointer<Attribute>& attribute : attributes) {
    if (!attribute.is_valid()) continue;
    ErrorCode result = add_attribute(*attribute, level, out);
    if (result != ORVA_ERROR_NONE) return result;
  }
  return ORVA_ERROR_NONE;
}

ErrorCode SyncSerializer::add_attribute(const Attribute& attribute, unsigned int level,
                                        std::string& out) {
  // The local copy of a media file never leaves the device.
  // The pool holds one string per text, so the name is compared by its string.
  if (attribute.get_name_handle().is_valid() && attribute.get_name_handle() == m_local_uri)
    return ORVA_ERROR_NONE;
  // The reader refuses deeper nesting, so it is not written either.
  if (level >= static_cast<unsigned int>(MAX_RECORD_DEPTH)) return ORVA_ERROR_INVALID_PARAMETERS;
  ErrorCode result = add_att_attributes(attribute, level, out);
  if (result != ORVA_ERROR_NONE) return result;
  for (const Field& field : attribute.get_fields()) {
    result = add_field(field, out);
    if (result != ORVA_ERROR_NONE) return result;
  }
  result = add_links(attribute.get_links(), out);
  if (result != ORVA_ERROR_NONE) return result;
  return add_attributes(attribute.get_attributes(), level + 1, out);
}

ErrorCode SyncSerializer::add_att_attributes(const Attribute& attribute, unsigned int level,
                                             std::string& out) {
  out += 'A';
  append_number(level, out);
  out += ':';
  size_t class_start = out.size();
  if (!encode_tag_name(attribute.get_class_name_handle(), out) || out.size() == class_start)
    return ORVA_ERROR_INVALID_PARAMETERS;
  if (attribute.get_name_handle().is_valid()) {
    out += ':';
    if (!encode_tag_name(attribute.get_name_handle(), out)) return ORVA_ERROR_INVALID_PARAMETERS;
  }
  add_tag_close(out);
  m_route_properties = attribute.get_class_name_handle() == m_route_properties_class &&
                       attribute.get_name_handle() == m_properties_name;
  return ORVA_ERROR_NONE;
}

ErrorCode SyncSerializer::add_field(const Field& field, std::string& out) {
  Field::DataType type = field.get_type();
  // A field made by add_field and never set carries nothing: skipped like an empty one.
  if (type == Field::TYPE_NONE) return ORVA_ERROR_NONE;
  if (type == Field::TYPE_KEYWORD || type > Field::TYPE_BINARY) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "SyncSerializer::add_field: field type %d not supported",
                     static_cast<int>(type));
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  const StringPool::StringHandle& name = field.get_name_handle();
  if (!name.is_valid() || name.get()->length() == 0) return ORVA_ERROR_NONE;

  unsigned int wire = WIRE_CODE[type];
  m_value.clear();
  switch (type) {
    case Field::TYPE_INT32: {
      int v = 0;
      field.get_value(v);
      append_number(v, m_value);
      break;
    }
    case Field::TYPE_UINT32: {
      unsigned int v = 0;
      field.get_value(v);
      append_number(v, m_value);
      break;
    }
    case Field::TYPE_INT64: {
      long long v = 0;
      field.get_value(v);
      append_number(v, m_value);
      break;
    }
    case Field::TYPE_UINT64: {
      unsigned long long v = 0;
      field.get_value(v);
      append_number(v, m_value);
      break;
    }
    case Field::TYPE_FLOAT: {
      float v = 0;
      field.get_value(v);
      convert_from_locale_to_network(v, 7, m_value);
      break;
    }
    case Field::TYPE_DOUBLE: {
      double v = 0;
      field.get_value(v);
      convert_from_locale_to_network(v, 15, m_value);
      break;
    }
    case Field::TYPE_TIMESTAMP: {
      std::string text;
      field.to_string(text);
      long long value = 0;
      field.get_timestamp(value);
      // Years of more than four digits (from 10000 on, and far in the past) have no
      // text the reader takes back: such a time would arrive as another or not at all.
      // Times from 1970 up to the end of 9999 always come back, unread.
      if (!text.empty() && !(value >= 0 && value < FIRST_TIME_OF_YEAR_10000) &&
          static_cast<long long>(Timestamp::from_iso_any(text, true)) != value) {
        LoggerUmbo::logf(LoggerUmbo::MSG_WARNING,
                         "SyncSerializer::add_field: time %lld cannot be written", value);
        return ORVA_ERROR_INVALID_PARAMETERS;
      }
      escape_content(text, m_value);
      break;
    }
    case Field::TYPE_USTRING:
    case Field::TYPE_SPECIAL_USTRING: {
      if (type == Field::TYPE_USTRING && m_route_properties &&
          (name == m_mode || name == m_type || name == m_option)) {
        // A route keyword already known as a name goes as that name, coded.
        std::string& text = m_text;
        field.get_value(text);
        const PString* keyword =
            text.find('\0') == std::string::npos ? m_pool->find(text.c_str()) : nullptr;
        if (keyword) {
          wire = WIRE_KEYWORD;
          if (!encode_tag_name(StringPool::StringHandle(keyword), m_value))
            return ORVA_ERROR_INVALID_PARAMETERS;
          break;
        }
      }
      // A text field may hold U+0000, which the format cannot carry.
      if (!append_units(field.get_ustring(), field.get_value_length(), m_value))
        return ORVA_ERROR_INVALID_PARAMETERS;
      break;
    }
    case Field::TYPE_BINARY:
      field.to_string(m_value);  // Base64: no character that needs escaping
      break;
    default:
      break;
  }
  if (m_value.empty()) return ORVA_ERROR_NONE;

  out += "F:";
  append_number(wire, out);
  out += ':';
  if (!encode_tag_name(name, out)) return ORVA_ERROR_INVALID_PARAMETERS;
  out += ':';
  out += m_value;
  add_tag_close(out);
  return ORVA_ERROR_NONE;
}

bool SyncSerializer::encode_tag_name(const StringPool::StringHandle& handle,
                                     std::string& out) const {
  if (!handle.is_valid()) return true;
  const unsigned int code = code_of(handle.get());
  if (code != 0) {
    append_number(code, out);
    return true;
  }
  return encode_text_name(handle.get()->get_string(), out);
}

bool SyncSerializer::encode_tag_name(const std::string& text, std::string& out) const {
  if (text.empty()) return true;
  // Pool texts end at their first zero byte: look up only what the pool can hold.
  const PString* interned =
      text.find('\0') == std::string::npos ? m_pool->find(text.c_str()) : nullptr;
  if (interned) return encode_tag_name(StringPool::StringHandle(interned), out);
  return encode_text_name(text, out);
}

bool SyncSerializer::encode_text_name(const std::string& text, std::string& out) const {
  if (text.empty()) return true;
  size_t start = out.size();
  if (needs_mark(text[0])) out += '#';
  if (append_text(text, out)) return true;
  out.resize(start);
  return false;
}

void SyncSerializer::escape_content(const std::string& text, std::string& out) {
  escape_bytes(text.data(), text.size(), out);
}

void SyncSerializer::convert_from_locale_to_network(double value, int precision,
                                                    std::string& out) {
  if (!std::isfinite(value)) return;
  // to_chars formats as printf does in the "C" locale, so the separator is always '.'.
  char text[512];
  std::to_chars_result r =
      std::to_chars(text, text + sizeof(text), value, std::chars_format::general, precision);
  if (r.ec == std::errc()) out.append(text, r.ptr);
}

ErrorCode SyncSerializer::append_to_buffer(const std::string& text) {
  if (!m_output.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  // The buffer counts in 32 bits: a longer text would be cut, not written.
  if (text.size() > UINT32_MAX) return ORVA_ERROR_OUT_OF_MEMORY;
  // A request grows by thousands of lines: the buffer doubles rather than growing by a
  // fixed step, so that building it stays linear in its length.
  const uint64_t needed = static_cast<uint64_t>(m_output->get_data_length()) + text.size();
  if (needed > m_output->get_capacity()) {
    const uint64_t doubled = std::max<uint64_t>(needed, 2ull * m_output->get_capacity());
    if (!m_output->reserve(static_cast<unsigned int>(std::min<uint64_t>(doubled, UINT32_MAX))) &&
        !m_output->reserve(static_cast<unsigned int>(needed > UINT32_MAX ? UINT32_MAX : needed)))
      return ORVA_ERROR_OUT_OF_MEMORY;
  }
  if (!m_output->write(reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<unsigned int>(text.size())))
    return ORVA_ERROR_OUT_OF_MEMORY;
  return ORVA_ERROR_NONE;
}

ErrorCode SyncSerializer::append_to_buffer(const char* text) {
  return append_to_buffer(std::string(text ? text : ""));
}

ErrorCode SyncSerializer::start_request(const std::string& device_id,
                                        const std::string& digest) {
  m_scratch = "R:";
  if (!append_raw(device_id, m_scratch)) return ORVA_ERROR_INVALID_PARAMETERS;
  m_scratch += ':';
  if (!append_raw(digest, m_scratch)) return ORVA_ERROR_INVALID_PARAMETERS;
  add_tag_close(m_scratch);
  m_output.release();
  DynamicBuffer* buffer = new (std::nothrow) DynamicBuffer(REQUEST_GROWTH);
  if (!buffer) return ORVA_ERROR_OUT_OF_MEMORY;
  m_output = buffer;
  return append_to_buffer(m_scratch);
}

ErrorCode SyncSerializer::add_object_request(ObjectCommand command, const std::string& key,
                                             unsigned long long global_id, bool cascade) {
  if (!m_output.is_valid()) return ORVA_ERROR_NOT_SUPPORTED;
  if (command != COMMAND_GET && command != COMMAND_DELETE) return ORVA_ERROR_INVALID_PARAMETERS;
  m_scratch = command == COMMAND_GET ? "G:" : "D:";
  if (!append_raw(key, m_scratch)) return ORVA_ERROR_INVALID_PARAMETERS;
  m_scratch += ':';
  append_number(global_id, m_scratch);
  m_scratch += cascade ? ":T;" : ":F;";
  return append_to_buffer(m_scratch);
}

ErrorCode SyncSerializer::add_object_submit(ObjectCommand command, const std::string& key,
                                            const Object& object, bool header_only) {
  if (!m_output.is_valid()) return ORVA_ERROR_NOT_SUPPORTED;
  if (command != COMMAND_ADD && command != COMMAND_UPDATE) return ORVA_ERROR_INVALID_PARAMETERS;
  m_scratch = command == COMMAND_ADD ? "A:" : "U:";
  if (!append_raw(key, m_scratch)) return ORVA_ERROR_INVALID_PARAMETERS;
  add_tag_close(m_scratch);
  ErrorCode result = append_to_buffer(m_scratch);
  if (result != ORVA_ERROR_NONE) return result;
  SharedPointer<DynamicBuffer> output = m_output;
  return encode(object, output, header_only);
}

ErrorCode SyncSerializer::add_forward_command(const std::string& service,
                                              const std::string& mime_type,
                                              const std::string& key) {
  if (!m_output.is_valid()) return ORVA_ERROR_NOT_SUPPORTED;
  m_scratch = "FW:";
  if (!append_text(service, m_scratch)) return ORVA_ERROR_INVALID_PARAMETERS;
  m_scratch += ':';
  if (!append_raw(mime_type, m_scratch)) return ORVA_ERROR_INVALID_PARAMETERS;
  m_scratch += ':';
  if (!append_raw(key, m_scratch)) return ORVA_ERROR_INVALID_PARAMETERS;
  m_scratch += ";\n";
  return append_to_buffer(m_scratch);
}

ErrorCode SyncSerializer::add_get_file_line_command(const std::string& first,
                                                    std::string second) {
  if (!m_output.is_valid()) return ORVA_ERROR_NOT_SUPPORTED;
  m_scratch = "GF:";
  if (!append_raw(first, m_scratch)) return ORVA_ERROR_INVALID_PARAMETERS;
  m_scratch += ':';
  if (!append_text(second, m_scratch)) return ORVA_ERROR_INVALID_PARAMETERS;
  m_scratch += ";\n";
  return append_to_buffer(m_scratch);
}

std::string SyncSerializer::create_auth_digest(const std::string& user,
                                               const std::string& password) {
  std::string out;
  encode_digest(user + ":" + password, out);
  return out;
}

std::string SyncSerializer::create_auth_digest(const std::string& token) {
  return create_auth_digest(kTokenUserPrefix + token, kTokenPassword);
}

void SyncSerializer::encode_digest(const std::string& text, std::string& out) {
  unsigned int n = static_cast<unsigned int>(text.size());
  std::vector<unsigned char> encoded((n / 3 + 1) * 4);
  unsigned int written = static_cast<unsigned int>(encoded.size());
  if (!Base64Encode::encode(reinterpret_cast<const unsigned char*>(text.data()), n,
                            encoded.data(), written))
    return;
  out.assign(reinterpret_cast<const char*>(encoded.data()), written);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
