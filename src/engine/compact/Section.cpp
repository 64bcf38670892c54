#include "compact/Section.h"

#include <keldra/Field.h>

#include <cstring>

namespace orva {
namespace keldra {
namespace compact {

Token Section::token() const {
  if (!m_text.empty()) return Token(m_text.data(), m_text.data() + m_text.size());
  return m_token;
}

const std::string& Section::string() const {
  if (m_text.empty() && !m_token.empty() && m_token.valid())
    m_text.assign(m_token.start(), m_token.length());
  return m_text;
}

unsigned int Section::uint32() const { return internal::string_to_uint32(string()); }

unsigned long long Section::uint64() const { return internal::string_to_uint64(string()); }

bool Section::operator==(const char* s) const {
  if (!s) return empty();
  if (empty()) return false;
  Token t = token();
  return strncmp(t.start(), s, t.length()) == 0;
}

bool Section::equals(const char* s) const {
  Token t = token();
  size_t n = s ? strlen(s) : 0;
  if (n != t.length()) return false;
  return n == 0 || memcmp(t.start(), s, n) == 0;
}

void Section::append(const Token& piece) {
  if (piece.empty() || !piece.valid()) return;
  if (!m_text.empty()) {
    m_text.append(piece.start(), piece.length());
  } else if (m_token.empty()) {
    m_token = piece;
  } else {
    m_text.assign(m_token.start(), m_token.length());
    m_token = Token();
    m_text.append(piece.start(), piece.length());
  }
}

}  // namespace compact
}  // namespace keldra
}  // namespace orva
