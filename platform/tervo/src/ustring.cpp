#include <tervo/ustring.h>

#include <algorithm>
#include <cstring>

namespace orva {

namespace {

const unsigned short kReplacement = 0xFFFD;

void push_code_point(std::vector<unsigned short>& out, unsigned long cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<unsigned short>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<unsigned short>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<unsigned short>(0xDC00 + (cp & 0x3FF)));
  }
}

void put_utf8(std::string& out, unsigned long cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

ustring::ustring() : m_units(1, 0) {}

ustring::ustring(const char* utf8) : m_units(1, 0) {
  if (utf8) assign_utf8(utf8, std::strlen(utf8));
}

ustring::ustring(const std::string& utf8) : m_units(1, 0) { assign_utf8(utf8.data(), utf8.size()); }

ustring::ustring(const unsigned short* utf16) : m_units(1, 0) {
  if (!utf16) return;
  unsigned int n = 0;
  while (utf16[n]) ++n;
  assign(utf16, n);
}

unsigned short ustring::operator[](unsigned int index) const {
  return index < length() ? m_units[index] : 0;
}

void ustring::clear() { m_units.assign(1, 0); }

void ustring::reserve(unsigned int units) { m_units.reserve(static_cast<size_t>(units) + 1); }

void ustring::append(unsigned short unit) {
  m_units.back() = unit;
  m_units.push_back(0);
}

void ustring::assign(const unsigned short* units, unsigned int count) {
  if (!units) count = 0;
  std::vector<unsigned short> copy(units, units + count);  // units may point into m_units
  copy.push_back(0);
  m_units.swap(copy);
}

void ustring::assign_utf8(const char* bytes, size_t size) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  std::vector<unsigned short> out;
  out.reserve(size + 1);
  size_t i = 0;
  while (i < size) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    // Length of the sequence and the range its second byte must lie in (the range
    // excludes overlong forms, surrogates and values above U+10FFFF).
    int need;
    unsigned char lo = 0x80, hi = 0xBF;
    unsigned long cp;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < need; ++k, ++j) {
      const unsigned char lo_k = k == 0 ? lo : 0x80, hi_k = k == 0 ? hi : 0xBF;
      if (j >= size || p[j] < lo_k || p[j] > hi_k) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (p[j] & 0x3F);
    }
    if (ok) {
      push_code_point(out, cp);
    } else {
      out.push_back(kReplacement);  // one for the whole maximal ill-formed prefix
    }
    i = j;
  }
  out.push_back(0);
  m_units.swap(out);
}

std::string ustring::to_utf8() const {
  std::string out;
  const unsigned int n = length();
  out.reserve(n);
  for (unsigned int i = 0; i < n; ++i) {
    const unsigned short u = m_units[i];
    unsigned long cp = u;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && m_units[i + 1] >= 0xDC00 &&
        m_units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((static_cast<unsigned long>(u) - 0xD800) << 10) + (m_units[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      cp = kReplacement;
    }
    put_utf8(out, cp);
  }
  return out;
}

bool operator==(const ustring& a, const ustring& b) {
  return a.length() == b.length() && std::equal(a.c_str(), a.c_str() + a.length(), b.c_str());
}

bool operator!=(const ustring& a, const ustring& b) { return !(a == b); }

bool operator<(const ustring& a, const ustring& b) {
  return std::lexicographical_compare(a.c_str(), a.c_str() + a.length(), b.c_str(),
                                      b.c_str() + b.length());
}

}  // namespace orva
