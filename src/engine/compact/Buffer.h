// Buffer: the reading cursor over one compact-format message.
//
// A message is a text of lines, each ending with ';', made of sections separated by
// ':'; a '\' makes the next character an ordinary one. The buffer neither owns nor
// copies the message, which must outlive it and its sections. Usual reading order:
// line_header() for the line's kind, next_section() until it returns false at the
// line end, next_line() to advance; repeat until next_line() returns false.
//
// Characters are decoded as UTF-8 whatever the process locale (so reading is
// thread-safe). The end of the data, a zero byte and a malformed UTF-8 sequence all
// read as character 0, which ends the current token, section and line; a malformed
// sequence, and a zero byte with data behind it, also set malformed(), which the
// parser turns into an error instead of silently cutting the message.
//
// Thread: a buffer and its sections belong to one thread.
#pragma once

#include "compact/Section.h"
#include "compact/Token.h"

namespace orva {
namespace keldra {
namespace compact {

class Buffer {
 public:
  Buffer(const unsigned char* data, unsigned int length);

  // Reads one character (a Unicode code point) and returns it; 0 at the end of the
  // data, for a zero byte, and for a malformed sequence (the position then stays).
  char32_t next_char();
  // The next piece up to a delimiter, a '\' or the end; the delimiter is consumed and
  // is the current character. A piece that runs to the end of the data without a
  // delimiter is returned as the null token.
  Token next_token();
  // Reads the next section into current_section(); true when it is not empty. An
  // empty section inside a line and the line end both give false; the current
  // character (':' or ';') tells them apart.
  bool next_section();
  // Moves past the end of the current line; true when a further line begins there.
  bool next_line();
  // Re-reads the first section of the current line; true when it is not empty.
  bool line_header();

  const Section& current_section() const { return m_section; }
  char32_t current_char() const { return m_char; }
  bool escaped() const { return m_escaped; }
  // True once a sequence that is not UTF-8, or a zero byte before the end, was met.
  bool malformed() const { return m_malformed; }
  const Token& data() const { return m_data; }
  const char* position() const { return m_position; }

 private:
  Token m_data;
  const char* m_position;
  const char* m_line_start;
  bool m_escaped;
  bool m_malformed;
  char32_t m_char;
  Section m_section;
};

}  // namespace compact
}  // namespace keldra
}  // namespace orva
