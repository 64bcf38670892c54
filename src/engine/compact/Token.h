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

 private:
  const char* m_start;
  const char* m_end;
};

}  // namespace compact
}  // namespace keldra
}  // namespace orva
