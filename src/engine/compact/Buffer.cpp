#include "compact/Buffer.h"

#include "compact/Utf8.h"

namespace orva {
namespace keldra {
namespace compact {

Buffer::Buffer(const unsigned char* data, unsigned int length)
    : m_data(reinterpret_cast<const char*>(data),
             data ? reinterpret_cast<const char*>(data) + length : nullptr),
      m_position(m_data.start()),
      m_line_start(m_data.start()),
      m_escaped(false),
      m_malformed(false),
      m_char(0) {}

char32_t Buffer::next_char() {
  m_char = 0;
  if (m_position >= m_data.end()) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(m_position);
  if (*p == 0) {
    // A zero byte ends the data like its end (the position stays); with more data
    // behind it the message would be cut without notice, so that is reported too.
    if (m_position + 1 < m_data.end()) m_malformed = true;
    return 0;
  }
  if (*p < 0x80) {
    m_char = *p;
    ++m_position;
    return m_char;
  }
  char32_t cp = 0;
  unsigned int used = decode_utf8(p, static_cast<size_t>(m_data.end() - m_position), cp);
  if (used == 0) {
    m_malformed = true;
    return 0;
  }
  m_char = cp;
  m_position += used;
  return m_char;
}

namespace {

// Bytes that are a character of their own and end nothing: 1 to 127 without ':', ';'
// and '\\'.
struct PlainBytes {
  bool plain[256];
  PlainBytes() {
    for (int c = 0; c < 256; ++c) plain[c] = c > 0 && c < 0x80 && c != ':' && c != ';' && c != '\\';
  }
};
const PlainBytes kPlainBytes;

}  // namespace

Token Buffer::next_token() {
  const char* start = m_position;
  const char* stop = m_position;
  const char* const end = m_data.end();
  if (m_position >= end) return Token();
  for (;;) {
    // Runs of plain bytes at once; anything else goes through next_char().
    if (!m_escaped) {
      const char* p = m_position;
      while (p < end && kPlainBytes.plain[static_cast<unsigned char>(*p)]) ++p;
      if (p != m_position) {
        m_char = static_cast<unsigned char>(p[-1]);
        m_position = p;
        stop = p;
        if (p >= end) return Token();
      }
      // The usual end of a token: an unescaped ':' or ';'.
      if (*p == ':' || *p == ';') {
        m_char = static_cast<unsigned char>(*p);
        m_position = p + 1;
        return Token(start, stop);
      }
    }
    char32_t c = next_char();
    if (c == 0) break;
    if (m_escaped) {
      m_escaped = false;
    } else if (c == '\\') {
      m_escaped = true;
      return Token(start, stop);
    } else if (c == ':' || c == ';') {
      break;
    }
    stop = m_position;
    if (m_position >= end) return Token();
  }
  return Token(start, stop);
}

bool Buffer::next_section() {
  m_section.clear();
  if (m_char == ';') return false;
  while (m_position < m_data.end()) {
    m_section.append(next_token());
    if (m_char != '\\') break;
  }
  return !m_section.empty();
}

bool Buffer::next_line() {
  m_section.clear();
  m_line_start = m_position;
  for (;;) {
    // A line read up to its ';' is left at once, also when nothing follows it.
    if (m_char == ';') {
      m_line_start = m_position;
      m_char = 0;
      return true;
    }
    if (m_position >= m_data.end()) {
      m_line_start = m_data.end();
      return false;
    }
    next_token();
    if (m_char == ':' || m_char == ';' || m_char == '\\') continue;
    // A zero byte, a malformed sequence, or a last piece without delimiter: the data
    // ends here, so a later line_header() finds nothing either.
    m_line_start = m_data.end();
    return false;
  }
}

bool Buffer::line_header() {
  m_char = 0;
  m_escaped = false;  // a line always starts after an unescaped ';'
  m_position = m_line_start;
  return next_section();
}

}  // namespace compact
}  // namespace keldra
}  // namespace orva
