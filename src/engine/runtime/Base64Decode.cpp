#include "runtime/Base64Decode.h"

namespace {

// Bytes ready / touched after 0..4 characters of a group.
const int kReady[] = {0, 0, 1, 2, 3};
const int kTouched[] = {0, 1, 2, 3, 3};

// Value of a character of either alphabet; -1 outside them.
int value_of(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+' || c == '-') return 62;
  if (c == '/' || c == '_') return 63;
  return -1;
}

bool is_space(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

Base64Decode::Base64Decode() : m_bytes{0, 0, 0} { begin(); }

bool Base64Decode::begin() {
  m_carry = 0;
  m_out_index = 0;
  m_in_count = 0;
  m_pad = false;
  return true;
}

bool Base64Decode::put(unsigned char c) {
  if (m_in_count >= 4 || m_pad) return false;
  int v;
  if (c == '=') {
    v = 0;
  } else {
    v = value_of(c);
    if (v < 0) return false;
  }
  switch (m_in_count) {
    case 0:
      m_carry = static_cast<unsigned char>(v << 2);
      break;
    case 1:
      m_bytes[0] = static_cast<unsigned char>(m_carry | v >> 4);
      m_carry = static_cast<unsigned char>((v << 4) & 0xFF);
      break;
    case 2:
      m_bytes[1] = static_cast<unsigned char>(m_carry | v >> 2);
      m_carry = static_cast<unsigned char>((v << 6) & 0xFF);
      break;
    case 3:
      m_bytes[2] = static_cast<unsigned char>(m_carry | v);
      m_carry = 0;
      break;
  }
  // A '=' freezes the group with the bytes of the characters before it.
  if (c == '=') {
    m_pad = true;
  } else {
    ++m_in_count;
  }
  return true;
}

bool Base64Decode::get(unsigned char& b) {
  if (m_out_index >= kReady[m_in_count]) return false;
  b = m_bytes[m_out_index];
  if (++m_out_index == 3) {
    m_out_index = 0;
    m_in_count = 0;
    m_carry = 0;
  }
  return true;
}

int Base64Decode::sizeReady() const {
  int n = kReady[m_in_count] - m_out_index;
  return n > 0 ? n : 0;
}

int Base64Decode::sizeTouched() const {
  int n = kTouched[m_in_count] - m_out_index;
  return n > 0 ? n : 0;
}

int Base64Decode::sizePending() const { return m_in_count == 0 ? 0 : 3 - m_out_index; }

void Base64Decode::drain(unsigned char* out, unsigned int room, unsigned int& written) {
  while (written < room && get(out[written])) ++written;
}

bool Base64Decode::decodeChunk(const unsigned char* in, unsigned int inlen, unsigned char* out,
                               unsigned int& outlen, bool /*flush*/) {
  unsigned int room = outlen;
  unsigned int written = 0;
  unsigned int taken = 0;
  bool bad = false;
  if (!in && inlen) {
    outlen = 0;
    return false;
  }
  for (;;) {
    unsigned int taken_before = taken;
    unsigned int written_before = written;
    while (taken < inlen) {
      unsigned char c = in[taken];
      if (is_space(c) || (m_pad && c == '=')) {
        ++taken;
        continue;
      }
      if (m_pad || (c != '=' && value_of(c) < 0)) {
        bad = true;  // a foreign character or text after the padding
        break;
      }
      if (!put(c)) break;  // group full: hand its bytes out first
      ++taken;
    }
    drain(out, room, written);
    if (bad || taken == inlen ||
        (taken == taken_before && written == written_before)) {
      break;
    }
  }
  outlen = written;
  return !bad && taken == inlen && sizeReady() == 0;
}

bool Base64Decode::decodeChunkFlush(unsigned char* out, unsigned int& outlen) {
  unsigned int written = 0;
  drain(out, outlen, written);
  outlen = written;
  return sizeReady() == 0;
}

bool Base64Decode::decode(const unsigned char* in, unsigned int inlen, unsigned char* out,
                          unsigned int& outlen) {
  Base64Decode decoder;
  return decoder.decodeChunk(in, inlen, out, outlen, false);
}
