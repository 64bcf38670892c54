#include "compact/Section.h"

#include <keldra/Field.h>

#include <cstdlib>
#include <cstring>

namespace orva {
namespace keldra {
namespace compact {

const std::string& Section::string() const {
  if (m_text.empty() && !m_token.empty() && m_token.valid())
    m_text.assign(m_token.start(), m_token.length());
  return m_text;
}

unsigned int Section::uint32() const {
  unsigned long long value = 0;
  if (token().digits(9, value)) return static_cast<unsigned int>(value);
  return with_c_string([](const char* text) { return internal::string_to_uint32(text); });
}

unsigned long long Section::uint64() const {
  unsigned long long value = 0;
  if (token().digits(19, value)) return value;
  return with_c_string([](const char* text) { return std::strtoull(text, nullptr, 10); });
}

bool Section::operator==(const char* s) const {
  if (!s) return empty();
  if (empty()) return false;
  Token t = token();
  return strncmp(t.start(), s, t.length()) == 0;
}

void Section::append_piece(const Token& piece) {
  if (!m_text.empty()) {
    m_text.append(piece.start(), piece.length());
  } else {
    m_text.assign(m_token.start(), m_token.length());
    m_token = Token();
    m_text.append(piece.start(), piece.length());
  }
}

}  // namespace compact
}  // namespace keldra
}  // namespace orva
