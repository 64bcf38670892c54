// Field: the leaf of the object tree, one named value of one of a fixed set of types.
//
// The name is a handle interned in the calling thread's string pool. A text value is
// an owned copy of UTF-16 code units; a binary value is one shared DynamicBuffer,
// shared (never copied) by assignment. Every field carries a modified mark: set at
// construction and by every setter (also when the value does not change), set_name,
// reset, reset_value, from_string, read and an assignment that changes anything;
// only set_modified(false) clears it. Moving a field (vector growth) keeps its marks.
//
// Results: the typed getters return 0, or 0x6002 with the output untouched when the
// field holds another type; text and buffer setters return 0, or 2 when memory for the
// copy is missing (the field is then left without text or buffer). read and write
// return the stream's state. Used on the thread whose pool interned its name.
#pragma once

#include <keldra/DynamicBuffer.h>
#include <keldra/ErrorCode.h>
#include <keldra/RefCountable.h>
#include <keldra/Serializable.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orva {
class ustring;

namespace keldra {

class Field : public orva::internal::RefCountable, public Serializable {
 public:
  // The value type, kept in bits 0 to 3 of the flag word.
  enum DataType : int {
    TYPE_NONE = 0,
    TYPE_INT32 = 1,
    TYPE_UINT32 = 2,
    TYPE_INT64 = 3,
    TYPE_UINT64 = 4,
    TYPE_FLOAT = 5,
    TYPE_DOUBLE = 6,
    TYPE_TIMESTAMP = 7,  // signed milliseconds since 1970-01-01 UTC
    TYPE_USTRING = 8,
    TYPE_KEYWORD = 9,  // compact-format marker only; never held by a field
    TYPE_SPECIAL_USTRING = 10,
    TYPE_BINARY = 11
  };

  // Flag word bits besides the type.
  static const unsigned int TYPE_MASK = 0x0F;
  static const unsigned int FLAG_MODIFIED = 0x10;
  static const unsigned int FLAG_EXTERNAL = 0x20;

  // Every constructor gives an unnamed, modified field holding its argument.
  Field();
  explicit Field(int value);
  explicit Field(unsigned int value);
  explicit Field(long long value);
  explicit Field(unsigned long long value);
  explicit Field(float value);
  explicit Field(double value);
  explicit Field(const unsigned short* units);
  Field(const unsigned short* units, unsigned int count);
  explicit Field(const char* utf8);
  Field(const char* utf8, unsigned int bytes);
  explicit Field(const std::string& utf8);
  explicit Field(const orva::ustring& text);
  explicit Field(orva::SharedPointer<DynamicBuffer> buffer);
  explicit Field(const std::vector<unsigned char>& bytes);
  // A copy is unnamed until assigned, and always marked modified.
  Field(const Field& other);
  // Takes over name, value and flags exactly as they are (marks unchanged); |other| is
  // left unnamed and empty.
  Field(Field&& other) noexcept;
  ~Field() override;

  // Copies name, type, value and flags and marks the field modified; assigning an
  // equal field (or the field itself) changes nothing, not even the mark.
  Field& operator=(const Field& other);
  // Relocation: takes everything as it is, marks included.
  Field& operator=(Field&& other) noexcept;

  // Typed getters: 0 when the field holds exactly that type, else 0x6002.
  ErrorCode get_value(int& out) const;
  ErrorCode get_value(unsigned int& out) const;
  ErrorCode get_value(long long& out) const;
  ErrorCode get_value(unsigned long long& out) const;
  ErrorCode get_value(float& out) const;
  ErrorCode get_value(double& out) const;
  ErrorCode get_timestamp(long long& out) const;
  // Types 8 and 10.
  ErrorCode get_value(orva::ustring& out) const;
  ErrorCode get_value(std::string& out) const;  // as UTF-8
  // Type 11: appends the bytes to |out|; without a buffer returns 0, |out| untouched.
  ErrorCode get_value(std::vector<unsigned char>& out) const;
  // Type 11: |out| shares the buffer; without a buffer returns 0, |out| untouched.
  ErrorCode get_value(orva::SharedPointer<DynamicBuffer>& out) const;

  DataType get_type() const { return static_cast<DataType>(m_flags & TYPE_MASK); }
  bool has_value() const { return get_type() != TYPE_NONE; }
  // The code units of a text field (null for other types and for an empty text).
  const unsigned short* get_ustring() const;
  // 4 or 8 for numbers, code units for text, buffer bytes for binary, else 0.
  unsigned int get_value_length() const;
  // The buffer's bytes for a binary field with a buffer, else null.
  const unsigned char* get_value_data() const;

  // Numeric setters keep the external flag.
  void set_value(int value);
  void set_value(unsigned int value);
  void set_value(long long value);
  void set_value(unsigned long long value);
  void set_value(float value);
  void set_value(double value);
  void set_timestamp(long long ms);

  // Text setters give type 8.
  ErrorCode set_string_buffer(const unsigned short* units, unsigned int count);
  ErrorCode set_value(const unsigned short* units, unsigned int count);
  ErrorCode set_value(const unsigned short* units);  // up to the first zero unit
  ErrorCode set_value(const orva::ustring& text);
  ErrorCode set_value(const std::string& utf8);
  ErrorCode set_value(const char* utf8);
  ErrorCode set_value(const char* utf8, unsigned int bytes);

  // Binary setters give type 11. An empty pointer gives a field without a buffer.
  ErrorCode set_value(orva::SharedPointer<DynamicBuffer> buffer);
  ErrorCode set_value(const std::vector<unsigned char>& bytes);
  ErrorCode set_value_data(const unsigned char* data, unsigned int count);

  // Turns a type 8 field into type 10 (0); anything else returns 3 and changes
  // nothing. The mark is left as it is.
  ErrorCode set_special_type(DataType type);

  // Unnamed, flag word modified only, value zero (a text or buffer held is released).
  void init();
  // Replaces the type bits only.
  void set_type(DataType type);
  // Releases the value; type none, external cleared, marked modified; name kept.
  void reset_value();
  // reset_value, then unnamed.
  void reset();
  // A new empty buffer, type unchanged; 0, or 2 when it cannot be had.
  ErrorCode init_buffer();

  const StringPool::StringHandle& get_name_handle() const { return m_name; }
  std::string get_name() const;
  // Both mark the field modified, also when the name does not change. The text is
  // cut to its first 64 bytes (at a character boundary) before it is interned.
  void set_name(const StringPool::StringHandle& name);
  void set_name(const std::string& name);

  bool is_modified() const { return (m_flags & FLAG_MODIFIED) != 0; }
  void set_modified(bool modified);
  bool is_external() const { return (m_flags & FLAG_EXTERNAL) != 0; }
  void set_external(bool external);

  // Bitwise value equality of fields of one type; names take part when |with_names|.
  bool is_equal(const Field& other, bool with_names) const;
  bool operator==(const Field& other) const { return is_equal(other, true); }

  // The value's text form replaces |out|; types without one leave |out| untouched.
  void to_string(std::string& out) const;
  // Parses |text| as |type| (name kept): 0, 2 (memory) or 3 (no text form, or a
  // timestamp that is no date; the field stays type none).
  ErrorCode from_string(DataType type, const std::string& text);

  bool read(ReadStream& stream) override;
  bool write(WriteStream& stream) const override;

 private:
  void release_value();
  void set_bits(DataType type, uint64_t bits);
  uint32_t low_bits() const { return static_cast<uint32_t>(m_bits); }

  StringPool::StringHandle m_name;
  unsigned int m_flags;
  uint64_t m_bits;  // numbers and timestamps; 32-bit values in the low word
  unsigned short* m_units;  // text: owned units plus a zero unit, null when empty
  unsigned int m_length;    // text: code units, without the terminator
  orva::SharedPointer<DynamicBuffer> m_buffer;  // binary value
};

namespace internal {

// strtoul in base 10 with a 32-bit unsigned long: blanks, an optional sign ('-'
// negates modulo 2^32), digits; no digits give 0, a magnitude above 4294967295 gives
// 4294967295; what follows is ignored.
unsigned int string_to_uint32(const std::string& text);
unsigned int string_to_uint32(const char* text);  // a zero-terminated text
// strtoull and strtoll in base 10.
unsigned long long string_to_uint64(const std::string& text);
long long string_to_int64(const std::string& text);
// A double as float: values beyond the float range become the infinity of their
// sign (as the hardware narrows them), NaN stays NaN; a plain cast of such values
// is undefined.
float narrow_to_float(double value);
// Decodes Base64 into a new buffer of at most (length / 4) * 3 bytes; an empty
// pointer when the decoder fails.
orva::SharedPointer<DynamicBuffer> base64_to_binary(const unsigned char* text,
                                                    unsigned int length);

}  // namespace internal

}  // namespace keldra
}  // namespace orva
