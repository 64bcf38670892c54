// UTF-16 text of 16-bit code units, the text type of the geo values and of the
// library's text fields.
//
// Conversions: UTF-8 input is decoded strictly (no overlong forms, no encoded
// surrogates, nothing above U+10FFFF); every maximal ill-formed subsequence becomes one
// U+FFFD, so any byte string converts without failing. Characters above U+FFFF take a
// surrogate pair. to_utf8() writes a lone surrogate as U+FFFD. The code units given
// as UTF-16 are kept as they are, unchecked.
//
// The units are always followed by a zero unit, so c_str() is zero-terminated; a text
// may itself hold zero units (from a std::string with embedded zero bytes or from
// assign), which length() counts. Comparison is unit by unit, without case folding.
// A value type; not shared between threads while it is changed.
#pragma once

#include <string>
#include <vector>

namespace orva {

class ustring {
 public:
  ustring();
  // From zero-terminated UTF-8; null gives the empty text.
  ustring(const char* utf8);  // NOLINT: implicit, as text literals convert
  // From UTF-8 bytes, all of them (embedded zero bytes become zero units).
  ustring(const std::string& utf8);  // NOLINT
  // From zero-terminated UTF-16 code units; null gives the empty text.
  ustring(const unsigned short* utf16);  // NOLINT

  const unsigned short* c_str() const { return m_units.data(); }
  unsigned int length() const { return static_cast<unsigned int>(m_units.size() - 1); }
  bool empty() const { return m_units.size() == 1; }

  // The unit at |index|; 0 at or beyond length().
  unsigned short operator[](unsigned int index) const;

  void clear();
  void reserve(unsigned int units);
  void append(unsigned short unit);
  // Replaces the text with |count| units from |units| (null gives the empty text).
  // |units| may point into this text.
  void assign(const unsigned short* units, unsigned int count);

  std::string to_utf8() const;

 private:
  void assign_utf8(const char* bytes, size_t size);

  std::vector<unsigned short> m_units;  // the code units and a terminating 0
};

bool operator==(const ustring& a, const ustring& b);
bool operator!=(const ustring& a, const ustring& b);
// Lexicographic by code unit (a shorter prefix sorts first).
bool operator<(const ustring& a, const ustring& b);

}  // namespace orva
