// Section: one ':'-separated section of a compact-format line, escapes removed.
//
// While the section is one piece it is a token pointing into the message (no copy);
// when escapes split it, the pieces are joined in its own text. At most one of the
// two holds the section: a non-empty text is the section, otherwise the token is.
// string() copies the token's bytes into the text on first use.
#pragma once

#include "compact/Token.h"

#include <cstring>
#include <string>

namespace orva {
namespace keldra {
namespace compact {

class Section {
 public:
  Section() {}

  // A token over the section's bytes (over the own text when there is one).
  Token token() const {
    if (!m_text.empty()) return Token(m_text.data(), m_text.data() + m_text.size());
    return m_token;
  }
  bool empty() const { return m_text.empty() && m_token.empty(); }
  unsigned int length() const {
    return m_text.empty() ? m_token.length() : static_cast<unsigned int>(m_text.size());
  }

  // The section as text; valid until the section changes.
  const std::string& string() const;

  // Decimal conversions without error check (strtoul / strtoull rules, 32-bit
  // clamped): blanks skipped, digits up to the first other character, none gives 0.
  unsigned int uint32() const;
  unsigned long long uint64() const;

  // Prefix comparison kept for callers that rely on it: a null |s| is equal to an
  // empty section; an empty section equals no text; otherwise the section's bytes are
  // compared with the first length() bytes of |s|, so "G" equals "GF".
  bool operator==(const char* s) const;
  bool operator!=(const char* s) const { return !(*this == s); }

  // Exact comparison: same length and bytes. A null |s| counts as the empty text.
  bool equals(const char* s) const {
    const Token t = token();
    const size_t n = s ? std::strlen(s) : 0;
    if (n != t.length()) return false;
    return n == 0 || std::memcmp(t.start(), s, n) == 0;
  }

  void clear() {
    m_text.clear();
    m_token = Token();
  }

  // Adds a piece: an empty piece changes nothing; the first piece is kept as a token;
  // a further piece moves the section into its own text.
  void append(const Token& piece) {
    if (piece.empty() || !piece.valid()) return;
    if (m_text.empty() && m_token.empty()) {
      m_token = piece;
      return;
    }
    append_piece(piece);
  }

  // Calls f with the section as a zero-terminated text: a copy on the stack for
  // short sections, string() otherwise. For conversions that need a C string.
  template <class F>
  auto with_c_string(F f) const -> decltype(f("")) {
    const Token t = token();
    const unsigned int n = t.length();
    if (n < SHORT_TEXT) {
      char text[SHORT_TEXT];
      if (n) std::memcpy(text, t.start(), n);
      text[n] = '\0';
      return f(static_cast<const char*>(text));
    }
    return f(string().c_str());
  }

 private:
  static const unsigned int SHORT_TEXT = 96;

  // append() of a piece to a section that is not empty.
  void append_piece(const Token& piece);

  Token m_token;
  mutable std::string m_text;
};

}  // namespace compact
}  // namespace keldra
}  // namespace orva
