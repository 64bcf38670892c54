#include "runtime/Base64Encode.h"

namespace {

const char kStandard[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kUrlSafe[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// Characters ready / touched after 0..3 bytes of a group.
const int kReady[] = {0, 1, 2, 4};
const int kTouched[] = {0, 2, 3, 4};

}  // namespace

Base64Encode::Base64Encode(bool url_safe)
    : m_alphabet(url_safe ? kUrlSafe : kStandard), m_chars{0, 0, 0, 0} {
  begin();
}

bool Base64Encode::begin() {
  m_carry = 0;
  m_out_index = 0;
  m_in_count = 0;
  m_end = false;
  return true;
}

bool Base64Encode::put(unsigned char b) {
  switch (m_in_count) {
    case 0:
      m_chars[0] = m_alphabet[b >> 2];
      m_carry = static_cast<unsigned char>((b & 3) << 4);
      m_chars[1] = m_alphabet[m_carry];
      break;
    case 1:
      m_chars[1] = m_alphabet[m_carry | b >> 4];
      m_carry = static_cast<unsigned char>((b & 15) << 2);
      m_chars[2] = m_alphabet[m_carry];
      break;
    case 2:
      m_chars[2] = m_alphabet[m_carry | b >> 6];
      m_chars[3] = m_alphabet[b & 63];
      m_carry = 0;
      break;
    default:
      return false;
  }
  ++m_in_count;
  return true;
}

bool Base64Encode::get(unsigned char& c) {
  if (m_out_index < kReady[m_in_count]) {
    c = m_chars[m_out_index];
  } else if (m_end && m_in_count > 0 && m_out_index < 4) {
    c = m_out_index < kTouched[m_in_count] ? m_chars[m_out_index] : '=';
  } else {
    return false;
  }
  if (++m_out_index == 4) {
    m_out_index = 0;
    m_in_count = 0;
    m_carry = 0;
  }
  return true;
}

bool Base64Encode::end() {
  m_end = true;
  return true;
}

int Base64Encode::sizeReady() const {
  int n = kReady[m_in_count] - m_out_index;
  return n > 0 ? n : 0;
}

int Base64Encode::sizeTouched() const {
  int n = kTouched[m_in_count] - m_out_index;
  return n > 0 ? n : 0;
}

int Base64Encode::pending() const {
  if (m_end && m_in_count > 0) return 4 - m_out_index;
  return sizeReady();
}

void Base64Encode::drain(unsigned char* out, unsigned int room, unsigned int& written) {
  while (written < room && get(out[written])) ++written;
}

bool Base64Encode::encodeChunk(const unsigned char* in, unsigned int inlen, unsigned char* out,
                               unsigned int& outlen, bool last) {
  unsigned int room = outlen;
  if (inlen == 0 && !last) {
    outlen = 0;
    return true;
  }
  if (!in && inlen) return false;
  unsigned int taken = 0;
  unsigned int written = 0;
  for (;;) {
    unsigned int taken_before = taken;
    unsigned int written_before = written;
    while (taken < inlen && put(in[taken])) ++taken;
    if (last && taken == inlen) end();
    drain(out, room, written);
    if (taken == inlen ||
        (taken == taken_before && written == written_before)) {
      break;
    }
  }
  // Bytes not taken or characters not delivered would be lost without notice.
  if (taken < inlen || pending() > 0) return false;
  outlen = written;
  return true;
}

bool Base64Encode::encodeChunkFlush(unsigned char* out, unsigned int& outlen) {
  end();
  unsigned int written = 0;
  drain(out, outlen, written);
  if (pending() > 0) return false;
  outlen = written;
  return true;
}

bool Base64Encode::encode(const unsigned char* in, unsigned int inlen, unsigned char* out,
                          unsigned int& outlen) {
  Base64Encode encoder(false);
  return encoder.encodeChunk(in, inlen, out, outlen, true);
}
