// Token: a non-owning byte range [start, end) inside a compact-format message.
//
// A token made from a null start or a null end is the null token (both pointers
// null), which is valid and empty. The bytes belong to the message, which must
// outlive the token.
#pragma once

namespace orva {
namespace keldra {
namespace compact {

class Token {
 public:
  Token() : m_start(nullptr), m_end(nullptr) {}
  Token(const char* start, const char* end) { set(start, end); }

  void set(const char* start, const char* end) {
    if (!start || !end) {
      m_start = m_end = nullptr;
    } else {
      m_start = start;
      m_end = end;
    }
  }

  bool valid() const { return m_start <= m_end; }
  bool empty() const { return m_start == m_end; }
  unsigned int length() const {
    return valid() ? static_cast<unsigned int>(m_end - m_start) : 0;
  }
  const char* start() const { return m_start; }
  const char* end() const { return m_end; }

  // True, with |value|, when the token is 1 to |max_digits| decimal digits and nothing
  // else: the common case of a number, read without a C string or the C library (whose
  // readers give the same value for such a text). |max_digits| at most 19.
  bool digits(unsigned int max_digits, unsigned long long& value) const {
    const unsigned int n = length();
    if (n == 0 || n > max_digits) return false;
    unsigned long long v = 0;
    for (const char* p = m_start; p != m_end; ++p) {
      const unsigned int d = static_cast<unsigned int>(static_cast<unsigned char>(*p) - '0');
      if (d > 9) return false;
      v = v * 10 + d;
    }
    value = v;
    return true;
  }

 private:
  const char* m_start;
  const char* m_end;
};

}  // namespace compact
}  // namespace keldra
}  // namespace orva
