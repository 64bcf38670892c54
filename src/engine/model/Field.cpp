#include <keldra/Field.h>

#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>
#include <tervo/ustring.h>

#include "runtime/Base64Decode.h"
#include "runtime/Base64Encode.h"
#include "model/RecordUtils.h"
#include "runtime/Timestamp.h"
#include "runtime/Utf16.h"
#include "runtime/Utf8.h"

#include <cctype>
#include <cfloat>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace orva {
namespace keldra {

namespace {

uint64_t bits_of(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

uint32_t bits_of(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

bool is_text(Field::DataType type) {
  return type == Field::TYPE_USTRING || type == Field::TYPE_SPECIAL_USTRING;
}

// A new zero-terminated copy of |count| units, or null when memory is missing.
unsigned short* copy_units(const unsigned short* units, unsigned int count) {
  unsigned short* copy = new (std::nothrow) unsigned short[static_cast<size_t>(count) + 1];
  if (!copy) return nullptr;
  if (count) std::memcpy(copy, units, count * sizeof(unsigned short));
  copy[count] = 0;
  return copy;
}

// UTF-8 as new zero-terminated UTF-16 units, in one pass and one block. False when
// the text holds a sequence that is not well-formed UTF-8 (orva::ustring then
// decides what it becomes); |units| null with |count| 0 for the empty text, and with
// |no_memory| set when the block could not be had.
bool utf8_to_units(const char* bytes, size_t size, unsigned short*& units, unsigned int& count,
                   bool& no_memory) {
  units = nullptr;
  count = 0;
  no_memory = false;
  if (size == 0) return true;
  unsigned short* out = new (std::nothrow) unsigned short[size + 1];
  if (!out) {
    no_memory = true;
    return true;
  }
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  const unsigned char* const end = p + size;
  unsigned short* q = out;
  while (p < end) {
    const unsigned char b = *p;
    if (b < 0x80) {
      *q++ = b;
      ++p;
      continue;
    }
    char32_t cp;
    const unsigned int used = internal::decode_utf8(p, static_cast<size_t>(end - p), cp);
    if (used == 0) {
      delete[] out;
      return false;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *q++ = static_cast<unsigned short>(0xD800 + (cp >> 10));
      *q++ = static_cast<unsigned short>(0xDC00 + (cp & 0x3FF));
    } else {
      *q++ = static_cast<unsigned short>(cp);
    }
    p += used;
  }
  *q = 0;
  units = out;
  count = static_cast<unsigned int>(q - out);
  return true;
}

}  // namespace

Field::Field() : m_flags(0), m_bits(0), m_units(nullptr), m_length(0) { init(); }
Field::Field(int value) : Field() { set_value(value); }
Field::Field(unsigned int value) : Field() { set_value(value); }
Field::Field(long long value) : Field() { set_value(value); }
Field::Field(unsigned long long value) : Field() { set_value(value); }
Field::Field(float value) : Field() { set_value(value); }
Field::Field(double value) : Field() { set_value(value); }
Field::Field(const unsigned short* units) : Field() { set_value(units); }
Field::Field(const unsigned short* units, unsigned int count) : Field() {
  set_value(units, count);
}
Field::Field(const char* utf8) : Field() { set_value(utf8); }
Field::Field(const char* utf8, unsigned int bytes) : Field() { set_value(utf8, bytes); }
Field::Field(const std::string& utf8) : Field() { set_value(utf8); }
Field::Field(const orva::ustring& text) : Field() { set_value(text); }
Field::Field(orva::SharedPointer<DynamicBuffer> buffer) : Field() { set_value(buffer); }
Field::Field(const std::vector<unsigned char>& bytes) : Field() { set_value(bytes); }

Field::Field(const Field& other)
    : RefCountable(), Serializable(), m_flags(0), m_bits(0), m_units(nullptr), m_length(0) {
  init();
  *this = other;
}

Field::Field(Field&& other) noexcept
    : RefCountable(),
      Serializable(),
      m_name(other.m_name),
      m_flags(other.m_flags),
      m_bits(other.m_bits),
      m_units(other.m_units),
      m_length(other.m_length),
      m_buffer(other.m_buffer) {
  other.m_units = nullptr;
  other.m_length = 0;
  other.m_buffer.release();
  other.m_bits = 0;
  other.m_flags = FLAG_MODIFIED;
  other.m_name = StringPool::StringHandle();
}

Field::~Field() { release_value(); }

Field& Field::operator=(const Field& other) {
  if (this == &other || is_equal(other, true)) return *this;
  // Take the new value before releasing ours: |other| may share our buffer.
  unsigned short* units = nullptr;
  DataType type = other.get_type();
  if (is_text(type) && other.m_units) {
    units = copy_units(other.m_units, other.m_length);
    if (!units) throw std::bad_alloc();
  }
  orva::SharedPointer<DynamicBuffer> buffer =
      type == TYPE_BINARY ? other.m_buffer : orva::SharedPointer<DynamicBuffer>();
  reset();
  if (is_text(type)) {
    m_units = units;
    m_length = units ? other.m_length : 0;
  } else if (type == TYPE_BINARY) {
    m_buffer = buffer;
  } else {
    m_bits = other.m_bits;
  }
  m_flags = other.m_flags | FLAG_MODIFIED;
  m_name = other.m_name;
  return *this;
}

Field& Field::operator=(Field&& other) noexcept {
  if (this == &other) return *this;
  release_value();
  m_name = other.m_name;
  m_flags = other.m_flags;
  m_bits = other.m_bits;
  m_units = other.m_units;
  m_length = other.m_length;
  m_buffer = other.m_buffer;
  other.m_units = nullptr;
  other.m_length = 0;
  other.m_buffer.release();
  other.m_bits = 0;
  other.m_flags = FLAG_MODIFIED;
  other.m_name = StringPool::StringHandle();
  return *this;
}

// --- typed getters ---

ErrorCode Field::get_value(int& out) const {
  if (get_type() != TYPE_INT32) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  out = static_cast<int>(low_bits());
  return ORVA_ERROR_NONE;
}

ErrorCode Field::get_value(unsigned int& out) const {
  if (get_type() != TYPE_UINT32) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  out = low_bits();
  return ORVA_ERROR_NONE;
}

ErrorCode Field::get_value(long long& out) const {
  if (get_type() != TYPE_INT64) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  out = static_cast<long long>(m_bits);
  return ORVA_ERROR_NONE;
}

ErrorCode Field::get_value(unsigned long long& out) const {
  if (get_type() != TYPE_UINT64) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  out = m_bits;
  return ORVA_ERROR_NONE;
}

ErrorCode Field::get_value(float& out) const {
  if (get_type() != TYPE_FLOAT) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  uint32_t bits = low_bits();
  std::memcpy(&out, &bits, sizeof out);
  return ORVA_ERROR_NONE;
}

ErrorCode Field::get_value(double& out) const {
  if (get_type() != TYPE_DOUBLE) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  std::memcpy(&out, &m_bits, sizeof out);
  return ORVA_ERROR_NONE;
}

ErrorCode Field::get_timestamp(long long& out) const {
  if (get_type() != TYPE_TIMESTAMP) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  out = static_cast<long long>(m_bits);
  return ORVA_ERROR_NONE;
}

ErrorCode Field::get_value(orva::ustring& out) const {
  if (!is_text(get_type())) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  out.assign(m_units, m_length);
  return ORVA_ERROR_NONE;
}

ErrorCode Field::get_value(std::string& out) const {
  if (!is_text(get_type())) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  // As orva::ustring::to_utf8, straight into |out| (whose capacity is reused): pairs
  // of surrogates are one character, a surrogate alone is U+FFFD.
  out.resize(static_cast<size_t>(m_length) * 3);
  char* q = &out[0];
  const unsigned short* units = m_units;
  const unsigned int n = m_length;
  for (unsigned int i = 0; i < n; ++i) {
    const unsigned short u = units[i];
    if (u < 0x80) {
      *q++ = static_cast<char>(u);
      continue;
    }
    q = internal::put_utf8(units, n, i, q);
  }
  out.resize(static_cast<size_t>(q - out.data()));
  return ORVA_ERROR_NONE;
}

ErrorCode Field::get_value(std::vector<unsigned char>& out) const {
  if (get_type() != TYPE_BINARY) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  if (m_buffer.is_valid()) m_buffer->copy(out);
  return ORVA_ERROR_NONE;
}

ErrorCode Field::get_value(orva::SharedPointer<DynamicBuffer>& out) const {
  if (get_type() != TYPE_BINARY) return ORVA_ERROR_KELDRA_WRONG_TYPE;
  if (m_buffer.is_valid()) out = m_buffer;
  return ORVA_ERROR_NONE;
}

const unsigned short* Field::get_ustring() const {
  return is_text(get_type()) ? m_units : nullptr;
}

unsigned int Field::get_value_length() const {
  switch (get_type()) {
    case TYPE_INT32:
    case TYPE_UINT32:
    case TYPE_FLOAT:
      return 4;
    case TYPE_INT64:
    case TYPE_UINT64:
    case TYPE_DOUBLE:
    case TYPE_TIMESTAMP:
      return 8;
    case TYPE_USTRING:
    case TYPE_SPECIAL_USTRING:
      return m_length;
    case TYPE_BINARY:
      return m_buffer.is_valid() ? m_buffer->get_data_length() : 0;
    default:
      return 0;
  }
}

const unsigned char* Field::get_value_data() const {
  if (get_type() != TYPE_BINARY || !m_buffer.is_valid()) return nullptr;
  return m_buffer->get_data();
}

// --- setters ---

void Field::set_bits(DataType type, uint64_t bits) {
  release_value();
  m_bits = bits;
  m_flags = (m_flags & ~TYPE_MASK) | type | FLAG_MODIFIED;
}

void Field::set_value(int value) { set_bits(TYPE_INT32, static_cast<uint32_t>(value)); }
void Field::set_value(unsigned int value) { set_bits(TYPE_UINT32, value); }
void Field::set_value(long long value) { set_bits(TYPE_INT64, static_cast<uint64_t>(value)); }
void Field::set_value(unsigned long long value) { set_bits(TYPE_UINT64, value); }
void Field::set_value(float value) { set_bits(TYPE_FLOAT, bits_of(value)); }
void Field::set_value(double value) { set_bits(TYPE_DOUBLE, bits_of(value)); }
void Field::set_timestamp(long long ms) { set_bits(TYPE_TIMESTAMP, static_cast<uint64_t>(ms)); }

ErrorCode Field::set_string_buffer(const unsigned short* units, unsigned int count) {
  if (!units) count = 0;
  // Copy first: |units| may be this field's own text.
  unsigned short* copy = nullptr;
  if (count) {
    copy = copy_units(units, count);
    if (!copy) {
      reset_value();
      return ORVA_ERROR_OUT_OF_MEMORY;
    }
  }
  reset_value();
  m_units = copy;
  m_length = count;
  set_type(TYPE_USTRING);
  return ORVA_ERROR_NONE;
}

ErrorCode Field::set_value(const unsigned short* units, unsigned int count) {
  return set_string_buffer(units, count);
}

ErrorCode Field::set_value(const unsigned short* units) {
  unsigned int count = 0;
  if (units) {
    while (units[count]) ++count;
  }
  return set_string_buffer(units, count);
}

ErrorCode Field::set_value(const orva::ustring& text) {
  return set_string_buffer(text.c_str(), text.length());
}

ErrorCode Field::set_value(const std::string& utf8) {
  return set_value(utf8.data(), static_cast<unsigned int>(utf8.size()));
}

ErrorCode Field::set_value(const char* utf8) {
  return set_value(utf8, utf8 ? static_cast<unsigned int>(std::strlen(utf8)) : 0u);
}

ErrorCode Field::set_value(const char* utf8, unsigned int bytes) {
  if (!utf8) bytes = 0;
  unsigned short* units = nullptr;
  unsigned int count = 0;
  bool no_memory = false;
  if (utf8_to_units(utf8, bytes, units, count, no_memory)) {
    reset_value();
    if (no_memory) return ORVA_ERROR_OUT_OF_MEMORY;
    m_units = units;
    m_length = count;
    set_type(TYPE_USTRING);
    return ORVA_ERROR_NONE;
  }
  try {
    orva::ustring text(std::string(utf8, bytes));
    return set_string_buffer(text.c_str(), text.length());
  } catch (const std::bad_alloc&) {
    reset_value();
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
}

ErrorCode Field::set_value(orva::SharedPointer<DynamicBuffer> buffer) {
  reset_value();
  m_buffer = buffer;
  set_type(TYPE_BINARY);
  return ORVA_ERROR_NONE;
}

ErrorCode Field::set_value(const std::vector<unsigned char>& bytes) {
  reset_value();
  orva::SharedPointer<DynamicBuffer> buffer(new (std::nothrow) DynamicBuffer());
  if (!buffer.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  *buffer = bytes;
  if (buffer->get_data_length() != bytes.size()) return ORVA_ERROR_OUT_OF_MEMORY;
  m_buffer = buffer;
  set_type(TYPE_BINARY);
  return ORVA_ERROR_NONE;
}

ErrorCode Field::set_value_data(const unsigned char* data, unsigned int count) {
  // Copy first: |data| may be this field's own buffer.
  orva::SharedPointer<DynamicBuffer> buffer(new (std::nothrow) DynamicBuffer());
  if (!buffer.is_valid() || !buffer->write(data, count)) {
    reset_value();
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
  reset_value();
  m_buffer = buffer;
  set_type(TYPE_BINARY);
  return ORVA_ERROR_NONE;
}

ErrorCode Field::set_special_type(DataType type) {
  if (type != TYPE_SPECIAL_USTRING || get_type() != TYPE_USTRING) {
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  set_type(TYPE_SPECIAL_USTRING);
  return ORVA_ERROR_NONE;
}

// --- lower level ---

void Field::init() {
  // Constructors have nothing to release; a field that holds a value gives it up
  // rather than leak its text or keep a reference to its buffer.
  release_value();
  m_name = StringPool::StringHandle();
  m_flags = FLAG_MODIFIED;
}

void Field::set_type(DataType type) {
  m_flags = (m_flags & ~TYPE_MASK) | (static_cast<unsigned int>(type) & TYPE_MASK);
}

void Field::release_value() {
  delete[] m_units;
  m_units = nullptr;
  m_length = 0;
  m_buffer.release();
  m_bits = 0;
}

void Field::reset_value() {
  release_value();
  m_flags = FLAG_MODIFIED;
}

void Field::reset() {
  reset_value();
  m_name = StringPool::StringHandle();
}

ErrorCode Field::init_buffer() {
  DynamicBuffer* buffer = new (std::nothrow) DynamicBuffer();
  if (!buffer) return ORVA_ERROR_OUT_OF_MEMORY;
  m_buffer = buffer;
  return ORVA_ERROR_NONE;
}

std::string Field::get_name() const { return StringPool::get_string(m_name); }

void Field::set_name(const StringPool::StringHandle& name) {
  m_name = name;
  m_flags |= FLAG_MODIFIED;
}

void Field::set_name(const std::string& name) { set_name(internal::intern_name(name)); }

void Field::set_modified(bool modified) {
  if (modified) {
    m_flags |= FLAG_MODIFIED;
  } else {
    m_flags &= ~FLAG_MODIFIED;
  }
}

void Field::set_external(bool external) {
  if (external) {
    m_flags |= FLAG_EXTERNAL;
  } else {
    m_flags &= ~FLAG_EXTERNAL;
  }
}

// --- comparison ---

bool Field::is_equal(const Field& other, bool with_names) const {
  if (this == &other) return true;
  DataType type = get_type();
  if (type != other.get_type()) return false;
  if (with_names && !(m_name == other.m_name)) return false;
  switch (type) {
    case TYPE_INT32:
    case TYPE_UINT32:
    case TYPE_FLOAT:
      return low_bits() == other.low_bits();
    case TYPE_INT64:
    case TYPE_UINT64:
    case TYPE_DOUBLE:
    case TYPE_TIMESTAMP:
      return m_bits == other.m_bits;
    case TYPE_USTRING:
    case TYPE_SPECIAL_USTRING:
      return m_length == other.m_length &&
             (m_length == 0 ||
              std::memcmp(m_units, other.m_units, m_length * sizeof(unsigned short)) == 0);
    case TYPE_BINARY:
      if (m_buffer == other.m_buffer) return true;
      if (!m_buffer.is_valid() || !other.m_buffer.is_valid()) return false;
      return m_buffer->compare(*other.m_buffer) == 0;
    default:
      return false;
  }
}

// --- text form ---

void Field::to_string(std::string& out) const {
  char text[128];
  switch (get_type()) {
    case TYPE_INT32:
      std::snprintf(text, sizeof text, "%d", static_cast<int>(low_bits()));
      out = text;
      break;
    case TYPE_UINT32:
      std::snprintf(text, sizeof text, "%u", low_bits());
      out = text;
      break;
    case TYPE_INT64:
      std::snprintf(text, sizeof text, "%lld", static_cast<long long>(m_bits));
      out = text;
      break;
    case TYPE_UINT64:
      std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(m_bits));
      out = text;
      break;
    case TYPE_FLOAT: {
      float value = 0;
      get_value(value);
      std::snprintf(text, sizeof text, "%.*g", 7, static_cast<double>(value));
      out = text;
      break;
    }
    case TYPE_DOUBLE: {
      double value = 0;
      get_value(value);
      std::snprintf(text, sizeof text, "%.*g", 15, value);
      out = text;
      break;
    }
    case TYPE_TIMESTAMP:
      out = internal::Timestamp(static_cast<long long>(m_bits)).to_iso_extended(true);
      break;
    case TYPE_USTRING:
    case TYPE_SPECIAL_USTRING:
      get_value(out);
      break;
    case TYPE_BINARY: {
      if (!m_buffer.is_valid()) break;
      unsigned int n = m_buffer->get_data_length();
      unsigned int room = (n / 3 + 1) * 4;
      out.resize(room);
      if (Base64Encode::encode(m_buffer->get_data(), n,
                               reinterpret_cast<unsigned char*>(&out[0]), room)) {
        out.resize(room);
      } else {
        out.clear();
      }
      break;
    }
    default:
      break;
  }
}

ErrorCode Field::from_string(DataType type, const std::string& text) {
  reset_value();
  switch (type) {
    case TYPE_INT32: {
      // strtol with a 32-bit long: clamp to the signed 32-bit range.
      long long value = internal::string_to_int64(text);
      if (value > INT_MAX) value = INT_MAX;
      if (value < INT_MIN) value = INT_MIN;
      set_value(static_cast<int>(value));
      return ORVA_ERROR_NONE;
    }
    case TYPE_UINT32:
      set_value(internal::string_to_uint32(text));
      return ORVA_ERROR_NONE;
    case TYPE_INT64:
      set_value(internal::string_to_int64(text));
      return ORVA_ERROR_NONE;
    case TYPE_UINT64:
      set_value(internal::string_to_uint64(text));
      return ORVA_ERROR_NONE;
    case TYPE_FLOAT:
      set_value(internal::narrow_to_float(std::strtod(text.c_str(), nullptr)));
      return ORVA_ERROR_NONE;
    case TYPE_DOUBLE:
      set_value(std::strtod(text.c_str(), nullptr));
      return ORVA_ERROR_NONE;
    case TYPE_TIMESTAMP: {
      internal::Timestamp stamp = internal::Timestamp::from_iso_any(text, true);
      if (!stamp.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
      set_timestamp(static_cast<long long>(stamp));
      return ORVA_ERROR_NONE;
    }
    case TYPE_USTRING:
      return set_value(text);
    case TYPE_SPECIAL_USTRING: {
      ErrorCode result = set_value(text);
      set_special_type(TYPE_SPECIAL_USTRING);
      return result;
    }
    case TYPE_BINARY:
      set_value(internal::base64_to_binary(reinterpret_cast<const unsigned char*>(text.data()),
                                           static_cast<unsigned int>(text.size())));
      return ORVA_ERROR_NONE;
    default:
      return ORVA_ERROR_INVALID_PARAMETERS;
  }
}

// --- binary record ---

bool Field::write(WriteStream& stream) const {
  internal::write_name(stream, m_name);
  DataType type = get_type();
  stream.write_uint8(static_cast<unsigned char>(type));
  switch (type) {
    case TYPE_INT32:
    case TYPE_UINT32:
      stream.write_uint32(low_bits());
      break;
    case TYPE_INT64:
    case TYPE_UINT64:
    case TYPE_TIMESTAMP:
      stream.write_uint64(m_bits);
      break;
    case TYPE_FLOAT: {
      float value = 0;
      get_value(value);
      stream.write_float(value);
      break;
    }
    case TYPE_DOUBLE: {
      double value = 0;
      get_value(value);
      stream.write_double(value);
      break;
    }
    case TYPE_USTRING:
    case TYPE_SPECIAL_USTRING:
      stream.write_ustring(m_units, m_length);
      break;
    case TYPE_BINARY:
      if (m_buffer.is_valid()) {
        stream.write_buffer(m_buffer->get_data(), m_buffer->get_data_length());
      } else {
        stream.write_uint32(0);
      }
      break;
    default:
      break;
  }
  return stream.is_ok();
}

bool Field::read(ReadStream& stream) {
  reset();
  std::string name;
  stream.read_string(name);  // false for an empty name as well
  if (!stream.is_ok()) return false;
  set_name(name);
  unsigned char type_byte = 0;
  if (!stream.read_uint8(type_byte)) return false;
  m_flags = (m_flags & ~0xFFu) | type_byte;
  m_flags |= FLAG_MODIFIED;
  switch (get_type()) {
    case TYPE_INT32:
    case TYPE_UINT32: {
      unsigned int value = 0;
      if (!stream.read_uint32(value)) return false;
      m_bits = value;
      break;
    }
    case TYPE_INT64:
    case TYPE_UINT64:
    case TYPE_TIMESTAMP: {
      unsigned long long value = 0;
      if (!stream.read_uint64(value)) return false;
      m_bits = value;
      break;
    }
    case TYPE_FLOAT: {
      float value = 0;
      if (!stream.read_float(value)) return false;
      m_bits = bits_of(value);
      break;
    }
    case TYPE_DOUBLE: {
      double value = 0;
      if (!stream.read_double(value)) return false;
      m_bits = bits_of(value);
      break;
    }
    case TYPE_USTRING:
    case TYPE_SPECIAL_USTRING: {
      unsigned int count = 0;
      unsigned short* units = stream.read_ustring(count);
      if (!units) {
        if (!stream.is_ok() || count) return false;
        break;  // the empty text
      }
      if (count == 0) {
        // A block of one byte holds no whole unit: the empty text, without units.
        delete[] units;
        break;
      }
      m_units = units;  // zero-terminated by read_ustring
      m_length = count;
      break;
    }
    case TYPE_BINARY: {
      unsigned int length = 0;
      unsigned char* bytes = stream.read_buffer(length);
      if (!bytes) {
        if (!stream.is_ok() || length) return false;
        break;  // no buffer
      }
      orva::SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
      bool stored = buffer->write(bytes, length);
      delete[] bytes;
      if (!stored) throw std::bad_alloc();
      m_buffer = buffer;
      break;
    }
    default:
      reset();
      break;
  }
  return stream.is_ok();
}

// --- helpers ---

namespace internal {

unsigned int string_to_uint32(const std::string& text) { return string_to_uint32(text.c_str()); }

unsigned int string_to_uint32(const char* p) {
  // strtoul with a 32-bit unsigned long, whatever the host's long.
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  uint64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + static_cast<unsigned int>(*p - '0');
    if (magnitude > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  }
  uint32_t value = static_cast<uint32_t>(magnitude);
  return negative ? 0u - value : value;
}

unsigned long long string_to_uint64(const std::string& text) {
  return std::strtoull(text.c_str(), nullptr, 10);
}

long long string_to_int64(const std::string& text) {
  return std::strtoll(text.c_str(), nullptr, 10);
}

float narrow_to_float(double value) {
  if (value > FLT_MAX) return std::numeric_limits<float>::infinity();
  if (value < -FLT_MAX) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

orva::SharedPointer<DynamicBuffer> base64_to_binary(const unsigned char* text,
                                                    unsigned int length) {
  orva::SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  // Room for every complete and partial group; the result keeps only what
  // (length / 4) * 3 bytes hold, so an unpadded last group is dropped.
  unsigned int room = (length / 4 + 1) * 3;
  if (!buffer->reserve(room)) return orva::SharedPointer<DynamicBuffer>();
  unsigned int written = room;
  if (!Base64Decode::decode(text, length, buffer->get_data(), written)) {
    return orva::SharedPointer<DynamicBuffer>();
  }
  unsigned int kept = (length / 4) * 3;
  buffer->resize(written < kept ? written : kept);
  return buffer;
}

}  // namespace internal

}  // namespace keldra
}  // namespace orva
